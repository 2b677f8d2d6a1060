// The quorvane command: a headless front end over the comparison controller.

#include "cli/ActionsCommand.h"
#include "cli/CliOutput.h"
#include "cli/CommandLine.h"
#include "cli/CompareCommand.h"
#include "cli/DiffCommand.h"
#include "cli/ExportCommand.h"
#include "cli/GuiLauncher.h"
#include "cli/HistoryCommand.h"
#include "cli/InterruptWatcher.h"
#include "cli/RulesCommand.h"
#include "cli/SettingsCommand.h"
#include "cli/SnapshotCommand.h"
#include "cli/SyncCommand.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Quorvane"));
    QCoreApplication::setOrganizationName(QStringLiteral("Quorvane"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QUORVANE_VERSION));

    // On a desktop the program with no arguments is the window.
    if (argc == 1 && qv::displayAvailable()) return qv::runGuiCommand({});

    qv::CommandLine cli;
    qv::addCompareCommand(cli, app);
    qv::addExportCommand(cli, app);
    qv::addDiffCommand(cli, app);
    qv::addSyncCommand(cli, app);
    qv::addActionsCommand(cli, app);
    qv::addSnapshotCommand(cli);
    qv::addHistoryCommand(cli);
    qv::addSettingsCommand(cli);
    qv::addRulesCommand(cli);
    qv::addGuiCommand(cli);
    if (argc == 1) {
        // Without a display: the usage, as a usage error.
        std::fputs(cli.help().c_str(), stderr);
        return 2;
    }
    qv::installInterruptHandling();
    return qv::runCatchingExceptions([&] { return cli.run(argc, argv); });
}
