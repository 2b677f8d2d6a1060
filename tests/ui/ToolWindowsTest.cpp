// The windows around the comparison: the Preferences write the key each
// control shows and a page's reset brings back the registered default; the
// rule editor refuses a rule that cannot stand and says why beside it; an
// export from the window is the command line's export; a snapshot recorded
// in its window reads back in the preview; the inspector shows both sides.

#include "app/QuorvaneModule.h"
#include "base/Messages.h"
#include "filters/KExcludeRules.h"
#include "support/RunQuorvane.h"
#include "support/ScriptedPrompt.h"
#include "support/TempTree.h"
#include "support/TestSettings.h"
#include "support/WaitFor.h"
#include "ui/ComparisonModel.h"
#include "ui/ComparisonView.h"
#include "ui/ComparisonWindow.h"
#include "ui/ExportPanel.h"
#include "ui/InspectorPanel.h"
#include "ui/PreferencesDialog.h"
#include "ui/RuleEditor.h"
#include "ui/RuleListModel.h"
#include "ui/SnapshotPreviewWindow.h"
#include "ui/SnapshotRecordWindow.h"
#include "ui/SnapshotTreeModel.h"
#include "ui/WindowExport.h"

#include <QAbstractItemModelTester>
#include <QCheckBox>
#include <QComboBox>
#include <QCryptographicHash>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QTableView>
#include <QTreeView>

#include <gtest/gtest.h>

namespace qv::test {
namespace {

class ToolWindowsTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto scripted = std::make_unique<ScriptedPrompt>();
        prompt = scripted.get();
        window = std::make_unique<ComparisonWindow>(settings, std::move(scripted));
        window->show();
    }

    void compareFolders(const std::string& left, const std::string& right) {
        window->setPaths(left, right);
        window->compare();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !window->module().ComparingFolders() && !window->module().CalculatingSizes(); }, 20000));
        ASSERT_TRUE(window->module().iParentItem());
    }

    TestSettings settings;
    ScriptedPrompt* prompt = nullptr;
    std::unique_ptr<ComparisonWindow> window;
    TempTree t;
};

TEST_F(ToolWindowsTest, PreferencesWriteTheKeyTheyShowAndAResetRestoresTheRegisteredDefault) {
    PreferencesDialog dialog(settings, window.get());
    auto* rowTint = qobject_cast<QCheckBox*>(dialog.controlFor(QStringLiteral("fcHighBcg")));
    ASSERT_TRUE(rowTint);
    EXPECT_TRUE(rowTint->isChecked());   // registered on
    rowTint->click();
    EXPECT_TRUE(settings.isStored(QStringLiteral("fcHighBcg")));
    EXPECT_FALSE(settings.boolValue(QStringLiteral("fcHighBcg")));
    auto* indent = qobject_cast<QSpinBox*>(dialog.controlFor(QStringLiteral("exportIndent")));
    ASSERT_TRUE(indent);
    indent->setValue(7);
    EXPECT_EQ(settings.value(QStringLiteral("exportIndent")).toString(), QStringLiteral("7"));   // a text key stays text
    auto* opening = qobject_cast<QComboBox*>(dialog.controlFor(QStringLiteral("openCompareIn2")));
    ASSERT_TRUE(opening);
    EXPECT_EQ(opening->currentData().toInt(), 2);

    // A page's reset touches that page only.
    dialog.showPage("prefPageFiles");
    dialog.resetCurrentPage();
    EXPECT_FALSE(settings.isStored(QStringLiteral("fcHighBcg")));
    EXPECT_TRUE(rowTint->isChecked());
    EXPECT_EQ(settings.value(QStringLiteral("exportIndent")).toString(), QStringLiteral("7"));
    dialog.showPage("prefPageExport");
    dialog.resetCurrentPage();
    EXPECT_EQ(indent->value(), 4);
    EXPECT_FALSE(settings.isStored(QStringLiteral("exportIndent")));
}

TEST_F(ToolWindowsTest, TheRuleEditorRefusesAnInvalidRegularExpressionWithTheMessage) {
    RuleEditor editor(window->module(), window.get());
    editor.show();
    RuleListModel& files = editor.model(true);
    QAbstractItemModelTester tester(&files, QAbstractItemModelTester::FailureReportingMode::Fatal);
    editor.addRule(true);
    ASSERT_EQ(files.rowCount(), 1);
    EXPECT_EQ(files.index(0, RuleListModel::Finding).data().toString(), Messages::text("ruleIssue1"));   // empty pattern
    ASSERT_TRUE(files.setData(files.index(0, RuleListModel::Kind), qlonglong(KRuleMatchRegex)));
    ASSERT_TRUE(files.setData(files.index(0, RuleListModel::Pattern), QStringLiteral("([")));
    EXPECT_EQ(files.index(0, RuleListModel::Finding).data().toString(), Messages::text("ruleIssue2"));
    EXPECT_EQ(files.index(0, RuleListModel::Pattern).data(RuleListModel::PlaceholderRole).toString(),
              RuleListModel::placeholder(KRuleMatchRegex, true));

    editor.accept();
    EXPECT_TRUE(editor.isVisible());
    ASSERT_FALSE(prompt->informed.isEmpty());
    EXPECT_TRUE(prompt->informed.last().startsWith(Messages::text("ruleIssue")));
    EXPECT_TRUE(prompt->informed.last().contains(Messages::text("ruleIssue2")));
    EXPECT_TRUE(editor.table(true).selectionModel()->isRowSelected(0, {}));

    // Mended, the rule is kept and the editor closes.
    ASSERT_TRUE(files.setData(files.index(0, RuleListModel::Pattern), QStringLiteral("\\d+\\.log")));
    EXPECT_TRUE(files.index(0, RuleListModel::Finding).data().toString().isEmpty());
    editor.accept();
    EXPECT_FALSE(editor.isVisible());
    KExcludeRules stored;
    stored.load(settings);
    ASSERT_EQ(stored.rules(RuleList::FileRules).size(), 1u);
    EXPECT_EQ(stored.rules(RuleList::FileRules)[0].pattern(), QStringLiteral("\\d+\\.log"));
    EXPECT_TRUE(stored.switchOn(RuleList::FileRules));
}

TEST_F(ToolWindowsTest, AnExportFromThePanelIsTheCommandLinesExportWithTheSameOptions) {
    t.fileWithText("L/a.txt", "hello");
    t.fileWithText("R/a.txt", "hello world");
    t.fileWithText("L/docs/readme, first.md", "same");
    t.fileWithText("R/docs/readme, first.md", "same");
    t.fileWithText("L/docs/deep/x.bin", "12345");
    t.fileWithText("R/docs/deep/x.bin", "123");
    t.fileWithText("L/only-left.txt", "x");
    compareFolders(t.path("L"), t.path("R"));
    window->view().expandAll();

    // The panel's destination for plain CSV, then the delimiter typed over.
    const std::vector<int> columns = WindowExport::columnIds(window->view(), window->module().iColumns());
    EXPECT_EQ(columns, (std::vector<int>{1, 2, 3, 0, 6, 5, 4}));
    ExportPanel panel(settings, columns, window.get());
    QComboBox& destination = panel.destinationMenu();
    destination.setCurrentIndex(destination.findData(2));
    emit destination.activated(destination.currentIndex());
    EXPECT_EQ(settings.stringValue(QStringLiteral("exportDelimiter")), QStringLiteral(","));
    panel.delimiterField().clear();
    QTest::keyClicks(&panel.delimiterField(), QStringLiteral("|x"));   // one character is kept
    EXPECT_EQ(settings.stringValue(QStringLiteral("exportDelimiter")), QStringLiteral("|"));
    EXPECT_EQ(destination.currentData().toInt(), 0);
    EXPECT_TRUE(panel.exportButton().isEnabled());
    // Erased, the field stays empty for the next character and nothing can be exported meanwhile.
    QTest::keyClick(&panel.delimiterField(), Qt::Key_Backspace);
    EXPECT_TRUE(panel.delimiterField().text().isEmpty());
    EXPECT_FALSE(panel.exportButton().isEnabled());
    QTest::keyClicks(&panel.delimiterField(), QStringLiteral("|"));
    EXPECT_EQ(settings.stringValue(QStringLiteral("exportDelimiter")), QStringLiteral("|"));
    EXPECT_TRUE(panel.exportButton().isEnabled());

    const QString fromWindow = q(t.path("window.csv"));
    ASSERT_EQ(WindowExport::run(window.get(), window->module(), window->view(), fromWindow, settings), QString());
    QStringList args = {QStringLiteral("export"), q(t.path("L")), q(t.path("R")), QStringLiteral("--out"), q(t.path("cli.csv")),
                        QStringLiteral("--columns"), QStringLiteral("1,2,3,0,6,5,4")};
    for (const char* key : {"exportDelimiter", "thousandsDelimiter", "noneThousandsDelimiter", "optimizedFor", "exportPrefix",
                            "exportPrefixChar", "expSizeInBytes", "exportQuotes", "exportIndent", "tabDelimiter"})
        args << QStringLiteral("--set") << QStringLiteral("%1=%2").arg(QString::fromLatin1(key), settings.value(QString::fromLatin1(key)).toString());
    const CommandResult cli = runQuorvane(args);
    ASSERT_EQ(cli.exitCode, 0) << cli.err.toStdString();
    EXPECT_FALSE(t.contents("window.csv").empty());
    EXPECT_EQ(t.contents("window.csv"), t.contents("cli.csv"));
}

TEST_F(ToolWindowsTest, ASnapshotRecordedInItsWindowReadsBackInThePreview) {
    t.file("rec/a.txt", 10);
    t.file("rec/b.txt", 20);
    t.file("rec/sub/c.txt", 5);
    SnapshotRecordWindow recorder(*prompt);
    ASSERT_TRUE(recorder.startRecording(q(t.path("rec")), true));
    ASSERT_TRUE(waitFor(&recorder, &SnapshotRecordWindow::recordingFinished));
    EXPECT_TRUE(recorder.iFinished());
    EXPECT_EQ(recorder.statusText(), Messages::text("snapReady"));
    EXPECT_EQ(recorder.recordingResult().files(), 3u);
    // Closing with the snapshot unsaved asks; cancelling keeps the window.
    prompt->answers.push_back({2});
    EXPECT_FALSE(recorder.close());
    ASSERT_TRUE(recorder.save(q(t.path("rec.qvss"))));
    EXPECT_FALSE(recorder.iFinished());

    SnapshotPreviewWindow preview(q(t.path("rec.qvss")), settings, *prompt);
    ASSERT_TRUE(waitFor(&preview, &SnapshotPreviewWindow::loadedSnapshot));
    ASSERT_TRUE(preview.loaded());
    SnapshotTreeModel& model = preview.model();
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    EXPECT_TRUE(preview.detailsLine().text().contains(QStringLiteral("3")));
    const auto names = [&] {
        QStringList n;
        for (int r = 0; r < model.rowCount(); ++r) n << model.index(r, 0).data().toString();
        return n;
    };
    EXPECT_EQ(names(), (QStringList{"a.txt", "b.txt", "sub"}));
    preview.sortBy(1);   // by size, ascending: the folder's 5 bytes, then 10, 20
    EXPECT_EQ(names(), (QStringList{"sub", "a.txt", "b.txt"}));
    preview.sortBy(1);
    EXPECT_EQ(names(), (QStringList{"b.txt", "a.txt", "sub"}));
    preview.setFoldersOnTop(true);
    EXPECT_EQ(names().first(), QStringLiteral("sub"));
    preview.tree().setCurrentIndex(model.index(names().indexOf(QStringLiteral("a.txt")), 0));
    EXPECT_EQ(preview.selectionPath().text(), q(t.path("rec/a.txt")));
    EXPECT_EQ(model.index(names().indexOf(QStringLiteral("a.txt")), 6).data().toString().size(), 32);   // its MD5

    // A file that is not a snapshot is said so, and the preview closes.
    t.fileWithText("bad.qvss", "not a snapshot");
    SnapshotPreviewWindow bad(q(t.path("bad.qvss")), settings, *prompt);
    bad.show();
    ASSERT_TRUE(waitFor(&bad, &SnapshotPreviewWindow::loadedSnapshot));
    EXPECT_FALSE(bad.loaded());
    EXPECT_FALSE(bad.isVisible());
    EXPECT_TRUE(prompt->informed.last().startsWith(Messages::text("snapErr0")));
}

TEST_F(ToolWindowsTest, TheInspectorShowsBothSidesAndTheirDigestsOnRequest) {
    t.fileWithText("L/f.txt", "left contents");
    t.fileWithText("R/f.txt", "right side");
    t.setTags("R/f.txt", "Green");
    compareFolders(t.path("L"), t.path("R"));
    window->setInspectorShown(true);
    window->view().setCurrentIndex(window->model().index(0, 0));
    InspectorPanel& inspector = window->inspector();
    EXPECT_EQ(inspector.valueText(InspectorPanel::Name, 0), QStringLiteral("f.txt"));
    EXPECT_TRUE(inspector.valueText(InspectorPanel::Size, 0).contains(QStringLiteral("13")));
    EXPECT_TRUE(inspector.valueText(InspectorPanel::Permissions, 1).startsWith(QStringLiteral("rw")));
    EXPECT_EQ(inspector.valueText(InspectorPanel::Tags, 1), QStringLiteral("Green"));
    EXPECT_TRUE(inspector.valueText(InspectorPanel::Tags, 0).isEmpty());
    inspector.computeDigests();
    ASSERT_TRUE(waitFor(&inspector, &InspectorPanel::digestsComputed));
    EXPECT_EQ(inspector.valueText(InspectorPanel::Digest, 0),
              QString::fromLatin1(QCryptographicHash::hash("left contents", QCryptographicHash::Md5).toHex()));
    EXPECT_EQ(inspector.valueText(InspectorPanel::Digest, 1),
              QString::fromLatin1(QCryptographicHash::hash("right side", QCryptographicHash::Md5).toHex()));
    // A new run lets go of the rows of the old tree.
    window->compare();
    EXPECT_TRUE(inspector.valueText(InspectorPanel::Name, 0).isEmpty());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window->module().ComparingFolders() && !window->module().CalculatingSizes(); }, 20000));
}

}  // namespace
}  // namespace qv::test
