// qv_screenshot_tour OUTDIR SAMPLES: pictures of the window for the README and
// for judging the look by eye, in the light and a dark palette. Works on a
// copy of the sample folders, since it executes a plan.

#include "app/QuorvaneModule.h"
#include "base/Messages.h"
#include "base/Settings.h"
#include "sync/MirrorPlanner.h"
#include "ui/ComparisonModel.h"
#include "ui/ComparisonView.h"
#include "ui/ComparisonWindow.h"
#include "ui/ExecutionDialog.h"
#include "ui/SyncDialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QProcess>
#include <QRadioButton>
#include <QSettings>
#include <QStyleFactory>
#include <QTemporaryDir>
#include <QTest>

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

bool tour(const QString& out, const QString& samples, const QString& suffix) {
    QTemporaryDir work;
    QProcess::execute(QStringLiteral("cp"), {QStringLiteral("-a"), samples + "/left", samples + "/right", work.path()});
    qv::Settings settings(std::make_unique<QSettings>(work.filePath(QStringLiteral("q.ini")), QSettings::IniFormat));
    settings.store(QStringLiteral("dontShowOWWarning"), true);
    settings.store(QStringLiteral("overwrittenToTrash2"), true);
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
