#pragma once
// One row of an execution: an item of the action list, which of its two
// halves run, and what came of it.

#include "engine/KItem.h"

#include <QString>

#include <cstdint>
#include <string>
#include <vector>

namespace qv {

// What executing one row gave.
enum MergeResult : int {
    kResultFailed = 0,
    kResultDone = 1,
    kResultAlreadyEqual = 2,       // the destination was equal; only attributes copied
    kResultEqualByMetadata = 3,    // equal by size and date only; only attributes copied
    kResultCancelled = 4,
};

// An entry a copy takes away to make room because the source lacks it (the
// contents of a folder replaced by a file, what only the destination's
// folder held): its path below the compared folders, how many entries go
// with it (itself included) and their bytes.
struct PlannedRemoval {
    std::string path;
    std::uint64_t entries = 0;
    std::uint64_t bytes = 0;
};

// Row status: not yet run, failed (or cancelled), done.
enum MergeRowStatus : int { kRowPending = -1, kRowFailed = 0, kRowDone = 1 };

struct KMergeItem {
    KItem* iItem = nullptr;
    int action = kNone;        // the item's action when the row was made
    int iStatus = kRowPending;
    int iProcess = 3;          // bit 0: run the left part, bit 1: the right part
    int code = -1;             // the MergeResult of the last run, -1 before
    std::string iANameL, iANameR;   // paths relative to the roots, with " ➜ new name" for renames
    std::uint64_t iSize = 0;   // the weight of the row in the progress
    QString iRenameToLeft, iRenameToRight;
    QString iActionError;
    std::vector<PlannedRemoval> removals;   // what the copy removes to make room, from the comparison

    std::uint64_t removedEntries() const;
    std::uint64_t removedBytes() const;

    // The row of an item with an action; `sizeOf` gives a side's entry size.
    static KMergeItem MergeItemWithNItem(KItem* item);
};

}  // namespace qv
