#include "app/HeadlessPrompt.h"
#include "base/Messages.h"
#include "app/QuorvaneModule.h"
#include "app/history/MultiFolderSets.h"
#include "base/Settings.h"
#include "engine/SortOrder.h"
#include "support/FaultyFileSystem.h"
#include "support/TempTree.h"

#include <QDir>
#include <QEventLoop>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <cerrno>
#include <thread>

namespace qv::test {
namespace {

class QuorvaneModuleTest : public ::testing::Test {
protected:
    QTemporaryDir configDir;
    Settings settings{std::make_unique<QSettings>(configDir.filePath(QStringLiteral("q.ini")), QSettings::IniFormat)};
    HeadlessPrompt prompt;
    TempTree left, right;

    // Waits for the end of the run the module started; false on timeout.
    static bool waitForEnd(QuorvaneModule& module) {
        QEventLoop loop;
        QObject::connect(&module, &QuorvaneModule::compareThreadFinished, &loop, [&] { loop.quit(); });
        QTimer::singleShot(20000, &loop, [&] { loop.exit(1); });
        return module.ComparingFolders() ? loop.exec() == 0 : true;
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
    module.state().leftPath = left.root();
    module.state().rightPath = right.root();
    ASSERT_TRUE(module.Compare());
    ASSERT_TRUE(waitForEnd(module));
    EXPECT_FALSE(module.lastRunCancelled());
    EXPECT_EQ(module.iRootItem()->iState, kStateEqual);
}

TEST_F(QuorvaneModuleTest, AMultiFolderSetStandsForItsFoldersTogether) {
    TempTree data, elsewhere;
    const QByteArray savedDataHome = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", QByteArray::fromStdString(data.root()));
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
    qputenv("XDG_DATA_HOME", savedDataHome);
}

}  // namespace
}  // namespace qv::test
