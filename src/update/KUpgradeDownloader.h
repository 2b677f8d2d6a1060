#pragma once
// One update check from the first transfer to the last: the version file,
// the release notes when there is a newer version, and on request the
// release archive with its signature. Each transfer is one step; a failed
// step ends the check or the download and is never retried. The only state
// kept between checks is the time of the last successful one ("CFUdate").

#include "platform/DurableFile.h"
#include "update/UpdateInfo.h"

#include <QByteArray>
#include <QDateTime>
#include <QNetworkAccessManager>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>

#include <memory>
#include <optional>

class QNetworkReply;

namespace qv {
class Settings;
}

namespace qv::update {

// Checks run at most this often by themselves.
constexpr qint64 kCheckIntervalSeconds = 48 * 3600;
// Neither the version file nor the notes are ever this large; a server that
// sends more is broken or hostile.
constexpr qint64 kSmallFileLimit = 1024 * 1024;
constexpr qint64 kSignatureLimit = 4096;

enum class CheckOutcome { Running, Failed, NoNewVersion, NewVersion };

struct UpdateCheckResult {
    CheckOutcome outcome = CheckOutcome::Running;
    QString reason;                // why it failed, in the user's words
    UpdateInfo info;
    QByteArray versionFile;        // the bytes as served: the signature covers them
    std::optional<QString> notes;  // the release notes, when they came
};

class KUpgradeDownloader : public QObject {
    Q_OBJECT
public:
    enum Step { NoStep = 0, VersionStep = 1, NotesStep = 2, ArchiveStep = 3, SignatureStep = 4 };

    KUpgradeDownloader(QUrl serverFolder, QString installedVersion, Settings& settings, QObject* parent = nullptr);
    ~KUpgradeDownloader() override;

    // Whether an automatic check is due at `now`: never with
    // "autoCheckForUpdate" off, always when no check has succeeded yet (or
    // the last one lies in the future, after the clock was set back),
    // otherwise once 48 hours have passed.
    static bool TimeToCheck(const Settings& settings, const QDateTime& now);

    // The user's downloads folder when a file can be made in it, else "".
    static QString writableDownloadFolder();

    // Starts a check; checkFinished() follows, also when this returns false
    // (no server configured, no temporary file).
    bool DownloadUpdateInfo();

    // After a check that found an installable new version: fetches the
    // archive into `folder`, then its signature; downloadFinished() follows.
    bool Download(const QString& folder);

    // Stops the running transfer; it ends as failed.
    void Abort();

    const UpdateCheckResult& result() const { return m_result; }
    QString installedVersion() const { return m_installedVersion; }
    QString downloadedArchive() const { return iDownloadDest; }
    QByteArray signature() const { return m_signature; }
    QString downloadError() const { return m_downloadError; }

signals:
    void checkFinished();
    // The archive's bytes so far and its length.
    void progress(qint64 received, qint64 total);
    void downloadFinished(bool ok);

private:
    void DownloadUpdateNews();
    bool StartDownload(int step, const QUrl& url);
    void onResponse();
    void onData();
    void onFinished();
    void fail(const QString& reason);
    void dropConnection();
    bool writeSmallFile(QString& path);
    void AnalizeDownloadedFiles();
    void finishCheck(CheckOutcome outcome);
    void finishDownload(bool ok);
    qint64 limitForStep() const;
    void removeTemporaries();

    QNetworkAccessManager m_network;
    QUrl m_server;
    QString m_installedVersion;
    Settings& m_settings;

    int iDownloadStep = NoStep;
    bool iDone = false, iError = false, iErrorReported = false;
    QUrl iNSUrl;
    QPointer<QNetworkReply> iConnection;
    QByteArray iData;
    qint64 iBytesGet = 0;
    double iTotalSize = -1;
    QString iInfoPath, iNewsPath, iDownloadDest;

    std::unique_ptr<platform::DurableFile> m_archiveFile;
    bool m_archiveWritten = false;
    QString m_failure;
    UpdateCheckResult m_result;
    QByteArray m_signature;
    QString m_downloadError;
};

}  // namespace qv::update
