// A regular expression that backtracks without end on some names must not
// hold a comparison: its match is stopped, reported once and taken as no match.

#include "filters/KExcludeRules.h"

#include <gtest/gtest.h>

#include <atomic>

namespace qv {
namespace {

const QString kHostile = QStringLiteral("(a+)+$");
// Exponential in its length for the pattern above: hours without a limit.
const QString kHostileName = QString(41, 'a') + '!';

KExcludeRules rulesWith(std::int64_t kind, const QString& pattern) {
    KExcludeRules rules;
    rules.rules(RuleList::FileRules).emplace_back(kind, pattern, false);
    rules.setSwitch(RuleList::FileRules, true);
    return rules;
}

TEST(RegexGuardTest, AMatchThatRunsOutOfTimeIsReportedOnceAndMatchesNothing) {
    KExcludeRules rules = rulesWith(KRuleMatchRegex, kHostile);
    QStringList reported;
    rules.guardRegexes(nullptr, [&](const QString& pattern) { reported << pattern; });

    EXPECT_FALSE(rules.shouldExclude(kHostileName.toStdString(), true));
    EXPECT_TRUE(rules.rules(RuleList::FileRules).front().timedOut());
    // Even names it would match are now passed over, without another wait or report.
    EXPECT_FALSE(rules.shouldExclude(kHostileName.toStdString(), true));
    EXPECT_FALSE(rules.shouldExclude(std::string_view("aaa"), true));
    EXPECT_EQ(reported, QStringList{kHostile});

    // A fresh copy of the rules (a new run) tries the rule again.
    KExcludeRules next = rules;
    EXPECT_TRUE(next.shouldExclude(std::string_view("aaa"), true));
}

TEST(RegexGuardTest, ACancelledRunStopsAMatchWithoutCallingItATimeOut) {
    KExcludeRules rules = rulesWith(KRuleMatchRegex, kHostile);
    std::atomic<bool> cancelled{true};
    int reports = 0;
    rules.guardRegexes(&cancelled, [&](const QString&) { ++reports; });
    EXPECT_FALSE(rules.shouldExclude(kHostileName.toStdString(), true));
    EXPECT_FALSE(rules.rules(RuleList::FileRules).front().timedOut());
    EXPECT_EQ(reports, 0);
    cancelled = false;
    EXPECT_TRUE(rules.shouldExclude(std::string_view("aaaa"), true));
}

TEST(RegexGuardTest, HostileNamesExposeBacktrackingPatternsOfEveryRegexKind) {
    struct Case {
        std::int64_t kind;
        const char* pattern;
        bool slow;
    };
    const Case cases[] = {
        {KRuleMatchRegex, "(a+)+$", true},
        {KRuleMatchRegex, "^(\\d+)*x", true},
        {KRuleMatchRegex, "(x|xx)+y", true},
        {KRuleMatchWildcard, "*a*a*a*a*a*a*a*a*b", true},
        {KRuleMatchRegex, "\\d{4}-\\d{2}-\\d{2}", false},
        {KRuleMatchRegex, "^report", false},
        {KRuleMatchWildcard, "*.txt", false},
        {KRuleMatchPath, "*/node_modules", false},
        {KRuleMatchSuffix, ".tmp", false},
    };
    for (const Case& c : cases) {
        const KExcludeRule rule(c.kind, QString::fromLatin1(c.pattern), false);
        EXPECT_EQ(rule.isSlowOnHostileNames(), c.slow) << c.pattern;
    }
    KExcludeRules rules = rulesWith(KRuleMatchRegex, kHostile);
    rules.rules(RuleList::FileRules).emplace_back(KRuleMatchPrefix, QStringLiteral("tmp"), false);
    const auto slow = rules.slowRules();
    ASSERT_EQ(slow.size(), 1u);
    EXPECT_EQ(slow[0].row, 0);
    EXPECT_TRUE(slow[0].message.contains(kHostile)) << slow[0].message.toStdString();
}

}  // namespace
}  // namespace qv
