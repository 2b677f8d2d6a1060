// The file tab driven as a user drives it: two files compared side by side,
// the rows checked against what `quorvane diff --json` prints for the same
// files, changes visited in order with a beep at either end, every change
// taken from the right and saved, a file changed on disk asked about before
// it is replaced, and the hex view marking exactly the bytes that differ.

#include "app/FileComparisonSession.h"
#include "app/QuorvaneModule.h"
#include "base/Messages.h"
#include "support/RunQuorvane.h"
#include "support/TempTree.h"
#include "support/TestSettings.h"
#include "support/WaitFor.h"
#include "ui/ComparisonModel.h"
#include "ui/ComparisonView.h"
#include "ui/ComparisonWindow.h"
#include "ui/DialogDriver.h"
#include "ui/FileCompareTab.h"
#include "ui/FindBar.h"
#include "ui/HexRowsModel.h"
#include "ui/KFileTableView.h"
#include "ui/KMiniMap.h"
#include "ui/MergePreviewModel.h"
#include "ui/TextRowsModel.h"

#include <QAbstractItemModelTester>
#include <QJsonArray>
#include <QLabel>
#include <QJsonDocument>
#include <QJsonObject>
#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <random>
#include <set>

namespace qv::test {
namespace {

class FileTabTest : public ::testing::Test {
protected:
    void SetUp() override {
        settings.store(QStringLiteral("dontSowFCInfoStep1"), true);
        settings.store(QStringLiteral("dontSowFCInfoStep2"), true);
        window = std::make_unique<ComparisonWindow>(settings);
        window->resize(1000, 600);
        window->show();
    }
    void TearDown() override { window.reset(); }

    FileComparisonSession& session() const { return window->fileTab().session(); }

    void showFiles(const std::string& left, const std::string& right) {
        window->compareFiles(q(t.path(left)), q(t.path(right)));
        ASSERT_TRUE(waitFor(&session(), &FileComparisonSession::comparisonFinished));
        ASSERT_TRUE(session().result());
    }

    // A pair with a changed word, two lines only on the right, two lines
    // only on the left, and two more lines only on the right.
    void knownChanges() {
        std::string left, right;
        for (int i = 1; i <= 40; ++i) {
            const std::string line = "line " + std::to_string(i) + " of the text\n";
            left += line;
            if (i == 5) right += "line 5 of the TEXT\n";
            else if (i == 12) right += "inserted a\ninserted b\n" + line;
            else if (i == 20 || i == 21) continue;
            else if (i == 30) right += "line 30 of the text\nline 30 again\nline 30 once more\n";
            else right += line;
        }
        t.fileWithText("a.txt", left);
        t.fileWithText("b.txt", right);
    }

    TestSettings settings;
    std::unique_ptr<ComparisonWindow> window;
    TempTree t;
};

TEST_F(FileTabTest, RowsAndChangesAreTheCommandLinesAndTwoTypedFilesOpenTheTab) {
    knownChanges();
    // Two files typed into the folder tab's fields move the window to its file tab.
    window->setPaths(t.path("a.txt"), t.path("b.txt"));
    window->compare();
    ASSERT_TRUE(waitFor(&session(), &FileComparisonSession::comparisonFinished));
    EXPECT_TRUE(window->fileTabShown());

    const CommandResult cli = runQuorvane({QStringLiteral("diff"), QStringLiteral("--json"), q(t.path("a.txt")), q(t.path("b.txt"))});
    ASSERT_EQ(cli.exitCode, 1) << cli.err.toStdString();
    const QJsonObject json = QJsonDocument::fromJson(cli.out).object();
    const QJsonArray rows1 = json.value(QStringLiteral("rows1")).toArray(), rows2 = json.value(QStringLiteral("rows2")).toArray();
    TextRowsModel& model = window->fileTab().textModel();
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    ASSERT_EQ(model.rowCount(), rows1.size());
    ASSERT_EQ(rows2.size(), rows1.size());
    for (int r = 0; r < model.rowCount(); ++r) {
        EXPECT_EQ(model.index(r, FileLinesModel::Left).data().toString(), rows1[r].toString()) << "row " << r;
        EXPECT_EQ(model.index(r, FileLinesModel::Right).data().toString(), rows2[r].toString()) << "row " << r;
    }
    const QJsonArray changes = json.value(QStringLiteral("changes")).toArray();
    ASSERT_EQ(qint64(session().changeCount()), changes.size());
    ASSERT_EQ(changes.size(), 4);
    std::set<int> changeRows;
    for (const QJsonValue& c : changes) {
        const int row = c.toObject().value(QStringLiteral("lr")).toInt();
        changeRows.insert(row);
        EXPECT_EQ(model.index(row, 0).data(FileLinesModel::SidesRole).toInt(), c.toObject().value(QStringLiteral("s")).toInt());
    }
    for (int r = 0; r < model.rowCount(); ++r) {
        if (!changeRows.count(r)) {
            EXPECT_EQ(model.rowSides(r), 0) << "row " << r;
        }
    }
    // Every change has its mark on the overview strip, in file order.
    const auto& marks = window->fileTab().miniMap().marks();
    ASSERT_EQ(marks.size(), 4u);
    for (std::size_t i = 1; i < marks.size(); ++i) EXPECT_LT(marks[i - 1].top, marks[i].top);
    EXPECT_EQ(window->fileTab().statusLabel().text(), Messages::text("FilesDiff"));
}

TEST_F(FileTabTest, NextAndPreviousVisitEveryChangeInOrderAndBeepAtTheEnds) {
    knownChanges();
    showFiles("a.txt", "b.txt");
    QSignalSpy beeps(&window->fileTab(), &FileCompareTab::beeped);
    KFileTableView& view = window->fileTab().view();
    window->previousDifference();
    EXPECT_EQ(beeps.count(), 1);
    const auto& records = session().result()->parser->iZmiany();
    for (const ChangeRecord& record : records) {
        window->nextDifference();
        EXPECT_EQ(view.currentIndex().row(), int(record.lr));
        EXPECT_TRUE(view.selectionModel()->isRowSelected(int(record.lr), {}));
        // The change is in sight.
        const QRect rect = view.visualRect(view.currentIndex());
        EXPECT_TRUE(view.viewport()->rect().intersects(rect)) << record.lr;
    }
    EXPECT_EQ(beeps.count(), 1);
    window->nextDifference();
    EXPECT_EQ(beeps.count(), 2);
    EXPECT_EQ(session().iCurrentZmiana(), std::int64_t(records.size()) - 1);
    window->previousDifference();
    EXPECT_EQ(view.currentIndex().row(), int(records[records.size() - 2].lr));
    // A click on a change's row makes it the current change.
    emit view.clicked(view.model()->index(int(records[0].lr), 0));
    EXPECT_EQ(session().iCurrentZmiana(), 0);
}

TEST_F(FileTabTest, TakingTheRightSideOfEveryChangeAndSavingGivesTheRightFile) {
    knownChanges();
    showFiles("a.txt", "b.txt");
    FileCompareTab& tab = window->fileTab();
    QSignalSpy beeps(&tab, &FileCompareTab::beeped);
    tab.takeSide(false);   // merging is off
    EXPECT_EQ(beeps.count(), 1);
    tab.setMergeMode(true);
    ASSERT_TRUE(session().iFileMergeMode());
    for (std::size_t i = 0; i < session().changeCount(); ++i) {
        tab.nextChange();
        tab.takeSide(true);
        tab.takeSide(false);
    }
    EXPECT_EQ(beeps.count(), 1);
    // The preview lists the merged lines; the lines taken from changes are flagged.
    MergePreviewModel& preview = tab.mergeModel();
    QAbstractItemModelTester tester(&preview, QAbstractItemModelTester::FailureReportingMode::Fatal);
    ASSERT_EQ(preview.rowCount(), session().merger().iMergedContent().size());
    int flagged = 0;
    for (int r = 0; r < preview.rowCount(); ++r) flagged += preview.index(r).data(MergePreviewModel::FromChangeRole).toBool();
    EXPECT_EQ(flagged, 1 + 2 + 2);   // the changed line and the two pairs of new lines
    ASSERT_EQ(session().SaveMerge(q(t.path("merged.txt"))), FileComparisonSession::SaveOutcome::Saved);
    EXPECT_EQ(t.contents("merged.txt"), t.contents("b.txt"));
}

TEST_F(FileTabTest, SavingOverAFileChangedOnDiskAsksFirst) {
    knownChanges();
    showFiles("a.txt", "b.txt");
    window->fileTab().setMergeMode(true);
    t.fileWithText("a.txt", "edited elsewhere\n", kBaseTimeNs + 9'000'000'000);
    DialogDriver driver;
    bool asked = false;
    driver.then([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        if (!box) return false;
        asked = box->text() == Messages::text("fcChangedOnDisk0");
        return DialogDriver::clickButton(box, Messages::text("cancel"));
    });
    EXPECT_EQ(session().SaveMerge(q(t.path("a.txt"))), FileComparisonSession::SaveOutcome::Declined);
    EXPECT_TRUE(asked);
    EXPECT_EQ(t.contents("a.txt"), "edited elsewhere\n");
}

TEST_F(FileTabTest, TheHexViewMarksExactlyTheBytesThatDifferAndPagesToAChange) {
    std::mt19937 gen(5);
    QByteArray left(300, 0);
    for (char& c : left) c = char(gen() % 256);
    QByteArray right = left + QByteArray("tail!");
    const std::set<int> differing = {3, 16, 17, 100, 101, 103, 255};
    for (int at : differing) right[at] = char(right[at] ^ 0x21);
    t.fileWithText("a.bin", left.toStdString());
    t.fileWithText("b.bin", right.toStdString());
    session().FileType(FileCompareType::Binary);
    showFiles("a.bin", "b.bin");
    HexRowsModel& hex = window->fileTab().hexModel();
    ASSERT_EQ(window->fileTab().view().linesModel(), &hex);
    ASSERT_EQ(hex.rowCount(), 20);   // 305 bytes: 19 full lines and one of 1 byte
    constexpr int kChars = 14 + 40 + 1;   // offset, hex part, space
    for (int row = 0; row < 19; ++row) {
        for (int side = 0; side < 2; ++side) {
            FileLinesModel::Line line;
            hex.lineAt(row, side, 0, line);
            std::set<qsizetype> marked;
            for (const MarkRun& m : line.marks)
                for (qsizetype c = m.start; c < m.start + m.length; ++c) marked.insert(c);
            for (int i = 0; i < 16; ++i) {
                // A byte only the right file has differs too.
                const bool differs = differing.count(row * 16 + i) > 0 || row * 16 + i >= left.size();
                const qsizetype digit = 14 + 2 * i + i / 2;
                EXPECT_EQ(marked.count(digit) + marked.count(digit + 1), differs ? 2u : 0u) << "row " << row << " byte " << i;
                EXPECT_EQ(marked.count(kChars + i), differs ? 1u : 0u) << "row " << row << " byte " << i;
            }
        }
    }
    // The last line exists on the right only, and is marked whole there.
    FileLinesModel::Line line;
    hex.lineAt(19, 0, 0, line);
    EXPECT_TRUE(line.filler);
    hex.lineAt(19, 1, 0, line);
    ASSERT_EQ(line.marks.size(), 1u);
    EXPECT_EQ(line.marks[0].kind, MarkAdded);
    EXPECT_EQ(hex.rowSides(19), 8);

    // A change beyond the first page moves the view to its page.
    QByteArray big(3 << 20, 'a'), bigRight = big;
    bigRight[(3 << 20) - 100] = 'b';
    t.fileWithText("big-a.bin", big.toStdString());
    t.fileWithText("big-b.bin", bigRight.toStdString());
    showFiles("big-a.bin", "big-b.bin");
    EXPECT_EQ(hex.page(), 0u);
    window->nextDifference();
    EXPECT_EQ(hex.page(), 2u);
    const std::uint64_t changedLine = std::uint64_t((3 << 20) - 100) / 16;
    EXPECT_EQ(std::uint64_t(window->fileTab().view().currentIndex().row()), changedLine - hex.firstLine());
}

TEST_F(FileTabTest, FindSelectsTheMatchAndADoubleClickedPairOpensTheTab) {
    knownChanges();
    t.fileWithText("left/pair.txt", "one\ntwo\n");
    t.fileWithText("right/pair.txt", "one\nTWO\n");
    window->setPaths(t.path("left"), t.path("right"));
    window->compare();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window->module().ComparingFolders() && !window->module().CalculatingSizes(); }, 20000));
    ComparisonModel& folders = window->model();
    ASSERT_EQ(folders.rowCount(), 1);
    emit window->view().doubleClicked(folders.index(0, 0));
    ASSERT_TRUE(waitFor(&session(), &FileComparisonSession::comparisonFinished));
    EXPECT_TRUE(window->fileTabShown());
    EXPECT_EQ(session().path(0), q(t.path("left/pair.txt")));

    showFiles("a.txt", "b.txt");
    FileCompareTab& tab = window->fileTab();
    tab.openFind();
    ASSERT_TRUE(tab.findBar().isVisible());
    auto* column = tab.findBar().findChild<QComboBox*>();
    column->setCurrentIndex(column->findData(0));   // both files
    tab.findBar().findChild<QLineEdit*>()->setText(QStringLiteral("again"));
    tab.find(true);
    const KFileTableView::Found& found = tab.view().found();
    ASSERT_GE(found.row, 0);
    EXPECT_EQ(found.side, 1);
    EXPECT_EQ(tab.textModel().rowText(found.row, 1).mid(found.offset, found.length), QStringLiteral("again"));
    EXPECT_EQ(tab.view().currentIndex().row(), found.row);
    QSignalSpy beeps(&tab, &FileCompareTab::beeped);
    tab.findBar().findChild<QLineEdit*>()->setText(QStringLiteral("not in either file"));
    tab.find(true);
    EXPECT_EQ(beeps.count(), 1);
}

}  // namespace
}  // namespace qv::test
