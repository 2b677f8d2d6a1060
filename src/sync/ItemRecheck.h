#pragma once
// Whether an entry on disk is still what the comparison saw. Execution asks
// this just before it acts, so an entry changed since the comparison is
// reported instead of being overwritten or deleted blindly.

#include "engine/KItem.h"
#include "platform/FileSystem.h"

namespace qv {

enum class Recheck {
    Unchanged,    // as the comparison saw it (present or absent)
    Vanished,     // the comparison saw it, it is gone
    Appeared,     // the comparison saw nothing, something is there now
    Changed,      // kind (file, folder, link), size or modification time differ
    Unreadable,
};

// Compares what stands at the side's entry of `item` now (`error`: 0 with
// `now` filled, or the errno of looking) with the tree. Folders are compared
// by kind only: their times change whenever their contents do. A link is
// a link whatever the comparison made of what it points to.
Recheck recheckSide(const KItem& item, int side, int error, const platform::EntryStat& now);

// What the tree holds for the side's entry, as the file system would name its kind.
platform::EntryType kindInTree(const KItem& item, int side);

}  // namespace qv
