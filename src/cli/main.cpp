// The quorvane command: a headless front end over the comparison controller.

#include "cli/ActionsCommand.h"
#include "cli/CliOutput.h"
#include "cli/CompareCommand.h"
#include "cli/InterruptWatcher.h"
#include "cli/SyncCommand.h"
#include "cli/DiffCommand.h"
#include "cli/HistoryCommand.h"
#include "cli/ExportCommand.h"
#include "cli/GuiLauncher.h"
#include "cli/RulesCommand.h"
#include "cli/SettingsCommand.h"
#include "cli/SnapshotCommand.h"
#include "base/Messages.h"

#include <QCoreApplication>

#include <cstdio>
#include <cstring>

namespace {

int runCommand(QCoreApplication& app, const std::string& command, std::vector<std::string>& args) {
    if (command == "compare") return qv::runCompareCommand(app, args);
    if (command == "export") return qv::runExportCommand(app, args);
    if (command == "diff") return qv::runDiffCommand(app, args);
    if (command == "history") return qv::runHistoryCommand(args);
    if (command == "settings") return qv::runSettingsCommand(args);
    if (command == "snapshot") return qv::runSnapshotCommand(args);
    if (command == "rules") return qv::runRulesCommand(args);
    if (command == "sync") return qv::runSyncCommand(app, args);
    if (command == "actions") return qv::runActionsCommand(app, args);
    std::fprintf(stderr, "quorvane: %s\n", qPrintable(qv::Messages::format("cliUnknownCommand", QString::fromStdString(command))));
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Quorvane"));
    QCoreApplication::setOrganizationName(QStringLiteral("Quorvane"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QUORVANE_VERSION));

    // Arguments stay bytes: a path that is not valid UTF-8 must reach the file system intact.
    std::vector<std::string> args(argv + 1, argv + argc);
    // On a desktop the program with no arguments is the window.
    if (args.empty() && qv::displayAvailable()) return qv::runGuiCommand(args);
    if (args.empty() || args[0] == "--help" || args[0] == "-h") {
        std::fprintf(args.empty() ? stderr : stdout, "%s\n", qPrintable(qv::Messages::text("cliUsage")));
        return args.empty() ? 2 : 0;
    }
    if (args[0] == "--version") {
        std::printf("quorvane %s\n", QUORVANE_VERSION);
        return 0;
    }
    const std::string command = args[0];
    args.erase(args.begin());
    // The window is a program of its own, started in this process's place.
    if (command == "gui") return qv::runGuiCommand(args);
    qv::installInterruptHandling();
    return qv::runCatchingExceptions([&] { return runCommand(app, command, args); });
}
