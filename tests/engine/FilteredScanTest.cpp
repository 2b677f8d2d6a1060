#include "support/ScanHarness.h"
#include "support/TempTree.h"

#include <gtest/gtest.h>

namespace qv::test {
namespace {

class FilteredScanTest : public ::testing::Test {
protected:
    TempTree left, right;
    KExcludeRules rules;

    void both(const std::string& path, std::size_t size = 1) {
        left.file(path, size);
        right.file(path, size);
    }
    void add(RuleList list, std::int64_t kind, const char* pattern) {
        rules.rules(list).emplace_back(kind, QString::fromUtf8(pattern), false);
        rules.setSwitch(list, true);
    }
    std::unique_ptr<ScanRun> scan(const ScanOptions& options = {}) {
        return scanFolders(left.root(), right.root(), options, {.rules = &rules});
    }
};

TEST_F(FilteredScanTest, AFolderRuleDropsTheWholeSubtreeOnBothSides) {
    both("proj/build/out.o", 10);
    left.file("proj/build/extra.o", 3);   // a difference nobody should see
    both("lib/build/keep.o", 2);
    both("src/main.c", 4);
    add(RuleList::FolderRules, KRuleMatchPath, "proj/build");
    auto run = scan();
    EXPECT_EQ(run->node("proj/build"), nullptr);
    ASSERT_NE(run->node("lib/build/keep.o"), nullptr);
    EXPECT_TRUE(run->scanner->iAnyFilterOn);
    EXPECT_EQ(run->root->iState, kStateEqual);
    EXPECT_EQ(run->root->iSize1, 6);   // left-out entries stay out of the totals too

    rules.setSwitch(RuleList::FolderRules, false);
    auto off = scan();
    EXPECT_EQ(off->node("proj/build/extra.o")->iState, kStateOnlyLeft);
}

TEST_F(FilteredScanTest, CompareOnlyFileRulesKeepFoldersOpenToReachMatchingFiles) {
    both("a/b/c/deep.txt", 5);
    left.file("a/b/notes.md", 1);
    right.file("a/b/notes.md", 9);
    both("top.TXT", 2);
    add(RuleList::CompareOnlyFileRules, KRuleMatchWildcard, "*.txt");
    auto run = scan();
    ASSERT_NE(run->node("a/b/c/deep.txt"), nullptr);
    EXPECT_EQ(run->node("a/b/c/deep.txt")->iState, kStateEqual);
    EXPECT_NE(run->node("top.TXT"), nullptr);
    EXPECT_EQ(run->node("a/b/notes.md"), nullptr);
    EXPECT_EQ(run->root->iState, kStateEqual);

    // Folder compare-only rules leave out every other folder at every level.
    add(RuleList::CompareOnlyFolderRules, KRuleMatchPrefix, "a");
    auto folders = scan();
    EXPECT_NE(folders->node("a"), nullptr);
    EXPECT_EQ(folders->node("a/b"), nullptr);
}

TEST_F(FilteredScanTest, FileRulesAndLeftOutEntriesInTotals) {
    both("keep.txt", 7);
    left.file("junk.tmp", 100);
    right.file("junk.tmp", 50);
    right.file("clash/x.tmp", 30);
    right.file("clash/y.txt", 3);
    left.file("clash", 1);
    add(RuleList::FileRules, KRuleMatchSuffix, ".tmp");

    auto run = scan();
    EXPECT_EQ(run->node("junk.tmp"), nullptr);
    ASSERT_NE(run->node("clash"), nullptr);
    EXPECT_EQ(run->node("clash")->iChildren().size(), 1u);
    EXPECT_EQ(run->node("clash")->iSize2, 3);
    EXPECT_EQ(run->root->iSize1, 8);

    ScanOptions counting;
    counting.iCalculateSameCompare = false;   // left-out entries count in the totals
    auto counted = scan(counting);
    EXPECT_EQ(counted->node("junk.tmp"), nullptr);
    EXPECT_EQ(counted->root->iSize1, 108);

    ScanOptions everything;
    everything.iDisableAllFilters = true;
    auto all = scan(everything);
    EXPECT_NE(all->node("junk.tmp"), nullptr);
    EXPECT_FALSE(all->scanner->iAnyFilterOn);
}

}  // namespace
}  // namespace qv::test
