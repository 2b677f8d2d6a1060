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

namespace qv::platform {
class RunLock;
}

namespace qv {

class CompareRun;

struct MergeRunOptions {
    bool execute = false;
    bool json = false;
    std::optional<std::string> archive;   // "trash", "none" or a folder; unset: the stored setting
    bool dontOverwriteEqual = false;
    // Extra members of the JSON object and the first line of the text report.
    std::string jsonHead;
    QString textHead;
};

// Takes an option the run shares between commands; false when it is not one.
bool takeMergeOption(const std::vector<std::string>& args, std::size_t& i, MergeRunOptions& options, QString& problem);

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
