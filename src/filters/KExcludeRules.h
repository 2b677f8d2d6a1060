#pragma once
// The filter rules of a window: four ordered lists (files and folders to
// leave out, files and folders to compare exclusively), each with a switch.

#include "filters/KExcludeRule.h"
#include "filters/RuleListMatcher.h"

#include <QString>
#include <QStringList>

#include <array>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace qv {

class Settings;

enum class RuleList { FileRules = 0, FolderRules = 1, CompareOnlyFileRules = 2, CompareOnlyFolderRules = 3 };

// One finding of the validation.
struct KExcludeRuleIssue {
    bool isFileTable = false;
    int tableMode = 1;   // 1 the exclude list, 0 the compare-only list
    int row = 0;         // 0-based
    QString message;
};

class KExcludeRules {
public:
    using Rules = std::vector<KExcludeRule>;

    // Editing a list drops its prepared matcher.
    Rules& rules(RuleList list) {
        m_matchers[static_cast<int>(list)].reset();
        return m_lists[static_cast<int>(list)];
    }
    const Rules& rules(RuleList list) const { return m_lists[static_cast<int>(list)]; }
    bool switchOn(RuleList list) const { return m_switches[static_cast<int>(list)]; }
    void setSwitch(RuleList list, bool on) { m_switches[static_cast<int>(list)] = on; }

    // A list is in force when its switch is on and it holds rules.
    bool FilesExcludedEnabled() const { return inForce(RuleList::FileRules); }
    bool FoldersExcludedEnabled() const { return inForce(RuleList::FolderRules); }
    bool CmpOnlyFilesEnabled() const { return inForce(RuleList::CompareOnlyFileRules); }
    bool CmpOnlyFoldersEnabled() const { return inForce(RuleList::CompareOnlyFolderRules); }
    bool anyEnabled() const;

    // The folder whose entries are being tested; path rules see the entry's full path below it.
    void beginScanWithRootPath(const QString& path) { m_scanRootPath = path.toStdString(); }
    void beginScanWithRootPath(std::string_view utf8Path) { m_scanRootPath.assign(utf8Path); }
    bool shouldExclude(const QString& name, bool file) const { return shouldExclude(name.toStdString(), file); }
    bool shouldCompareOnly(const QString& name, bool file) const { return shouldCompareOnly(name.toStdString(), file); }
    // The same for a name given as its UTF-8 bytes (the scan's own form).
    bool shouldExclude(std::string_view name, bool file) const;
    bool shouldCompareOnly(std::string_view name, bool file) const;

    // 0 fine, 1 empty pattern, 2 duplicate, 3 same pattern but for case with the
    // other case setting, 4 a regular expression that does not compile.
    static int validateRule(const KExcludeRule& rule, const Rules& inRules, const KExcludeRule* ignoreRule);
    std::vector<KExcludeRuleIssue> validateAllRules() const;
    // The rules in force whose regular expression runs out of time on names
    // built to make it backtrack: they would be treated as not matching.
    std::vector<KExcludeRuleIssue> slowRules() const;

    // Guards every rule's matching for one run (see RegexGuard); a copy of
    // the rule set is not guarded until it is given its own.
    void guardRegexes(const std::atomic<bool>* cancelled, std::function<void(const QString& pattern)> onTimeOut);

    // The stored lists and switches. Returns the keys whose stored text could
    // not be read: those lists are empty and a copy of the text is kept beside
    // the key (KEY + "Unreadable").
    QStringList load(Settings& settings);
    void save(Settings& settings) const;
    // Switches whose list is empty are turned off, here and in the settings.
    void CorrectCheckboxes(Settings* settings);

    // The whole set (lists and switches) as a rule file, and back. fromJson
    // changes nothing and returns false when the text is not such a file.
    QString toJson() const;
    bool fromJson(const QString& text);

    // The JSON form of one list, and back; false when the text is not a list of this version.
    static QString encodeRules(const Rules& rules);
    static bool decodeRules(const QString& text, Rules& out);

    static const char* storageKey(RuleList list);
    static const char* switchKey(RuleList list);
    static QString listName(RuleList list);
    static bool listFromName(const QString& name, RuleList& out);
    static const std::array<RuleList, 4>& allLists();

private:
    bool inForce(RuleList list) const { return switchOn(list) && !rules(list).empty(); }
    bool anyMatches(RuleList list, std::string_view name) const;

    // Prepared on first use; a copy of the rule set prepares its own.
    struct MatcherSlot {
        std::unique_ptr<RuleListMatcher> matcher;
        MatcherSlot() = default;
        MatcherSlot(const MatcherSlot&) {}
        MatcherSlot& operator=(const MatcherSlot&) { matcher.reset(); return *this; }
        MatcherSlot(MatcherSlot&&) = default;
        MatcherSlot& operator=(MatcherSlot&&) = default;
        void reset() { matcher.reset(); }
    };

    // Held apart so its address stays the same however the set is moved; a copy starts without.
    struct GuardSlot {
        std::unique_ptr<RegexGuard> guard;
        GuardSlot() = default;
        GuardSlot(const GuardSlot&) {}
        GuardSlot& operator=(const GuardSlot&) { return *this; }
        GuardSlot(GuardSlot&&) = default;
        GuardSlot& operator=(GuardSlot&&) = default;
    };
    KExcludeRuleIssue issueFor(RuleList list, std::size_t row, const char* finding) const;

    std::array<Rules, 4> m_lists;
    GuardSlot m_guard;
    mutable std::array<MatcherSlot, 4> m_matchers;
    std::array<bool, 4> m_switches{};
    std::string m_scanRootPath;   // UTF-8
};

}  // namespace qv
