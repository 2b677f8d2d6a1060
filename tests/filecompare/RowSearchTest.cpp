// Finding text in a text comparison: the order of matches over both sides,
// wrapping at either end, case and whole words, one column only, and the
// row and offset a match is shown at.

#include "filecompare/RowSearch.h"

#include <gtest/gtest.h>

using namespace qv;

namespace {

struct Searched {
    std::size_t line;
    int side;
    qsizetype offset;
    bool wrapped;
    bool operator==(const Searched&) const = default;
};

// Every match in order from nothing, one further than the number of matches (the wrap).
std::vector<Searched> walk(const KDiffParser& parser, const QString& text, RowSearchOptions options, bool forward, int steps) {
    std::vector<Searched> out;
    std::optional<TextPosition> at;
    for (int i = 0; i < steps; ++i) {
        const auto m = RowSearch(parser).find(text, options, at, forward);
        if (!m) break;
        out.push_back({m->at.line, m->at.side, m->at.offset, m->wrapped});
        at = m->at;
    }
    return out;
}

KDiffParser parse(const char* commands, const char* left, const char* right) {
    KDiffParser p;
    EXPECT_TRUE(p.ParseDiff(QString::fromUtf8(commands), QString::fromUtf8(left), QString::fromUtf8(right)));
    return p;
}

}  // namespace

TEST(RowSearchTest, MatchesComeInTextOrderOverBothSidesAndWrap) {
    const KDiffParser p = parse("2c2\n3a4\n", "alpha beta\ngamma\ndelta alpha\n", "alpha beta\nGAMMA x\ndelta alpha\nextra\n");
    RowSearchOptions both;
    EXPECT_EQ(walk(p, "alpha", both, true, 5),
              (std::vector<Searched>{{0, 0, 0, false}, {0, 1, 0, false}, {2, 0, 6, false}, {2, 1, 6, false}, {0, 0, 0, true}}));
    EXPECT_EQ(walk(p, "alpha", both, false, 3),
              (std::vector<Searched>{{2, 1, 6, false}, {2, 0, 6, false}, {0, 1, 0, false}}));
    // A single match is found again when searching on from it.
    const auto once = RowSearch(p).find("extra", both, TextPosition{3, 1, 0}, true);
    ASSERT_TRUE(once);
    EXPECT_EQ(once->at, (TextPosition{3, 1, 0}));
    EXPECT_TRUE(once->wrapped);
    EXPECT_FALSE(RowSearch(p).find("nowhere", both, std::nullopt, true));
    EXPECT_FALSE(RowSearch(p).find("", both, std::nullopt, true));
}

TEST(RowSearchTest, CaseWholeWordsAndColumnsNarrowTheSearch) {
    const KDiffParser p = parse("2c2\n3a4\n", "alpha beta\ngamma\ndelta alpha\n", "alpha beta\nGAMMA x\ndelta alpha\nextra\n");
    RowSearchOptions o;
    EXPECT_EQ(RowSearch(p).find("GAMMA", o, std::nullopt, true)->at, (TextPosition{1, 0, 0}));
    o.matchCase = true;
    EXPECT_EQ(RowSearch(p).find("GAMMA", o, std::nullopt, true)->at, (TextPosition{1, 1, 0}));
    o = {};
    EXPECT_TRUE(RowSearch(p).find("alph", o, std::nullopt, true));
    o.wholeWord = true;
    EXPECT_FALSE(RowSearch(p).find("alph", o, std::nullopt, true));
    EXPECT_EQ(RowSearch(p).find("beta", o, std::nullopt, true)->at, (TextPosition{0, 0, 6}));
    o = {};
    o.sides = 1;
    EXPECT_FALSE(RowSearch(p).find("extra", o, std::nullopt, true));
    o.sides = 2;
    EXPECT_EQ(RowSearch(p).find("extra", o, std::nullopt, true)->at, (TextPosition{3, 1, 0}));
}

TEST(RowSearchTest, AMatchInsideAChangeIsPlacedInItsRowsText) {
    const KDiffParser p = parse("2,3c2,3\n", "x\none two\nthree\nend\n", "x\nONE two\nthree four\nend\n");
    ASSERT_EQ(p.rowCount(), 3u);
    for (const char* text : {"three", "two", "end", "four"}) {
        const auto m = RowSearch(p).find(QString::fromLatin1(text), {}, std::nullopt, true);
        ASSERT_TRUE(m) << text;
        EXPECT_EQ(p.rowText(m->at.side, m->row).indexOf(QString::fromLatin1(text)), m->rowOffset) << text;
    }
    EXPECT_EQ(RowSearch(p).find("three", {}, std::nullopt, true)->row, 1u);
}
