#include "cli/HistoryCommand.h"

#include "base/Messages.h"
#include "base/Settings.h"
#include "app/history/FolderHistory.h"

#include <cstdio>

namespace qv {
namespace {

int usage() {
    std::fprintf(stderr, "quorvane: %s\n", qPrintable(Messages::text("cliHistoryUsage")));
    return 2;
}

}  // namespace

int runHistoryCommand(const std::vector<std::string>& args) {
    if (args.empty()) return usage();
    const std::string verb = args[0];
    bool files = false, paths = false;
    int row = -1;
    for (std::size_t i = 1; i < args.size(); ++i) {
        if (args[i] == "--files") files = true;
        else if (args[i] == "--folders") files = false;
        else if (args[i] == "--paths") paths = true;
        else if (row < 0 && !args[i].empty() && args[i].find_first_not_of("0123456789") == std::string::npos)
            row = std::stoi(args[i]) - 1;   // shown numbered from 1
        else return usage();
    }
    const bool needsRow = verb == "lock" || verb == "unlock" || verb == "remove";
    if (needsRow != (row >= 0) || (!needsRow && verb != "list" && verb != "clear")) return usage();

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
        std::fprintf(stderr, "quorvane: %s\n", qPrintable(Messages::format("cliNoHistoryEntry", row + 1)));
        return 2;
    }
    return 0;
}

}  // namespace qv
