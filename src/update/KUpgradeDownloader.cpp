#include "update/KUpgradeDownloader.h"

#include "base/KappHelpQVF.h"
#include "base/Messages.h"
#include "base/Settings.h"
#include "update/UpdateServer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QStandardPaths>
#include <QTimer>

#include <cstring>

namespace qv::update {
namespace {

const QString kLastCheckKey = QStringLiteral("CFUdate");
// A server that stops sending for this long has failed.
constexpr int kStallTimeoutMs = 30000;

QString temporaryTemplate() { return QDir::tempPath() + QStringLiteral("/upd-XXXXXX"); }

QString errnoText(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

}  // namespace

KUpgradeDownloader::KUpgradeDownloader(QUrl serverFolder, QString installedVersion, Settings& settings, QObject* parent)
    : QObject(parent), m_server(std::move(serverFolder)), m_installedVersion(std::move(installedVersion)), m_settings(settings) {}

KUpgradeDownloader::~KUpgradeDownloader() {
    dropConnection();
    removeTemporaries();
}

bool KUpgradeDownloader::TimeToCheck(const Settings& settings, const QDateTime& now) {
    if (!settings.boolValue(QStringLiteral("autoCheckForUpdate"))) return false;
    const QDateTime last = QDateTime::fromString(settings.stringValue(kLastCheckKey), Qt::ISODate);
    if (!last.isValid() || last > now) return true;
    return last.secsTo(now) >= kCheckIntervalSeconds;
}

QString KUpgradeDownloader::writableDownloadFolder() {
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
    if (folder.isEmpty() || !QFileInfo(folder).isDir()) return {};
    // Permission bits do not tell about read-only mounts or quotas: try it.
    const QString probe = KappHelpQVF::Ntempnam(folder + QStringLiteral("/upd-XXXXXX"));
    if (probe.isEmpty()) return {};
    QFile probeFile(probe);
    const bool written = probeFile.open(QIODevice::WriteOnly) && probeFile.write("1", 1) == 1;
    probeFile.close();
    const bool removed = QFile::remove(probe);
    return written && removed ? folder : QString();
}

bool KUpgradeDownloader::DownloadUpdateInfo() {
    m_result = {};
    m_signature.clear();
    removeTemporaries();
    if (!m_server.isValid()) {
        m_result.reason = Messages::text("updateNoServer");
        QTimer::singleShot(0, this, [this] { finishCheck(CheckOutcome::Failed); });
        return false;
    }
    iInfoPath = KappHelpQVF::Ntempnam(temporaryTemplate());
    if (iInfoPath.isEmpty()) {
        m_result.reason = Messages::format("updateCannotWrite", QDir::tempPath(), errnoText(errno));
        QTimer::singleShot(0, this, [this] { finishCheck(CheckOutcome::Failed); });
        return false;
    }
    return StartDownload(VersionStep, serverFile(m_server, QString::fromLatin1(kVersionFileName)));
}

void KUpgradeDownloader::DownloadUpdateNews() {
    iNewsPath = KappHelpQVF::Ntempnam(temporaryTemplate());
    // The notes are optional: without a place to put them the check still answers.
    if (iNewsPath.isEmpty()) {
        finishCheck(CheckOutcome::NewVersion);
        return;
    }
    StartDownload(NotesStep, serverFile(m_server, QString::fromLatin1(kNotesFileName)));
}

bool KUpgradeDownloader::Download(const QString& folder) {
    m_downloadError.clear();
    m_signature.clear();
    if (m_result.outcome != CheckOutcome::NewVersion || !m_result.info.installable()) {
        m_downloadError = Messages::text("updateNotInstallable");
        QTimer::singleShot(0, this, [this] { emit downloadFinished(false); });
        return false;
    }
    iDownloadDest = QDir(folder).filePath(m_result.info.archive);
    m_archiveWritten = false;
    return StartDownload(ArchiveStep, serverFile(m_server, m_result.info.archive));
}

void KUpgradeDownloader::Abort() {
    if (iConnection) fail(Messages::text("updateAborted"));
}

bool KUpgradeDownloader::StartDownload(int step, const QUrl& url) {
    iDownloadStep = step;
    iError = iDone = iErrorReported = false;
    iNSUrl = url;
    iData.clear();
    iBytesGet = 0;
    iTotalSize = -1;
    m_failure.clear();
    if (step == ArchiveStep) {
        m_archiveFile = std::make_unique<platform::DurableFile>();
        if (const int error = m_archiveFile->open(QFile::encodeName(iDownloadDest).toStdString(), true)) {
            m_archiveFile.reset();
            fail(Messages::format("updateCannotWrite", iDownloadDest, errnoText(error)));
            return false;
        }
    }
    QNetworkRequest request(url);
    request.setTransferTimeout(kStallTimeoutMs);
    // The bytes are counted against the announced length; a transparently
    // decompressed body would not match it.
    request.setRawHeader("Accept-Encoding", "identity");
    QNetworkReply* reply = m_network.get(request);
    iConnection = reply;
    connect(reply, &QNetworkReply::metaDataChanged, this, &KUpgradeDownloader::onResponse);
    connect(reply, &QNetworkReply::readyRead, this, &KUpgradeDownloader::onData);
    connect(reply, &QNetworkReply::finished, this, &KUpgradeDownloader::onFinished);
    return true;
}

qint64 KUpgradeDownloader::limitForStep() const {
    switch (iDownloadStep) {
    case ArchiveStep: return m_result.info.size;
    case SignatureStep: return kSignatureLimit;
    default: return kSmallFileLimit;
    }
}

void KUpgradeDownloader::onResponse() {
    QNetworkReply* reply = iConnection;
    if (!reply || iErrorReported) return;
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    // A redirect is followed by the network layer; its own headers say nothing about the file.
    if (status.isValid() && status.toInt() >= 300 && status.toInt() < 400) return;
    iData.clear();
    iBytesGet = 0;
    iDone = false;
    if (status.isValid() && status.toInt() >= 400) {
        const QString phrase = reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString();
        fail(Messages::format("updateHttpStatus", QString::number(status.toInt()) + QLatin1Char(' ') + phrase,
                              iNSUrl.toDisplayString()));
        return;
    }
    const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
    if (!length.isValid()) {
        fail(Messages::format("updateNoLength", iNSUrl.toDisplayString()));
        return;
    }
    iTotalSize = length.toLongLong();
    if (iDownloadStep == ArchiveStep && length.toLongLong() != m_result.info.size) {
        fail(Messages::format("updateWrongSize", iNSUrl.toDisplayString()));
        return;
    }
    if (length.toLongLong() > limitForStep()) {
        fail(Messages::format("updateTooLarge", iNSUrl.toDisplayString()));
        return;
    }
    if (iDownloadStep == ArchiveStep) emit progress(0, length.toLongLong());
}

void KUpgradeDownloader::onData() {
    QNetworkReply* reply = iConnection;
    if (!reply || iErrorReported) return;
    const QByteArray chunk = reply->readAll();
    iBytesGet += chunk.size();
    // Checked again here: a file URL or a lying server may send more than it announced.
    if (iBytesGet > limitForStep() || (iTotalSize >= 0 && iBytesGet > iTotalSize)) {
        fail(Messages::format("updateTooLarge", iNSUrl.toDisplayString()));
        return;
    }
    if (iDownloadStep == ArchiveStep) {
        if (const int error = m_archiveFile->write(std::string_view(chunk.constData(), chunk.size()))) {
            fail(Messages::format("updateCannotWrite", iDownloadDest, errnoText(error)));
            return;
        }
        emit progress(iBytesGet, static_cast<qint64>(iTotalSize));
    } else {
        iData.append(chunk);
    }
}

void KUpgradeDownloader::onFinished() {
    QNetworkReply* reply = iConnection;
    if (!reply || iErrorReported) return;
    onData();   // whatever arrived with the end
    if (iErrorReported) return;
    if (reply->error() != QNetworkReply::NoError) {
        const bool cut = reply->error() == QNetworkReply::RemoteHostClosedError && iBytesGet > 0;
        fail(cut ? Messages::format("updateTruncated", iNSUrl.toDisplayString())
                 : Messages::format("updateNetwork", iNSUrl.toDisplayString(), reply->errorString()));
        return;
    }
    // A response that never gave its length (nor a status) is refused like one that said it had none.
    if (iTotalSize < 0) {
        fail(Messages::format("updateNoLength", iNSUrl.toDisplayString()));
        return;
    }
    dropConnection();
    iDone = true;
    if (iBytesGet == 0) {
        fail(Messages::format("updateEmpty", iNSUrl.toDisplayString()));
        return;
    }
    if (iBytesGet != static_cast<qint64>(iTotalSize)) {
        fail(Messages::format("updateTruncated", iNSUrl.toDisplayString()));
        return;
    }
    if (iDownloadStep == ArchiveStep) {
        if (const int error = m_archiveFile->commit()) {
            fail(Messages::format("updateCannotWrite", iDownloadDest, errnoText(error)));
            return;
        }
        m_archiveFile.reset();
        m_archiveWritten = true;
    } else if (iDownloadStep == VersionStep && !writeSmallFile(iInfoPath)) {
        return;
    } else if (iDownloadStep == NotesStep && !writeSmallFile(iNewsPath)) {
        return;
    }
    AnalizeDownloadedFiles();
}

bool KUpgradeDownloader::writeSmallFile(QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(iData) != iData.size()) {
        fail(Messages::format("updateCannotWrite", path, file.errorString()));
        return false;
    }
    return true;
}

void KUpgradeDownloader::fail(const QString& reason) {
    if (iErrorReported) return;
    iErrorReported = iError = iDone = true;
    m_failure = reason;
    dropConnection();
    if (m_archiveFile) {
        m_archiveFile->abandon();
        m_archiveFile.reset();
    }
    AnalizeDownloadedFiles();
}

void KUpgradeDownloader::dropConnection() {
    if (!iConnection) return;
    QNetworkReply* reply = iConnection;
    iConnection.clear();
    reply->disconnect(this);
    if (reply->isRunning()) reply->abort();
    reply->deleteLater();
}

void KUpgradeDownloader::AnalizeDownloadedFiles() {
    if (!iDone) return;
    switch (iDownloadStep) {
    case VersionStep:
        if (iError) {
            m_result.reason = m_failure;
            finishCheck(CheckOutcome::Failed);
            return;
        }
        m_settings.store(kLastCheckKey, QDateTime::currentDateTimeUtc().toString(Qt::ISODate));
        m_result.versionFile = iData;
        m_result.info = readVersionFile(iData);
        if (NewVerAvaible(m_result.info, m_installedVersion)) DownloadUpdateNews();
        else finishCheck(CheckOutcome::NoNewVersion);
        return;
    case NotesStep:
        if (!iError) m_result.notes = QString::fromUtf8(iData);
        finishCheck(CheckOutcome::NewVersion);
        return;
    case ArchiveStep:
        if (iError) {
            m_downloadError = m_failure;
            finishDownload(false);
            return;
        }
        StartDownload(SignatureStep, serverFile(m_server, m_result.info.archive + QLatin1String(kSignatureSuffix)));
        return;
    case SignatureStep:
        if (iError) {
            m_downloadError = m_failure;
            finishDownload(false);
            return;
        }
        m_signature = iData;
        finishDownload(true);
        return;
    default: return;
    }
}

void KUpgradeDownloader::finishCheck(CheckOutcome outcome) {
    iDownloadStep = NoStep;
    m_result.outcome = outcome;
    removeTemporaries();
    emit checkFinished();
}

void KUpgradeDownloader::finishDownload(bool ok) {
    iDownloadStep = NoStep;
    // An archive without its signature can never be installed: keep nothing
    // of it. One that never arrived left any earlier file of its name alone.
    if (!ok && m_archiveWritten) QFile::remove(iDownloadDest);
    emit downloadFinished(ok);
}

void KUpgradeDownloader::removeTemporaries() {
    for (QString* path : {&iInfoPath, &iNewsPath}) {
        if (!path->isEmpty()) QFile::remove(*path);
        path->clear();
    }
}

}  // namespace qv::update
