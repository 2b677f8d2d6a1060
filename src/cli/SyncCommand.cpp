#include "cli/SyncCommand.h"

#include "base/Messages.h"
#include "base/Settings.h"
#include "cli/CliOutput.h"
#include "cli/CommandLine.h"
#include "cli/CompareRun.h"
#include "cli/MergeRun.h"
#include "platform/RunLock.h"
#include "sync/MirrorPlanner.h"

#include <QCoreApplication>

#include <memory>

namespace qv {

namespace {

struct SyncOptions {
    MergeRunOptions merge;
    std::string type, direction;
    bool deleteOrphans = false;
};

int runSync(CompareRun& run, SyncOptions& s) {
    MergeRunOptions& options = s.merge;
    const std::string& type = s.type;
    const std::string& direction = s.direction;
    const bool deleteOrphans = s.deleteOrphans;
    if (type != "mirror" && type != "update") return failLine(Messages::text("cliSyncType"));
    const int syncType = type == "mirror" ? kMirrorSync : kUpdateSync;
    int mirror = direction == "lr" ? kMirrorToRight : direction == "rl" ? kMirrorToLeft : direction == "both" ? kMirrorBoth : 0;
    if (mirror == 0) return failLine(Messages::text("cliSyncDirection"));
    // A mirror has one source; only an update can run both ways.
    if (mirror == kMirrorBoth && syncType == kMirrorSync) return failLine(Messages::text("cliMirrorBoth"));
    if (deleteOrphans && mirror != kMirrorBoth) mirror |= kMirrorDeleteOrphans;
    run.guardNesting(options.allowNested);

    // Held from before the comparison to the end, so that the plan is made
    // and carried out while no other run changes these folders.
    platform::RunLock lock;
    if (options.execute)
        if (const int status = lockFoldersOf(run, lock)) return status;
    if (const int status = run.run())
        return status == CompareRun::kFilePair ? failLine(Messages::text("SelCmpDirs")) : status;
    QuorvaneModule& module = run.module();
    const MirrorPlanner planner(syncType, mirror, Settings::instance().boolValue(QStringLiteral("mirrorOnlyOrphan")));
    std::vector<KItem*> cantSync;
    planner.SelectForMirror(module.iParentItem(), cantSync);
    MergeList& list = module.mergeList();
    list.UpdateMergedArrayFromCHildren(module.iParentItem());

    const char* directionKey = mirror & kMirrorToRight ? (mirror & kMirrorToLeft ? "both" : "lr") : "rl";
    options.jsonHead = "\"type\":\"" + type + "\",\"direction\":\"" + directionKey + "\",\"deleteOrphans\":" +
                       ((mirror & kMirrorDeleteOrphans) ? "true" : "false") + ",";
    options.textHead = Messages::format("cliSyncHead", Messages::text(syncType == kMirrorSync ? "cliMirror" : "cliUpdate"),
                                        Messages::text(directionKey == std::string("lr")   ? "cliLeftToRight"
                                                       : directionKey == std::string("rl") ? "cliRightToLeft"
                                                                                           : "cliBothWays"));
    if (mirror & kMirrorDeleteOrphans) options.textHead += Messages::text("cliDeletingOrphans");
    return runMerge(run, list, options, MirrorPlanner::undecidedItems(cantSync));
}

}  // namespace

void addSyncCommand(CommandLine& cli, QCoreApplication& app) {
    auto run = std::make_shared<CompareRun>(app, "sync");
    auto o = std::make_shared<SyncOptions>();
    CLI::App* command = cli.addCommand(cli.root(), "sync", "cliCmdSync", "cliExampleSync",
                                       [run, o] { return runSync(*run, *o); });
    run->addOptions(*command);
    described(command->add_option("--type", o->type), "cliOptSyncType")->type_name("mirror|update");
    described(command->add_option("--direction", o->direction), "cliOptDirection")->type_name("lr|rl|both");
    described(command->add_flag("--delete-orphans", o->deleteOrphans), "cliOptDeleteOrphans");
    addMergeOptions(*command, o->merge);
}

}  // namespace qv
