#include "filecompare/KLCS.h"
#include "filecompare/Levenshtein.h"

#include <QStringList>

#include <random>

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
    EXPECT_TRUE(KLCS::SplitComponentsFrom(u"!! --").empty());
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

TEST(KLCSTest, ABlockSplitsAsItsLinesWithBreaksBetween) {
    // Changed blocks are split line by line (some lines ahead of time): that
    // must give what splitting the block as one text gives, whatever script,
    // joiner, combining mark or carriage return stands next to a break.
    const QStringList blocks = {
        QStringLiteral("int a = 1;\n  b(c, \"d\");\n\n}\n"),
        QStringLiteral("日本語のテキスト\nภาษาไทยง่ายๆ\n中文 words 混合\n"),
        QStringLiteral("👩‍💻 coder\n\u0301accent first\ne\u0301\u200d\nzero\u200bwidth"),
        QStringLiteral("line\r\nnext\r\n   \n\t\ttabs\n\u00a0nbsp \n"),
        QStringLiteral("no words here: ;;;\n--\n"),
        QStringLiteral("can't won't\nO'Neil's 3.14 1,000\n"),
    };
    for (const QString& block : blocks) {
        std::vector<TextComponent> whole, byLine;
        bool wholeWord = false, lineWord = false;
        KLCS::AppendComponents(block, 0, whole, wholeWord);
        static const QString kBreak = QStringLiteral("\n");
        qsizetype offset = 0;
        const QStringList lines = block.split(QLatin1Char('\n'));
        for (qsizetype i = 0; i < lines.size(); ++i) {
            KLCS::AppendComponents(lines[i], offset, byLine, lineWord);
            offset += lines[i].size();
            if (i + 1 < lines.size()) byLine.push_back({offset++, kBreak});
        }
        EXPECT_EQ(wholeWord, lineWord) << block.toStdString();
        ASSERT_EQ(whole.size(), byLine.size()) << block.toStdString();
        for (std::size_t i = 0; i < whole.size(); ++i) {
            EXPECT_EQ(whole[i].pos, byLine[i].pos) << block.toStdString() << " at " << i;
            EXPECT_EQ(whole[i].text.toString(), byLine[i].text.toString()) << block.toStdString() << " at " << i;
        }
    }
}

// ASCII text is split without ICU: its words, and the pieces between them,
// must be the ones ICU's word iterator gives, for every mix of the
// characters the word rules treat apart, and of all ASCII.
TEST(KLCSTest, AsciiTextSplitsAsIcuSplitsIt) {
    QString anyAscii;
    for (int c = 1; c < 128; ++c) anyAscii += QChar(c);
    const QString alphabets[] = {QStringLiteral("aZq09_@.',;:\" \t-!#\x01"), anyAscii};
    std::mt19937 random(12345);
    const auto describe = [](const std::vector<TextComponent>& comps) {
        QStringList out;
        for (const auto& c : comps) out << QString::number(c.pos) + QLatin1Char(':') + c.text.toString();
        return out.join(QLatin1Char('|')).toStdString();
    };
    for (const QString& alphabet : alphabets) {
        for (int round = 0; round < 20000; ++round) {
            QString s;
            const int length = int(random() % 32);
            for (int i = 0; i < length; ++i) s += alphabet[qsizetype(random() % alphabet.size())];
            std::vector<TextComponent> fast, icu;
            bool fastWord = false, icuWord = false;
            KLCS::AppendComponents(s, 7, fast, fastWord);
            KLCS::AppendComponentsWithIcu(s, 7, icu, icuWord);
            ASSERT_EQ(describe(fast), describe(icu)) << "text \"" << s.toStdString() << "\"";
            ASSERT_EQ(fastWord, icuWord) << "text \"" << s.toStdString() << "\"";
        }
    }
}
