#include "filecompare/KFileMerger.h"

#include <gtest/gtest.h>

using namespace qv;

namespace {

QStringList numbered(const char* prefix, int n) {
    QStringList out;
    for (int i = 1; i <= n; ++i) out << QStringLiteral("%1%2").arg(prefix).arg(i);
    return out;
}

std::optional<DiffChunk> chunk(const char* command, bool left = false) {
    auto c = DiffChunk::parseCommand(QString::fromLatin1(command));
    if (c) c->isLeftChunk = left;
    return c;
}

}  // namespace

TEST(KFileMergerTest, CommandsGiveZeroBasedRangesWithEmptyAnchors) {
    auto c = DiffChunk::parseCommand(u"12,14c12,15");
    ASSERT_TRUE(c);
    EXPECT_EQ(c->type, DiffChunk::Change);
    EXPECT_EQ(c->leftRange, (LineRange{11, 3}));
    EXPECT_EQ(c->rightRange, (LineRange{11, 4}));
    EXPECT_FALSE(c->isLeftChunk);
    c = DiffChunk::parseCommand(u"5a6,8");
    EXPECT_EQ(c->type, DiffChunk::Insertion);
    EXPECT_EQ(c->leftRange, (LineRange{5, 0}));
    EXPECT_EQ(c->rightRange, (LineRange{5, 3}));
    c = DiffChunk::parseCommand(u"3,4d2");
    EXPECT_EQ(c->leftRange, (LineRange{2, 2}));
    EXPECT_EQ(c->rightRange, (LineRange{2, 0}));
    c = DiffChunk::parseCommand(u"0a1,2");
    EXPECT_EQ(c->leftRange, (LineRange{0, 0}));
    EXPECT_FALSE(DiffChunk::parseCommand(u"12,14x3"));
    EXPECT_EQ(DiffChunk::parseRange(u"x,3").location, LineRange::kNotFound);
}

TEST(KFileMergerTest, MergeTakesTheChosenSideOfEveryChange) {
    KFileMerger merger;
    merger.SetContent(numbered("L", 8), numbered("R", 10));
    {   // no changes: the left file, nothing flagged
        const auto merged = merger.MergeWithSelections({});
        EXPECT_EQ(*merged, numbered("L", 8));
        EXPECT_EQ(merger.iMergedLines(), std::vector<bool>(8, false));
    }
    {   // insertion, right side taken
        const auto merged = merger.MergeWithSelections({chunk("5a6,8")});
        EXPECT_EQ(*merged, (QStringList{"L1", "L2", "L3", "L4", "L5", "R6", "R7", "R8", "L6", "L7", "L8"}));
        EXPECT_EQ(std::count(merger.iMergedLines().begin(), merger.iMergedLines().end(), true), 3);
        EXPECT_EQ(merger.iMergedContent().size(), qsizetype(merger.iMergedLines().size()));
    }
    {   // insertion, left side taken: nothing added
        EXPECT_EQ(*merger.MergeWithSelections({chunk("5a6,8", true)}), numbered("L", 8));
    }
    {   // deletion: right drops the lines, left keeps them
        EXPECT_EQ(*merger.MergeWithSelections({chunk("3,4d2")}),
                  (QStringList{"L1", "L2", "L5", "L6", "L7", "L8"}));
        EXPECT_EQ(*merger.MergeWithSelections({chunk("3,4d2", true)}), numbered("L", 8));
    }
    {   // insertion at the very start, then a change taking each side
        const auto merged = merger.MergeWithSelections({chunk("0a1,2"), chunk("3c5"), chunk("6,7c8", true)});
        EXPECT_EQ(*merged, (QStringList{"R1", "R2", "L1", "L2", "R5", "L4", "L5", "L6", "L7", "L8"}));
    }
    EXPECT_FALSE(merger.MergeWithSelections({chunk("2c2"), std::nullopt}));
}

// Whether the merged file ends with a line break follows the side whose last
// line it took: the line comparison reports a missing final break as a change.
TEST(KFileMergerTest, TheFinalLineBreakFollowsTheSideOfTheLastChange) {
    KFileMerger merger;
    const auto split = [](const char* text) { return QString::fromLatin1(text).split(u'\n'); };
    // "a\nb" against "a\nb\n": the tool says 2c2.
    merger.SetContent(split("a\nb"), split("a\nb\n"));
    EXPECT_EQ(merger.MergeWithSelections({chunk("2c2")})->join(u'\n'), "a\nb\n");
    EXPECT_EQ(merger.MergeWithSelections({chunk("2c2", true)})->join(u'\n'), "a\nb");
    // The right side's end dropped: "1\n2\n3\n4" against "1\n2\n" is 3,4d2.
    merger.SetContent(split("1\n2\n3\n4"), split("1\n2\n"));
    EXPECT_EQ(merger.MergeWithSelections({chunk("3,4d2")})->join(u'\n'), "1\n2\n");
    EXPECT_EQ(merger.MergeWithSelections({chunk("3,4d2", true)})->join(u'\n'), "1\n2\n3\n4");
    // Lines added at the end of a file without a final break.
    merger.SetContent(split("1\n2"), split("1\n2\n3"));
    EXPECT_EQ(merger.MergeWithSelections({chunk("2c2,3")})->join(u'\n'), "1\n2\n3");
    // A change before the end leaves the left file's ending alone.
    merger.SetContent(split("a\nb\nc\n"), split("a\nB\nc\n"));
    const auto merged = merger.MergeWithSelections({chunk("2c2")});
    EXPECT_EQ(merged->join(u'\n'), "a\nB\nc\n");
    EXPECT_EQ(merger.iMergedLines(), (std::vector<bool>{false, true, false, false}));
}
