#include "sync/ItemRecheck.h"

#include <cerrno>

namespace qv {

platform::EntryType kindInTree(const KItem& item, int side) {
    if (item.isLink(side)) return platform::EntryType::Symlink;
    if (side == kSideLeft ? item.iDir1 : item.iDir2) return platform::EntryType::Folder;
    return platform::EntryType::File;
}

Recheck recheckSide(const KItem& item, int side, int error, const platform::EntryStat& now) {
    const bool seen = item.hasSide(side);
    if (error == ENOENT) return seen ? Recheck::Vanished : Recheck::Unchanged;
    // A folder on the way that became a file or a link: the entry is not where it was.
    if (error == ENOTDIR || error == ELOOP) return Recheck::Changed;
    if (error) return Recheck::Unreadable;
    if (!seen) return Recheck::Appeared;
    const platform::EntryType kind = kindInTree(item, side);
    // Special files (sockets, pipes, devices) are listed as files.
    const platform::EntryType kindNow = now.type == platform::EntryType::Other ? platform::EntryType::File : now.type;
    if (kind != kindNow) return Recheck::Changed;
    // A link the comparison followed into a folder was measured as that folder.
    const bool folderInTree = side == kSideLeft ? item.iDir1 : item.iDir2;
    if (kind == platform::EntryType::Folder || folderInTree) return Recheck::Unchanged;
    const std::int64_t size = side == kSideLeft ? item.iSize1 : item.iSize2;
    const std::int64_t date = side == kSideLeft ? item.iDate1 : item.iDate2;
    if (now.size != size || now.mtimeNs != date) return Recheck::Changed;
    return Recheck::Unchanged;
}

}  // namespace qv
