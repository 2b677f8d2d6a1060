#pragma once
// What the sync and actions commands share once the tree carries its
// actions: the plan printed (groups, rows, side summaries, undecided
// items), and with --execute the run itself with progress on a terminal,
// interruption by Ctrl-C, and the result of every row.

#include "sync/KMerge.h"
#include "sync/MergeList.h"
#include "sync/MirrorPlanner.h"

#include <optional>
#include <string>
#include <vector>

class QCoreApplication;

namespace CLI {
class App;
}

namespace qv::platform {
class RunLock;
}

namespace qv {

class CompareRun;

struct MergeRunOptions {
    bool execute = false;
    bool dryRun = false;
    bool json = false;
    bool allowNested = false;   // one root inside the other: run all the same, the inner root left out
    bool forceDelete = false;   // past the guard against deleting most of the destination
    std::string archive;   // "trash", "none" or a folder; "": the stored setting
    bool dontOverwriteEqual = false;
    // Extra members of the JSON object and the first line of the text report.
    std::string jsonHead;
    QString textHead;
};

// Declares the options the sync and actions commands share.
void addMergeOptions(CLI::App& command, MergeRunOptions& options);

// Refuses a run whose one folder lies inside the other unless it is
// allowed; returns 0, or 2 after saying why not.
int checkNesting(const CompareRun& run, const MergeRunOptions& options);

// Takes the run locks of the folders a run will change (see
// platform/RunLock.h). Returns 0, or 2 after saying that another run holds
// them or why they could not be taken.
int lockFoldersOf(const CompareRun& run, platform::RunLock& lock);

// Reports the list's plan and, when asked, executes it. Returns the exit
// status: 0 every row done (or a dry run), 1 some row failed, 2 nothing
// could start, 128 + the signal when interrupted.
int runMerge(CompareRun& run, MergeList& list, const MergeRunOptions& options,
             const std::vector<UndecidedItem>& notSynced = {});

}  // namespace qv
