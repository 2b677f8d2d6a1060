// The two small panels of the comparison tree, used as a user uses them:
// the name panel of copy-as and rename, and the tag panel.

#include "app/QuorvaneModule.h"
#include "base/Messages.h"
#include "engine/KItem.h"
#include "platform/ExtendedAttributes.h"
#include "support/TempTree.h"
#include "support/TestSettings.h"
#include "sync/MergeList.h"
#include "ui/ComparisonModel.h"
#include "ui/ComparisonView.h"
#include "ui/ComparisonWindow.h"
#include "ui/KRenamePopover.h"
#include "ui/TagPopover.h"

#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

namespace qv::test {
namespace {

class PopoverTest : public ::testing::Test {
protected:
    std::unique_ptr<ComparisonWindow> compared() {
        auto window = std::make_unique<ComparisonWindow>(settings, nullptr);
        window->setPaths(left.root(), right.root());
        window->show();
        window->compare();
        EXPECT_TRUE(QTest::qWaitFor([&] { return !window->module().ComparingFolders(); }, 20000));
        return window;
    }
    static QModelIndex rowNamed(ComparisonWindow& w, const QString& name) {
        ComparisonModel& model = w.model();
        for (int r = 0; r < model.rowCount(); ++r)
            if (model.index(r, ComparisonModel::LeftName).data().toString() == name) return model.index(r, 0);
        return {};
    }
    static void select(ComparisonWindow& w, const QStringList& names) {
        w.view().selectionModel()->clearSelection();
        w.view().setCurrentIndex(rowNamed(w, names.front()));
        for (const QString& name : names)
            w.view().selectionModel()->select(rowNamed(w, name), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }

    TestSettings settings;
    TempTree left, right;
};

KItem* itemOf(ComparisonWindow& w, const QModelIndex& index) { return w.model().itemAt(index); }

TEST_F(PopoverTest, TheNamePanelSwitchesModesShowsTheNameAndDropsTheSeparator) {
    for (const char* name : {"report.txt", "plan-2023.txt"}) {
        left.fileWithText(name, "left");
        right.fileWithText(name, "right side");
    }
    auto window = compared();
    select(*window, {"report.txt"});
    window->openRenamePopover(BtnCopyAs, kSideLeft);
    KRenamePopover* panel = window->renamePopover();
    ASSERT_TRUE(panel && panel->isVisible());
    QLineEdit* name = panel->newNameField();
    // The name is offered with only the part before the extension selected.
    ASSERT_TRUE(QTest::qWaitFor([&] { return name->text() == QStringLiteral("report.txt"); }, 2000));
    EXPECT_EQ(name->selectedText(), QStringLiteral("report"));
    EXPECT_TRUE(panel->modeButton(1)->isChecked());
    QTest::keyClicks(name, QStringLiteral("x:y"));
    EXPECT_EQ(name->text(), QStringLiteral("xy.txt"));
    EXPECT_TRUE(panel->exampleText().isEmpty());   // a whole name needs no example

    QTest::mouseClick(panel->modeButton(2), Qt::LeftButton);
    EXPECT_FALSE(name->isEnabled());
    EXPECT_TRUE(panel->addTextField()->isEnabled());
    QTest::keyClicks(panel->addTextField(), QStringLiteral("-o:ld"));
    EXPECT_EQ(panel->addTextField()->text(), QStringLiteral("-old"));
    EXPECT_EQ(panel->exampleText(), Messages::text("example") + QStringLiteral(" report-old.txt"));
    panel->positionMenu()->setCurrentIndex(1);
    EXPECT_EQ(panel->exampleText(), Messages::text("example") + QStringLiteral(" -oldreport.txt"));
    panel->positionMenu()->setCurrentIndex(0);

    QTest::mouseClick(panel->modeButton(3), Qt::LeftButton);
    EXPECT_EQ(settings.intValue(QStringLiteral("renOpt")), 3);
    QTest::keyClicks(panel->findField(), QStringLiteral("rep:ort"));
    QTest::keyClicks(panel->replaceField(), QStringLiteral("memo"));
    EXPECT_EQ(panel->findField()->text(), QStringLiteral("report"));
    EXPECT_EQ(panel->exampleText(), Messages::text("example") + QStringLiteral(" memo.txt"));

    QTest::mouseClick(panel->modeButton(2), Qt::LeftButton);
    QTest::keyClick(panel->addTextField(), Qt::Key_Return);
    EXPECT_FALSE(panel->isVisible());
    KItem* report = itemOf(*window, rowNamed(*window, QStringLiteral("report.txt")));
    EXPECT_EQ(report->iCopyTo, kCopyAsToRight);
    EXPECT_EQ(report->iCopyAs(), QStringLiteral("report-old.txt"));

    // With several rows selected only the patterns are offered, and each row gets its own name.
    select(*window, {"report.txt", "plan-2023.txt"});
    window->openRenamePopover(BtnRename, kSideRight);
    EXPECT_FALSE(panel->modeButton(1)->isEnabled());
    EXPECT_TRUE(panel->modeButton(2)->isChecked());
    panel->addTextField()->clear();
    QTest::keyClicks(panel->addTextField(), QStringLiteral("-v2"));
    QTest::keyClick(panel->addTextField(), Qt::Key_Return);
    KItem* plan = itemOf(*window, rowNamed(*window, QStringLiteral("plan-2023.txt")));
    EXPECT_EQ(report->iCopyTo, kRenameRight);
    EXPECT_EQ(report->iCopyAs(), QStringLiteral("report-v2.txt"));
    EXPECT_EQ(plan->iCopyTo, kRenameRight);
    EXPECT_EQ(plan->iCopyAs(), QStringLiteral("plan-2023-v2.txt"));
}

TEST_F(PopoverTest, TheTagPanelsColourButtonsFollowTheTextAndClosingSaves) {
    for (const char* name : {"a.txt", "b.txt"}) {
        left.fileWithText(name, "same");
        right.fileWithText(name, "same");
    }
    left.setTags("a.txt", "Work");
    left.setTags("b.txt", "Work,Red");
    auto window = compared();
    select(*window, {"a.txt", "b.txt"});
    window->openTagPopover(kSideLeft);
    TagPopover* panel = window->tagPopover();
    ASSERT_TRUE(panel && panel->isVisible());
    EXPECT_EQ(panel->title(), Messages::format("addTag2", QStringLiteral("2")));
    QLineEdit* text = panel->textField();
    EXPECT_EQ(text->text(), QStringLiteral("Work;Work;Red"));
    auto buttonsOn = [&] {
        QString on;
        for (int i = 0; i < kTagColourCount; ++i) on += panel->colourButton(i)->isChecked() ? QLatin1Char('1') : QLatin1Char('0');
        return on;
    };
    EXPECT_EQ(buttonsOn(), QStringLiteral("1000000"));   // red
    QTest::mouseClick(panel->colourButton(4), Qt::LeftButton);   // blue on
    EXPECT_EQ(text->text(), QStringLiteral("Work;Work;Red;Blue"));
    QTest::mouseClick(panel->colourButton(0), Qt::LeftButton);   // red off
    EXPECT_EQ(text->text(), QStringLiteral("Work;Work;Blue"));
    EXPECT_EQ(buttonsOn(), QStringLiteral("0000100"));
    text->end(false);
    QTest::keyClicks(text, QStringLiteral(";green"));
    EXPECT_EQ(text->text(), QStringLiteral("Work;Work;Blue;green"));   // typed in lower case, kept so
    EXPECT_EQ(buttonsOn(), QStringLiteral("0001100"));
    text->setText(QStringLiteral(" Work ;;Red ;work"));
    EXPECT_EQ(buttonsOn(), QStringLiteral("0000000"));   // parts are not trimmed while typed

    // Closing writes: names trimmed, empty parts left out; there is no cancel.
    QTest::keyClick(text, Qt::Key_Escape);
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->tagPopover() == nullptr; }, 2000));
    const std::vector<std::string> saved = {"Work", "Red", "work"};
    EXPECT_EQ(platform::readTags(left.path("a.txt"), false), saved);
    EXPECT_EQ(platform::readTags(left.path("b.txt"), false), saved);
    EXPECT_FALSE(platform::readTags(right.path("a.txt"), false));

    select(*window, {"a.txt"});
    window->openTagPopover(kSideLeft);
    panel = window->tagPopover();
    ASSERT_TRUE(panel);
    EXPECT_EQ(panel->title(), Messages::format("addTag1", QStringLiteral("a.txt")));
    EXPECT_EQ(panel->textField()->text(), QStringLiteral("Work;Red;work"));
    panel->textField()->clear();
    panel->close();
    EXPECT_FALSE(platform::readTags(left.path("a.txt"), false));   // an empty text removes every tag
}

}  // namespace
}  // namespace qv::test
