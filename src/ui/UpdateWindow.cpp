#include "ui/UpdateWindow.h"

#include "base/Messages.h"
#include "ui/Formatting.h"
#include "update/KUpgradeDownloader.h"
#include "update/UpdateInfo.h"
#include "update/UpdateInstaller.h"

#include <QApplication>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QTextBrowser>
#include <QThread>
#include <QVBoxLayout>

namespace qv {
namespace {

QString timeLeft(qint64 seconds) {
    if (seconds < 60) return Messages::format("updSecondsLeft", seconds);
    return Messages::format("updMinutesLeft", (seconds + 59) / 60);
}

void relaunchInto(const QString& installDir) {
    QProcess::startDetached(installDir + QStringLiteral("/bin/quorvane-gui"), {});
    QApplication::quit();
}

}  // namespace

UpdateWindow::UpdateWindow(update::KUpgradeDownloader& downloader, QString installDir, QWidget* parent)
    : QDialog(parent), m_downloader(downloader), m_installDir(std::move(installDir)), m_relaunch(relaunchInto) {
    const update::UpdateCheckResult& result = downloader.result();
    setWindowTitle(Messages::text("updWindowTitle"));
    auto* layout = new QVBoxLayout(this);
    auto* versions = new QLabel(Messages::format("updVersions", update::displayVersion(result.info.version),
                                                 update::displayVersion(downloader.installedVersion())));
    versions->setTextFormat(Qt::PlainText);
    layout->addWidget(versions);

    m_notes = new QTextBrowser;
    m_notes->setAccessibleName(Messages::text("updNotesName"));
    // Markdown as the release manager wrote it; links open nothing by themselves.
    m_notes->setOpenLinks(false);
    if (result.notes) m_notes->setMarkdown(*result.notes);
    else m_notes->setPlainText(Messages::text("updNoNotes"));
    layout->addWidget(m_notes);

    m_bar = new QProgressBar;
    m_bar->setAccessibleName(Messages::text("updProgressName"));
    m_bar->hide();
    layout->addWidget(m_bar);
    m_status = new QLabel;
    m_status->setTextFormat(Qt::PlainText);
    m_status->setWordWrap(true);
    layout->addWidget(m_status);

    auto* buttons = new QHBoxLayout;
    m_abort = new QPushButton(Messages::text("updAbort"));
    m_abort->hide();
    m_later = new QPushButton(Messages::text("updLater"));
    m_install = new QPushButton(Messages::text("updDownloadInstall"));
    m_install->setDefault(true);
    buttons->addWidget(m_abort);
    buttons->addStretch();
    buttons->addWidget(m_later);
    buttons->addWidget(m_install);
    layout->addLayout(buttons);

    // The check still says there is a new version; only installing is refused.
    const QString refusal = update::UpdateInstaller::refusalFor(m_installDir);
    if (!refusal.isEmpty() || !result.info.installable()) {
        m_install->setEnabled(false);
        m_status->setText(refusal.isEmpty() ? Messages::text("updateNotInstallable") : refusal);
    }

    connect(m_later, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_install, &QPushButton::clicked, this, &UpdateWindow::download);
    connect(m_abort, &QPushButton::clicked, &m_downloader, &update::KUpgradeDownloader::Abort);
    connect(&m_downloader, &update::KUpgradeDownloader::progress, this, &UpdateWindow::showProgress);
    connect(&m_downloader, &update::KUpgradeDownloader::downloadFinished, this, &UpdateWindow::downloadEnded);
    resize(520, 420);
}

void UpdateWindow::download() {
    QString folder = update::KUpgradeDownloader::writableDownloadFolder();
    if (folder.isEmpty()) folder = QFileDialog::getExistingDirectory(this, Messages::text("BtnDown"));
    if (!folder.isEmpty()) downloadInto(folder);
}

void UpdateWindow::downloadInto(const QString& folder) {
    m_install->setEnabled(false);
    m_later->setEnabled(false);
    m_abort->show();
    m_bar->show();
    m_bar->setRange(0, 0);   // until the length is known
    m_status->clear();
    m_clock.start();
    m_downloader.Download(folder);
}

void UpdateWindow::showProgress(qint64 received, qint64 total) {
    if (total <= 0) return;
    m_bar->setRange(0, 1000);
    m_bar->setValue(static_cast<int>(received * 1000 / total));
    QString text = Messages::format("updBytes", formatSize(received), formatSize(total));
    const qint64 elapsedMs = m_clock.elapsed();
    // A rate from less than a second of data says nothing yet.
    if (received > 0 && elapsedMs >= 1000)
        text = Messages::format("updBytesAndTime", text, timeLeft((total - received) * elapsedMs / received / 1000));
    m_status->setText(text);
}

void UpdateWindow::downloadEnded(bool ok) {
    m_abort->hide();
    if (!ok) {
        m_bar->hide();
        m_later->setEnabled(true);
        showFailure("MsgFileCreErr1", m_downloader.downloadError());
        m_status->setText(m_downloader.downloadError());
        return;
    }
    installDownloaded();
}

void UpdateWindow::installDownloaded() {
    m_bar->setRange(0, 0);
    m_status->setText(Messages::text("updInstalling"));
    update::InstallRequest request;
    request.archivePath = m_downloader.downloadedArchive();
    request.versionFile = m_downloader.result().versionFile;
    request.signature = m_downloader.signature();
    request.installDir = m_installDir;
    request.installedVersion = m_downloader.installedVersion();
    // Unpacking and the smoke test take seconds: off the main thread, the window stays live.
    QPointer<UpdateWindow> self(this);
    QThread* worker = QThread::create([self, request] {
        const QString failure = update::UpdateInstaller().install(request);
        QMetaObject::invokeMethod(qApp, [self, failure] {
            if (self) self->installEnded(failure);
        }, Qt::QueuedConnection);
    });
    connect(worker, &QThread::finished, worker, &QObject::deleteLater);
    worker->start();
}

void UpdateWindow::installEnded(const QString& failure) {
    m_bar->hide();
    emit installationFinished(failure);
    if (!failure.isEmpty()) {
        m_later->setEnabled(true);
        m_status->setText(failure);
        showFailure("updInstallFailed", failure);
        return;
    }
    m_status->setText(Messages::text("restarting"));
    m_relaunch(m_installDir);
}

void UpdateWindow::showFailure(const char* key, const QString& reason) {
    QMessageBox box(QMessageBox::Critical, windowTitle(), Messages::format(key, QCoreApplication::applicationName()), QMessageBox::Ok,
                    this);
    box.setInformativeText(reason);
    box.exec();
}

}  // namespace qv
