// qv_screenshot_tour OUTDIR SAMPLES: pictures of the window for the README and
// for judging the look by eye, in the light and a dark palette. Works on a
// copy of the sample folders, since it executes a plan.

#include "app/FileComparisonSession.h"
#include "app/QuorvaneModule.h"
#include "base/Messages.h"
#include "base/Settings.h"
#include "snapshot/SnapshotRecording.h"
#include "sync/MirrorPlanner.h"
#include "ui/ComparisonModel.h"
#include "ui/ComparisonView.h"
#include "ui/ComparisonWindow.h"
#include "ui/ExecutionDialog.h"
#include "ui/FileCompareTab.h"
#include "ui/KRenamePopover.h"
#include "ui/PreferencesDialog.h"
#include "ui/RuleEditor.h"
#include "ui/RuleListModel.h"
#include "ui/SnapshotPreviewWindow.h"
#include "ui/SnapshotTreeModel.h"
#include "ui/SyncDialog.h"
#include "ui/TagPopover.h"
#include "sync/MergeList.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QProcess>
#include <QRadioButton>
#include <QSettings>
#include <QStyleFactory>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>

#include <cstdio>

namespace {

QPalette darkPalette() {
    QPalette p;
    const QColor window(0x2b, 0x2b, 0x2e), base(0x1e, 0x1e, 0x20), text(0xe6, 0xe6, 0xe6);
    p.setColor(QPalette::Window, window);
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::Base, base);
    p.setColor(QPalette::AlternateBase, window);
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::Button, window);
    p.setColor(QPalette::ButtonText, text);
    p.setColor(QPalette::Highlight, QColor(0x35, 0x84, 0xe4));
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::PlaceholderText, QColor(0x90, 0x90, 0x90));
    p.setColor(QPalette::Mid, QColor(0x55, 0x55, 0x58));
    // Without these a disabled control looks as live as an enabled one.
    const QColor muted(0x7a, 0x7a, 0x7e);
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(QPalette::Disabled, role, muted);
    return p;
}

bool save(QWidget* w, const QString& file) {
    QTest::qWait(150);
    if (!w->grab().save(file)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
        return false;
    }
    std::printf("%s\n", qPrintable(file));
    return true;
}

void waitIdle(qv::ComparisonWindow& w) {
    if (!QTest::qWaitFor([&] { return !w.module().ComparingFolders() && !w.module().CalculatingSizes(); }, 30000))
        std::fprintf(stderr, "the comparison did not end\n");
}

void expandFolder(qv::ComparisonWindow& w, const QString& name) {
    qv::ComparisonModel& m = w.model();
    for (int r = 0; r < m.rowCount(); ++r)
        if (m.index(r, qv::ComparisonModel::LeftName).data().toString() == name) w.view().expand(m.index(r, 0));
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    if (f.open(QIODevice::WriteOnly)) f.write(bytes);
}

// A short program in two versions: changed words, a changed block, lines added and removed.
void writeTextPair(const QString& left, const QString& right) {
    QByteArray a, b;
    for (int i = 1; i <= 60; ++i) {
        const QByteArray line = "    total += weight(item" + QByteArray::number(i) + ", " + QByteArray::number(i * 3) + ");\n";
        a += line;
        if (i == 6) b += "    total += weight(item6, 21) * scale;\n";
        else if (i == 11) b += "    // every item counts twice from here on\n" + line;
        else if (i == 15 || i == 16) continue;
        else if (i == 20) b += "    total -= weight(item20, 60);\n    log(total);\n";
        else b += line;
    }
    writeFile(left, "int sum(const Item* items) {\n    int total = 0;\n" + a + "    return total;\n}\n");
    writeFile(right, "int sum(const Item* items) {\n    long total = 0;\n" + b + "    return total;\n}\n");
}

// The name panel and the tag panel of the current row, each on its own.
bool panelTour(qv::ComparisonWindow& window, const QString& out, const QString& suffix) {
    qv::KItem* row = window.model().itemAt(window.view().currentIndex());
    if (!row) return false;
    const int side = row->hasSide(qv::kSideLeft) ? qv::kSideLeft : qv::kSideRight;
    window.openRenamePopover(qv::BtnCopyAs, side);
    qv::KRenamePopover* rename = window.renamePopover();
    if (!rename) return false;
    rename->RenameOption(2);
    QTest::keyClicks(rename->addTextField(), QStringLiteral("-old"));   // typed, so the example line follows
    rename->positionMenu()->setCurrentIndex(0);
    bool ok = save(rename, out + "/rename-panel" + suffix + ".png");
    rename->close();
    window.openTagPopover(side);
    qv::TagPopover* tags = window.tagPopover();
    if (!tags) return false;
    const QString had = tags->textField()->text();
    tags->textField()->setText(QStringLiteral("Work;Red"));
    ok = save(tags, out + "/tag-panel" + suffix + ".png") && ok;
    tags->textField()->setText(had);   // the sample keeps its tags
    tags->close();
    return ok;
}

bool fileTour(qv::ComparisonWindow& window, const QString& work, const QString& out, const QString& suffix) {
    const QString left = work + "/sum-old.cpp", right = work + "/sum-new.cpp";
    writeTextPair(left, right);
    // Wide enough for both sides of the hex view.
    const QSize size = window.size();
    window.resize(1390, size.height());
    window.compareFiles(left, right);
    bool ok = QTest::qWaitFor([&] { return window.fileTab().session().result() != nullptr; }, 20000);
    window.nextDifference();
    window.nextDifference();
    window.nextDifference();
    ok = save(&window, out + "/file-tab" + suffix + ".png") && ok;

    QByteArray bytes;
    for (int i = 0; i < 900; ++i) bytes += char((i * 37 + 11) % 251);
    QByteArray changed = bytes;
    for (int at : {20, 21, 22, 130, 131, 500}) changed[at] = char(changed[at] ^ 0x5a);
    writeFile(work + "/photo-a.bin", bytes);
    writeFile(work + "/photo-b.bin", changed + "more");
    window.fileTab().session().FileType(qv::FileCompareType::Binary);
    window.compareFiles(work + "/photo-a.bin", work + "/photo-b.bin");
    ok = QTest::qWaitFor([&] { return window.fileTab().session().result() != nullptr; }, 20000) && ok;
    window.nextDifference();
    ok = save(&window, out + "/file-tab-hex" + suffix + ".png") && ok;
    window.fileTab().session().FileType(qv::FileCompareType::Automatic);
    window.showFolderTab();
    window.resize(size);
    return ok;
}

bool toolTour(qv::ComparisonWindow& window, qv::Settings& settings, const QString& work, const QString& out,
              const QString& suffix) {
    qv::PreferencesDialog preferences(settings, &window);
    preferences.showPage("prefPageFiles");
    preferences.show();
    bool ok = save(&preferences, out + "/preferences" + suffix + ".png");
    preferences.hide();

    qv::RuleEditor rules(window.module(), &window);
    rules.show();
    const auto add = [&](std::int64_t kind, const char* pattern) {
        qv::RuleListModel& files = rules.model(true);
        const int row = files.rowCount();
        rules.addRule(true);
        files.setData(files.index(row, qv::RuleListModel::Kind), qlonglong(kind));
        files.setData(files.index(row, qv::RuleListModel::Pattern), QString::fromUtf8(pattern));
    };
    add(qv::KRuleMatchWildcard, "*.tmp");
    add(qv::KRuleMatchSuffix, ".bak");
    add(qv::KRuleMatchRegex, "([0-9]+");
    ok = save(&rules, out + "/rules" + suffix + ".png") && ok;
    rules.model(true).removeRows({0, 1, 2});
    rules.accept();

    qv::SnapshotRecording recording;
    std::atomic<bool> cancel{false};
    recording.record(QFile::encodeName(work + "/left").toStdString(), true, &cancel);
    recording.save(QFile::encodeName(work + "/left.qvss").toStdString(), true);
    qv::SnapshotPreviewWindow preview(work + "/left.qvss", settings, window.module().prompt());
    preview.show();
    ok = QTest::qWaitFor([&] { return preview.loaded(); }, 20000) && ok;
    preview.tree().expandAll();
    preview.tree().setCurrentIndex(preview.model().index(0, 0));
    ok = save(&preview, out + "/snapshot-preview" + suffix + ".png") && ok;
    preview.close();

    expandFolder(window, QStringLiteral("docs"));
    qv::ComparisonModel& model = window.model();
    for (int r = 0; r < model.rowCount(); ++r) {
        const QModelIndex docs = model.index(r, 0);
        for (int c = 0; c < model.rowCount(docs); ++c)
            if (model.index(c, qv::ComparisonModel::LeftName, docs).data().toString() == QStringLiteral("install.txt"))
                window.view().setCurrentIndex(model.index(c, 0, docs));
    }
    window.setInspectorShown(true);
    ok = save(&window, out + "/inspector" + suffix + ".png") && ok;
    window.setInspectorShown(false);
    return ok;
}

bool tour(const QString& out, const QString& samples, const QString& suffix) {
    QTemporaryDir work;
    QProcess::execute(QStringLiteral("cp"), {QStringLiteral("-a"), samples + "/left", samples + "/right", work.path()});
    qv::Settings settings(std::make_unique<QSettings>(work.filePath(QStringLiteral("q.ini")), QSettings::IniFormat));
    settings.store(QStringLiteral("dontShowOWWarning"), true);
    settings.store(QStringLiteral("overwrittenToTrash2"), true);
    settings.store(QStringLiteral("dontSowFCInfoStep1"), true);
    settings.store(QStringLiteral("dontSowFCInfoStep2"), true);
    qv::ComparisonWindow window(settings);
    window.resize(1180, 640);
    window.setPaths(QFile::encodeName(work.filePath(QStringLiteral("left"))).toStdString(),
                    QFile::encodeName(work.filePath(QStringLiteral("right"))).toStdString());
    window.show();
    window.compare();
    waitIdle(window);
    expandFolder(window, QStringLiteral("docs"));
    expandFolder(window, QStringLiteral("old-drafts"));
    window.nextDifference();
    bool ok = save(&window, out + "/window" + suffix + ".png");
    ok = panelTour(window, out, suffix) && ok;
    ok = fileTour(window, work.path(), out, suffix) && ok;
    ok = toolTour(window, settings, work.path(), out, suffix) && ok;

    qv::SyncDialog sync(settings, true, &window);
    for (QRadioButton* b : sync.findChildren<QRadioButton*>())
        if (b->text() == qv::Messages::text("syncToRight")) b->setChecked(true);
    sync.findChild<QCheckBox*>()->setChecked(true);
    sync.show();
    ok = save(&sync, out + "/sync-sheet" + suffix + ".png") && ok;
    window.module().StartMirror2(sync.syncType(), sync.mirror());
    sync.hide();
    ok = save(&window, out + "/window-actions" + suffix + ".png") && ok;

    qv::ExecutionDialog execution(window.module(), settings, &window);
    execution.show();
    ok = save(&execution, out + "/execution-sheet" + suffix + ".png") && ok;
    execution.execute();
    if (!QTest::qWaitFor([&] { return execution.hasRun(); }, 30000)) return false;
    return save(&execution, out + "/execution-done" + suffix + ".png") && ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: qv_screenshot_tour OUTDIR SAMPLES\n");
        return 2;
    }
    QTemporaryDir home;
    ::setenv("XDG_CONFIG_HOME", qPrintable(home.filePath(QStringLiteral("config"))), 1);
    ::setenv("XDG_DATA_HOME", qPrintable(home.filePath(QStringLiteral("data"))), 1);
    QApplication app(argc, argv);
    QIcon::setThemeName(QStringLiteral("Adwaita"));
    const QString out = QString::fromLocal8Bit(argv[1]), samples = QString::fromLocal8Bit(argv[2]);
    QDir().mkpath(out);
    bool ok = tour(out, samples, QString());
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QApplication::setPalette(darkPalette());
    ok = tour(out, samples, QStringLiteral("-dark")) && ok;
    return ok ? 0 : 1;
}
