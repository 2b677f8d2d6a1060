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
#include "cli/ScriptCommand.h"
#include "cli/SettingsCommand.h"
#include "cli/SiblingProgram.h"
#include "cli/SnapshotCommand.h"
#include "cli/SyncCommand.h"
#include "cli/TagsCommand.h"
#include "cli/UpdateCommand.h"

#include <QCoreApplication>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <iterator>
#include <utility>

int main(int argc, char** argv) {
    // The update runs in the program that loads its libraries, before anything is set up here.
    if (argc > 1 && std::strcmp(argv[1], "update") == 0) return qv::runInSiblingProgram("quorvane-update", argc, argv);

    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Quorvane"));
    QCoreApplication::setOrganizationName(QStringLiteral("Quorvane"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QUORVANE_VERSION));

    // On a desktop the program with no arguments is the window.
    if (argc == 1 && qv::displayAvailable()) return qv::runGuiCommand({});

    qv::CommandLine cli;
    // Declared here for the list of commands only: a line naming it went to quorvane-update above.
    const std::function<int()> update = [&] { return qv::runInSiblingProgram("quorvane-update", argc, argv); };
    const std::pair<const char*, std::function<void()>> commands[] = {
        {"compare", [&] { qv::addCompareCommand(cli, app); }},
        {"export", [&] { qv::addExportCommand(cli, app); }},
        {"diff", [&] { qv::addDiffCommand(cli, app); }},
        {"sync", [&] { qv::addSyncCommand(cli, app); }},
        {"actions", [&] { qv::addActionsCommand(cli, app); }},
        {"snapshot", [&] { qv::addSnapshotCommand(cli); }},
        {"history", [&] { qv::addHistoryCommand(cli); }},
        {"settings", [&] { qv::addSettingsCommand(cli); }},
        {"rules", [&] { qv::addRulesCommand(cli); }},
        {"tags", [&] { qv::addTagsCommand(cli); }},
        {"update", [&] { qv::addUpdateCommand(cli, {[&](bool) { return update(); }, update}); }},
        {"script", [&] { qv::addScriptCommand(cli, app); }},
        {"gui", [&] { qv::addGuiCommand(cli); }},
    };
    // Declaring every command's options costs more than a small comparison:
    // a line that names its command gets that command alone. Anything else
    // (--help, a misspelt command) gets them all, for the list and the error.
    const auto named = std::find_if(std::begin(commands), std::end(commands),
                                    [&](const auto& c) { return argc > 1 && std::strcmp(argv[1], c.first) == 0; });
    if (named != std::end(commands)) named->second();
    else
        for (const auto& c : commands) c.second();
    if (argc == 1) {
        // Without a display: the usage, as a usage error.
        std::fputs(cli.help().c_str(), stderr);
        return 2;
    }
    qv::installInterruptHandling();
    return qv::runCatchingExceptions([&] { return cli.run(argc, argv); });
}
