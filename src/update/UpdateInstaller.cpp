#include "update/UpdateInstaller.h"

#include "base/KappHelpQVF.h"
#include "base/Messages.h"
#include "update/ReleaseArchive.h"
#include "update/ReleaseVerifier.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace qv::update {
namespace {

std::string native(const QString& path) { return QFile::encodeName(path).toStdString(); }

QString errnoText(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

// rename(2): one step on one file system, so the program folder is at every
// moment either the old one or the new one. Returns 0 or an errno value.
int renameEntry(const QString& from, const QString& to) {
    return std::rename(native(from).c_str(), native(to).c_str()) == 0 ? 0 : errno;
}

bool writableByProcess(const QString& folder) { return ::access(native(folder).c_str(), W_OK | X_OK) == 0; }

QString makeUnpackFolder(const QString& parent) {
    QByteArray name = QFile::encodeName(parent + QStringLiteral("/qv-XXXXXX"));
    if (!::mkdtemp(name.data())) return {};
    return QFile::decodeName(name);
}

}  // namespace

UpdateInstaller::UpdateInstaller(InstallerOptions options) : m_options(std::move(options)) {
    if (m_options.publicKey.isEmpty()) m_options.publicKey = releasePublicKey();
    if (!m_options.canWrite) m_options.canWrite = writableByProcess;
}

QString UpdateInstaller::programIn(const QString& installDir) { return installDir + QStringLiteral("/bin/quorvane"); }

QString UpdateInstaller::defaultInstallDir() {
    const QString fromEnvironment = qEnvironmentVariable("QV_INSTALL_DIR");
    if (!fromEnvironment.isEmpty()) return QDir::cleanPath(fromEnvironment);
    QDir programFolder(QCoreApplication::applicationDirPath());
    if (programFolder.dirName() != QLatin1String("bin") || !programFolder.cdUp()) return {};
    return programFolder.path();
}

bool UpdateInstaller::managedByPackages(const QString& installDir) {
    const QString canonical = QFileInfo(installDir).canonicalFilePath();
    const QString path = canonical.isEmpty() ? QDir::cleanPath(installDir) : canonical;
    return path == QLatin1String("/usr") || path.startsWith(QLatin1String("/usr/"));
}

QString UpdateInstaller::refusalFor(const QString& installDir) {
    if (managedByPackages(installDir)) return Messages::text("updateManagedByPackages");
    if (installDir.isEmpty() || !QFileInfo(installDir).isDir())
        return Messages::format("updateNoInstallFolder", installDir.isEmpty() ? QStringLiteral("?") : installDir);
    // A folder such as ~/.local that merely holds bin/quorvane among other
    // programs must never be swapped out as a whole.
    if (!QFileInfo(installDir + QStringLiteral("/quorvane.release")).isFile() || !QFileInfo(programIn(installDir)).isFile())
        return Messages::format("updateNotReleaseFolder", installDir);
    return {};
}

QString UpdateInstaller::install(const InstallRequest& request, const std::function<void(Step)>& progress) const {
    const auto report = [&progress](Step step) {
        if (progress) progress(step);
    };
    const QString installDir = QDir::cleanPath(QFileInfo(request.installDir).absoluteFilePath());
    if (QString refusal = refusalFor(installDir); !refusal.isEmpty()) return refusal;

    report(Verifying);
    const QString unverified =
        ReleaseVerifier(m_options.publicKey).verify(request.versionFile, request.signature, request.archivePath);
    if (!unverified.isEmpty()) return unverified;
    const ReleaseArchive archive(request.archivePath);
    if (QString unsafe = archive.inspect(); !unsafe.isEmpty()) return unsafe;

    report(Unpacking);
    const QString parent = QFileInfo(installDir).path();
    const bool direct = m_options.canWrite(parent) && m_options.canWrite(installDir);
    // Beside the program folder, so that moving it in is a rename on one
    // file system; in the temporary folder when only an administrator may write there.
    const QString unpacked = makeUnpackFolder(direct ? parent : QDir::tempPath());
    if (unpacked.isEmpty()) return Messages::format("updateCannotWrite", parent, errnoText(errno));
    if (QString failed = archive.unpack(unpacked); !failed.isEmpty()) {
        QDir(unpacked).removeRecursively();
        return failed;
    }

    report(Swapping);
    const QString backupName = KappHelpQVF::GetNewUniqueDir(
        parent, QFileInfo(installDir).fileName() + QLatin1Char('.') + request.installedVersion, true);
    if (backupName.isEmpty()) {
        QDir(unpacked).removeRecursively();
        return Messages::format("updateBackupFailed", installDir, errnoText(EEXIST));
    }
    const QString backup = parent + QLatin1Char('/') + backupName;
    const QString outcome = direct ? swapDirectly(unpacked, installDir, backup) : swapElevated(unpacked, installDir, backup);
    QDir(unpacked).removeRecursively();
    if (outcome.isEmpty()) report(Finishing);
    return outcome;
}

QString UpdateInstaller::swapDirectly(const QString& unpacked, const QString& installDir, const QString& backup) const {
    const QString fresh = unpacked + QLatin1Char('/') + QLatin1String(ReleaseArchive::kTopFolder);
    if (const int error = renameEntry(installDir, backup)) return Messages::format("updateBackupFailed", installDir, errnoText(error));
    const auto putBack = [&](const QString& why) {
        if (renameEntry(backup, installDir) != 0) return why + QLatin1Char('\n') + Messages::format("updateBackupKept", backup);
        return why;
    };
    if (const int error = renameEntry(fresh, installDir))
        return putBack(Messages::format("updateMoveFailed", installDir, errnoText(error)));
    if (QString failed = smokeTest(installDir); !failed.isEmpty()) {
        // The new folder goes back where it came from, to be removed with the rest.
        renameEntry(installDir, fresh);
        return putBack(failed);
    }
    QDir(backup).removeRecursively();
    return {};
}

QString UpdateInstaller::swapElevated(const QString& unpacked, const QString& installDir, const QString& backup) const {
    const platform::ElevatedCommand elevated(m_options.elevated);
    if (!elevated.available()) return Messages::format("updateNoElevation", QFileInfo(installDir).path());
    const auto run = [&elevated](const char* program, std::vector<std::string> arguments) -> QString {
        const platform::ElevatedCommandResult result = elevated.run(program, arguments);
        if (result.exitedWith(0)) return {};
        QString output = QString::fromLocal8Bit(result.output).trimmed();
        if (result.error) output = errnoText(result.error);
        return Messages::format("updateElevatedFailed", QString::fromLatin1(program) + QLatin1String(": ") + output);
    };
    const std::string fresh = native(unpacked + QLatin1Char('/') + QLatin1String(ReleaseArchive::kTopFolder));
    if (QString failed = run("/bin/mv", {"-f", native(installDir), native(backup)}); !failed.isEmpty()) return failed;
    const auto putBack = [&](const QString& why) {
        const QString removed = run("/bin/rm", {"-rf", native(installDir)});
        if (!removed.isEmpty() || !run("/bin/mv", {"-f", native(backup), native(installDir)}).isEmpty())
            return why + QLatin1Char('\n') + Messages::format("updateBackupKept", backup);
        return why;
    };
    if (QString failed = run("/bin/cp", {"-fPR", fresh, native(installDir)}); !failed.isEmpty()) return putBack(failed);
    if (QString failed = smokeTest(installDir); !failed.isEmpty()) return putBack(failed);
    // The new version runs; a backup that will not go away costs only disk space.
    run("/bin/rm", {"-rf", native(backup)});
    return {};
}

QString UpdateInstaller::smokeTest(const QString& installDir) const {
    QProcess program;
    program.setProgram(programIn(installDir));
    program.setArguments({QStringLiteral("--version")});
    program.setStandardInputFile(QProcess::nullDevice());
    program.start();
    if (!program.waitForStarted(m_options.smokeTestTimeoutMs)) return Messages::format("updateSmokeFailed", program.errorString());
    if (!program.waitForFinished(m_options.smokeTestTimeoutMs)) {
        program.kill();
        program.waitForFinished();
        return Messages::format("updateSmokeFailed", program.errorString());
    }
    const QByteArray said = program.readAllStandardOutput();
    if (program.exitStatus() != QProcess::NormalExit || program.exitCode() != 0 || !said.startsWith("quorvane "))
        return Messages::format("updateSmokeFailed", QString::fromLocal8Bit(said + program.readAllStandardError()).trimmed());
    return {};
}

}  // namespace qv::update
