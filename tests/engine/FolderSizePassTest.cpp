#include "engine/FolderSizePass.h"
#include "filters/KExcludeRules.h"
#include "support/ScanHarness.h"
#include "support/TempTree.h"

#include <gtest/gtest.h>

#include <ftw.h>

namespace qv::test {
namespace {

// The apparent size of every file below a folder, the way du -b --apparent-size adds files.
std::int64_t apparentFileBytes(const std::string& folder) {
    static std::int64_t total;
    total = 0;
    ::nftw(folder.c_str(), [](const char*, const struct stat* st, int type, struct FTW*) {
        if (type == FTW_F || type == FTW_SL) total += st->st_size;
        return 0;
    }, 16, FTW_PHYS);
    return total;
}

class FolderSizePassTest : public ::testing::Test {
protected:
    TempTree left, right;
    SizeCache cache;

    std::unique_ptr<ScanRun> scanAndSize(const ScanOptions& options = {}, const KExcludeRules* rules = nullptr) {
        auto run = scanFolders(left.root(), right.root(), options, {.rules = rules});
        FolderSizePass pass(platform::systemFileSystem(), options, rules, cache);
        std::atomic<bool> cancelled{false};
        EXPECT_TRUE(pass.CalculateFolderSize(*run->root, run->scanner->iToCalcFolders, cancelled));
        return run;
    }
};

TEST_F(FolderSizePassTest, OneSidedFoldersGetTheirSizesAndCountsAddUp) {
    for (int i = 0; i < 3; ++i) left.file("lonely/f" + std::to_string(i), 100 + i);
    left.file("lonely/sub/a", 7);
    left.file("lonely/sub/b", 8);
    left.link("lonely/ln", "/somewhere");
    right.file("fresh/deep/x", 1000);
    left.file("pair/same", 5);
    right.file("pair/same", 5);
    left.file("pair/diff", 5);
    right.file("pair/diff", 6);
    right.file("pair/new", 9);

    auto run = scanAndSize();
    KItem* lonely = run->node("lonely");
    ASSERT_NE(lonely, nullptr);
    EXPECT_TRUE(lonely->iSizeReady);
    EXPECT_EQ(lonely->folderIfAny()->iFiles1, 6u);   // 3 + 2 + the link
    EXPECT_EQ(lonely->folderIfAny()->iFolders1, 1u);
    EXPECT_EQ(lonely->iSize1, apparentFileBytes(left.path("lonely")));
    EXPECT_EQ(run->root->iSize1, apparentFileBytes(left.root()));
    EXPECT_EQ(run->root->iSize2, apparentFileBytes(right.root()));
    EXPECT_TRUE(run->root->iSizeReady);

    // A one-sided folder is one orphan; a difference counts once per side.
    const FolderPart& r = *run->root->folderIfAny();
    EXPECT_EQ(r.iOrphans1, 1u);
    EXPECT_EQ(r.iOrphans2, 2u);   // "fresh" and pair/new
    EXPECT_EQ(r.iDiffs1, 1u);
    EXPECT_EQ(r.iDiffs2, 1u);
    EXPECT_EQ(NumberOfDifferences(*run->root), 4u);
    EXPECT_NE(cache.find(left.path("lonely")), cache.end());
}

TEST_F(FolderSizePassTest, RulesAndHiddenEntriesCountTheWayTheScanSaw) {
    left.file("lonely/keep.txt", 10);
    left.file("lonely/skip.tmp", 1000);
    left.file("lonely/.hidden", 50);
    KExcludeRules rules;
    rules.rules(RuleList::FileRules).emplace_back(KRuleMatchSuffix, QStringLiteral(".tmp"), false);
    rules.setSwitch(RuleList::FileRules, true);
    ScanOptions noHidden;
    noHidden.iIncludeHidden = false;

    auto run = scanAndSize(noHidden, &rules);
    EXPECT_EQ(run->node("lonely")->iSize1, 10);

    cache.clear();
    noHidden.iCalculateSameCompare = false;   // left-out entries count in the totals
    auto counted = scanAndSize(noHidden, &rules);
    EXPECT_EQ(counted->node("lonely")->iSize1, 1060);
}

}  // namespace
}  // namespace qv::test
