#include "ui/UpdateAssistant.h"

#include "base/Messages.h"
#include "base/Settings.h"
#include "ui/UpdateWindow.h"
#include "update/KUpgradeDownloader.h"
#include "update/UpdateInstaller.h"
#include "update/UpdateServer.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QProgressDialog>
#include <QTimer>

namespace qv {

using update::CheckOutcome;
using update::KUpgradeDownloader;

UpdateAssistant::UpdateAssistant(Settings& settings, Clock clock, QObject* parent)
    : QObject(parent), m_settings(settings), m_clock(std::move(clock)) {
    if (!m_clock) m_clock = [] { return QDateTime::currentDateTimeUtc(); };
}

UpdateAssistant::~UpdateAssistant() {
    delete m_window;
    delete m_progress;
}

void UpdateAssistant::scheduleAutomaticCheck() {
    QTimer::singleShot(1000, this, [this] { CheckForUpgrade(); });
}

bool UpdateAssistant::CheckForUpgrade() {
    if (!KUpgradeDownloader::TimeToCheck(m_settings, m_clock())) return false;
    return startCheck(nullptr, false);
}

void UpdateAssistant::CheckForUpgradeWithProgress(QWidget* window) {
    if (m_progress) return;   // one check at a time
    m_progress = new QProgressDialog(Messages::text("updChecking"), Messages::text("cancel"), 0, 0, window);
    m_progress->setWindowTitle(Messages::text("menuCheckUpdates"));
    m_progress->setAccessibleName(Messages::text("updChecking"));
    m_progress->setMinimumDuration(0);
    m_progress->setWindowModality(Qt::WindowModal);
    m_progress->setAttribute(Qt::WA_DeleteOnClose);
    connect(m_progress, &QProgressDialog::canceled, this, [this] {
        if (m_downloader) m_downloader->Abort();
    });
    m_progress->show();
    startCheck(window, true);
}

bool UpdateAssistant::startCheck(QWidget* window, bool userAsked) {
    // A check is not started while the update window of the last one is open.
    if (m_window) {
        m_window->raise();
        if (m_progress) m_progress->close();
        return false;
    }
    m_parent = window;
    m_userAsked = userAsked;
    m_downloader = std::make_unique<KUpgradeDownloader>(update::updateServerFolder(m_settings),
                                                        QStringLiteral(QUORVANE_BUILD), m_settings);
    connect(m_downloader.get(), &KUpgradeDownloader::checkFinished, this, &UpdateAssistant::onCheckFinished);
    return m_downloader->DownloadUpdateInfo();
}

void UpdateAssistant::onCheckFinished() {
    if (m_progress) m_progress->close();
    const update::UpdateCheckResult& result = m_downloader->result();
    if (result.outcome == CheckOutcome::NewVersion) {
        m_window = new UpdateWindow(*m_downloader, update::UpdateInstaller::defaultInstallDir(), m_parent);
        m_window->setAttribute(Qt::WA_DeleteOnClose);
        m_window->show();
    } else if (m_userAsked) {
        const bool failed = result.outcome == CheckOutcome::Failed;
        QMessageBox box(failed ? QMessageBox::Warning : QMessageBox::Information, Messages::text("menuCheckUpdates"),
                        failed ? Messages::text("updCheckFailed") : Messages::format("NoNewVersion2", QCoreApplication::applicationName()),
                        QMessageBox::Ok, m_parent);
        box.setInformativeText(failed ? result.reason : Messages::text("NoNewVersion"));
        box.exec();
    }
    emit checkEnded();
}

}  // namespace qv
