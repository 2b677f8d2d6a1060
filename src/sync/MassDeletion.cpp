#include "sync/MassDeletion.h"

#include "engine/KRootItem.h"
#include "sync/KMergeItem.h"

namespace qv {
namespace {

// An entry and, for a folder, everything in it on that side.
std::uint64_t entriesOf(const KItem& item, int side) {
    if (!item.hasSide(side)) return 0;
    const FolderPart* folder = item.folderIfAny();
    if (!folder) return 1;
    return 1 + (side == kSideLeft ? folder->iFiles1 + folder->iFolders1 : folder->iFiles2 + folder->iFolders2);
}

std::uint64_t sideEntries(const KRootItem& root, int side) {
    const FolderPart* folder = root.folderIfAny();
    if (!folder) return 0;
    return side == kSideLeft ? folder->iFiles1 + folder->iFolders1 : folder->iFiles2 + folder->iFolders2;
}

// The side a row deletes on (a bit set), and the side a copy writes to.
int deletedSides(int action, int process) {
    switch (action) {
    case kDeleteRight: return kSideRight;
    case kDeleteLeft: return kSideLeft;
    case kDeleteBoth: return ((process & 1) ? kSideLeft : 0) | ((process & 2) ? kSideRight : 0);
    default: return 0;
    }
}

int copyDestination(int action) {
    switch (action) {
    case kCopyToRight: case kCopyAsToRight: case kAliasToRight: return kSideRight;
    case kCopyToLeft: case kCopyAsToLeft: case kAliasToLeft: return kSideLeft;
    default: return 0;
    }
}

}  // namespace

std::vector<MassDeletion> deletionsOf(const std::vector<KMergeItem>& rows, const KRootItem& root) {
    std::vector<MassDeletion> sides = {{kSideLeft, 0, sideEntries(root, kSideLeft)},
                                       {kSideRight, 0, sideEntries(root, kSideRight)}};
    for (const KMergeItem& row : rows) {
        if (row.iProcess == 0) continue;
        const int deleted = deletedSides(row.action, row.iProcess);
        for (MassDeletion& s : sides)
            if (deleted & s.side) s.removed += entriesOf(*row.iItem, s.side);
        if (const int destination = copyDestination(row.action))
            sides[destination == kSideLeft ? 0 : 1].removed += row.removedEntries();
    }
    return sides;
}

std::vector<MassDeletion> massDeletions(const std::vector<KMergeItem>& rows, const KRootItem& root) {
    std::vector<MassDeletion> out;
    for (const MassDeletion& s : deletionsOf(rows, root))
        if (s.removed >= kMassDeletionMinimum && 2 * s.removed > s.entries) out.push_back(s);
    return out;
}

}  // namespace qv
