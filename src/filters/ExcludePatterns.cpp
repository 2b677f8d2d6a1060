#include "filters/ExcludePatterns.h"

namespace qv {

bool ExcludePatterns::add(const QString& text) {
    QString pattern = text;
    if (pattern.endsWith(QLatin1Char('\r'))) pattern.chop(1);
    if (pattern.isEmpty() || pattern.startsWith(QLatin1Char('!'))) return false;
    const bool foldersOnly = pattern.endsWith(QLatin1Char('/'));
    while (pattern.endsWith(QLatin1Char('/'))) pattern.chop(1);
    if (pattern.isEmpty()) return false;
    std::vector<KExcludeRule> made;
    if (pattern.startsWith(QLatin1Char('/'))) {
        // Anchored: the path below each compared folder.
        for (const std::string& root : m_roots)
            made.emplace_back(KRuleMatchPath, QString::fromStdString(root) + pattern, true);
    } else if (pattern.contains(QLatin1Char('/'))) {
        made.emplace_back(KRuleMatchPath, pattern, true);
    } else {
        made.emplace_back(KRuleMatchWildcard, pattern, true);
    }
    for (const KExcludeRule& rule : made) {
        if (!foldersOnly) m_files.push_back(rule);
        m_folders.push_back(rule);
    }
    return true;
}

QStringList ExcludePatterns::addLines(const QString& text) {
    QStringList refused;
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        const QString trimmed = line.trimmed();
        if (trimmed.isEmpty() || trimmed.startsWith(QLatin1Char('#'))) continue;
        if (!add(line.endsWith(QLatin1Char('\r')) ? line.chopped(1) : line)) refused << line;
    }
    return refused;
}

void ExcludePatterns::applyTo(KExcludeRules& rules) const {
    const std::pair<RuleList, const KExcludeRules::Rules*> lists[] = {{RuleList::FileRules, &m_files},
                                                                       {RuleList::FolderRules, &m_folders}};
    for (const auto& [list, added] : lists) {
        if (added->empty()) continue;
        KExcludeRules::Rules& target = rules.rules(list);
        if (!rules.switchOn(list)) target.clear();
        target.insert(target.end(), added->begin(), added->end());
        rules.setSwitch(list, true);
    }
}

}  // namespace qv
