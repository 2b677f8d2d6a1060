#pragma once
// Whether an entry on disk is still what the comparison saw. Execution asks
// this just before it acts, so a file changed since the comparison is
// reported instead of being overwritten or deleted blindly.

#include "engine/KItem.h"
#include "platform/FileSystem.h"

namespace qv {

enum class Recheck {
    Unchanged,    // as the comparison saw it (present or absent)
    Vanished,     // the comparison saw it, it is gone
    Appeared,     // the comparison saw nothing, something is there now
    Changed,      // kind, size or modification time differ
    Unreadable,
};

// Compares the side's entry of `item` at `path` with the tree. Folders are
// compared by kind only: their times change whenever their contents do.
// `found`, when given, receives what stands at the path (type Other when nothing does).
Recheck recheckSide(const KItem& item, int side, const std::string& path, platform::FileSystem& fs,
                    platform::EntryStat* found = nullptr);

}  // namespace qv
