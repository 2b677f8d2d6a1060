#include "app/HeadlessPrompt.h"
#include "base/Messages.h"
#include "platform/ExtendedAttributes.h"
#include "sync/KMerge.h"
#include "sync/MergeList.h"
#include "support/FaultyCopyIo.h"
#include "support/FileChecks.h"
#include "support/ScanHarness.h"
#include "support/ScopedEnv.h"
#include "support/ScriptedPrompt.h"
#include "support/TempTree.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>

namespace qv::test {
namespace {

struct RecordingMergeObserver : MergeObserver {
    std::vector<std::size_t> finished;
    std::uint64_t lastBytes = 0;
    std::function<void()> onProgress;
    void progressChanged(const MergeProgress& p, bool) override {
        lastBytes = p.bytesCopied();
        if (onProgress) onProgress();
    }
    void rowFinished(const KMergeItem&, std::size_t index) override { finished.push_back(index); }
};

// Two real folders under one temporary tree, with the trash of a private home.
class KMergeTest : public ::testing::Test {
protected:
    TempTree tree;
    HeadlessPrompt prompt;
    ScopedEnv home{"HOME", tree.path("home")};
    ScopedEnv data{"XDG_DATA_HOME", tree.path("home/.local/share")};
    std::unique_ptr<ScanRun> scan;
    MergeSettings settings;
    RecordingMergeObserver observer;

    void SetUp() override {
        tree.folder("L");
        tree.folder("R");
        tree.folder("home");
        settings.deletePermanently = false;
    }
    std::string L(const std::string& p) const { return tree.path("L/" + p); }
    std::string R(const std::string& p) const { return tree.path("R/" + p); }
    void compare(bool contents = true) {
        RootSetup setup;
        setup.contents = contents;
        scan = scanFolders(tree.path("L"), tree.path("R"), {}, setup);
    }
    KItem* node(const std::string& path) {
        KItem* n = scan->node(path);
        EXPECT_NE(n, nullptr) << path;
        return n;
    }
    void mark(const std::string& path, int action, const char* newName = nullptr) {
        KItem* n = node(path);
        n->iCopyTo = static_cast<std::int8_t>(action);
        if (newName) n->setICopyAs(QString::fromUtf8(newName));
    }
    std::unique_ptr<KMerge> plan() {
        MergeList list(prompt);
        list.UpdateMergedArrayFromCHildren(scan->root.get());
        return KMerge::Start(list.iMergeItems(), *scan->root, prompt, settings);
    }
    std::unique_ptr<KMerge> run() {
        auto merge = plan();
        merge->MergeThread(observer);
        return merge;
    }
    static const KMergeItem& rowFor(const KMerge& merge, const std::string& path) {
        for (const auto& row : merge.iMergeItems())
            if (row.iItem->iPath() == path) return row;
        static KMergeItem none;
        ADD_FAILURE() << "no row for " << path;
        return none;
    }
};

TEST_F(KMergeTest, EachActionKindChangesExactlyWhatItNames) {
    tree.fileWithText("L/new.txt", "fresh", kBaseTimeNs + 5);
    tree.fileWithText("L/over.txt", "newer text", kBaseTimeNs + 9);
    tree.fileWithText("R/over.txt", "old", kBaseTimeNs);
    tree.fileWithText("L/tree/a", "A");
    tree.fileWithText("L/tree/deep/b", "B");
    tree.fileWithText("R/back.txt", "from the right");
    tree.fileWithText("R/gone.txt", "delete me");
    tree.fileWithText("L/both.txt", "left copy");
    tree.fileWithText("R/both.txt", "right copy!");
    tree.fileWithText("L/named.txt", "copied as");
    tree.fileWithText("L/target.txt", "pointed at");
    tree.fileWithText("L/tagged.txt", "same", kBaseTimeNs + 77);
    tree.fileWithText("R/tagged.txt", "same", kBaseTimeNs + 77);
    tree.setTags("L/tagged.txt", "Red,Blue");
    tree.fileWithText("R/oldname.txt", "renamed");
    compare();
    mark("new.txt", kCopyToRight);
    mark("over.txt", kCopyToRight);
    mark("tree", kCopyToRight);
    mark("back.txt", kCopyToLeft);
    mark("gone.txt", kDeleteRight);
    mark("both.txt", kDeleteBoth);
    mark("named.txt", kCopyAsToRight, "renamed copy.txt");
    mark("target.txt", kAliasToRight);
    mark("tagged.txt", kAttrsToRight);
    mark("oldname.txt", kRenameRight, "newname.txt");
    auto merge = run();

    for (const auto& row : merge->iMergeItems())
        EXPECT_EQ(row.iStatus, kRowDone) << row.iItem->iPath() << ": " << KMerge::ActionError(row).toStdString();
    EXPECT_EQ(tree.contents("R/new.txt"), "fresh");
    EXPECT_EQ(mtimeNsOf(R("new.txt")), kBaseTimeNs + 5);
    EXPECT_EQ(tree.contents("R/over.txt"), "newer text");
    EXPECT_EQ(tree.contents("R/tree/deep/b"), "B");
    EXPECT_EQ(tree.contents("L/back.txt"), "from the right");
    EXPECT_FALSE(tree.exists("R/gone.txt"));
    EXPECT_FALSE(tree.exists("L/both.txt"));
    EXPECT_FALSE(tree.exists("R/both.txt"));
    EXPECT_EQ(tree.contents("R/renamed copy.txt"), "copied as");
    EXPECT_FALSE(tree.exists("R/named.txt"));
    char target[4096] = {};
    ASSERT_GT(::readlink(R("target.txt").c_str(), target, sizeof target - 1), 0);
    EXPECT_EQ(std::string(target), L("target.txt"));
    EXPECT_EQ(platform::readTags(R("tagged.txt"), false), (std::vector<std::string>{"Red", "Blue"}));
    EXPECT_EQ(tree.contents("R/newname.txt"), "renamed");
    EXPECT_FALSE(tree.exists("R/oldname.txt"));
    // Deleted items went to the trash, not away for good.
    EXPECT_EQ(namesIn(tree.path("home/.local/share/Trash/files")),
              (std::set<std::string>{"both.txt", "both.txt.2", "gone.txt"}));
    EXPECT_EQ(observer.finished.size(), merge->iMergeItems().size());
}

TEST_F(KMergeTest, GroupsSwitchHalvesOffAndEqualDestinationsOnlyReceiveAttributes) {
    tree.fileWithText("L/pair.txt", "left half");
    tree.fileWithText("R/pair.txt", "right half");
    tree.fileWithText("L/copy.txt", "to copy");
    tree.fileWithText("L/equal.txt", "identical", kBaseTimeNs);
    tree.fileWithText("R/equal.txt", "identical", kBaseTimeNs);
    tree.setTags("L/equal.txt", "Green");
    compare();
    mark("pair.txt", kDeleteBoth);
    mark("copy.txt", kCopyToRight);
    mark("equal.txt", kCopyToRight);
    settings.dontOverwriteEqual = true;
    auto merge = plan();
    EXPECT_EQ(merge->group(kGroupDeleteLeft).items, 1u);
    EXPECT_EQ(merge->group(kGroupCopyLeft).items, 2u);
    const double before = merge->iTotalCopySize;
    merge->StatCheckAction(kGroupDeleteLeft, false);
    merge->StatCheckAction(kGroupCopyLeft, false);
    EXPECT_LT(merge->iTotalCopySize, before);
    EXPECT_EQ(merge->iTotalItems, 1u);
    merge->StatCheckAction(kGroupCopyLeft, true);
    const ino_t equalInode = [&] { struct stat st {}; ::lstat(R("equal.txt").c_str(), &st); return st.st_ino; }();
    merge->MergeThread(observer);

    EXPECT_TRUE(tree.exists("L/pair.txt"));
    EXPECT_FALSE(tree.exists("R/pair.txt"));
    EXPECT_EQ(rowFor(*merge, "pair.txt").code, kResultDone);
    EXPECT_EQ(tree.contents("R/copy.txt"), "to copy");
    const KMergeItem& equal = rowFor(*merge, "equal.txt");
    EXPECT_EQ(equal.code, kResultAlreadyEqual);
    struct stat st {};
    ::lstat(R("equal.txt").c_str(), &st);
    EXPECT_EQ(st.st_ino, equalInode);   // not rewritten
    EXPECT_EQ(platform::readTags(R("equal.txt"), false), (std::vector<std::string>{"Green"}));
    // Every enabled part weighs in once, so the bar ends at the total.
    EXPECT_EQ(observer.lastBytes, static_cast<std::uint64_t>(merge->iTotalCopySize));
}

TEST_F(KMergeTest, ArchiveFolderKeepsReplacedAndDeletedItemsUnderTheirPaths) {
    tree.fileWithText("L/sub/over.txt", "new version");
    tree.fileWithText("R/sub/over.txt", "old version");
    tree.fileWithText("R/sub/orphan.txt", "only here");
    tree.fileWithText("L/pointed.txt", "target");
    tree.fileWithText("R/pointed.txt", "a file the alias replaces");
    tree.folder("archive");
    compare();
    mark("sub/over.txt", kCopyToRight);
    mark("sub/orphan.txt", kDeleteRight);
    mark("pointed.txt", kAliasToRight);
    settings.archive = true;
    settings.archiveFolder = tree.path("archive");
    auto merge = run();
    EXPECT_EQ(tree.contents("R/sub/over.txt"), "new version");
    EXPECT_FALSE(tree.exists("R/sub/orphan.txt"));
    const std::set<std::string> archived = namesIn(tree.path("archive"));
    ASSERT_EQ(archived.size(), 1u);
    const std::string dated = *archived.begin();
    EXPECT_EQ(dated.rfind("quorvane-", 0), 0u);
    EXPECT_EQ(merge->iTrash(), tree.path("archive/" + dated));
    EXPECT_EQ(tree.contents("archive/" + dated + "/sub/over.txt"), "old version");
    EXPECT_EQ(tree.contents("archive/" + dated + "/sub/orphan.txt"), "only here");
    EXPECT_EQ(linkTarget(R("pointed.txt")), L("pointed.txt"));
    EXPECT_EQ(tree.contents("archive/" + dated + "/pointed.txt"), "a file the alias replaces");

    // A copy that fails half-way archives nothing: the old file stays in place.
    tree.fileWithText("L/sub/over.txt", std::string(3 << 20, 'z'));
    compare();
    mark("sub/over.txt", kCopyToRight);
    FaultyIo full;
    full.failDataAfter = 1 << 20;
    full.refuseCopyRange = true;
    auto failing = plan();
    failing->copyEngine().setCopyIo(&full);
    failing->MergeThread(observer);
    EXPECT_EQ(rowFor(*failing, "sub/over.txt").iStatus, kRowFailed);
    EXPECT_EQ(tree.contents("R/sub/over.txt"), "new version");
    EXPECT_TRUE(failing->iTrash().empty());
    // The earlier run's archive is never taken over by a later run.
    EXPECT_EQ(tree.contents("archive/" + dated + "/sub/over.txt"), "old version");

    // Archiving to the trash: the replaced file is there.
    tree.fileWithText("L/sub/over.txt", "third version");
    compare();
    mark("sub/over.txt", kCopyToRight);
    settings.archiveFolder.clear();
    run();
    EXPECT_EQ(tree.contents("R/sub/over.txt"), "third version");
    EXPECT_EQ(tree.contents("home/.local/share/Trash/files/over.txt"), "new version");
}

TEST_F(KMergeTest, ItemsChangedSinceTheComparisonAreReportedNotOverwritten) {
    tree.fileWithText("L/src.txt", "source");
    tree.fileWithText("R/src.txt", "dest");
    tree.fileWithText("L/appears.txt", "left");
    tree.fileWithText("R/doomed.txt", "keep me");
    tree.fileWithText("L/fine.txt", "fine");
    compare();
    mark("src.txt", kCopyToRight);
    mark("appears.txt", kCopyToRight);
    mark("doomed.txt", kDeleteRight);
    mark("fine.txt", kCopyToRight);
    tree.fileWithText("R/src.txt", "edited meanwhile", kBaseTimeNs + 1);
    tree.fileWithText("R/appears.txt", "made meanwhile");
    tree.fileWithText("R/doomed.txt", "edited too", kBaseTimeNs + 1);
    auto merge = run();
    for (const char* path : {"src.txt", "appears.txt", "doomed.txt"}) {
        const KMergeItem& row = rowFor(*merge, path);
        EXPECT_EQ(row.iStatus, kRowFailed) << path;
        EXPECT_FALSE(row.iActionError.isEmpty()) << path;
    }
    EXPECT_EQ(tree.contents("R/src.txt"), "edited meanwhile");
    EXPECT_EQ(tree.contents("R/appears.txt"), "made meanwhile");
    EXPECT_EQ(tree.contents("R/doomed.txt"), "edited too");
    EXPECT_EQ(rowFor(*merge, "fine.txt").iStatus, kRowDone);   // a failure does not stop the run
    EXPECT_EQ(merge->lastFailedIndex() >= 0, true);
    std::vector<std::size_t> order = merge->rowsByStatus();
    EXPECT_EQ(merge->iMergeItems()[order.back()].iItem->iPath(), "fine.txt");

    // A file deleted meanwhile is already where a delete would put it.
    compare();
    mark("doomed.txt", kDeleteRight);
    ::unlink(R("doomed.txt").c_str());
    EXPECT_EQ(rowFor(*run(), "doomed.txt").code, kResultDone);
}

TEST_F(KMergeTest, FailuresMidCopyLeaveTheOldDestinationAndNoTemporaries) {
    const std::string big(3 << 20, 'n');
    tree.fileWithText("L/big.bin", big);
    tree.fileWithText("R/big.bin", "old contents");
    tree.fileWithText("L/second.txt", "second");
    tree.fileWithText("R/second.txt", "2nd old");
    compare();
    mark("big.bin", kCopyToRight);
    mark("second.txt", kCopyToRight);
    FaultyIo full;
    full.failDataAfter = 1 << 20;
    full.refuseCopyRange = true;
    auto merge = plan();
    merge->copyEngine().setCopyIo(&full);
    merge->MergeThread(observer);
    const KMergeItem& row = rowFor(*merge, "big.bin");
    EXPECT_EQ(row.iStatus, kRowFailed);
    EXPECT_EQ(row.iActionError.toStdString(), std::strerror(ENOSPC));
    EXPECT_EQ(tree.contents("R/big.bin"), "old contents");
    EXPECT_EQ(namesIn(tree.path("R")), (std::set<std::string>{"big.bin", "second.txt"}));

    // A refused rename: both files stay as they were.
    tree.fileWithText("R/second.txt", "2nd old");
    compare();
    mark("big.bin", kCopyToRight);
    mark("second.txt", kCopyToRight);
    FaultyIo refusing;
    refusing.renameError = [](const std::string&, const std::string&, unsigned) { return EIO; };
    merge = plan();
    merge->copyEngine().setCopyIo(&refusing);
    merge->MergeThread(observer);
    EXPECT_EQ(rowFor(*merge, "second.txt").iStatus, kRowFailed);
    EXPECT_EQ(rowFor(*merge, "big.bin").iStatus, kRowFailed);
    EXPECT_EQ(tree.contents("R/big.bin"), "old contents");
    EXPECT_EQ(tree.contents("R/second.txt"), "2nd old");
    EXPECT_EQ(namesIn(tree.path("R")), (std::set<std::string>{"big.bin", "second.txt"}));
}

// Without a trash nothing is deleted for good and nothing is replaced
// unarchived: each row fails on its own, saying why, and keeps its entry.
TEST_F(KMergeTest, ATrashThatCannotBeHadFailsTheRowsThatNeedIt) {
    tree.fileWithText("L/over.txt", "new");
    tree.fileWithText("R/over.txt", "old");
    tree.fileWithText("R/gone.txt", "bye");
    tree.fileWithText("L/fine.txt", "copied all the same");
    tree.fileWithText("blocker", "a file where the trash's parent should be");
    ScopedEnv broken("XDG_DATA_HOME", tree.path("blocker/share"));
    compare();
    mark("over.txt", kCopyToRight);
    mark("gone.txt", kDeleteRight);
    mark("fine.txt", kCopyToRight);
    settings.archive = true;
    auto merge = run();
    for (const char* path : {"over.txt", "gone.txt"}) {
        const KMergeItem& row = rowFor(*merge, path);
        EXPECT_EQ(row.iStatus, kRowFailed) << path;
        EXPECT_TRUE(row.iActionError.contains(QString::fromLocal8Bit(std::strerror(ENOTDIR)))) << path << ": "
            << row.iActionError.toStdString();
    }
    EXPECT_EQ(tree.contents("R/over.txt"), "old");
    EXPECT_EQ(tree.contents("R/gone.txt"), "bye");
    // Archiving never switches itself off: the failures stay with their rows.
    EXPECT_EQ(rowFor(*merge, "fine.txt").iStatus, kRowDone);
    EXPECT_EQ(tree.contents("R/fine.txt"), "copied all the same");
}

TEST_F(KMergeTest, CancellingMidCopyStopsTheRowAndLeavesTheRestPending) {
    tree.fileWithText("L/a-big.bin", std::string(24 << 20, 'c'));
    tree.fileWithText("R/a-big.bin", "previous");
    tree.fileWithText("L/b-later.txt", "later");
    compare();
    mark("a-big.bin", kCopyToRight);
    mark("b-later.txt", kCopyToRight);
    auto merge = plan();
    observer.onProgress = [&] {
        if (observer.lastBytes > 0) merge->Cancel();
    };
    merge->MergeThread(observer);
    EXPECT_TRUE(merge->wasCancelled());
    EXPECT_EQ(rowFor(*merge, "a-big.bin").code, kResultCancelled);
    EXPECT_EQ(KMerge::ActionError(rowFor(*merge, "a-big.bin")), Messages::text("operationCanceled"));
    EXPECT_EQ(rowFor(*merge, "b-later.txt").iStatus, kRowPending);
    EXPECT_EQ(tree.contents("R/a-big.bin"), "previous");
    EXPECT_EQ(namesIn(tree.path("R")), (std::set<std::string>{"a-big.bin"}));
}

TEST_F(KMergeTest, FolderOntoFolderIsReplacedWholeOrPrunedWhenSparingEqualFiles) {
    tree.fileWithText("L/dir/keep.txt", "same", kBaseTimeNs);
    tree.fileWithText("R/dir/keep.txt", "same", kBaseTimeNs);
    tree.fileWithText("L/dir/changed.txt", "new");
    tree.fileWithText("R/dir/changed.txt", "old!");
    tree.fileWithText("R/dir/extra.txt", "not in the source");
    compare();
    mark("dir", kCopyToRight);
    settings.dontOverwriteEqual = true;
    const ino_t keepInode = [&] { struct stat st {}; ::lstat(R("dir/keep.txt").c_str(), &st); return st.st_ino; }();
    run();
    EXPECT_EQ(namesIn(R("dir")), (std::set<std::string>{"changed.txt", "keep.txt"}));
    EXPECT_EQ(tree.contents("R/dir/changed.txt"), "new");
    struct stat st {};
    ::lstat(R("dir/keep.txt").c_str(), &st);
    EXPECT_EQ(st.st_ino, keepInode);

    tree.fileWithText("R/dir/extra.txt", "back again");
    compare();
    mark("dir", kCopyToRight);
    settings.dontOverwriteEqual = false;
    run();
    EXPECT_EQ(namesIn(R("dir")), (std::set<std::string>{"changed.txt", "keep.txt"}));
    ::lstat(R("dir/keep.txt").c_str(), &st);
    EXPECT_NE(st.st_ino, keepInode);   // copied anew
    EXPECT_EQ(namesIn(tree.path("R")), (std::set<std::string>{"dir"}));
}

// A destination folder swapped for a link between the comparison and the
// execution: nothing is written or removed where the link leads, whether
// deletions go to the trash or away for good, and every row below it fails
// as changed. The swap happens through the seam that runs before each row.
TEST_F(KMergeTest, AFolderSwappedForALinkAfterTheComparisonLeadsNowhere) {
    for (const bool permanent : {false, true}) {
        SCOPED_TRACE(permanent ? "deleting for good" : "deleting to the trash");
        TempTree outside;
        outside.fileWithText("victimdir/precious.txt", "not theirs to delete");
        tree.fileWithText("L/sub/newfile", "would land outside");
        tree.fileWithText("L/sub/same.txt", "same");
        tree.fileWithText("R/sub/same.txt", "same");
        tree.fileWithText("R/sub/victimdir/old.txt", "an orphan inside the root");
        tree.fileWithText("R/gone/x.txt", "a folder the mirror deletes");
        compare();
        mark("sub/newfile", kCopyToRight);
        mark("sub/victimdir", kDeleteRight);
        mark("gone", kDeleteRight);
        settings.deletePermanently = permanent;
        auto merge = plan();
        bool swapped = false;
        merge->setBeforeRow([&](const KMergeItem&) {
            if (swapped) return;
            swapped = true;
            ASSERT_EQ(::rename(R("sub").c_str(), R("sub.moved").c_str()), 0);
            ASSERT_EQ(::symlink(outside.root().c_str(), R("sub").c_str()), 0);
            ASSERT_EQ(::rename(R("gone").c_str(), R("gone.moved").c_str()), 0);
            ASSERT_EQ(::symlink(outside.path("victimdir").c_str(), R("gone").c_str()), 0);
        });
        merge->MergeThread(observer);

        EXPECT_EQ(namesIn(outside.root()), std::set<std::string>{"victimdir"});
        EXPECT_EQ(outside.contents("victimdir/precious.txt"), "not theirs to delete");
        EXPECT_EQ(linkTarget(R("gone")), outside.path("victimdir"));
        for (const char* path : {"sub/newfile", "sub/victimdir", "gone"}) {
            const KMergeItem& row = rowFor(*merge, path);
            EXPECT_EQ(row.iStatus, kRowFailed) << path;
            EXPECT_EQ(row.iActionError, Messages::text("syncChanged")) << path;
        }
        EXPECT_EQ(tree.contents("R/sub.moved/victimdir/old.txt"), "an orphan inside the root");
        EXPECT_TRUE(namesIn(tree.path("home/.local/share/Trash/files")).empty());
        for (const char* moved : {"R/sub", "R/sub.moved", "R/gone", "R/gone.moved", "L/sub"})
            std::filesystem::remove_all(tree.path(moved));
    }
}

// Every kind change since the comparison (folder, file, link, either way)
// fails the row instead of acting on what stands there now.
TEST_F(KMergeTest, AnEntryOfAnotherKindThanComparedFailsItsRow) {
    tree.fileWithText("L/was-file", "source");
    tree.fileWithText("R/was-file", "destination file");
    tree.fileWithText("R/was-folder/inside", "kept");
    tree.fileWithText("L/was-link-target", "t");
    tree.link("R/was-link", "somewhere");
    compare();
    mark("was-file", kCopyToRight);
    mark("was-folder", kDeleteRight);
    mark("was-link", kDeleteRight);
    auto merge = plan();
    merge->setBeforeRow([&](const KMergeItem& row) {
        const std::string path = row.iItem->iPath();
        if (path == "was-file") {
            ::unlink(R("was-file").c_str());
            tree.fileWithText("R/was-file/now-a-folder", "x");
        } else if (path == "was-folder") {
            std::filesystem::remove_all(R("was-folder"));
            ::symlink("elsewhere", R("was-folder").c_str());
        } else if (path == "was-link") {
            ::unlink(R("was-link").c_str());
            tree.fileWithText("R/was-link", "a file now");
        }
    });
    merge->MergeThread(observer);
    for (const auto& row : merge->iMergeItems()) {
        EXPECT_EQ(row.iStatus, kRowFailed) << row.iItem->iPath();
        EXPECT_EQ(row.iActionError, Messages::text("syncChanged")) << row.iItem->iPath();
    }
    EXPECT_EQ(tree.contents("R/was-file/now-a-folder"), "x");
    EXPECT_EQ(linkTarget(R("was-folder")), "elsewhere");
    EXPECT_EQ(tree.contents("R/was-link"), "a file now");
}

// A new name is for a new entry: what stands under it at execution, there
// all along or made after the plan, is never replaced by a copy-as or rename.
TEST_F(KMergeTest, NewNamesNeverReplaceWhatStandsUnderThem) {
    tree.fileWithText("L/copied.txt", "source");
    tree.fileWithText("R/renamed.txt", "to rename");
    tree.fileWithText("R/taken.txt", "was there before");
    tree.fileWithText("R/moved.txt", "to rename too");
    compare();
    mark("copied.txt", kCopyAsToRight, "appeared.txt");
    mark("renamed.txt", kRenameRight, "appeared-too.txt");
    mark("moved.txt", kRenameRight, "taken.txt");
    auto merge = plan();
    merge->setBeforeRow([&](const KMergeItem& row) {
        if (row.iItem->iPath() == "copied.txt") tree.fileWithText("R/appeared.txt", "made meanwhile");
        if (row.iItem->iPath() == "renamed.txt") tree.fileWithText("R/appeared-too.txt", "made meanwhile too");
    });
    merge->MergeThread(observer);
    EXPECT_EQ(rowFor(*merge, "copied.txt").iActionError, Messages::format("syncNameTaken", QStringLiteral("appeared.txt")));
    EXPECT_EQ(rowFor(*merge, "renamed.txt").iActionError, Messages::format("syncNameTaken", QStringLiteral("appeared-too.txt")));
    EXPECT_EQ(rowFor(*merge, "moved.txt").iActionError, Messages::format("syncNameTaken", QStringLiteral("taken.txt")));
    EXPECT_EQ(tree.contents("R/appeared.txt"), "made meanwhile");
    EXPECT_EQ(tree.contents("R/appeared-too.txt"), "made meanwhile too");
    EXPECT_EQ(tree.contents("R/renamed.txt"), "to rename");
    EXPECT_EQ(tree.contents("R/taken.txt"), "was there before");
    EXPECT_EQ(tree.contents("R/moved.txt"), "to rename too");
}

// A name no folder can hold fails its row before anything is touched.
TEST_F(KMergeTest, NamesNoFolderCanHoldFailTheirRows) {
    tree.fileWithText("L/a.txt", "a");
    tree.fileWithText("R/b.txt", "b");
    compare();
    const std::string tooLong(256, 'n');
    for (const std::string& bad : {std::string("x/y"), std::string(".."), tooLong}) {
        mark("a.txt", kCopyAsToRight, bad.c_str());
        mark("b.txt", kRenameRight, bad.c_str());
        auto merge = run();
        for (const auto& row : merge->iMergeItems()) EXPECT_EQ(row.iStatus, kRowFailed) << bad;
    }
    EXPECT_EQ(tree.contents("R/b.txt"), "b");
    EXPECT_FALSE(tree.exists("R/x"));
}

// A file replaced by a folder is archived only once the folder stands: a
// copy that runs out of room leaves the file where it was, unarchived.
TEST_F(KMergeTest, AFileReplacedByAFolderStaysWhenTheCopyFails) {
    tree.fileWithText("L/thing/part.bin", std::string(3 << 20, 'p'));
    tree.fileWithText("R/thing", "the file a folder replaces");
    tree.folder("archive");
    compare();
    mark("thing", kCopyToRight);
    settings.archive = true;
    settings.archiveFolder = tree.path("archive");
    FaultyIo full;
    full.failDataAfter = 1 << 20;
    full.refuseCopyRange = true;
    auto failing = plan();
    failing->copyEngine().setCopyIo(&full);
    failing->MergeThread(observer);
    EXPECT_EQ(rowFor(*failing, "thing").iStatus, kRowFailed);
    EXPECT_EQ(tree.contents("R/thing"), "the file a folder replaces");
    EXPECT_TRUE(failing->iTrash().empty());

    compare();
    mark("thing", kCopyToRight);
    auto merge = run();
    EXPECT_EQ(rowFor(*merge, "thing").iStatus, kRowDone);
    EXPECT_EQ(tree.contents("R/thing/part.bin").size(), std::size_t{3} << 20);
    ASSERT_FALSE(merge->iTrash().empty());
    EXPECT_EQ(readAll(merge->iTrash() + "/thing"), "the file a folder replaces");
}

// A source edited in place while it is copied never gives a destination
// holding two versions: it is read again, and a source that keeps changing
// fails its row with the old destination kept.
TEST_F(KMergeTest, ASourceEditedWhileCopiedIsCopiedAgainOrNotAtAll) {
    const std::string before(3 << 20, 'o');
    tree.fileWithText("L/log.bin", before, kBaseTimeNs);
    tree.fileWithText("R/log.bin", "old destination");
    compare();
    auto editSource = [&](char fill) {
        const int fd = ::open(L("log.bin").c_str(), O_WRONLY);
        ASSERT_GE(fd, 0);
        const std::string tail(1 << 20, fill);
        ASSERT_EQ(::pwrite(fd, tail.data(), tail.size(), 2 << 20), static_cast<ssize_t>(tail.size()));
        ::close(fd);
    };
    FaultyIo editing;
    editing.refuseCopyRange = true;   // chunks of a megabyte
    int edits = 0;
    editing.afterChunk = [&] {
        if (edits++ == 0) editSource('n');
    };
    mark("log.bin", kCopyToRight);
    auto once = plan();
    once->copyEngine().setCopyIo(&editing);
    once->MergeThread(observer);
    EXPECT_EQ(rowFor(*once, "log.bin").iStatus, kRowDone);
    EXPECT_EQ(tree.contents("R/log.bin"), tree.contents("L/log.bin"));
    EXPECT_EQ(mtimeNsOf(R("log.bin")), mtimeNsOf(L("log.bin")));

    tree.fileWithText("L/log.bin", before, kBaseTimeNs);
    tree.fileWithText("R/log.bin", "old destination");
    compare();
    mark("log.bin", kCopyToRight);
    FaultyIo restless;
    restless.refuseCopyRange = true;
    char fill = 'a';
    restless.afterChunk = [&] { editSource(fill++); };
    auto never = plan();
    never->copyEngine().setCopyIo(&restless);
    never->MergeThread(observer);
    const KMergeItem& row = rowFor(*never, "log.bin");
    EXPECT_EQ(row.iStatus, kRowFailed);
    EXPECT_EQ(row.iActionError, Messages::text("syncChangedWhileCopied"));
    EXPECT_EQ(tree.contents("R/log.bin"), "old destination");
    EXPECT_EQ(namesIn(tree.path("R")), std::set<std::string>{"log.bin"});
}

// One archive that fails fails its own row and nothing else: later rows
// archive as before, and the replaced file of the failed row stays.
TEST_F(KMergeTest, AFailedArchiveFailsItsRowOnly) {
    for (const char* name : {"first.txt", "second.txt"}) {
        tree.fileWithText(std::string("L/") + name, std::string("new ") + name);
        tree.fileWithText(std::string("R/") + name, std::string("old ") + name, kBaseTimeNs + 3);
    }
    tree.folder("archive");
    compare();
    mark("first.txt", kCopyToRight);
    mark("second.txt", kCopyToRight);
    settings.archive = true;
    settings.archiveFolder = tree.path("archive");
    FaultyIo immutable;   // the archive cannot take the first file in, as for an immutable one
    immutable.renameError = [](const std::string&, const std::string& to, unsigned flags) {
        return flags == RENAME_NOREPLACE && to == "first.txt" ? EPERM : 0;
    };
    auto merge = plan();
    merge->copyEngine().setCopyIo(&immutable);
    merge->MergeThread(observer);
    const KMergeItem& first = rowFor(*merge, "first.txt");
    EXPECT_EQ(first.iStatus, kRowFailed);
    EXPECT_TRUE(first.iActionError.contains(QString::fromLocal8Bit(std::strerror(EPERM)))) << first.iActionError.toStdString();
    EXPECT_EQ(tree.contents("R/first.txt"), "old first.txt");
    EXPECT_EQ(rowFor(*merge, "second.txt").iStatus, kRowDone);
    EXPECT_EQ(tree.contents("R/second.txt"), "new second.txt");
    ASSERT_FALSE(merge->iTrash().empty());
    EXPECT_EQ(readAll(merge->iTrash() + "/second.txt"), "old second.txt");
    EXPECT_EQ(namesIn(merge->iTrash()), std::set<std::string>{"second.txt"});
    EXPECT_EQ(namesIn(tree.path("R")), (std::set<std::string>{"first.txt", "second.txt"}));
}

// In a window, a deletion the trash refuses is done for good only when the
// user says so, and the answer may hold for the rest of the run.
TEST_F(KMergeTest, DeletingForGoodWhenNoTrashIsTheUsersChoice) {
    tree.fileWithText("R/one.txt", "1");
    tree.fileWithText("R/two.txt", "2");
    tree.fileWithText("blocker", "a file where the trash's parent should be");
    ScopedEnv broken("XDG_DATA_HOME", tree.path("blocker/share"));
    for (const int answer : {0, 1}) {
        SCOPED_TRACE(answer == 0 ? "keep" : "delete for good");
        compare();
        mark("one.txt", kDeleteRight);
        mark("two.txt", kDeleteRight);
        ScriptedPrompt window;
        window.answers.assign(2, Answer{answer, true});
        MergeList list(window);
        list.UpdateMergedArrayFromCHildren(scan->root.get());
        auto merge = KMerge::Start(list.iMergeItems(), *scan->root, window, settings);
        merge->MergeThread(observer);
        if (answer == 0) {
            EXPECT_EQ(window.questions.size(), 2u);
            EXPECT_EQ(rowFor(*merge, "one.txt").iStatus, kRowFailed);
            EXPECT_EQ(tree.contents("R/one.txt"), "1");
            EXPECT_EQ(tree.contents("R/two.txt"), "2");
        } else {
            ASSERT_EQ(window.questions.size(), 1u);
            EXPECT_EQ(window.questions[0].message, Messages::text("syncTrashFailed0"));
            EXPECT_EQ(merge->lastFailedIndex(), -1);
            EXPECT_FALSE(tree.exists("R/one.txt"));
            EXPECT_FALSE(tree.exists("R/two.txt"));
        }
    }
}

// Entries a copy removes to make room follow the deletion rule: into the
// archive folder when archiving to one, away for good when deletions are
// permanent; either way the plan counts them first.
TEST_F(KMergeTest, RemovedToMakeRoomGoesWhereADeletionGoes) {
    tree.fileWithText("L/thing", "a file");
    tree.fileWithText("R/thing/a.txt", "aaa");
    tree.fileWithText("R/thing/sub/b.txt", "bb");
    tree.folder("archive");
    compare();
    mark("thing", kCopyToRight);
    settings.archive = true;
    settings.archiveFolder = tree.path("archive");
    auto merge = plan();
    const KMergeItem& row = merge->iMergeItems().front();
    ASSERT_EQ(row.removals.size(), 2u);
    EXPECT_EQ(row.removedEntries(), 3u);   // a.txt, sub, sub/b.txt
    EXPECT_EQ(merge->group(kGroupDeleteRight).items, 3u);
    merge->MergeThread(observer);
    EXPECT_EQ(row.iStatus, kRowDone);
    EXPECT_EQ(tree.contents("R/thing"), "a file");
    EXPECT_EQ(readAll(merge->iTrash() + "/thing/sub/b.txt"), "bb");

    // Switching the deletes off holds the copy back with them.
    tree.fileWithText("L/thing2", "a file");
    tree.fileWithText("R/thing2/c.txt", "c");
    compare();
    mark("thing2", kCopyToRight);
    settings.archive = false;
    settings.deletePermanently = true;
    auto held = plan();
    held->StatCheckAction(kGroupDeleteRight, false);
    EXPECT_EQ(held->iMergeItems().front().iProcess, 0);
    held->StatCheckAction(kGroupDeleteRight, true);
    held->MergeThread(observer);
    EXPECT_EQ(tree.contents("R/thing2"), "a file");
    EXPECT_TRUE(namesIn(tree.path("home/.local/share/Trash/files")).empty());
}

TEST(MergeTexts, DateFolderNamesSpeedAndTimeRemaining) {
    const QDateTime when(QDate(2026, 12, 6), QTime(4, 5, 6));
    EXPECT_EQ(KMerge::DateFilename(when), QStringLiteral("-2026-12-06-040506"));
    // Names sort as the dates do, across months and years.
    EXPECT_LT(KMerge::DateFilename(QDateTime(QDate(2026, 12, 31), QTime(23, 0))),
              KMerge::DateFilename(QDateTime(QDate(2027, 1, 1), QTime(1, 0))));

    EXPECT_EQ(MergeProgress::FormattedSpeed(512), QStringLiteral("512 B/s"));
    EXPECT_EQ(MergeProgress::FormattedSpeed(1536), QStringLiteral("2 kB/s"));
    EXPECT_EQ(MergeProgress::FormattedSpeed(3.5 * 1048576), QStringLiteral("3.50 MB/s"));
    EXPECT_EQ(MergeProgress::FormattedSpeed(2.0 * 1073741824), QStringLiteral("2.00 GB/s"));
    EXPECT_TRUE(MergeProgress::FormattedTimeRemaining(-1).startsWith(QStringLiteral("00:00 ")));
    EXPECT_TRUE(MergeProgress::FormattedTimeRemaining(125.4).startsWith(QStringLiteral("02:05 ")));
    EXPECT_TRUE(MergeProgress::FormattedTimeRemaining(3725).startsWith(QStringLiteral("1:02:05 ")));

    MergeProgress p(1000, 0);
    EXPECT_TRUE(p.SetProgressValue(100, 1.0));
    EXPECT_DOUBLE_EQ(p.speed(), 100);
    EXPECT_DOUBLE_EQ(p.remaining(), 9);
    EXPECT_FALSE(p.SetProgressValue(200, 1.1));   // within a fifth of a second
    EXPECT_TRUE(p.SetProgressValue(300, 2.0));
    EXPECT_FALSE(p.SetProgressValue(400, 3.0));   // every fourth report is left out
    EXPECT_TRUE(p.SetProgressValue(1500, 4.0));   // more than planned: the total grows
    EXPECT_DOUBLE_EQ(p.total(), 1500);
    EXPECT_DOUBLE_EQ(p.remaining(), 0);
}

}  // namespace
}  // namespace qv::test
