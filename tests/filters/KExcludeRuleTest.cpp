#include "filters/KExcludeRules.h"

#include <gtest/gtest.h>

namespace qv {
namespace {

// How a rule set answers for a name: the way the scan asks, lowercasing for
// rules that ignore case.
bool excludes(std::int64_t kind, const QString& pattern, const QString& name, bool caseSensitive = false,
              const QString& folder = QStringLiteral("/data/proj")) {
    KExcludeRules rules;
    rules.rules(RuleList::FileRules).emplace_back(kind, pattern, caseSensitive);
    rules.setSwitch(RuleList::FileRules, true);
    rules.beginScanWithRootPath(folder);
    return rules.shouldExclude(name, true);
}

TEST(KExcludeRuleTest, NameKindsAndCase) {
    EXPECT_TRUE(excludes(KRuleMatchPrefix, QStringLiteral("README"), QStringLiteral("readme.md")));
    EXPECT_FALSE(excludes(KRuleMatchPrefix, QStringLiteral("README"), QStringLiteral("readme.md"), true));
    EXPECT_TRUE(excludes(KRuleMatchPrefix, QStringLiteral("README"), QStringLiteral("README.md"), true));
    EXPECT_TRUE(excludes(KRuleMatchContains, QStringLiteral("port"), QStringLiteral("Report.pdf")));
    EXPECT_TRUE(excludes(KRuleMatchSuffix, QStringLiteral(".TMP"), QStringLiteral("x.tmp")));
    EXPECT_FALSE(excludes(KRuleMatchSuffix, QStringLiteral(".tmp"), QStringLiteral("x.tmp.keep")));
    // Letter case beyond ASCII.
    EXPECT_TRUE(excludes(KRuleMatchPrefix, QStringLiteral("\u00C9t\u00E9"), QStringLiteral("\u00E9T\u00C9 2024")));
    EXPECT_TRUE(excludes(KRuleMatchRegex, QStringLiteral("\u00C9T\u00C9"), QStringLiteral("\u00E9t\u00E9")));
    // An empty pattern matches nothing.
    EXPECT_FALSE(excludes(KRuleMatchPrefix, QString(), QStringLiteral("anything")));
    EXPECT_FALSE(excludes(KRuleMatchContains, QString(), QStringLiteral("anything")));
    // Kinds that define no match never match.
    for (std::int64_t kind : {5, 6, 7, 8, 10, 42, -1})
        EXPECT_FALSE(excludes(kind, QStringLiteral("a"), QStringLiteral("a"))) << kind;
}

TEST(KExcludeRuleTest, WildcardsAreAnchoredAndOnlyStarAndQuestionMarkAreSpecial) {
    EXPECT_TRUE(excludes(KRuleMatchWildcard, QStringLiteral("*.txt"), QStringLiteral("a.txt")));
    EXPECT_FALSE(excludes(KRuleMatchWildcard, QStringLiteral("*.txt"), QStringLiteral("a.txt.bak")));
    EXPECT_FALSE(excludes(KRuleMatchWildcard, QStringLiteral("*.txt"), QStringLiteral("atxt")));   // the dot is a dot
    EXPECT_TRUE(excludes(KRuleMatchWildcard, QStringLiteral("file?.log"), QStringLiteral("File7.LOG")));
    EXPECT_FALSE(excludes(KRuleMatchWildcard, QStringLiteral("file?.log"), QStringLiteral("file.log")));
    // Brackets, braces and other regex characters stand for themselves.
    EXPECT_TRUE(excludes(KRuleMatchWildcard, QStringLiteral("[draft] (1)+{x}|^$.txt"), QStringLiteral("[draft] (1)+{x}|^$.txt")));
    EXPECT_FALSE(excludes(KRuleMatchWildcard, QStringLiteral("[ab].txt"), QStringLiteral("a.txt")));
    EXPECT_TRUE(excludes(KRuleMatchWildcard, QStringLiteral("back\\slash*"), QStringLiteral("back\\slash.x")));
    EXPECT_EQ(KExcludeRule::wildcardToRegex(QStringLiteral("a*b?.c"), false), QStringLiteral("^a.*b.\\.c$"));
    EXPECT_EQ(KExcludeRule::wildcardToRegex(QStringLiteral("//x/y/"), true), QStringLiteral("(^|/)x/y(/|$)"));
}

TEST(KExcludeRuleTest, PathRulesMatchRunsOfWholeComponents) {
    const QString folder = QStringLiteral("/home/me/proj");
    EXPECT_TRUE(excludes(KRuleMatchPath, QStringLiteral("*/node_modules"), QStringLiteral("node_modules"), false, folder));
    EXPECT_TRUE(excludes(KRuleMatchPath, QStringLiteral("/*/node_modules/"), QStringLiteral("node_modules"), false, folder));
    EXPECT_FALSE(excludes(KRuleMatchPath, QStringLiteral("*/node_modules"), QStringLiteral("node_modules_old"), false, folder));
    EXPECT_TRUE(excludes(KRuleMatchPath, QStringLiteral("proj/build"), QStringLiteral("build"), false, folder));
    EXPECT_FALSE(excludes(KRuleMatchPath, QStringLiteral("oj/build"), QStringLiteral("build"), false, folder));
    EXPECT_TRUE(excludes(KRuleMatchPath, QStringLiteral("me/*/out.o"), QStringLiteral("out.o"), false,
                         QStringLiteral("/home/me/a/b")));   // a star spans components
    // Without a folder being scanned a path rule has nothing to match.
    EXPECT_FALSE(excludes(KRuleMatchPath, QStringLiteral("*"), QStringLiteral("x"), false, QString()));
}

TEST(KExcludeRuleTest, RegularExpressionsAreFoundAnywhereAndBadOnesNeverMatch) {
    EXPECT_TRUE(excludes(KRuleMatchRegex, QStringLiteral("\\d{4}-\\d{2}-\\d{2}"), QStringLiteral("log 2024-05-01.txt")));
    EXPECT_FALSE(excludes(KRuleMatchRegex, QStringLiteral("^\\d{4}"), QStringLiteral("log 2024")));
    EXPECT_FALSE(excludes(KRuleMatchRegex, QStringLiteral("(["), QStringLiteral("([")));
    EXPECT_FALSE(KExcludeRule::regexCompiles(QStringLiteral("a{2")));
    EXPECT_TRUE(KExcludeRule::regexCompiles(QStringLiteral("a{2}")));

    // Changing a rule drops what it had compiled.
    KExcludeRule rule(KRuleMatchRegex, QStringLiteral("abc"), true);
    EXPECT_TRUE(rule.matchesName(QStringLiteral("xabcx")));
    rule.setPattern(QStringLiteral("xyz"));
    EXPECT_FALSE(rule.matchesName(QStringLiteral("xabcx")));
    rule.setMatchType(KRuleMatchSuffix);
    EXPECT_TRUE(rule.matchesName(QStringLiteral("wxyz")));
}

}  // namespace
}  // namespace qv
