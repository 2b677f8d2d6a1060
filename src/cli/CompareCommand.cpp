#include "cli/CompareCommand.h"

#include "base/Messages.h"
#include "cli/CliOutput.h"
#include "cli/CompareRun.h"
#include "cli/TreeWriter.h"
#include "engine/DiffNavigation.h"
#include "cli/DiffCommand.h"

#include <QCoreApplication>

#include <cstdio>

namespace qv {
namespace {

// Prints the path of the next or previous difference from a row; 1 when there is none.
int printDiffFrom(CompareRun& run, const std::string& path, bool next) {
    KItem* from = run.nodeAtPath(path);
    if (!from) return failLine(Messages::format("cliNoSuchPath", QString::fromStdString(path)));
    ViewFilter& view = run.module().view();
    KItem* found = next ? GetNextDiff(from, true, view) : GetPrevDiff(from, true, view);
    if (!found) {
        std::fprintf(stderr, "quorvane: %s\n", qPrintable(Messages::format("cliNoDifference", QString::fromStdString(path))));
        return 1;
    }
    std::printf("%s\n", found->iPath().c_str());
    return 0;
}

}  // namespace

int runCompareCommand(QCoreApplication& app, const std::vector<std::string>& args) {
    CompareRun run(app);
    bool json = false;
    std::optional<std::pair<std::string, bool>> diffFrom;   // path, next
    for (std::size_t i = 0; i < args.size(); ++i) {
        QString problem;
        if (args[i] == "--json") {
            json = true;
        } else if ((args[i] == "--next-diff" || args[i] == "--prev-diff") && i + 1 < args.size()) {
            diffFrom = std::make_pair(args[i + 1], args[i] == "--next-diff");
            ++i;
        } else if (!run.takeOption(args, i, problem)) {
            return failLine(Messages::format("cliUnknownOption", QString::fromStdString(args[i])));
        }
        if (!problem.isEmpty()) return failLine(problem);
    }
    if (const int status = run.run()) {
        // Two files: like the window, which moves to its file tab, compare them as files.
        if (status != CompareRun::kFilePair) return status;
        std::vector<std::string> diffArgs = {run.module().state().leftPath, run.module().state().rightPath};
        if (json) diffArgs.push_back("--json");
        return runDiffCommand(app, diffArgs);
    }

    QuorvaneModule& module = run.module();
    if (diffFrom) return printDiffFrom(run, diffFrom->first, diffFrom->second);
    KRootItem& root = *module.iRootItem();
    TreeWriter writer(stdout, module.view());
    writer.setColumns(run.columns());
    if (json) {
        writer.writeJson(root);
    } else {
        writer.writeText(root, run.sideLabel(kSideLeft), run.sideLabel(kSideRight));
        const ComparisonStatus& status = module.status();
        std::printf("%s\n%s\n%s\n", qPrintable(status.header()), qPrintable(status.leftMessage()),
                    qPrintable(status.rightMessage()));
    }
    return root.iState == kStateEqual ? 0 : 1;
}

}  // namespace qv
