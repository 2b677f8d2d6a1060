#include "cli/HistoryCommand.h"

#include "app/history/FolderHistory.h"
#include "base/Messages.h"
#include "base/Settings.h"
#include "cli/CliOutput.h"
#include "cli/CommandLine.h"

#include <cstdio>
#include <memory>

namespace qv {
namespace {

struct HistoryOptions {
    bool files = false, folders = false, paths = false;
    int row = 0;   // shown numbered from 1
};

int runVerb(const std::string& verb, const HistoryOptions& o) {
    const bool files = o.files && !o.folders;
    const bool paths = o.paths;
    const int row = o.row - 1;
    Settings& settings = Settings::instance();
    bool ok = true;
    if (paths) {
        KLastFolders list(settings, files ? QStringLiteral("lastFiles") : QStringLiteral("lastFolders"));
        if (verb == "list") {
            int n = 1;
            for (const KLastFolders::Entry& e : list.items())
                std::printf("%d. %s%s\n", n++, e.locked ? "[locked] " : "", qPrintable(e.path));
            return 0;
        }
        if (verb == "clear") list.ClearHistory();
        else if (verb == "remove") ok = list.remove(row);
        else ok = list.setLocked(row, verb == "lock");
        if (ok) list.store();
    } else {
        FolderHistory history(settings, !files);
        if (verb == "list") {
            int n = 1;
            for (const HistoryPair& p : history.pairs())
                std::printf("%d. %s%s \xE2\x80\xA2 %s\n", n++, p.locked ? "[locked] " : "", qPrintable(p.l), qPrintable(p.r));
            return 0;
        }
        if (verb == "clear") history.ClearFolderHistory();
        else if (verb == "remove") ok = history.remove(row);
        else ok = history.setLocked(row, verb == "lock");
    }
    if (!ok) {
        return failLine(Messages::format("cliNoHistoryEntry", row + 1));
    }
    return 0;
}

}  // namespace

void addHistoryCommand(CommandLine& cli) {
    auto o = std::make_shared<HistoryOptions>();
    CLI::App* history = cli.addCommand(cli.root(), "history", "cliCmdHistory", "cliExampleHistory", nullptr);
    const std::pair<const char*, const char*> verbs[] = {{"list", "cliCmdHistoryList"},     {"lock", "cliCmdHistoryLock"},
                                                         {"unlock", "cliCmdHistoryUnlock"}, {"remove", "cliCmdHistoryRemove"},
                                                         {"clear", "cliCmdHistoryClear"}};
    for (const auto& [name, key] : verbs) {
        const std::string verbName = name;
        CLI::App* verb = cli.addCommand(*history, verbName, key, nullptr, [o, verbName] { return runVerb(verbName, *o); });
        if (verbName == "lock" || verbName == "unlock" || verbName == "remove")
            described(verb->add_option("N", o->row), "cliArgHistoryRow")->type_name("")->required()->check(CLI::PositiveNumber);
        CLI::Option* files = described(verb->add_flag("--files", o->files), "cliOptHistoryFiles");
        described(verb->add_flag("--folders", o->folders), "cliOptHistoryFolders")->excludes(files);
        described(verb->add_flag("--paths", o->paths), "cliOptHistoryPaths");
    }
}

}  // namespace qv
