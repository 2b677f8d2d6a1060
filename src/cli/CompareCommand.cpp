#include "cli/CompareCommand.h"

#include "base/Messages.h"
#include "cli/CliOutput.h"
#include "cli/CommandLine.h"
#include "cli/CompareRun.h"
#include "cli/DiffCommand.h"
#include "cli/TerminalColour.h"
#include "cli/TreeWriter.h"
#include "engine/DiffNavigation.h"

#include <QCoreApplication>

#include <cstdio>
#include <memory>
#include <unistd.h>

namespace qv {
namespace {

// Prints the path of the next or previous difference from a row; 1 when there is none.
int printDiffFrom(CompareRun& run, const std::string& path, bool next) {
    KItem* from = run.nodeAtPath(path);
    if (!from) return failLine(Messages::format("cliNoSuchPath", QString::fromStdString(path)));
    ViewFilter& view = run.module().view();
    KItem* found = next ? GetNextDiff(from, true, view) : GetPrevDiff(from, true, view);
    if (!found) {
        printError(Messages::format("cliNoDifference", QString::fromStdString(path)));
        return 1;
    }
    std::printf("%s\n", found->iPath().c_str());
    return 0;
}

struct CompareOptions {
    bool json = false, all = false;
    std::string nextDiff, prevDiff, colour = "auto";
    bool hasNext = false, hasPrev = false;
};

int runCompare(QCoreApplication& app, CompareRun& run, const CompareOptions& o, const DiffOptions& fileOptions) {
    if (const int status = run.run()) {
        // Two files: like the window, which moves to its file tab, compare them as files.
        if (status != CompareRun::kFilePair) return status;
        DiffOptions files = fileOptions;
        files.paths = {run.module().state().leftPath, run.module().state().rightPath};
        files.json = o.json;
        files.colour = o.colour;
        return runDiff(app, files);
    }
    QuorvaneModule& module = run.module();
    if (o.hasNext || o.hasPrev) return printDiffFrom(run, o.hasNext ? o.nextDiff : o.prevDiff, o.hasNext);
    if (o.all) run.listOneSidedFolders();
    KRootItem& root = *module.iRootItem();
    TreeWriter writer(stdout, module.view());
    writer.setColumns(run.columns());
    if (o.json) {
        writer.writeJson(root);
    } else {
        writer.setColour(useColour(o.colour, STDOUT_FILENO));
        writer.writeText(root, run.sideLabel(kSideLeft), run.sideLabel(kSideRight));
        const ComparisonStatus& status = module.status();
        std::printf("%s\n%s %s\n%s %s\n", qPrintable(status.header()), qPrintable(Messages::text("cliLeftSide")),
                    qPrintable(status.leftMessage().trimmed()), qPrintable(Messages::text("cliRightSide")),
                    qPrintable(status.rightMessage().trimmed()));
        if (module.iAnyFilterOn()) std::printf("%s\n", qPrintable(Messages::text("cliFilterMark")));
    }
    return root.iState == kStateEqual ? 0 : 1;
}

}  // namespace

void addCompareCommand(CommandLine& cli, QCoreApplication& app) {
    auto run = std::make_shared<CompareRun>(app, "compare");
    auto o = std::make_shared<CompareOptions>();
    CLI::App* command = cli.addCommand(cli.root(), "compare", "cliCmdCompare", "cliExampleCompare",
                                       [&app, run, o] { return runCompare(app, *run, *o, DiffOptions()); });
    run->addOptions(*command);
    described(command->add_flag("--json", o->json), "cliOptJson");
    described(command->add_flag("--all", o->all), "cliOptAll");
    described(command->add_option("--color,--colour", o->colour), "cliOptColor")
        ->type_name("WHEN")->check(CLI::IsMember({"auto", "always", "never"}));
    CLI::Option* next = described(command->add_option("--next-diff", o->nextDiff), "cliOptNextDiff")->type_name("PATH");
    CLI::Option* prev = described(command->add_option("--prev-diff", o->prevDiff), "cliOptPrevDiff")->type_name("PATH");
    next->excludes(prev);
    command->parse_complete_callback([o, next, prev] {
        o->hasNext = next->count() > 0;
        o->hasPrev = prev->count() > 0;
    });
}

}  // namespace qv
