#pragma once
// Puts a downloaded release in place of the running program's folder. The
// archive is verified and judged first, then unpacked into a "qv-XXXXXX"
// folder beside the program folder; the program folder is renamed to a
// backup named with its version, the new one renamed into its place, and
// the new program is asked for its version. Only when it answers is the
// backup removed; when any step fails, the backup is put back and what was
// unpacked is removed, so the installed program stays as it was.
//
// When the program folder's parent cannot be written, the moves go through
// the elevated-command layer instead, as /bin/mv -f, /bin/cp -fPR and
// /bin/rm -rf with every path one literal argument.

#include "platform/ElevatedCommand.h"

#include <QByteArray>
#include <QString>

#include <functional>

namespace qv::update {

struct InstallRequest {
    QString archivePath;
    QByteArray versionFile;   // as served; the signature covers it
    QByteArray signature;
    QString installDir;       // the program folder to replace
    QString installedVersion;
};

struct InstallerOptions {
    QByteArray publicKey;     // empty: the project's release key
    // Whether the process may create and rename entries in a folder.
    // Tests answer false to take the elevated path without losing root.
    std::function<bool(const QString& folder)> canWrite;
    platform::ElevatedCommandOptions elevated;
    int smokeTestTimeoutMs = 30000;
};

class UpdateInstaller {
public:
    // The steps, for a progress display.
    enum Step { Verifying = 1, Unpacking, Swapping, Starting, Finishing };

    explicit UpdateInstaller(InstallerOptions options = {});

    // Empty on success; otherwise why, with the installed program untouched.
    QString install(const InstallRequest& request, const std::function<void(Step)>& progress = {}) const;

    // QV_INSTALL_DIR when set; else the folder holding the program's "bin"
    // folder (the program being QCoreApplication's).
    static QString defaultInstallDir();

    // Why the folder must not be replaced by the updater, or empty: a
    // system folder (the package manager's), a folder that is missing or
    // was not made from a release archive.
    static QString refusalFor(const QString& installDir);
    static bool managedByPackages(const QString& installDir);

    // The program inside a program folder.
    static QString programIn(const QString& installDir);

private:
    QString swapDirectly(const QString& unpacked, const QString& installDir, const QString& backup) const;
    QString swapElevated(const QString& unpacked, const QString& installDir, const QString& backup) const;
    QString smokeTest(const QString& installDir) const;

    InstallerOptions m_options;
};

}  // namespace qv::update
