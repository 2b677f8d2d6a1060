// The file view's parts on their own: line numbers that skip filler lines,
// tabs widened with their marks moved along, rows as tall as their lines
// (and taller when long lines wrap), the quick check and the hex fallback
// as the tab shows them, a repeated comparison that keeps its place, and
// the overview strip and the view's settings as a user works them.

#include "app/FileComparisonSession.h"
#include "base/Messages.h"
#include "support/TempTree.h"
#include "support/TestSettings.h"
#include "support/WaitFor.h"
#include "ui/ComparisonWindow.h"
#include "ui/FileCompareTab.h"
#include "ui/HexRowsModel.h"
#include "ui/KFileTableView.h"
#include "ui/KMiniMap.h"
#include "ui/TextRowsModel.h"

#include <QAction>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QScrollBar>
#include <QTest>

#include <gtest/gtest.h>

namespace qv::test {
namespace {

QString q(const std::string& path) { return QFile::decodeName(path.c_str()); }

class FileViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        settings.store(QStringLiteral("dontSowFCInfoStep1"), true);
        settings.store(QStringLiteral("dontSowFCInfoStep2"), true);
    }

    // A pair of 400-line files where every `period`-th line (from `first`)
    // differs, opened in the window's file tab; the comparison is under way.
    FileCompareTab& openLongPair(ComparisonWindow& window, int period, int first) {
        std::string left, right;
        for (int i = 0; i < 400; ++i) {
            left += "line " + std::to_string(i) + "\n";
            right += (i % period == first ? "LINE " : "line ") + std::to_string(i) + "\n";
        }
        t.fileWithText("a.txt", left);
        t.fileWithText("b.txt", right);
        window.resize(900, 500);
        window.show();
        window.compareFiles(q(t.path("a.txt")), q(t.path("b.txt")));
        return window.fileTab();
    }

    // Lines per side of a row: their numbers (-1 for a filler line).
    static std::vector<std::vector<qint64>> numbers(const TextRowsModel& model, int side) {
        std::vector<std::vector<qint64>> out;
        FileLinesModel::Line line;
        for (int r = 0; r < model.rowCount(); ++r) {
            out.emplace_back();
            for (int k = 0; k < model.linesInRow(r); ++k) {
                model.lineAt(r, side, k, line);
                out.back().push_back(line.number);
            }
        }
        return out;
    }

    TestSettings settings;
    TempTree t;
};

TEST_F(FileViewTest, LineNumbersSkipFillerLinesAndTabsCarryTheirMarks) {
    KDiffParser parser;
    // Left: a b c d e; right: a X Y b d e (one line added and changed, c removed).
    ASSERT_TRUE(parser.ParseDiff(QStringLiteral("1a2,3\n3d4\n"), QStringLiteral("a\nb\nc\nd\ne\n"),
                                 QStringLiteral("a\nX\nY\nb\nd\ne\n")));
    TextRowsModel model;
    model.setParser(&parser);
    using N = std::vector<std::vector<qint64>>;
    EXPECT_EQ(numbers(model, 0), (N{{1}, {-1, -1}, {2}, {3}, {4}, {5}}));
    EXPECT_EQ(numbers(model, 1), (N{{1}, {2, 3}, {4}, {-1}, {5}, {6}}));
    EXPECT_EQ(model.rowSides(1), 8);
    EXPECT_EQ(model.rowSides(3), 4);
    EXPECT_EQ(model.changeOnRow(3), 1);
    EXPECT_EQ(model.changeOnRow(2), -1);
    EXPECT_EQ(model.numberDigits(), 1);
    EXPECT_EQ(model.index(1, FileLinesModel::Right).data().toString(), QStringLiteral("X\nY"));

    std::vector<MarkRun> marks = {{1, 1, MarkChanged}, {3, 2, MarkAdded}};
    EXPECT_EQ(FileLinesModel::expandTabs(QStringLiteral("a\tbc\td"), &marks), QStringLiteral("a       bc      d"));
    EXPECT_EQ(marks, (std::vector<MarkRun>{{1, 7, MarkChanged}, {9, 7, MarkAdded}}));   // the tab, then "c" and the tab
    EXPECT_EQ(FileLinesModel::columnsOf(QStringLiteral("a\tbc\td")), 17);
}

TEST_F(FileViewTest, RowsAreAsTallAsTheirLinesAndTallerWhenLongLinesWrap) {
    KDiffParser parser;
    const QString longLine(400, QLatin1Char('w'));
    ASSERT_TRUE(parser.ParseDiff(QStringLiteral("2c2,4\n"), QStringLiteral("a\nb\nc\n") + longLine + QLatin1Char('\n'),
                                 QStringLiteral("a\nB1\nB2\nB3\nc\n") + longLine + QLatin1Char('\n')));
    TextRowsModel model;
    model.setParser(&parser);
    KFileTableView view(settings);
    view.resize(700, 400);
    view.setLinesModel(&model);
    view.show();
    const int h = view.lineHeight();
    ASSERT_EQ(model.rowCount(), 4);
    EXPECT_EQ(view.rowHeight(0), h);
    EXPECT_EQ(view.rowHeight(1), 3 * h);
    EXPECT_EQ(view.rowHeight(3), h);
    EXPECT_GT(view.horizontalScrollBar()->maximum(), 0);   // the long line can be scrolled to

    view.setLinesWrap(true);
    const int columns = view.wrapColumns();
    ASSERT_GT(columns, 8);
    EXPECT_EQ(view.rowHeight(3), int((400 + columns - 1) / columns) * h);
    EXPECT_EQ(view.rowHeight(1), 3 * h);
    EXPECT_EQ(view.horizontalScrollBar()->maximum(), 0);
    // Narrower, the long line takes more screen lines.
    view.resize(400, 400);
    QTest::qWait(10);
    EXPECT_GT(view.rowHeight(3), int((400 + columns - 1) / columns) * h);
    // The spans of the rows add up to the whole document.
    double covered = 0;
    for (int r = 0; r < model.rowCount(); ++r) covered += view.rowSpan(r).second;
    EXPECT_NEAR(covered, 1.0, 1e-9);
    view.setLinesWrap(false);
    EXPECT_EQ(view.rowHeight(3), h);
}

TEST_F(FileViewTest, TheQuickCheckAndTheHexFallbackShowWhatTheyFound) {
    t.fileWithText("a.txt", "one\n");
    t.fileWithText("b.txt", "two\n");
    t.fileWithText("latin1.txt", std::string("caf\xe9\n"));
    ComparisonWindow window(settings);
    window.show();
    FileComparisonSession& session = window.fileTab().session();
    session.FileType(FileCompareType::Quick);
    window.compareFiles(q(t.path("a.txt")), q(t.path("b.txt")));
    ASSERT_TRUE(waitFor(&session, &FileComparisonSession::comparisonFinished));
    EXPECT_TRUE(window.fileTab().statusLabel().text().contains(QStringLiteral("a.txt")));   // the tool's own words
    EXPECT_EQ(window.fileTab().textModel().rowCount(), 0);
    EXPECT_EQ(session.differencesText(), QString());

    session.FileType(FileCompareType::Text);
    window.compareFiles(q(t.path("latin1.txt")), q(t.path("b.txt")));
    ASSERT_TRUE(waitFor(&session, &FileComparisonSession::comparisonFinished));
    EXPECT_EQ(window.fileTab().view().linesModel(), &window.fileTab().hexModel());
    EXPECT_TRUE(window.fileTab().infoLine().text().contains(Messages::text("fcNotText")));
    EXPECT_TRUE(window.fileTab().view().horizontalHeader()->isVisible());

    // A file that went away between the choice and the comparison is said so.
    session.FileType(FileCompareType::Automatic);
    window.fileTab().setPaths(q(t.path("a.txt")), q(t.path("gone.txt")));
    window.fileTab().compare();
    EXPECT_EQ(window.fileTab().statusLabel().text(), Messages::text("rightFileDontExist"));
}

TEST_F(FileViewTest, ARepeatedComparisonKeepsItsPlaceAndANewKindComparesAgain) {
    ComparisonWindow window(settings);
    FileCompareTab& tab = openLongPair(window, 50, 7);
    ASSERT_TRUE(waitFor(&tab.session(), &FileComparisonSession::comparisonFinished));
    QScrollBar* bar = tab.view().verticalScrollBar();
    bar->setValue(bar->maximum() / 2);
    const int place = bar->value();
    tab.compare();
    ASSERT_TRUE(waitFor(&tab.session(), &FileComparisonSession::comparisonFinished));
    EXPECT_EQ(bar->value(), place);

    QComboBox* kind = nullptr;
    for (QComboBox* c : tab.findChildren<QComboBox*>())
        if (c->accessibleName() == Messages::text("fcType")) kind = c;
    ASSERT_TRUE(kind);
    kind->setCurrentIndex(int(FileCompareType::Binary));
    emit kind->activated(kind->currentIndex());
    ASSERT_TRUE(waitFor(&tab.session(), &FileComparisonSession::comparisonFinished));
    EXPECT_EQ(tab.view().linesModel(), &tab.hexModel());
    EXPECT_EQ(settings.intValue(QStringLiteral("fileType")), int(FileCompareType::Binary));
}

TEST_F(FileViewTest, TheStripJumpsWhereClickedAndWrapFontAndResetAreKept) {
    ComparisonWindow window(settings);
    FileCompareTab& tab = openLongPair(window, 40, 3);
    ASSERT_TRUE(waitFor(&tab.session(), &FileComparisonSession::comparisonFinished));
    EXPECT_EQ(tab.miniMap().marks().size(), 10u);

    // A click at nine tenths of the strip brings line 360 to the middle of the view.
    KMiniMap& strip = tab.miniMap();
    ASSERT_GT(strip.height(), 50);
    QTest::mouseClick(&strip, Qt::LeftButton, {}, QPoint(strip.width() / 2, int(strip.height() * 0.9)));
    KFileTableView& view = tab.view();
    const int middle = view.rowAt(view.viewport()->height() / 2);
    EXPECT_NEAR(middle, 360, 4);
    const auto [top, height] = view.visibleSpan();
    EXPECT_NEAR(top + height / 2, 0.9, 0.02);

    // Wrapping, the font and its size are stored, and a new window starts with them.
    const int lineHeight = view.lineHeight();
    tab.setWordWrap(true);
    EXPECT_TRUE(view.linesWrap());
    EXPECT_TRUE(settings.boolValue(QStringLiteral("fcWordWrap")));
    QFont bigger = view.font();
    bigger.setPointSize(bigger.pointSize() * 2);
    settings.store(QStringLiteral("fcFont"), bigger.toString());
    tab.applySettings();
    EXPECT_EQ(view.font().pointSize(), bigger.pointSize());
    EXPECT_GT(view.lineHeight(), lineHeight);
    EXPECT_EQ(view.rowHeight(0), view.lineHeight());
    {
        ComparisonWindow another(settings);
        EXPECT_TRUE(another.fileTab().view().linesWrap());
        EXPECT_EQ(another.fileTab().view().font().pointSize(), bigger.pointSize());
    }

    // Reset View puts back the registered font and unwraps; the comparison stays on screen.
    QAction* reset = nullptr;
    for (QAction* a : tab.optionActions())
        if (a->text() == Messages::text("fcResetView")) reset = a;
    ASSERT_TRUE(reset);
    reset->trigger();
    EXPECT_FALSE(settings.isStored(QStringLiteral("fcFont")));
    EXPECT_FALSE(settings.isStored(QStringLiteral("fcWordWrap")));
    EXPECT_FALSE(view.linesWrap());
    EXPECT_EQ(view.lineHeight(), lineHeight);
    EXPECT_EQ(view.font().pointSize(), DiffAppearance::font(settings).pointSize());
    EXPECT_EQ(tab.textModel().rowCount(), 400);
}

}  // namespace
}  // namespace qv::test
