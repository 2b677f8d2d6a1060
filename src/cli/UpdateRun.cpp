#include "cli/UpdateRun.h"

#include "base/Messages.h"
#include "base/Settings.h"
#include "cli/CliOutput.h"
#include "update/KUpgradeDownloader.h"
#include "update/UpdateInstaller.h"
#include "update/UpdateServer.h"

#include <QEventLoop>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>
#include <memory>

namespace qv {
namespace {

using update::CheckOutcome;
using update::KUpgradeDownloader;
using update::UpdateInstaller;

const QString kInstalled = QStringLiteral(QUORVANE_BUILD);

// The check's failures exit 1; a usage error stays 2 like everywhere else.
int fail(const QString& reason) {
    printError(reason);
    return 1;
}

template <class Signal>
void waitFor(KUpgradeDownloader& downloader, Signal signal) {
    QEventLoop loop;
    QObject::connect(&downloader, signal, &loop, &QEventLoop::quit);
    loop.exec();
}

bool runCheck(KUpgradeDownloader& downloader) {
    downloader.DownloadUpdateInfo();
    waitFor(downloader, &KUpgradeDownloader::checkFinished);
    return downloader.result().outcome != CheckOutcome::Failed;
}

void printJson(const update::UpdateCheckResult& r, bool managed) {
    const bool newer = r.outcome == CheckOutcome::NewVersion;
    QJsonObject o;
    o.insert(QStringLiteral("installed"), kInstalled);
    o.insert(QStringLiteral("latest"), r.info.offersVersion() ? QJsonValue(r.info.version) : QJsonValue());
    o.insert(QStringLiteral("newVersion"), newer);
    o.insert(QStringLiteral("notes"), newer && r.notes ? QJsonValue(*r.notes) : QJsonValue());
    o.insert(QStringLiteral("packageManager"), managed);
    std::printf("%s\n", QJsonDocument(o).toJson(QJsonDocument::Compact).constData());
}

void printText(const update::UpdateCheckResult& r, bool managed) {
    if (r.outcome != CheckOutcome::NewVersion) {
        std::printf("%s\n", qPrintable(Messages::format("cliUpdateUpToDate", kInstalled)));
        return;
    }
    std::printf("%s\n", qPrintable(Messages::format("cliUpdateNewVersion", r.info.version, kInstalled)));
    if (r.notes && !r.notes->trimmed().isEmpty()) std::printf("\n%s\n", qPrintable(r.notes->trimmed()));
    if (managed) std::printf("\n%s\n", qPrintable(Messages::text("updateManagedByPackages")));
}

}  // namespace

int runUpdateCheck(bool json) {
    Settings& settings = Settings::instance();
    KUpgradeDownloader downloader(update::updateServerFolder(settings), kInstalled, settings);
    if (!runCheck(downloader)) return fail(downloader.result().reason);
    const bool managed = UpdateInstaller::managedByPackages(UpdateInstaller::defaultInstallDir());
    if (json) printJson(downloader.result(), managed);
    else printText(downloader.result(), managed);
    return 0;
}

int runUpdateInstall() {
    Settings& settings = Settings::instance();
    KUpgradeDownloader downloader(update::updateServerFolder(settings), kInstalled, settings);
    if (!runCheck(downloader)) return fail(downloader.result().reason);
    const update::UpdateCheckResult& r = downloader.result();
    if (r.outcome != CheckOutcome::NewVersion) {
        std::printf("%s\n", qPrintable(Messages::format("cliUpdateUpToDate", kInstalled)));
        return 0;
    }
    // Refused before a byte of the archive is fetched.
    const QString installDir = UpdateInstaller::defaultInstallDir();
    if (const QString refusal = UpdateInstaller::refusalFor(installDir); !refusal.isEmpty()) return fail(refusal);
    const QString folder = KUpgradeDownloader::writableDownloadFolder();
    if (folder.isEmpty()) return fail(Messages::text("cliUpdateNoDownloadFolder"));

    std::fprintf(stderr, "%s\n", qPrintable(Messages::format("cliUpdateDownloading", r.info.archive)));
    bool downloaded = false;
    QObject::connect(&downloader, &KUpgradeDownloader::downloadFinished, [&downloaded](bool ok) { downloaded = ok; });
    // downloadFinished follows also when the download cannot start.
    downloader.Download(folder);
    waitFor(downloader, &KUpgradeDownloader::downloadFinished);
    if (!downloaded) return fail(downloader.downloadError());

    update::InstallRequest request;
    request.archivePath = downloader.downloadedArchive();
    request.versionFile = r.versionFile;
    request.signature = downloader.signature();
    request.installDir = installDir;
    request.installedVersion = kInstalled;
    if (const QString failure = UpdateInstaller().install(request); !failure.isEmpty()) {
        // Nothing is retried, and an archive that failed its checks must not be opened by hand.
        QFile::remove(request.archivePath);
        return fail(failure);
    }
    std::printf("%s\n", qPrintable(Messages::format("updateInstalled", r.info.version, installDir)));
    return 0;
}

}  // namespace qv
