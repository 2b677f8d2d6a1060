#pragma once
// The window that offers a new version: the installed and the new version,
// the release notes, and the download with its progress, bytes, time left
// and Abort; then the installation and the restart into the new program.

#include <QDialog>
#include <QElapsedTimer>
#include <QString>

#include <functional>

class QLabel;
class QProgressBar;
class QPushButton;
class QTextBrowser;

namespace qv::update {
class KUpgradeDownloader;
}

namespace qv {

class UpdateWindow final : public QDialog {
    Q_OBJECT
public:
    // Starts the new program after a successful installation; the default
    // starts its quorvane-gui detached and quits this one.
    using Relaunch = std::function<void(const QString& installDir)>;

    // `downloader` has finished a check that found a new version and outlives the window.
    UpdateWindow(update::KUpgradeDownloader& downloader, QString installDir, QWidget* parent = nullptr);

    void setRelaunch(Relaunch relaunch) { m_relaunch = std::move(relaunch); }

    // The Download and Install button: in the downloads folder when it can
    // be written, else where the user chooses.
    void download();
    // The download into `folder`.
    void downloadInto(const QString& folder);

    QProgressBar& progressBar() const { return *m_bar; }
    QLabel& statusLabel() const { return *m_status; }
    QPushButton& abortButton() const { return *m_abort; }
    QPushButton& installButton() const { return *m_install; }
    QTextBrowser& notesView() const { return *m_notes; }

signals:
    // The installation ended: empty on success, else why.
    void installationFinished(const QString& failure);

private:
    void showProgress(qint64 received, qint64 total);
    void downloadEnded(bool ok);
    void installDownloaded();
    void installEnded(const QString& failure);
    void showFailure(const char* key, const QString& reason);

    update::KUpgradeDownloader& m_downloader;
    QString m_installDir;
    Relaunch m_relaunch;
    QElapsedTimer m_clock;
    QTextBrowser* m_notes = nullptr;
    QProgressBar* m_bar = nullptr;
    QLabel* m_status = nullptr;
    QPushButton *m_install = nullptr, *m_later = nullptr, *m_abort = nullptr;
};

}  // namespace qv
