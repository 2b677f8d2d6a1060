// quorvane-update: the quorvane command's `update`, in a program of its own
// so that the command line never loads the network and archive libraries.
// The quorvane command hands its arguments over unchanged.

#include "cli/CliOutput.h"
#include "cli/CommandLine.h"
#include "cli/InterruptWatcher.h"
#include "cli/UpdateCommand.h"
#include "cli/UpdateRun.h"

#include <QCoreApplication>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Quorvane"));
    QCoreApplication::setOrganizationName(QStringLiteral("Quorvane"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QUORVANE_VERSION));

    qv::CommandLine cli;
    qv::addUpdateCommand(cli, {qv::runUpdateCheck, qv::runUpdateInstall});
    qv::installInterruptHandling();
    return qv::runCatchingExceptions([&] { return cli.run(argc, argv); });
}
