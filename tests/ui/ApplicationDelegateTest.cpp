// The application around the windows: handed-in pairs open once and come to
// the front when handed in again, "--start" compares, the windows open at
// quit come back with their pairs and places, paths not to be kept leave
// only locked history behind, and a new palette re-colours every window.

#include "app/QuorvaneModule.h"
#include "app/WindowLayout.h"
#include "app/history/FolderHistory.h"
#include "base/Messages.h"
#include "support/ScopedEnv.h"
#include "support/ScriptedPrompt.h"
#include "support/TempTree.h"
#include "support/TestSettings.h"
#include "support/WaitFor.h"
#include "ui/ApplicationDelegate.h"
#include "ui/ComparisonView.h"
#include "ui/ComparisonWindow.h"
#include "ui/FileCompareTab.h"
#include "ui/InspectorPanel.h"
#include "ui/KQVDocument.h"

#include <QApplication>
#include <QDockWidget>
#include <QHeaderView>
#include <QLabel>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace qv::test {
namespace {

QString q(const std::string& path) { return QFile::decodeName(path.c_str()); }

// The same corner and height; the width at least the one kept, because a
// window may be widened to fit its tool bar and panes once shown (Qt's
// offscreen platform does so by a varying amount).
void expectSamePlace(const QRect& restored, const QRect& kept) {
    EXPECT_EQ(restored.topLeft(), kept.topLeft());
    EXPECT_EQ(restored.height(), kept.height());
    EXPECT_GE(restored.width(), kept.width());
}

class ApplicationDelegateTest : public ::testing::Test {
protected:
    void SetUp() override {
        // The launch clears old temporaries from the temporary folder: never the machine's own here.
        tmpdir = std::make_unique<ScopedEnv>("TMPDIR", temporary.path().toStdString());
        tree.folder("a");
        tree.folder("b");
        tree.folder("c");
        tree.fileWithText("a/f.txt", "one\n");
        tree.fileWithText("b/f.txt", "two\n");
    }
    void TearDown() override {
        app.reset();
        tmpdir.reset();
    }
    // A new application on the same settings, as the next start of the program.
    ApplicationDelegate& start() {
        app.reset();
        auto scripted = std::make_unique<ScriptedPrompt>();
        prompt = scripted.get();
        app = std::make_unique<ApplicationDelegate>(settings, std::move(scripted));
        return *app;
    }
    KQVDocument* open(const std::string& left, const std::string& right, bool startIt = false) {
        app->openFiles({left, right}, startIt);
        return app->document(app->queue().OpenQueuedFiles());
    }

    QTemporaryDir temporary;
    std::unique_ptr<ScopedEnv> tmpdir;
    TestSettings settings;
    TempTree tree;
    std::unique_ptr<ApplicationDelegate> app;
    ScriptedPrompt* prompt = nullptr;
};

TEST_F(ApplicationDelegateTest, AnOpenPairComesToTheFrontAndStartCompares) {
    start();
    KQVDocument* first = open(tree.path("a"), tree.path("b"));
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(first->window()->isVisible());
    EXPECT_FALSE(first->uuid().isEmpty());
    // The other order, and a spelling with a trailing slash, name the same pair.
    EXPECT_EQ(open(tree.path("b") + "/", tree.path("a")), first);
    ASSERT_EQ(app->documents().size(), 1u);
    EXPECT_FALSE(first->window()->module().iParentItem()) << "a pair brought forward is not compared unasked";

    KQVDocument* second = open(tree.path("a"), tree.path("c"), true);
    ASSERT_NE(second, first);
    EXPECT_NE(second->uuid(), first->uuid());
    EXPECT_EQ(app->documents().front(), second);
    ASSERT_TRUE(waitUntil([&] { return second->window()->module().iParentItem() && !second->window()->comparing(); }));
    EXPECT_EQ(app->openPairs(), (QList<QByteArray>{QByteArray::fromStdString(tree.path("a")),
                                                   QByteArray::fromStdString(tree.path("c")),
                                                   QByteArray::fromStdString(tree.path("a")),
                                                   QByteArray::fromStdString(tree.path("b"))}));
    // "--start" on a pair already open compares that window.
    EXPECT_EQ(open(tree.path("b"), tree.path("a"), true), first);
    ASSERT_TRUE(waitUntil([&] { return first->window()->module().iParentItem() && !first->window()->comparing(); }));
    EXPECT_EQ(app->documents().size(), 2u);
}

TEST_F(ApplicationDelegateTest, TheWindowsOpenAtQuitComeBackWithTheirPairsAndPlaces) {
    start();
    EXPECT_EQ(app->applicationDidFinishLaunching(), 0);
    KQVDocument* one = open(tree.path("a"), tree.path("b"));
    KQVDocument* two = open(tree.path("a"), tree.path("c"));
    one->window()->setGeometry(40, 50, 820, 530);
    two->window()->setGeometry(90, 110, 760, 480);
    two->window()->compareFiles(q(tree.path("a/f.txt")), q(tree.path("b/f.txt")));
    two->window()->showOptionalColumn(ComparisonWindow::columnForId(QStringLiteral("kind1")), true);
    two->window()->setInspectorShown(true);
    const QRect placeOne = one->window()->geometry(), placeTwo = two->window()->geometry();

    // Quitting with two windows asks first; "cancel" keeps everything open.
    prompt->answers.push_back({2, false});
    EXPECT_FALSE(app->quit());
    EXPECT_TRUE(one->window()->isVisible());
    prompt->answers.push_back({0, false});
    ASSERT_TRUE(app->quit());
    ASSERT_EQ(prompt->questions.size(), 2u);
    EXPECT_EQ(prompt->questions[0].message, Messages::text("tabSaveQuit0"));
    // The layout kept for new windows is the front-most window's: the second one's.
    const auto columns = WindowLayout::storedColumns(settings);
    ASSERT_TRUE(columns);
    EXPECT_TRUE(std::any_of(columns->begin(), columns->end(), [](const ColumnLayout& c) { return c.id == "kind2"; }));
    ASSERT_TRUE(WindowLayout::storedPanes(settings));
    EXPECT_GT(WindowLayout::storedPanes(settings)->rightSplit, 0);

    start();
    ASSERT_EQ(app->applicationDidFinishLaunching(), 2);
    ASSERT_EQ(app->documents().size(), 2u);
    std::vector<ComparisonWindow*> windows;
    for (KQVDocument* d : app->documents()) windows.push_back(d->window());
    // The front-most window is restored last and so is in front again.
    ComparisonWindow* restoredTwo = windows.front();
    ComparisonWindow* restoredOne = windows.back();
    EXPECT_EQ(restoredOne->restorableState().leftPath, q(tree.path("a")));
    EXPECT_EQ(restoredOne->restorableState().rightPath, q(tree.path("b")));
    expectSamePlace(restoredOne->geometry(), placeOne);
    EXPECT_EQ(restoredTwo->restorableState().rightPath, q(tree.path("c")));
    expectSamePlace(restoredTwo->geometry(), placeTwo);
    EXPECT_TRUE(restoredTwo->inspector().isVisible());
    EXPECT_TRUE(restoredTwo->fileTabShown());
    EXPECT_EQ(restoredTwo->fileTab().fieldPath(false), q(tree.path("b/f.txt")));
    EXPECT_FALSE(restoredTwo->view().isColumnHidden(ComparisonWindow::columnForId(QStringLiteral("kind2"))));
    EXPECT_TRUE(restoredOne->view().isColumnHidden(ComparisonWindow::columnForId(QStringLiteral("kind2"))));
    EXPECT_FALSE(restoredOne->fileTabShown());

    // Answered "start afresh", the next start opens none of them.
    prompt->answers.push_back({1, true});
    ASSERT_TRUE(app->quit());
    EXPECT_TRUE(settings.boolValue(QStringLiteral("dontShowTabSaveQuit")));
    start();
    EXPECT_EQ(app->applicationDidFinishLaunching(), 0);
}

TEST_F(ApplicationDelegateTest, TheLastWindowClosedIsTheSessionTheNextStartBringsBack) {
    start();
    app->applicationDidFinishLaunching();
    KQVDocument* one = open(tree.path("a"), tree.path("b"));
    KQVDocument* two = open(tree.path("b"), tree.path("c"));
    two->window()->close();
    ASSERT_TRUE(waitUntil([&] { return app->documents().size() == 1; }));
    one->window()->close();
    ASSERT_TRUE(waitUntil([&] { return app->documents().empty(); }));
    EXPECT_TRUE(prompt->questions.empty()) << "closing windows one by one asks nothing";
    start();
    ASSERT_EQ(app->applicationDidFinishLaunching(), 1);
    EXPECT_EQ(app->documents().front()->window()->restorableState().rightPath, q(tree.path("b")));
}

TEST_F(ApplicationDelegateTest, WithPathsNotKeptOnlyLockedHistorySurvivesAQuit) {
    FolderHistory folders(settings, true);
    folders.store({{QStringLiteral("/kept/l"), QStringLiteral("/kept/r"), true},
                   {QStringLiteral("/gone/l"), QStringLiteral("/gone/r"), false}});
    FolderHistory(settings, false).store({{QStringLiteral("/x"), QStringLiteral("/y"), false}});
    {
        KLastFolders last(settings, QStringLiteral("lastFolders"));
        last.AddFolder(QStringLiteral("/locked"), true);
        last.AddFolder(QStringLiteral("/plain"));
        last.store();
    }
    settings.store(QStringLiteral("savePaths"), false);
    start();
    app->applicationDidFinishLaunching();
    open(tree.path("a"), tree.path("b"));
    ASSERT_TRUE(app->quit());

    const std::vector<HistoryPair> pairs = FolderHistory(settings, true).pairs();
    ASSERT_EQ(pairs.size(), 1u);
    EXPECT_EQ(pairs[0].l, QStringLiteral("/kept/l"));
    EXPECT_TRUE(FolderHistory(settings, false).pairs().empty());
    const KLastFolders last(settings, QStringLiteral("lastFolders"));
    ASSERT_EQ(last.items().size(), 1u);
    EXPECT_EQ(last.items()[0].path, QStringLiteral("/locked"));
}

TEST_F(ApplicationDelegateTest, ANewPaletteRecoloursEveryWindow) {
    start();
    std::vector<QLabel*> headers;
    for (const char* right : {"b", "c"}) {
        KQVDocument* d = open(tree.path("a"), tree.path(right));
        for (QLabel* label : d->window()->findChildren<QLabel*>())
            if (label->accessibleName() == Messages::text("a11yStatus")) headers.push_back(label);
    }
    ASSERT_EQ(headers.size(), 2u);
    const QPalette before = QApplication::palette();
    QPalette dark = before;
    dark.setColor(QPalette::WindowText, QColor(0xee, 0xee, 0xee));
    dark.setColor(QPalette::Window, QColor(0x20, 0x20, 0x20));
    QApplication::setPalette(dark);
    QApplication::processEvents();
    for (QLabel* header : headers) EXPECT_EQ(header->palette().color(QPalette::WindowText), QColor(0xee, 0xee, 0xee));
    QApplication::setPalette(before);
}

}  // namespace
}  // namespace qv::test
