#include "app/HeadlessPrompt.h"
#include "base/Messages.h"
#include "app/QuorvaneModule.h"
#include "app/history/MultiFolderSets.h"
#include "engine/SortOrder.h"
#include "app/history/FolderHistory.h"
#include "engine/StateIcons.h"
#include "sync/MergeList.h"
#include "support/FaultyFileSystem.h"
#include "support/ScopedEnv.h"
#include "support/ScriptedPrompt.h"
#include "support/TempTree.h"
#include "support/TestSettings.h"
#include "support/WaitFor.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QEventLoop>
#include <QTimer>

#include <gtest/gtest.h>

#include <cerrno>
#include <thread>

namespace qv::test {
namespace {

class QuorvaneModuleTest : public ::testing::Test {
protected:
    TestSettings settings;
    HeadlessPrompt prompt;
    TempTree left, right;

    // Waits for the end of the run the module started; false on timeout.
    static bool waitForEnd(QuorvaneModule& module) {
        QEventLoop loop;
        QObject::connect(&module, &QuorvaneModule::compareThreadFinished, &loop, [&] { loop.quit(); });
        QTimer::singleShot(20000, &loop, [&] { loop.exit(1); });
        return module.ComparingFolders() ? loop.exec() == 0 : true;
    }
    // Runs `module` on the two trees to the end.
    void compare(QuorvaneModule& module) {
        module.state().leftPath = left.root();
        module.state().rightPath = right.root();
        ASSERT_TRUE(module.Compare());
        ASSERT_TRUE(waitForEnd(module));
    }
};

TEST_F(QuorvaneModuleTest, BadPathsAreRefusedWithTheirMessage) {
    left.file("a.txt", 1);
    right.folder("sub");
    struct Case {
        std::string l, r;
        const char* key;
    } cases[] = {
        {"", right.root(), "emptyLeft"},
        {left.root(), "", "emptyRight"},
        {left.root(), left.root(), "sameFiles"},
        {left.path("missing"), right.root(), "leftFolderDontExist"},
        {left.root(), right.path("missing"), "rightFolderDontExist"},
        {left.root(), left.path("a.txt"), "leftRightNotFolder"},
    };
    for (const Case& c : cases) {
        QuorvaneModule module(prompt, settings);
        module.state().leftPath = c.l;
        module.state().rightPath = c.r;
        EXPECT_FALSE(module.Compare()) << c.key;
        EXPECT_FALSE(module.ComparingFolders());
        EXPECT_EQ(module.lastAlert(), Messages::text(c.key)) << c.key;
        EXPECT_EQ(module.iRootItem(), nullptr);
    }

    // Two files on the folder tab move the window to the file tab instead.
    left.file("b.txt", 1);
    QuorvaneModule module(prompt, settings);
    module.state().leftPath = left.path("a.txt");
    module.state().rightPath = left.path("b.txt");
    EXPECT_FALSE(module.Compare());
    EXPECT_EQ(module.state().selectedTab, WindowState::FileTab);

    // A snapshot file stands for a folder on the folder tab.
    left.file("rec.qvss", 4);
    QuorvaneModule snap(prompt, settings);
    snap.state().leftPath = left.path("rec.qvss");
    snap.state().rightPath = right.root();
    EXPECT_TRUE(snap.FoldersOk(true));
}

TEST_F(QuorvaneModuleTest, ARunEndsOnTheMainThreadWithTheTreeInDisplayOrder) {
    left.file("b", 1);
    left.file("A", 1);
    left.file("c/d", 2);
    right.file("b", 1);
    right.file("A", 1);
    right.file("c/d", 3);
    right.file("e", 1);
    left.link("viaLink", left.root());

    QuorvaneModule module(prompt, settings);
    module.setSortColumn(kColumnName1, true);
    module.state().leftPath = left.path("viaLink") + "/";   // resolved and trimmed before the run
    module.state().rightPath = right.root();
    ASSERT_TRUE(module.Compare());
    EXPECT_EQ(module.iParentItem(), nullptr);
    ASSERT_TRUE(waitForEnd(module));
    EXPECT_FALSE(module.lastRunCancelled());
    EXPECT_EQ(module.iLeftFolderPath(), left.root());
    KRootItem* root = module.iRootItem();
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(module.iParentItem(), root);
    EXPECT_EQ(root->iState, kStateDifferent);
    std::vector<std::string> names;
    for (KItem* child : root->iChildren()) {
        names.emplace_back(child->nameBytes());
        EXPECT_EQ(child->iCmpState, 2);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"A", "b", "c", "e", "viaLink"}));
}

TEST_F(QuorvaneModuleTest, CompareWhileRunningCancelsTheRun) {
    for (int i = 0; i < 40; ++i) {
        left.file("d" + std::to_string(i) + "/f", 1);
        right.file("d" + std::to_string(i) + "/f", 1);
    }
    FaultyFileSystem slow;
    slow.beforeListing = [](const std::string&) { std::this_thread::sleep_for(std::chrono::milliseconds(15)); };
    QuorvaneModule module(prompt, settings, slow);
    module.state().leftPath = left.root();
    module.state().rightPath = right.root();
    ASSERT_TRUE(module.Compare());
    QTimer::singleShot(100, &module, [&] { EXPECT_FALSE(module.Compare()); });
    QString headerWhenCancelled;
    QObject::connect(&module.status(), &ComparisonStatus::headerChanged, [&] {
        if (module.status().header() == Messages::text("aborting")) headerWhenCancelled = module.status().header();
    });
    ASSERT_TRUE(waitForEnd(module));
    EXPECT_FALSE(headerWhenCancelled.isEmpty());
    EXPECT_TRUE(module.lastRunCancelled());
    EXPECT_EQ(module.status().header(), Messages::text("TaskAborted"));
    for (KItem* child : module.iRootItem()->iChildren()) EXPECT_NE(child->iCmpState, 1);
}

TEST_F(QuorvaneModuleTest, HeadlessReadErrorsAreLoggedAndTheRunGoesOn) {
    left.file("x/broken", 1);
    left.file("x/fine", 1);
    right.file("x/fine", 1);
    FaultyFileSystem fs;
    fs.failEntry(left.path("x"), "broken", EIO);
    QuorvaneModule module(prompt, settings, fs);
    ASSERT_NO_FATAL_FAILURE(compare(module));
    EXPECT_FALSE(module.lastRunCancelled());
    EXPECT_EQ(module.iRootItem()->iState, kStateEqual);
}

TEST_F(QuorvaneModuleTest, AMultiFolderSetStandsForItsFoldersTogether) {
    TempTree data, elsewhere;
    ScopedEnv dataHome("XDG_DATA_HOME", data.root());
    left.file("docs/x", 3, 'a');
    elsewhere.file("pics/y", 4, 'b');
    elsewhere.file("docs/z", 1);
    right.file("docs/x", 3, 'a');
    right.file("pics/y", 4, 'c');   // same size, other contents

    QuorvaneModule module(prompt, settings);
    EXPECT_FALSE(QuorvaneModule::CanAddMultiFolders({QString::fromStdString(left.path("docs/x"))}));
    // Two members of one name cannot stand side by side; nothing is left behind.
    EXPECT_FALSE(module.AddMultiFolders({QString::fromStdString(left.path("docs")),
                                         QString::fromStdString(elsewhere.path("docs"))}, kSideLeft));
    EXPECT_FALSE(module.isMultiFolderSide(kSideLeft));
    EXPECT_TRUE(QDir(QString::fromStdString(data.path("Quorvane/MultiFolders"))).isEmpty());

    ASSERT_TRUE(module.AddMultiFolders({QString::fromStdString(left.path("docs")),
                                        QString::fromStdString(elsewhere.path("pics"))}, kSideLeft));
    int members = 0;
    EXPECT_EQ(MultiFolderSets::MultiFolderName(QString::fromStdString(module.state().leftPath), &members),
              QStringLiteral("docs+pics"));
    EXPECT_EQ(members, 2);
    module.state().rightPath = right.root();
    module.state().optCmpContents = true;
    ASSERT_TRUE(module.Compare());
    ASSERT_TRUE(waitForEnd(module));
    KRootItem* root = module.iRootItem();
    EXPECT_EQ(root->iMultiFolder, 1);
    ASSERT_EQ(root->iChildren().size(), 2u);
    for (KItem* folder : root->iChildren()) {
        ASSERT_EQ(folder->iChildren().size(), 1u);
        KItem* file = folder->iChildren().front();
        if (folder->nameBytes() == "docs") {
            EXPECT_EQ(file->PathForSide(kSideLeft), left.path("docs/x"));
            EXPECT_EQ(file->iState, kStateEqual);
        } else {
            EXPECT_EQ(file->PathForSide(kSideLeft), elsewhere.path("pics/y"));
            EXPECT_EQ(file->iState, kStateDifferent);
        }
    }
    EXPECT_EQ(root->iState, kStateDifferent);
}

// Marks one action on the finished tree, as a press of a row's button does.
void markAnAction(QuorvaneModule& module, const char* path) {
    module.mergeList().SetItem(module.iRootItem()->itemAtIPath(path), kCopyToRight, false);
    module.mergeList().UpdateMergedArrayFromCHildren(module.iParentItem());
    module.MergeItemsUpdated();
    ASSERT_FALSE(module.mergeList().iMergeItems().empty());
}

TEST_F(QuorvaneModuleTest, ANewRunAsksBeforeItDropsMarkedActions) {
    left.file("a", 1);
    right.file("a", 2);
    ScriptedPrompt user;
    QuorvaneModule module(user, settings);
    ASSERT_NO_FATAL_FAILURE(compare(module));
    markAnAction(module, "a");

    // Cancel: the actions stay and nothing runs.
    user.answers.push_back({1, false});
    EXPECT_FALSE(module.Compare());
    ASSERT_EQ(user.questions.size(), 1u);
    EXPECT_EQ(user.questions[0].message, Messages::text("mergeClear"));
    EXPECT_EQ(user.questions[0].details, Messages::text("mergeClear1"));
    EXPECT_TRUE(user.questions[0].offersSuppression);
    QCoreApplication::processEvents();
    EXPECT_FALSE(module.ComparingFolders());
    EXPECT_EQ(module.mergeList().iMergeItems().size(), 1u);

    // OK, with "do not ask again": the actions go and the run starts from the event loop.
    user.answers.push_back({0, true});
    EXPECT_FALSE(module.Compare());
    EXPECT_TRUE(module.mergeList().iMergeItems().empty());
    EXPECT_EQ(module.status().badge(), QString());
    ASSERT_TRUE(waitFor(&module, &QuorvaneModule::compareThreadFinished));
    EXPECT_TRUE(settings.boolValue(QStringLiteral("dontAskClear")));

    // Not asked again; a scripted run never asks and starts at once.
    markAnAction(module, "a");
    EXPECT_FALSE(module.Compare());
    EXPECT_EQ(user.questions.size(), 2u);
    ASSERT_TRUE(waitFor(&module, &QuorvaneModule::compareThreadFinished));
    settings.remove(QStringLiteral("dontAskClear"));
    markAnAction(module, "a");
    EXPECT_TRUE(module.Compare(true));
    EXPECT_EQ(user.questions.size(), 2u);
    ASSERT_TRUE(waitForEnd(module));
}

TEST_F(QuorvaneModuleTest, WithoutAWindowMarkedActionsAreClearedWithoutAQuestion) {
    left.file("a", 1);
    right.file("a", 2);
    QuorvaneModule module(prompt, settings);
    ASSERT_NO_FATAL_FAILURE(compare(module));
    markAnAction(module, "a");
    EXPECT_FALSE(module.Compare());
    EXPECT_TRUE(module.mergeList().iMergeItems().empty());
    ASSERT_TRUE(waitFor(&module, &QuorvaneModule::compareThreadFinished));
    EXPECT_FALSE(module.lastRunCancelled());
}

TEST_F(QuorvaneModuleTest, APairOpensInAComparisonOfItsOwn) {
    left.file("sub/x", 1);
    right.file("sub/x", 1);
    left.file("file", 1);
    QuorvaneModule module(prompt, settings);
    // Missing, or of two kinds: nothing opens.
    EXPECT_FALSE(module.CompareItem1(left.path("sub"), right.path("nope")));
    EXPECT_FALSE(module.CompareItem1(left.path("sub"), left.path("file")));
    EXPECT_TRUE(module.openedComparisons().empty());

    // Without a window listening, a second controller compares the pair.
    ASSERT_TRUE(module.CompareItem1(left.path("sub"), right.path("sub")));
    ASSERT_EQ(module.openedComparisons().size(), 1u);
    QuorvaneModule& pair = *module.openedComparisons().front();
    EXPECT_TRUE(pair.iOpenedByDoubleClick);
    ASSERT_TRUE(waitForEnd(pair));
    EXPECT_EQ(pair.iRootItem()->iLeftPath(), left.path("sub"));
    EXPECT_EQ(pair.iRootItem()->iState, kStateEqual);

    // A window answers the request itself, told where the setting wants it.
    settings.store(QStringLiteral("openCompareIn2"), 1);
    QString requested;
    QuorvaneModule::OpenTarget target = QuorvaneModule::OpenTarget::NewWindow;
    QObject::connect(&module, &QuorvaneModule::openComparisonRequested,
                     [&](const QString& l, const QString& r, QuorvaneModule::OpenTarget t) {
                         requested = l + '|' + r;
                         target = t;
                     });
    ASSERT_TRUE(module.CompareItem1(left.path("sub"), right.path("sub")));
    EXPECT_EQ(requested, QString::fromStdString(left.path("sub") + "|" + right.path("sub")));
    EXPECT_EQ(target, QuorvaneModule::OpenTarget::Tab);
    EXPECT_EQ(module.openedComparisons().size(), 1u);
}

TEST_F(QuorvaneModuleTest, ExchangingTheFoldersSwapsWhatEachSideStandsFor) {
    TempTree data;
    ScopedEnv dataHome("XDG_DATA_HOME", data.root());
    left.folder("l");
    right.folder("r");
    QuorvaneModule module(prompt, settings);
    int changes = 0;
    QObject::connect(&module, &QuorvaneModule::pathsChanged, [&] { ++changes; });
    ASSERT_TRUE(module.AddMultiFolders({QString::fromStdString(left.path("l"))}, kSideLeft));
    module.state().rightPath = right.path("r");
    const std::string set = module.state().leftPath;
    module.ExchangeFolders();
    EXPECT_EQ(module.state().leftPath, right.path("r"));
    EXPECT_EQ(module.state().rightPath, set);
    EXPECT_FALSE(module.isMultiFolderSide(kSideLeft));
    EXPECT_TRUE(module.isMultiFolderSide(kSideRight));
    EXPECT_EQ(changes, 2);
}

TEST_F(QuorvaneModuleTest, SetsOfFoldersLiveAsLongAsAHistoryRefersToThem) {
    TempTree data;
    ScopedEnv dataHome("XDG_DATA_HOME", data.root());
    left.file("a/x", 1);
    left.file("b/y", 1);
    right.file("x", 1);
    QuorvaneModule module(prompt, settings);
    ASSERT_TRUE(module.AddMultiFolders({QString::fromStdString(left.path("a")), QString::fromStdString(left.path("b"))},
                                       kSideLeft));
    const QString used = QString::fromStdString(module.state().leftPath);
    module.state().rightPath = right.root();
    ASSERT_TRUE(module.Compare());
    ASSERT_TRUE(waitForEnd(module));
    // The pair is remembered with its set; the single-path list keeps the plain side only.
    const std::vector<HistoryPair> pairs = FolderHistory(settings, true).pairs();
    ASSERT_EQ(pairs.size(), 1u);
    EXPECT_EQ(pairs[0].l, used);
    const KLastFolders recent(settings, QStringLiteral("lastFolders"));
    ASSERT_EQ(recent.items().size(), 1u);
    EXPECT_EQ(recent.items()[0].path, QString::fromStdString(right.root()));

    // A set nothing refers to goes; the folders it stood for stay.
    QuorvaneModule other(prompt, settings);
    ASSERT_TRUE(other.AddMultiFolders({QString::fromStdString(left.path("b"))}, kSideRight));
    const QString inField = QString::fromStdString(other.state().rightPath);
    QuorvaneModule third(prompt, settings);
    ASSERT_TRUE(third.AddMultiFolders({QString::fromStdString(left.path("a"))}, kSideLeft));
    const QString forgotten = QString::fromStdString(third.state().leftPath);
    int removed = -1;
    QObject::connect(&other, &QuorvaneModule::multiFoldersCleared, [&](int n) { removed = n; });
    other.ClearNotUsedMultiFolders();
    ASSERT_TRUE(waitFor(&other, &QuorvaneModule::multiFoldersCleared));
    EXPECT_EQ(removed, 1);
    EXPECT_TRUE(QFileInfo::exists(used));
    EXPECT_TRUE(QFileInfo::exists(inField));   // in use by the window that asked
    EXPECT_FALSE(QFileInfo::exists(forgotten));
    EXPECT_TRUE(left.exists("a/x"));
}

TEST_F(QuorvaneModuleTest, AnEqualPairShowsHowItWasDecided) {
    left.file("same", 3);
    right.file("same", 3);
    left.file("empty", 0);
    right.file("empty", 0);
    left.file("dated", 3, 'x', kBaseTimeNs);
    right.file("dated", 3, 'x', kBaseTimeNs + 5'000'000'000LL);
    QuorvaneModule module(prompt, settings);
    ASSERT_NO_FATAL_FAILURE(compare(module));
    KRootItem& root = *module.iRootItem();
    EXPECT_STREQ(module.EqualImage(*root.itemAtIPath("same")), "equal2");
    EXPECT_STREQ(module.EqualImage(*root.itemAtIPath("empty")), "equal");
    EXPECT_STREQ(stateIconName(*root.itemAtIPath("dated"), root, false), "notequal");
    root.iCmpFileContents = true;
    EXPECT_STREQ(module.EqualImage(*root.itemAtIPath("same")), "equal");
    EXPECT_STREQ(stateIconName(*root.itemAtIPath("dated"), root, false), "equal");
    KItem only(&root, &root);
    only.iState = kStateOnlyLeft;
    EXPECT_STREQ(stateIconName(only, root, false), "onLeft");
    EXPECT_STREQ(stateIconName(only, root, true), "onRight");
}

}  // namespace
}  // namespace qv::test
