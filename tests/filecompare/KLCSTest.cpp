#include "filecompare/KLCS.h"
#include "filecompare/Levenshtein.h"

#include <QStringList>

#include <gtest/gtest.h>

using namespace qv;

namespace {

bool isSubsequence(const QString& sub, const QString& of) {
    qsizetype j = 0;
    for (QChar c : of)
        if (j < sub.size() && sub[j] == c) ++j;
    return j == sub.size();
}

QStringList texts(const std::vector<TextComponent>& comps) {
    QStringList out;
    for (const auto& c : comps) out << c.text.toString();
    return out;
}

}  // namespace

TEST(KLCSTest, ComponentsAreWordsSpaceRunsAndSingleOtherCharacters) {
    const QString s = "foo,  bar\tbaz";
    EXPECT_EQ(texts(KLCS::SplitComponentsFrom(s)), (QStringList{"foo", ",", "  ", "bar", "\t", "baz"}));
    EXPECT_TRUE(KLCS::SplitComponentsFrom("!! --").empty());
    const auto comps = KLCS::SplitComponentsFrom(s);
    EXPECT_EQ(comps[3].pos, 6);
}

TEST(KLCSTest, CharacterAndWordSubsequences) {
    const QString common = KLCS::CommonTextForString1(u"ABCBDAB", u"BDCABA");
    EXPECT_EQ(common.size(), 4);
    EXPECT_TRUE(isSubsequence(common, "ABCBDAB"));
    EXPECT_TRUE(isSubsequence(common, "BDCABA"));
    EXPECT_EQ(KLCS::CommonTextForString1(u"", u"abc"), QString());
    // A long common word outweighs several short ones.
    const auto words = KLCS::WordCommonTextForString1("x y z longword", "longword x y z");
    ASSERT_TRUE(words);
    EXPECT_EQ(*words, (std::vector<QString>{"longword"}));
    const auto same = KLCS::WordCommonTextForString1("int a = 1;", "int b = 1;");
    ASSERT_TRUE(same);
    EXPECT_EQ(*same, (std::vector<QString>{"int", " ", " ", "=", " ", "1", ";"}));
}

TEST(KLCSTest, WordTableIsCappedInsteadOfGrowingWithoutLimit) {
    QString a, b;
    for (int i = 0; i < 1200; ++i) a += QStringLiteral("w%1 ").arg(i);
    for (int i = 0; i < 1200; ++i) b += QStringLiteral("v%1 ").arg(i);
    EXPECT_FALSE(KLCS::WordCommonTextForString1(a, b));   // 2400 × 2400 components
}

TEST(KLCSTest, EditDistances) {
    EXPECT_FLOAT_EQ(Levenshtein::compareWithWord(u"kitten", u"sitting"), 3.0f);
    EXPECT_FLOAT_EQ(Levenshtein::compareWithWord(u" ab ", u"ab"), 0.0f);
    EXPECT_FLOAT_EQ(Levenshtein::compareWithWord(u"  ", u"abc"), 0.0f);
    EXPECT_FLOAT_EQ(Levenshtein::compareWithString(u"ab=cd", u"ab=ce"), 1.0f / 3.0f);
    EXPECT_FLOAT_EQ(Levenshtein::compareWithString(u"ab cd", u"xy"), 4.0f / 3.0f);
    EXPECT_FLOAT_EQ(Levenshtein::compareWithString(u"ab=cd", u"x y"), 0.0f);   // a space trims to nothing
    EXPECT_FLOAT_EQ(Levenshtein::compareWithString(u"--", u"abcd"), 4000.0f);
    EXPECT_FLOAT_EQ(Levenshtein::compareWithString(u"word", u"!!"), 1e8f);
    EXPECT_EQ(Levenshtein::smallestOf(3, -2, 7), -2);
}
