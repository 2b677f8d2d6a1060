#include "engine/EntryAdmission.h"
#include "support/FaultyFileSystem.h"
#include "support/ScanHarness.h"
#include "support/TempTree.h"

#include <gtest/gtest.h>

#include <cerrno>

namespace qv::test {
namespace {

constexpr std::int64_t kSecond = 1'000'000'000LL;

class FolderScannerTest : public ::testing::Test {
protected:
    TempTree left, right;

    std::unique_ptr<ScanRun> scan(const ScanOptions& options = {}, const RootSetup& setup = {},
                                  platform::FileSystem* fs = nullptr) {
        return scanFolders(left.root(), right.root(), options, setup, fs);
    }
};

TEST_F(FolderScannerTest, PairsGiveSizeAndDateStatesAndFoldIntoFolders) {
    left.file("same.txt", 10);
    right.file("same.txt", 10);
    left.file("size.txt", 10);
    right.file("size.txt", 11);
    left.file("date.txt", 10, 'x', kBaseTimeNs);
    right.file("date.txt", 10, 'x', kBaseTimeNs + 1 * kSecond);
    left.file("both.txt", 10, 'x', kBaseTimeNs);
    right.file("both.txt", 12, 'x', kBaseTimeNs + 5 * kSecond);
    left.file("close.txt", 10, 'x', kBaseTimeNs);
    right.file("close.txt", 10, 'x', kBaseTimeNs + 600'000'000);   // under a second counts as equal
    left.file("deep/er/still/leaf", 4);
    right.file("deep/er/still/leaf", 5);
    left.file("calm/a", 1);
    right.file("calm/a", 1);

    auto run = scan();
    EXPECT_EQ(run->state("same.txt"), kStateEqual);
    EXPECT_EQ(run->state("size.txt"), kStateSizesDiffer);
    EXPECT_EQ(run->state("date.txt"), kStateDatesDiffer);
    EXPECT_EQ(run->state("both.txt"), kStateSizesAndDatesDiffer);
    EXPECT_EQ(run->state("close.txt"), kStateEqual);
    // A difference deep down marks every folder above it.
    EXPECT_EQ(run->state("deep/er/still/leaf"), kStateSizesDiffer);
    EXPECT_EQ(run->state("deep/er/still"), kStateDifferent);
    EXPECT_EQ(run->state("deep"), kStateDifferent);
    EXPECT_EQ(run->state("calm"), kStateEqual);
    EXPECT_EQ(run->root->iState, kStateDifferent);
    EXPECT_TRUE(run->observer.rootListed);
}

TEST_F(FolderScannerTest, OptionsForDatesChangeTheAnswer) {
    left.file("two.txt", 5, 'x', kBaseTimeNs);
    right.file("two.txt", 5, 'x', kBaseTimeNs + 2 * kSecond);
    left.file("over.txt", 5, 'x', kBaseTimeNs);
    right.file("over.txt", 5, 'x', kBaseTimeNs + 2 * kSecond + 500'000'000);

    auto strict = scan();
    EXPECT_EQ(strict->state("two.txt"), kStateDatesDiffer);

    auto lenient = scan({}, {.ignore2sec = true});
    EXPECT_EQ(lenient->state("two.txt"), kStateEqual);
    EXPECT_TRUE(lenient->node("two.txt")->iOffsetDate);
    EXPECT_EQ(lenient->state("over.txt"), kStateDatesDiffer);

    auto noDates = scan({}, {.ignoreDate = true});
    EXPECT_EQ(noDates->state("over.txt"), kStateEqual);
    EXPECT_EQ(noDates->root->iState, kStateEqual);
}

TEST_F(FolderScannerTest, OneSidedEntriesAndEmptyFolders) {
    left.file("onlyLeft.txt", 3);
    right.file("onlyRight.txt", 4);
    left.file("leftTree/a", 7);
    right.file("rightTree/b/c", 9);
    left.folder("emptyBoth");
    right.folder("emptyBoth");
    left.folder("emptyLeft");
    right.file("emptyLeft/x", 1);
    left.file("sub/leftOnlyFile", 2);
    right.folder("sub");

    auto run = scan();
    EXPECT_EQ(run->state("onlyLeft.txt"), kStateOnlyLeft);
    EXPECT_EQ(run->state("onlyRight.txt"), kStateOnlyRight);
    EXPECT_EQ(run->state("leftTree"), kStateOnlyLeft);
    EXPECT_EQ(run->state("rightTree"), kStateOnlyRight);
    EXPECT_EQ(run->state("emptyBoth"), kStateEqual);
    EXPECT_EQ(run->state("emptyLeft"), kStateDifferent);
    EXPECT_EQ(run->state("sub/leftOnlyFile"), kStateOnlyLeft);
    EXPECT_EQ(run->state("sub"), kStateDifferent);
    // One-sided folders are not descended but queued for their sizes.
    EXPECT_TRUE(run->node("rightTree")->iChildren().empty());
    std::vector<std::pair<std::string, int>> queued;
    for (const SizeRequest& r : run->scanner->iToCalcFolders) queued.emplace_back(r.path, r.side);
    EXPECT_NE(std::find(queued.begin(), queued.end(), std::make_pair(left.path("leftTree"), 1)), queued.end());
    EXPECT_NE(std::find(queued.begin(), queued.end(), std::make_pair(right.path("rightTree"), 2)), queued.end());
    EXPECT_FALSE(run->node("leftTree")->iSizeReady);
}

TEST_F(FolderScannerTest, FileFacingFolderListsTheFolderAsOneSided) {
    left.file("clash", 5);
    right.file("clash/inner.txt", 8);
    right.file("clash/deeper/x", 2);
    left.file("sub/clash2/inner", 3);
    right.file("sub/clash2", 4);
    left.file("sub/mid", 1);
    right.file("sub/mid/y", 6);

    auto run = scan();
    // A file facing a folder at the root.
    EXPECT_EQ(run->state("clash"), kStateDifferent);
    EXPECT_EQ(run->state("clash/inner.txt"), kStateOnlyRight);
    KItem* deeper = run->node("clash/deeper");
    ASSERT_NE(deeper, nullptr);
    EXPECT_EQ(deeper->iSize2, 2);   // sized at once inside a one-sided listing
    EXPECT_EQ(run->node("clash")->iSize2, 10);
    EXPECT_EQ(run->node("clash")->iSize1, 5);
    // A folder facing a file below the root.
    EXPECT_EQ(run->state("sub/clash2"), kStateDifferent);
    EXPECT_EQ(run->state("sub/clash2/inner"), kStateOnlyLeft);
    // A file facing a folder below the root is handled like at the root.
    EXPECT_EQ(run->state("sub/mid"), kStateDifferent);
    EXPECT_EQ(run->state("sub/mid/y"), kStateOnlyRight);
}

TEST_F(FolderScannerTest, NamesPairAcrossCaseAndNormalisationButNeverMerge) {
    left.file("Readme.txt", 3);
    right.file("README.TXT", 3);
    left.file("caf\xC3\xA9", 2);          // composed é
    right.file("cafe\xCC\x81", 2);        // e + combining acute
    // Two right names that differ only by case: both must appear.
    left.file("Note", 1);
    right.file("Note", 1);
    right.file("note", 2);
    // Left names differing by case facing one right name: the exact one pairs.
    left.file("dup/a", 1);
    left.file("dup/A", 2);
    right.file("dup/a", 1);

    auto run = scan();
    KItem* readme = run->node("Readme.txt");
    ASSERT_NE(readme, nullptr);
    EXPECT_EQ(readme->iState, kStateEqual);
    EXPECT_EQ(readme->PathForSide(kSideLeft), left.path("Readme.txt"));
    EXPECT_EQ(readme->PathForSide(kSideRight), right.path("README.TXT"));
    EXPECT_EQ(run->state("caf\xC3\xA9"), kStateEqual);

    EXPECT_EQ(run->state("Note"), kStateEqual);
    EXPECT_EQ(run->state("note"), kStateOnlyRight);
    EXPECT_EQ(run->state("dup/a"), kStateEqual);
    EXPECT_EQ(run->state("dup/A"), kStateOnlyLeft);
    EXPECT_EQ(run->node("dup")->iChildren().size(), 2u);
}

TEST_F(FolderScannerTest, NamesThatAreNotUtf8PairByteForByte) {
    const std::string bad1 = "bad\xFF" "name";
    const std::string bad2 = "bad\xFE" "name";
    left.file(bad1, 4);
    right.file(bad1, 4);
    left.file(bad2, 1);
    right.file("bad\xFD" "name", 1);

    auto run = scan();
    EXPECT_EQ(run->state(bad1), kStateEqual);
    EXPECT_EQ(run->state(bad2), kStateOnlyLeft);
    EXPECT_EQ(run->state("bad\xFD" "name"), kStateOnlyRight);
    EXPECT_EQ(run->node(bad1)->PathForSide(kSideLeft), left.path(bad1));
}

TEST_F(FolderScannerTest, SkipListHiddenEntriesAndTotals) {
    left.file(".DS_Store", 9);
    right.file("Icon\r", 9);
    left.file(".hidden", 100);
    right.file(".hidden", 100);
    left.file("shown", 5);
    right.file("shown", 5);

    auto all = scan();
    EXPECT_EQ(all->node(".DS_Store"), nullptr);
    EXPECT_EQ(all->node("Icon\r"), nullptr);
    EXPECT_EQ(all->state(".hidden"), kStateEqual);
    EXPECT_EQ(all->root->iSize1, 105);

    ScanOptions noHidden;
    noHidden.iIncludeHidden = false;
    auto without = scan(noHidden);
    EXPECT_EQ(without->node(".hidden"), nullptr);
    EXPECT_TRUE(without->scanner->iAnyFilterOn);
    EXPECT_EQ(without->root->iSize1, 5);

    noHidden.iCalculateSameCompare = false;   // left-out entries still count in totals
    auto counted = scan(noHidden);
    EXPECT_EQ(counted->node(".hidden"), nullptr);
    EXPECT_EQ(counted->root->iSize1, 105);
    EXPECT_EQ(counted->root->iSize2, 105);
}

TEST_F(FolderScannerTest, LinksAreEntriesOfTheirOwnAndAreNotFollowed) {
    left.link("dangling", "/nonexistent/target");
    right.link("dangling", "/nonexistent/target");
    left.link("loop", "loop");
    right.link("loop", "loop");
    left.folder("real");
    left.link("toFolder", "real");
    right.folder("toFolder");
    for (const char* n : {"dangling", "loop", "toFolder"}) {
        left.setTime(n, kBaseTimeNs);
        if (std::string(n) != "toFolder") right.setTime(n, kBaseTimeNs);
    }

    auto run = scan();
    KItem* dangling = run->node("dangling");
    ASSERT_NE(dangling, nullptr);
    EXPECT_TRUE(dangling->isLink(kSideLeft));
    EXPECT_TRUE(dangling->isLink(kSideRight));
    EXPECT_EQ(dangling->iState, kStateEqual);
    EXPECT_EQ(run->state("loop"), kStateEqual);
    // A link facing a real folder is a file facing a folder.
    EXPECT_EQ(run->state("toFolder"), kStateDifferent);

    ScanOptions noAliases;
    noAliases.iIncludeAliases = false;
    auto without = scan(noAliases);
    EXPECT_EQ(without->node("dangling"), nullptr);
    EXPECT_EQ(without->node("loop"), nullptr);
}

TEST_F(FolderScannerTest, UnreadableFoldersGiveStateTenAndTheRunGoesOn) {
    left.file("locked/a", 1);
    right.file("locked/a", 1);
    left.file("fine/b", 2);
    right.file("fine/b", 2);
    left.file("odd/c", 3);
    left.file("odd/d", 3);
    right.file("odd/c", 3);
    right.file("odd/d", 3);

    FaultyFileSystem fs;
    fs.failListing(right.path("locked"), EACCES);
    fs.failEntry(left.path("odd"), "d", EIO);
    auto run = scan({}, {}, &fs);
    EXPECT_EQ(run->state("locked"), kStateNoEntry);
    EXPECT_TRUE(run->node("locked")->iAError2);
    EXPECT_EQ(run->state("fine/b"), kStateEqual);
    // The unreadable entry was reported, not silently dropped.
    ASSERT_EQ(run->observer.readErrors.size(), 1u);
    EXPECT_EQ(run->observer.readErrors[0], left.path("odd/d"));
    EXPECT_EQ(run->root->iState, kStateDifferent);
}

TEST_F(FolderScannerTest, ChoosingStopOnAReadErrorCancelsTheRun) {
    for (int i = 0; i < 5; ++i) {
        left.file("f" + std::to_string(i) + "/x", 1);
        right.file("f" + std::to_string(i) + "/x", 1);
    }
    FaultyFileSystem fs;
    fs.failEntry(left.path("f0"), "x", EIO);
    auto run = std::make_unique<ScanRun>();
    run->observer.answer.stop = true;
    run->root = KRootItem::ItemWithFolder(right.root(), kSideRight);
    run->root->setILeftPath(left.root());
    run->root->setIRightPath(right.root());
    run->scanner = std::make_unique<FolderScanner>(fs, run->observer);
    run->scanner->CompareThread(*run->root);
    EXPECT_TRUE(run->scanner->isCancelled());
    EXPECT_EQ(run->root->iState, kStateNotCompared);
    EXPECT_EQ(run->observer.readErrors.size(), 1u);
}

TEST_F(FolderScannerTest, CancelInTheMiddleOfALargeScanStopsCleanly) {
    for (int i = 0; i < 60; ++i)
        for (int j = 0; j < 20; ++j) {
            const std::string p = "d" + std::to_string(i) + "/f" + std::to_string(j);
            left.file(p, 1);
            right.file(p, 1);
        }
    for (const bool ahead : {false, true}) {
        SCOPED_TRACE(ahead ? "listing ahead" : "listing in order");
        FaultyFileSystem fs;
        FolderScanner* scanner = nullptr;
        fs.beforeListing = [&](const std::string&) {
            if (fs.listings == 40 && scanner) scanner->cancel();
        };
        RecordingObserver observer;
        auto root = KRootItem::ItemWithFolder(right.root(), kSideRight);
        root->setILeftPath(left.root());
        root->setIRightPath(right.root());
        FolderScanner s(fs, observer);
        s.setListingAhead(ahead);
        scanner = &s;
        s.CompareThread(*root);
        EXPECT_TRUE(s.isCancelled());
        EXPECT_EQ(root->iState, kStateNotCompared);
        int finished = 0;
        for (KItem* child : root->iChildren()) {
            EXPECT_TRUE(child->iState == kStateEqual || child->iState == kStateNotCompared) << child->iState;
            if (child->iState == kStateEqual) ++finished;
        }
        // The run stopped short. Listed ahead, the 40th listing can come
        // before any folder is paired, even before the root level is, so only
        // the run in pairing order knows that some were finished.
        EXPECT_LT(finished, 60);
        if (!ahead) {
            EXPECT_GT(finished, 0);
            EXPECT_LT(fs.listings, 60 * 2);
        }
    }
}

TEST_F(FolderScannerTest, IgnoringExtensionsPairsFilesNotFolders) {
    left.file("a.txt", 3);
    right.file("a.md", 3);
    left.file("b.txt", 3);
    right.file("b.txt", 3);
    right.file("b.md", 3);
    left.file("dir.x/f", 1);
    right.file("dir.y/f", 1);

    auto run = scan({}, {.ignoreExt = true});
    KItem* a = run->node("a.txt");
    ASSERT_NE(a, nullptr);
    EXPECT_TRUE(a->iDiffExt);
    EXPECT_EQ(a->iState, kStateEqual);
    EXPECT_EQ(a->PathForSide(kSideLeft), left.path("a.txt"));
    EXPECT_EQ(a->PathForSide(kSideRight), right.path("a.md"));
    EXPECT_EQ(run->state("b.txt"), kStateEqual);
    EXPECT_EQ(run->state("b.md"), kStateOnlyRight);
    EXPECT_EQ(run->state("dir.x"), kStateOnlyLeft);
    EXPECT_EQ(run->state("dir.y"), kStateOnlyRight);

    // Below the root as well.
    left.file("sub/c.txt", 2);
    right.file("sub/c.csv", 2);
    auto nested = scan({}, {.ignoreExt = true});
    EXPECT_EQ(nested->state("sub/c.txt"), kStateEqual);
}

TEST_F(FolderScannerTest, WithoutSubfoldersOnlyTheRootFoldersArePaired) {
    left.file("top/file", 3);
    right.file("top/file", 4);
    left.file("top/inner/deep", 1);
    right.file("top/inner/deep", 9);
    ScanOptions options;
    options.iIgnoreSubfolders = true;
    auto run = scan(options);
    EXPECT_EQ(run->state("top/file"), kStateSizesDiffer);
    EXPECT_EQ(run->node("top/inner"), nullptr);
    EXPECT_TRUE(run->scanner->iAnyFilterOn);
}

TEST_F(FolderScannerTest, DeepTreesFoldEveryLevel) {
    std::string deep;
    for (int i = 0; i < 120; ++i) deep += (i ? "/" : "") + std::string("level") + std::to_string(i);
    left.file(deep + "/leaf", 1);
    right.file(deep + "/leaf", 2);
    auto run = scan();
    EXPECT_EQ(run->state(deep + "/leaf"), kStateSizesDiffer);
    int differentLevels = 0;
    for (KItem* n = run->node(deep); n && !n->isRootItem(); n = n->iParent())
        differentLevels += n->iState == kStateDifferent;
    EXPECT_EQ(differentLevels, 120);
    EXPECT_EQ(run->root->iSize2, 2);
}

TEST_F(FolderScannerTest, FolderTotalsAddUpPerSide) {
    left.file("a/1", 10);
    left.file("a/b/2", 20);
    left.file("c", 5);
    right.file("a/1", 10);
    right.file("a/b/2", 21);
    right.file("a/b/3", 1);

    auto run = scan();
    const FolderPart* rootTotals = run->root->folderIfAny();
    ASSERT_NE(rootTotals, nullptr);
    EXPECT_EQ(run->root->iSize1, 35);
    EXPECT_EQ(rootTotals->iFiles1, 3u);
    EXPECT_EQ(rootTotals->iFolders1, 2u);
    EXPECT_EQ(run->root->iSize2, 32);
    EXPECT_EQ(rootTotals->iFiles2, 3u);
    EXPECT_EQ(rootTotals->iFolders2, 2u);
    EXPECT_EQ(run->node("a")->iSize1, 30);
    EXPECT_EQ(run->node("a")->iSize2, 32);
}

}  // namespace
}  // namespace qv::test
