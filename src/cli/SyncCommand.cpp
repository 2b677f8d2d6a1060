#include "cli/SyncCommand.h"

#include "base/Messages.h"
#include "base/Settings.h"
#include "cli/CliOutput.h"
#include "cli/CompareRun.h"
#include "cli/MergeRun.h"
#include "platform/RunLock.h"
#include "sync/MirrorPlanner.h"

#include <QCoreApplication>

namespace qv {

int runSyncCommand(QCoreApplication& app, const std::vector<std::string>& args) {
    CompareRun run(app);
    MergeRunOptions options;
    std::string type, direction;
    bool deleteOrphans = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        QString problem;
        const std::string& a = args[i];
        if ((a == "--type" || a == "--direction") && i + 1 < args.size()) {
            (a == "--type" ? type : direction) = args[++i];
        } else if (a == "--delete-orphans") {
            deleteOrphans = true;
        } else if (!takeMergeOption(args, i, options, problem) && !run.takeOption(args, i, problem)) {
            return failLine(Messages::format("cliUnknownOption", QString::fromStdString(a)));
        }
        if (!problem.isEmpty()) return failLine(problem);
    }
    if (type != "mirror" && type != "update") return failLine(Messages::text("cliSyncType"));
    const int syncType = type == "mirror" ? kMirrorSync : kUpdateSync;
    int mirror = direction == "lr" ? kMirrorToRight : direction == "rl" ? kMirrorToLeft : direction == "both" ? kMirrorBoth : 0;
    if (mirror == 0) return failLine(Messages::text("cliSyncDirection"));
    // A mirror has one source; only an update can run both ways.
    if (mirror == kMirrorBoth && syncType == kMirrorSync) return failLine(Messages::text("cliMirrorBoth"));
    if (deleteOrphans && mirror != kMirrorBoth) mirror |= kMirrorDeleteOrphans;

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

}  // namespace qv
