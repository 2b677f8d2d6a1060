#include "filters/RuleListMatcher.h"

#include <QRegularExpression>
#include <QStringList>

#include <gtest/gtest.h>

#include <random>

namespace qv {
namespace {

// The plain reading of one rule, with another regular-expression engine and
// none of the shortcuts.
bool plainMatch(const KExcludeRule& rule, const QString& text) {
    const QString pattern = rule.caseSensitive() ? rule.pattern() : rule.pattern().toLower();
    switch (rule.matchType()) {
    case KRuleMatchPrefix: return !pattern.isEmpty() && text.startsWith(pattern);
    case KRuleMatchContains: return !pattern.isEmpty() && text.contains(pattern);
    case KRuleMatchSuffix: return !pattern.isEmpty() && text.endsWith(pattern);
    case KRuleMatchWildcard:
    case KRuleMatchPath:
    case KRuleMatchRegex: {
        const QString regex = rule.matchType() == KRuleMatchRegex
                                  ? rule.pattern()
                                  : KExcludeRule::wildcardToRegex(rule.pattern(), rule.matchType() == KRuleMatchPath);
        const QRegularExpression re(regex, rule.caseSensitive() ? QRegularExpression::NoPatternOption
                                                                : QRegularExpression::CaseInsensitiveOption);
        return re.isValid() && re.match(text).hasMatch();
    }
    default: return false;
    }
}

bool naiveAnyMatches(const std::vector<KExcludeRule>& rules, const QString& name, const QString& folder) {
    for (const KExcludeRule& rule : rules) {
        QString text = name;
        if (rule.matchType() == KRuleMatchPath) {
            if (folder.isEmpty()) continue;
            text = folder + '/' + name;
        }
        if (!rule.caseSensitive()) text = text.toLower();
        if (plainMatch(rule, text)) return true;
    }
    return false;
}

TEST(RuleListMatcherTest, AgreesWithTestingEveryRuleOnRandomNamesAndRules) {
    const QStringList patterns = {
        QStringLiteral("ab"), QStringLiteral("Ab.c"), QStringLiteral("*.txt"), QStringLiteral("a*b?c"),
        QStringLiteral("x*x*x"), QStringLiteral("*/ab/*"), QStringLiteral("cd/e*"), QStringLiteral("[ab]"),
        QStringLiteral("a\\d+b"), QStringLiteral("^ab|cd$"), QStringLiteral("(ab)?c"), QStringLiteral("b{2}"),
        QStringLiteral("\u00E9t\u00E9"), QStringLiteral("\\x41"), QStringLiteral("t.t"), QStringLiteral("?"),
        QStringLiteral("AB"), QStringLiteral("c"), QStringLiteral("ab*"),
    };
    const std::int64_t kinds[] = {0, 1, 2, 3, 4, 9, 6};
    const QString alphabet = QStringLiteral("abcABCdex./t\u00E9\u00C9 12");
    std::mt19937 rng(11);
    auto pick = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); };

    for (int round = 0; round < 60; ++round) {
        std::vector<KExcludeRule> rules;
        const int count = 1 + pick(12);
        for (int i = 0; i < count; ++i)
            rules.emplace_back(kinds[pick(7)], patterns[pick(static_cast<int>(patterns.size()))], pick(2) == 0);
        RuleListMatcher matcher(rules);
        for (int n = 0; n < 80; ++n) {
            QString name;
            const int length = 1 + pick(9);
            for (int i = 0; i < length; ++i) name += alphabet[pick(static_cast<int>(alphabet.size()))];
            const QString folder = pick(4) == 0 ? QString() : QStringLiteral("/r/ab/cd");
            EXPECT_EQ(matcher.anyMatches(name.toStdString(), folder.toStdString()), naiveAnyMatches(rules, name, folder))
                << "round " << round << " name " << name.toStdString() << " folder " << folder.toStdString() << " rules "
                << [&] {
                       std::string all;
                       for (const KExcludeRule& r : rules)
                           all += std::to_string(r.matchType()) + ":" + r.pattern().toStdString() + (r.caseSensitive() ? "/cs " : " ");
                       return all;
                   }();
        }
    }
}

}  // namespace
}  // namespace qv
