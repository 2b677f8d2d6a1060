#include "filters/KExcludeRules.h"

#include "base/Messages.h"
#include "base/Settings.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace qv {
namespace {

constexpr int kStorageVersion = 1;
constexpr std::array<RuleList, 4> kAllLists = {RuleList::FileRules, RuleList::FolderRules,
                                               RuleList::CompareOnlyFileRules, RuleList::CompareOnlyFolderRules};

}  // namespace

const char* KExcludeRules::storageKey(RuleList list) {
    switch (list) {
    case RuleList::FileRules: return "excludeFileRules";
    case RuleList::FolderRules: return "excludeFolderRules";
    case RuleList::CompareOnlyFileRules: return "compareOnlyFileRules";
    case RuleList::CompareOnlyFolderRules: return "compareOnlyFolderRules";
    }
    return "";
}

const char* KExcludeRules::switchKey(RuleList list) {
    switch (list) {
    case RuleList::FileRules: return "exclFilesOn";
    case RuleList::FolderRules: return "exclFoldersOn";
    case RuleList::CompareOnlyFileRules: return "cmpOnlyFilesOn";
    case RuleList::CompareOnlyFolderRules: return "cmpOnlyFoldersOn";
    }
    return "";
}

QString KExcludeRules::listName(RuleList list) {
    switch (list) {
    case RuleList::FileRules: return QStringLiteral("fileRules");
    case RuleList::FolderRules: return QStringLiteral("folderRules");
    case RuleList::CompareOnlyFileRules: return QStringLiteral("compareOnlyFileRules");
    case RuleList::CompareOnlyFolderRules: return QStringLiteral("compareOnlyFolderRules");
    }
    return {};
}

bool KExcludeRules::listFromName(const QString& name, RuleList& out) {
    for (RuleList list : kAllLists)
        if (listName(list) == name) return out = list, true;
    return false;
}

const std::array<RuleList, 4>& KExcludeRules::allLists() { return kAllLists; }

QString KExcludeRules::toJson() const {
    QJsonObject root{{QStringLiteral("version"), kStorageVersion}};
    for (RuleList list : kAllLists) {
        const QJsonObject rulesObject = QJsonDocument::fromJson(encodeRules(rules(list)).toUtf8()).object();
        root.insert(listName(list), QJsonObject{{QStringLiteral("on"), switchOn(list)},
                                                {QStringLiteral("rules"), rulesObject.value(QStringLiteral("rules"))}});
    }
    return QString::fromUtf8(QJsonDocument(root).toJson(QJsonDocument::Indented));
}

bool KExcludeRules::fromJson(const QString& text) {
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(text.toUtf8(), &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject()) return false;
    const QJsonObject root = doc.object();
    if (root.value(QStringLiteral("version")).toInt(-1) != kStorageVersion) return false;
    std::array<Rules, 4> lists;
    std::array<bool, 4> switches{};
    for (RuleList list : kAllLists) {
        const QJsonValue entry = root.value(listName(list));
        if (entry.isUndefined()) continue;
        const QJsonObject o = entry.toObject();
        if (!entry.isObject() || !o.value(QStringLiteral("on")).isBool()) return false;
        const QJsonObject wrapped{{QStringLiteral("version"), kStorageVersion},
                                  {QStringLiteral("rules"), o.value(QStringLiteral("rules"))}};
        const int i = static_cast<int>(list);
        if (!decodeRules(QString::fromUtf8(QJsonDocument(wrapped).toJson()), lists[i])) return false;
        switches[i] = o.value(QStringLiteral("on")).toBool();
    }
    m_lists = std::move(lists);
    for (MatcherSlot& slot : m_matchers) slot.reset();
    m_switches = switches;
    return true;
}

bool KExcludeRules::anyEnabled() const {
    for (RuleList list : kAllLists)
        if (inForce(list)) return true;
    return false;
}

bool KExcludeRules::anyMatches(RuleList list, std::string_view name) const {
    MatcherSlot& slot = m_matchers[static_cast<int>(list)];
    if (!slot.matcher) slot.matcher = std::make_unique<RuleListMatcher>(m_lists[static_cast<int>(list)]);
    return slot.matcher->anyMatches(name, m_scanRootPath);
}

bool KExcludeRules::shouldExclude(std::string_view name, bool file) const {
    const RuleList list = file ? RuleList::FileRules : RuleList::FolderRules;
    return !rules(list).empty() && anyMatches(list, name);
}

bool KExcludeRules::shouldCompareOnly(std::string_view name, bool file) const {
    const RuleList list = file ? RuleList::CompareOnlyFileRules : RuleList::CompareOnlyFolderRules;
    return rules(list).empty() || anyMatches(list, name);
}

int KExcludeRules::validateRule(const KExcludeRule& rule, const Rules& inRules, const KExcludeRule* ignoreRule) {
    if (rule.pattern().isEmpty()) return 1;
    if (rule.matchType() == KRuleMatchRegex && !KExcludeRule::regexCompiles(rule.pattern())) return 4;
    for (const KExcludeRule& other : inRules) {
        if (&other == ignoreRule || other.matchType() != rule.matchType()) continue;
        if (other.pattern() == rule.pattern() && other.caseSensitive() == rule.caseSensitive()) return 2;
        if (other.pattern().compare(rule.pattern(), Qt::CaseInsensitive) == 0 &&
            other.caseSensitive() != rule.caseSensitive())
            return 3;
    }
    return 0;
}

namespace {

const char* const kListLabels[] = {"exFileIssue0", "exFolderIssue0", "incFileIssue0", "incFolderIssue0"};

}  // namespace

KExcludeRuleIssue KExcludeRules::issueFor(RuleList list, std::size_t row, const char* finding) const {
    const KExcludeRule& rule = rules(list)[row];
    KExcludeRuleIssue issue;
    issue.isFileTable = list == RuleList::FileRules || list == RuleList::CompareOnlyFileRules;
    issue.tableMode = list == RuleList::FileRules || list == RuleList::FolderRules ? 1 : 0;
    issue.row = static_cast<int>(row);
    issue.message = QStringLiteral("%1 #%2 (\"%3\"): %4")
                        .arg(Messages::text(kListLabels[static_cast<int>(list)]), QString::number(row + 1),
                             rule.pattern(), Messages::text(finding));
    return issue;
}

std::vector<KExcludeRuleIssue> KExcludeRules::validateAllRules() const {
    std::vector<KExcludeRuleIssue> issues;
    for (RuleList list : kAllLists) {
        if (!inForce(list)) continue;
        const Rules& listRules = rules(list);
        for (std::size_t row = 0; row < listRules.size(); ++row) {
            const KExcludeRule& rule = listRules[row];
            const int code = validateRule(rule, listRules, &rule);
            if (code == 0) continue;
            const char* finding = code == 1 ? "ruleIssue1" : code == 4 ? "ruleIssue2" : code == 2 ? "ruleIssue3" : "ruleIssue4";
            issues.push_back(issueFor(list, row, finding));
        }
    }
    return issues;
}

std::vector<KExcludeRuleIssue> KExcludeRules::slowRules() const {
    std::vector<KExcludeRuleIssue> issues;
    for (RuleList list : kAllLists) {
        if (!inForce(list)) continue;
        const Rules& listRules = rules(list);
        for (std::size_t row = 0; row < listRules.size(); ++row)
            if (listRules[row].isSlowOnHostileNames()) issues.push_back(issueFor(list, row, "ruleSlow"));
    }
    return issues;
}

void KExcludeRules::guardRegexes(const std::atomic<bool>* cancelled,
                                 std::function<void(const QString& pattern)> onTimeOut) {
    m_guard.guard = std::make_unique<RegexGuard>(RegexGuard{cancelled, std::move(onTimeOut)});
    for (const Rules& list : m_lists)
        for (const KExcludeRule& rule : list) rule.setGuard(m_guard.guard.get());
}

QString KExcludeRules::encodeRules(const Rules& rules) {
    QJsonArray array;
    for (const KExcludeRule& rule : rules)
        array.append(QJsonObject{{QStringLiteral("matchType"), static_cast<qint64>(rule.matchType())},
                                 {QStringLiteral("pattern"), rule.pattern()},
                                 {QStringLiteral("caseSensitive"), rule.caseSensitive()}});
    const QJsonObject root{{QStringLiteral("version"), kStorageVersion}, {QStringLiteral("rules"), array}};
    return QString::fromUtf8(QJsonDocument(root).toJson(QJsonDocument::Compact));
}

bool KExcludeRules::decodeRules(const QString& text, Rules& out) {
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(text.toUtf8(), &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject()) return false;
    const QJsonObject root = doc.object();
    if (root.value(QStringLiteral("version")).toInt(-1) != kStorageVersion) return false;
    const QJsonValue array = root.value(QStringLiteral("rules"));
    if (!array.isArray()) return false;
    Rules decoded;
    for (const QJsonValue& value : array.toArray()) {
        const QJsonObject o = value.toObject();
        const QJsonValue type = o.value(QStringLiteral("matchType"));
        const QJsonValue pattern = o.value(QStringLiteral("pattern"));
        const QJsonValue caseSensitive = o.value(QStringLiteral("caseSensitive"));
        if (!value.isObject() || !type.isDouble() || type.toDouble() != static_cast<double>(type.toInteger()) ||
            !pattern.isString() || !caseSensitive.isBool())
            return false;
        decoded.emplace_back(type.toInteger(), pattern.toString(), caseSensitive.toBool());
    }
    out = std::move(decoded);
    return true;
}

QStringList KExcludeRules::load(Settings& settings) {
    QStringList unreadable;
    for (RuleList list : kAllLists) {
        const int i = static_cast<int>(list);
        m_switches[i] = settings.boolValue(QString::fromLatin1(switchKey(list)));
        const QString key = QString::fromLatin1(storageKey(list));
        const QVariant stored = settings.value(key);
        if (!stored.isValid()) continue;
        m_matchers[i].reset();
        if (!decodeRules(stored.toString(), m_lists[i])) {
            m_lists[i].clear();
            settings.store(key + QStringLiteral("Unreadable"), stored);
            unreadable << key;
        }
    }
    CorrectCheckboxes(&settings);
    return unreadable;
}

void KExcludeRules::save(Settings& settings) const {
    for (RuleList list : kAllLists) {
        settings.store(QString::fromLatin1(storageKey(list)), encodeRules(rules(list)));
        settings.store(QString::fromLatin1(switchKey(list)), switchOn(list));
    }
}

void KExcludeRules::CorrectCheckboxes(Settings* settings) {
    for (RuleList list : kAllLists) {
        if (!switchOn(list) || !rules(list).empty()) continue;
        setSwitch(list, false);
        if (settings) settings->store(QString::fromLatin1(switchKey(list)), false);
    }
}

}  // namespace qv
