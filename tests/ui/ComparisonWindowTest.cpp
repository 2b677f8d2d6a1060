// The comparison window driven as a user drives it: paths typed, Compare
// pressed, the sync and execution sheets answered, rows expanded, differences
// visited. The folders are real; faults come through the file system layer.

#include "app/QuorvaneModule.h"
#include "base/Messages.h"
#include "engine/KRootItem.h"
#include "engine/UserPrompt.h"
#include "engine/ViewFilter.h"
#include "support/FaultyFileSystem.h"
#include "support/ScriptedPrompt.h"
#include "support/TempTree.h"
#include "support/TestSettings.h"
#include "ui/ComparisonModel.h"
#include "ui/ComparisonView.h"
#include "ui/ComparisonWindow.h"
#include "ui/DialogDriver.h"
#include "ui/ExecutionDialog.h"
#include "ui/SyncDialog.h"
#include "sync/DragCopyQueue.h"
#include "sync/MergeList.h"
#include "sync/MirrorPlanner.h"

#include <QAbstractItemModelTester>
#include <QMimeData>
#include <QUrl>
#include <QAction>
#include <QCheckBox>
#include <QMessageBox>
#include <QPaintEvent>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <thread>

namespace qv::test {
namespace {

class WindowTest : public ::testing::Test {
protected:

    std::unique_ptr<ComparisonWindow> makeWindow(platform::FileSystem& fs = platform::systemFileSystem()) {
        auto window = std::make_unique<ComparisonWindow>(settings, nullptr, fs);
        window->setPaths(left.root(), right.root());
        window->show();
        return window;
    }

    static bool idle(ComparisonWindow& w) {
        return !w.module().ComparingFolders() && !w.module().CalculatingSizes();
    }
    // The top-level row whose left name is `name` (invalid when there is none).
    static QModelIndex rowNamed(ComparisonModel& model, const QString& name) {
        for (int r = 0; r < model.rowCount(); ++r)
            if (model.index(r, ComparisonModel::LeftName).data().toString() == name) return model.index(r, 0);
        return {};
    }
    static void compareAndWait(ComparisonWindow& w) {
        w.compare();
        ASSERT_TRUE(QTest::qWaitFor([&] { return idle(w); }, 20000));
    }

    // A file system whose listings take a while, so a test can act mid-scan.
    void makeSlowTree(FaultyFileSystem& fs) {
        for (int i = 0; i < 40; ++i) {
            left.file("d" + std::to_string(i) + "/f.txt", 3);
            right.file("d" + std::to_string(i) + "/f.txt", 4);
        }
        fs.beforeListing = [](const std::string&) { std::this_thread::sleep_for(std::chrono::milliseconds(25)); };
    }

    TestSettings settings;
    TempTree left, right;
};

// Keeps the regions a widget is asked to paint.
class PaintRecorder : public QObject {
public:
    PaintRecorder(QWidget& widget, QRegion& painted) : m_painted(painted) { widget.installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) m_painted += static_cast<QPaintEvent*>(event)->region();
        return false;
    }
private:
    QRegion& m_painted;
};

TEST_F(WindowTest, ClickThroughMirrorsExecutesAndComparesAgainEqual) {
    left.fileWithText("a.txt", "hello");
    left.fileWithText("same.txt", "same");
    left.fileWithText("sub/b.txt", "b1");
    left.file("onlyleft/x.txt", 7);
    right.fileWithText("a.txt", "hello world");
    right.fileWithText("same.txt", "same");
    right.fileWithText("sub/b.txt", "b2 longer");
    right.fileWithText("extra.txt", "only on the right");
    auto window = makeWindow();
    QAbstractItemModelTester tester(&window->model(), QAbstractItemModelTester::FailureReportingMode::Fatal);
    compareAndWait(*window);

    // The rows are the engine's shown children, in its order.
    QuorvaneModule& module = window->module();
    const auto& shown = module.view().FilteredObjectsForModule(module.iParentItem());
    ASSERT_EQ(window->model().rowCount(), static_cast<int>(shown.size()));
    for (int r = 0; r < window->model().rowCount(); ++r)
        EXPECT_EQ(window->model().itemAt(window->model().index(r, 0)), shown[static_cast<std::size_t>(r)]);
    EXPECT_NE(module.iParentItem()->iState, kStateEqual);

    DialogDriver driver;
    driver
        .then([](QWidget* modal) {
            auto* sheet = qobject_cast<SyncDialog*>(modal);
            if (!sheet) return false;
            for (QRadioButton* b : sheet->findChildren<QRadioButton*>())
                if (b->text() == Messages::text("syncToRight")) QTimer::singleShot(0, b, &QAbstractButton::click);
            QTimer::singleShot(0, sheet->findChild<QCheckBox*>(), &QAbstractButton::click);
            QTimer::singleShot(10, sheet, [sheet] { DialogDriver::clickButton(sheet, Messages::text("overview")); });
            return true;
        })
        .then([](QWidget* modal) {
            return qobject_cast<ExecutionDialog*>(modal) && DialogDriver::clickButton(modal, Messages::text("executeBtn"));
        })
        .then([](QWidget* modal) {   // archiving is off: the warning is answered OK
            return qobject_cast<QMessageBox*>(modal) && DialogDriver::clickButton(modal, Messages::text("OK"));
        })
        .then([](QWidget* modal) {
            auto* sheet = qobject_cast<ExecutionDialog*>(modal);
            return sheet && sheet->hasRun() && DialogDriver::clickButton(modal, Messages::text("close"));
        })
        .then([](QWidget* modal) {
            return qobject_cast<QMessageBox*>(modal) && DialogDriver::clickButton(modal, Messages::text("rescan"));
        });
    window->openSyncDialog();
    ASSERT_TRUE(QTest::qWaitFor([&] { return driver.done() && idle(*window); }, 30000));

    EXPECT_EQ(module.iParentItem()->iState, kStateEqual);
    EXPECT_EQ(right.contents("a.txt"), "hello");
    EXPECT_EQ(right.contents("sub/b.txt"), "b1");
    EXPECT_TRUE(right.exists("onlyleft/x.txt"));
    EXPECT_FALSE(right.exists("extra.txt"));
    EXPECT_EQ(window->model().rowCount(), 4);   // a.txt, onlyleft, same.txt, sub: equal, shown again
}

TEST_F(WindowTest, StopCancelsARunningScanAndSaysSo) {
    FaultyFileSystem fs;
    makeSlowTree(fs);
    auto window = makeWindow(fs);
    window->compare();
    ASSERT_TRUE(window->module().ComparingFolders());
    QTest::qWait(100);
    window->compare();   // the same action is Stop while a run is going
    ASSERT_TRUE(QTest::qWaitFor([&] { return idle(*window); }, 20000));
    EXPECT_TRUE(window->module().lastRunCancelled());
    EXPECT_EQ(window->module().status().header(), Messages::text("TaskAborted"));
    EXPECT_LT(fs.listings, 80);
}

TEST_F(WindowTest, ClosingTheWindowMidScanStopsAndJoinsTheThreads) {
    FaultyFileSystem fs;
    makeSlowTree(fs);
    auto window = makeWindow(fs);
    window->compare();
    QTest::qWait(60);
    window->close();
    window.reset();   // a use after free of the tree or the thread shows under the sanitizers
    SUCCEED();
}

TEST_F(WindowTest, ReadErrorQuestionAnsweredStopEndsTheRun) {
    left.file("a/f.txt", 1);
    left.file("b/f.txt", 1);
    right.file("a/f.txt", 1);
    right.file("b/f.txt", 1);
    FaultyFileSystem fs;
    fs.failEntry(left.path("a"), "f.txt", EACCES);
    auto window = makeWindow(fs);
    bool asked = false;
    DialogDriver driver;
    driver.then([&](QWidget* modal) {
        if (!qobject_cast<QMessageBox*>(modal)) return false;
        asked = static_cast<QMessageBox*>(modal)->text() == Messages::text("dirAccessErr");
        return DialogDriver::clickButton(modal, Messages::text("StopBtn"));
    });
    window->compare();
    ASSERT_TRUE(QTest::qWaitFor([&] { return driver.done() && idle(*window); }, 20000));
    EXPECT_TRUE(asked);
    EXPECT_TRUE(window->module().lastRunCancelled());
}

TEST_F(WindowTest, NextAndPreviousVisitEveryDifferenceInRowOrder) {
    left.fileWithText("a.txt", "1");
    right.fileWithText("a.txt", "22");
    left.fileWithText("eq.txt", "=");
    right.fileWithText("eq.txt", "=");
    left.fileWithText("deep/er/c.txt", "1");
    right.fileWithText("deep/er/c.txt", "333");
    left.fileWithText("deep/same.txt", "s");
    right.fileWithText("deep/same.txt", "s");
    left.file("gone/inside.txt", 1);   // a one-sided folder is one difference; its contents are skipped
    right.fileWithText("new.txt", "n");
    auto window = makeWindow();
    compareAndWait(*window);
    ComparisonView& view = window->view();

    std::vector<std::string> forward;
    std::vector<int> rowsTop;
    for (int i = 0; i < 10; ++i) {
        window->nextDifference();
        KItem* at = view.currentItem();
        ASSERT_NE(at, nullptr);
        if (!forward.empty() && forward.back() == at->iPath()) break;   // the last one stays current
        forward.push_back(at->iPath());
        rowsTop.push_back(view.visualRect(view.currentIndex()).top());
    }
    std::vector<std::string> expected = {"a.txt", "deep/er/c.txt", "gone", "new.txt"};
    std::vector<std::string> sorted = forward;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(sorted, expected);
    EXPECT_TRUE(std::is_sorted(rowsTop.begin(), rowsTop.end())) << "differences are visited top to bottom";

    std::vector<std::string> backward = {forward.back()};
    for (std::size_t i = 1; i < forward.size(); ++i) {
        window->previousDifference();
        backward.push_back(view.currentItem()->iPath());
    }
    EXPECT_EQ(std::vector<std::string>(backward.rbegin(), backward.rend()), forward);
}

TEST_F(WindowTest, OneSidedFolderListsItsContentsWhenExpanded) {
    left.file("only/x.txt", 1);
    left.file("only/y/z.txt", 2);
    right.file("other.txt", 1);
    auto window = makeWindow();
    compareAndWait(*window);
    ComparisonModel& model = window->model();
    const QModelIndex only = rowNamed(model, QStringLiteral("only"));
    ASSERT_TRUE(only.isValid());
    EXPECT_TRUE(model.hasChildren(only));
    EXPECT_EQ(model.rowCount(only), 0);
    EXPECT_TRUE(model.canFetchMore(only));

    // Its arrow may come only once the sizes are in, told as a change of all
    // rows: the repaint that follows must reach the indentation it sits in.
    ComparisonView& view = window->view();
    QRegion painted;
    PaintRecorder recorder(*view.viewport(), painted);
    QCoreApplication::processEvents();
    painted = QRegion();
    model.refreshValues();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !painted.isEmpty(); }, 5000));
    const QRect cell = view.visualRect(only);
    EXPECT_TRUE(painted.contains(QRect(0, cell.top(), cell.left(), cell.height()))) << "the arrow is not repainted";

    window->view().expand(only);
    ASSERT_EQ(model.rowCount(only), 2);
    EXPECT_FALSE(model.canFetchMore(only));
    QStringList names;
    for (int r = 0; r < 2; ++r) names << model.index(r, ComparisonModel::LeftName, only).data().toString();
    names.sort();
    EXPECT_EQ(names, (QStringList{QStringLiteral("x.txt"), QStringLiteral("y")}));
    EXPECT_EQ(model.index(0, 0, only).data(ComparisonModel::StateRole).toInt(), kStateOnlyLeft);
}

TEST_F(WindowTest, IgnoredRowsAndColumnsSwitchedOnFromTheHeader) {
    left.fileWithText("a.txt", "1");
    right.fileWithText("a.txt", "22");
    left.fileWithText("b.txt", "1");
    right.fileWithText("b.txt", "333");
    auto window = makeWindow();
    compareAndWait(*window);
    ComparisonModel& model = window->model();
    const QString before = window->module().status().header();
    window->view().setCurrentIndex(rowNamed(model, QStringLiteral("a.txt")));
    window->view().selectionModel()->select(rowNamed(model, QStringLiteral("a.txt")),
                                            QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    QTest::keyClick(window.get(), Qt::Key_I, Qt::ControlModifier);
    const QModelIndex a = rowNamed(model, QStringLiteral("a.txt"));
    ASSERT_TRUE(a.isValid());   // every row shows while no filter is set
    EXPECT_TRUE(a.data(ComparisonModel::IgnoredRole).toBool());
    EXPECT_TRUE(a.data(Qt::AccessibleTextRole).toString().contains(Messages::text("a11yIgnored")));
    EXPECT_FALSE(rowNamed(model, QStringLiteral("b.txt")).data(ComparisonModel::IgnoredRole).toBool());
    // An ignored pair no longer counts among the differences.
    EXPECT_NE(window->module().status().header(), before) << before.toStdString();
    // Marking an action refuses the ignored row.
    window->pressActionButton(BtnCopy, kSideLeft);
    EXPECT_EQ(a.data(ComparisonModel::ActionRole).toInt(), kNone);

    window->view().selectionModel()->select(a, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    QTest::keyClick(window.get(), Qt::Key_I, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_FALSE(rowNamed(model, QStringLiteral("a.txt")).data(ComparisonModel::IgnoredRole).toBool());

    // The kind column, switched on after the run, is read for the tree on screen.
    const int kind = ComparisonModel::LeftKind;
    EXPECT_TRUE(window->view().isColumnHidden(kind));
    window->showOptionalColumn(kind, true);
    EXPECT_FALSE(window->view().isColumnHidden(kind + 1));
    const QModelIndex kindCell = rowNamed(model, QStringLiteral("b.txt")).siblingAtColumn(kind);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !kindCell.data().toString().isEmpty(); }, 10000));
}

TEST_F(WindowTest, TheSizesOfALargeFolderShowInFull) {
    // 300 GB of holes: a folder total of twelve digits, in bytes as the window shows sizes by default.
    left.file("big/huge.bin");
    left.truncate("big/huge.bin", 300'000'000'000);
    right.folder("big");
    auto window = makeWindow();
    compareAndWait(*window);
    ComparisonModel& model = window->model();
    ComparisonView& view = window->view();
    for (int r = 0; r < model.rowCount(); ++r) {
        const QModelIndex size = model.index(r, ComparisonModel::LeftSize);
        if (size.data().toString().isEmpty()) continue;
        EXPECT_GE(view.columnWidth(ComparisonModel::LeftSize), view.fontMetrics().horizontalAdvance(size.data().toString()) + 8)
            << size.data().toString().toStdString();
    }
}

// Answers every question with its default and keeps what it was told.
class RecordingPrompt final : public UserPrompt {
public:
    explicit RecordingPrompt(QStringList& told) : m_told(told) {}
    bool showsUI() const override { return true; }
    Answer ask(const Question& q) override {
        m_told << q.message;
        return {};
    }
    void inform(const QString& message, const QString&) override { m_told << message; }

private:
    QStringList& m_told;
};

TEST_F(WindowTest, BadPathsAreToldAndNothingRuns) {
    left.folder("inner/deeper");
    left.fileWithText("file.txt", "x");
    QStringList told;
    ComparisonWindow window(settings, std::make_unique<RecordingPrompt>(told));
    struct Case {
        std::string left, right;
        const char* key;
    };
    const Case cases[] = {
        {left.path("missing"), right.root(), "leftFolderDontExist"},
        {left.path("file.txt"), right.root(), "leftRightNotFolder"},
        {left.root(), left.root(), "sameFiles"},
        {"", right.root(), "emptyLeft"},
    };
    for (const Case& c : cases) {
        told.clear();
        window.setPaths(c.left, c.right);
        window.compare();
        EXPECT_FALSE(window.module().ComparingFolders()) << c.key;
        EXPECT_TRUE(told.contains(Messages::text(c.key))) << c.key << ": " << told.join('|').toStdString();
    }

    // One side inside the other compares, with a warning, and refuses to synchronise.
    told.clear();
    window.setPaths(left.root(), left.path("inner"));
    window.compare();
    ASSERT_TRUE(QTest::qWaitFor([&] { return idle(window); }, 20000));
    EXPECT_TRUE(told.contains(Messages::text("nestedFolders")));
    EXPECT_NE(window.module().iParentItem(), nullptr);
    told.clear();
    window.openSyncDialog();   // refused before any sheet opens, so nothing waits for a click here
    EXPECT_EQ(told, QStringList{Messages::text("nestedSync")});
}

// A mirror that would empty the destination (a wrong direction, a wrong
// folder) asks first; the default answer keeps everything.
TEST_F(WindowTest, AnExecutionThatEmptiesASideAsksFirstAndKeepsItByDefault) {
    for (int i = 0; i < 12; ++i) right.fileWithText("old" + std::to_string(i) + ".txt", "x");
    left.fileWithText("keep.txt", "k");
    right.fileWithText("keep.txt", "k");
    auto owned = std::make_unique<ScriptedPrompt>();
    ScriptedPrompt& prompt = *owned;
    ComparisonWindow window(settings, std::move(owned));
    window.setPaths(left.root(), right.root());
    compareAndWait(window);
    window.module().StartMirror2(kMirrorSync, kMirrorToRight | kMirrorDeleteOrphans);
    {
        ExecutionDialog sheet(window.module(), settings);
        sheet.execute();
        EXPECT_FALSE(sheet.isRunning());
        ASSERT_EQ(prompt.questions.size(), 1u);
        EXPECT_EQ(prompt.questions[0].message, Messages::text("massDeletionTitle"));
        EXPECT_EQ(prompt.questions[0].details, Messages::format("massDeletionRight", "12", "13"));
        EXPECT_EQ(prompt.questions[0].buttons.front(), Messages::text("cancel"));
    }
    EXPECT_TRUE(right.exists("old0.txt"));

    prompt.questions.clear();
    prompt.answers = {Answer{1}, Answer{1}};   // remove them; then the warning that nothing is archived
    ExecutionDialog sheet(window.module(), settings);
    sheet.execute();
    ASSERT_TRUE(QTest::qWaitFor([&] { return sheet.hasRun(); }, 20000));
    EXPECT_EQ(prompt.questions.front().message, Messages::text("massDeletionTitle"));
    EXPECT_FALSE(right.exists("old0.txt"));
    EXPECT_FALSE(right.exists("old11.txt"));
    EXPECT_TRUE(right.exists("keep.txt"));
}

// Drops a file manager's items at a point of the tree, as a drag would end.
bool dropAt(ComparisonView& view, const QPoint& at, const QStringList& paths) {
    QMimeData mime;
    QList<QUrl> urls;
    for (const QString& p : paths) urls << QUrl::fromLocalFile(p);
    mime.setUrls(urls);
    QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view.viewport(), &enter);
    QDragMoveEvent move(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view.viewport(), &move);
    QDropEvent drop(QPointF(at), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view.viewport(), &drop);
    return drop.isAccepted();
}

TEST_F(WindowTest, DroppedItemsAreCopiedOneBatchAtATimeAndRowsFollow) {
    left.fileWithText("docs/old.txt", "same");
    right.fileWithText("docs/old.txt", "same");
    left.fileWithText("a.txt", "from the left");
    right.fileWithText("a.txt", "right");
    TempTree outside;
    outside.fileWithText("new.txt", "dropped from a file manager");
    QStringList told;
    ComparisonWindow window(settings, std::make_unique<RecordingPrompt>(told));
    window.setPaths(left.root(), right.root());
    window.resize(1000, 500);
    window.show();
    window.compare();
    ASSERT_TRUE(QTest::qWaitFor([&] { return idle(window); }, 20000));
    ComparisonModel& model = window.model();
    ComparisonView& view = window.view();
    auto cellOf = [&](const QString& name, int column) {
        return view.visualRect(rowNamed(model, name).siblingAtColumn(column)).center();
    };
    QSignalSpy rescans(&window.module(), &QuorvaneModule::compareThreadFinished);
    // Onto the folder it came from, or over the state column: refused.
    EXPECT_FALSE(dropAt(view, cellOf(QStringLiteral("docs"), ComparisonModel::LeftName), {QString::fromStdString(left.path("docs/old.txt"))}));
    EXPECT_FALSE(dropAt(view, cellOf(QStringLiteral("docs"), ComparisonModel::State), {QString::fromStdString(outside.path("new.txt"))}));

    // A file manager's file onto the right "docs" row, a left file over its right counterpart.
    EXPECT_TRUE(dropAt(view, cellOf(QStringLiteral("docs"), ComparisonModel::RightName), {QString::fromStdString(outside.path("new.txt"))}));
    // Below the last row of the right half: the right side's top folder.
    const QPoint belowRows(view.columnViewportPosition(ComparisonModel::RightName) + 20, view.viewport()->height() - 10);
    EXPECT_TRUE(dropAt(view, belowRows, {QString::fromStdString(left.path("a.txt"))}));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window.module().copyQueue().busy() && told.contains(Messages::text("mergeMsg1")); }, 20000))
        << told.join('|').toStdString();
    EXPECT_EQ(right.contents("docs/new.txt"), "dropped from a file manager");
    EXPECT_EQ(right.contents("a.txt"), "from the left");
    EXPECT_EQ(outside.contents("new.txt"), "dropped from a file manager");   // copied, not moved
    // The question at the end of the batch was answered "compare again".
    ASSERT_TRUE(QTest::qWaitFor([&] { return rescans.count() == 1 && idle(window); }, 20000));
    EXPECT_NE(window.module().iParentItem()->iState, kStateEqual);   // docs/new.txt exists on the right only
    const QModelIndex a = rowNamed(model, QStringLiteral("a.txt"));
    ASSERT_TRUE(a.isValid());
    EXPECT_EQ(a.data(ComparisonModel::StateRole).toInt(), kStateEqual);
}

}  // namespace
}  // namespace qv::test
