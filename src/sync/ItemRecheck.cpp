#include "sync/ItemRecheck.h"

#include <cerrno>

namespace qv {

Recheck recheckSide(const KItem& item, int side, const std::string& path, platform::FileSystem& fs,
                    platform::EntryStat* found) {
    platform::EntryStat now;
    const int error = fs.statPath(path, false, now);
    if (found) *found = error ? platform::EntryStat{} : now;
    const bool seen = item.hasSide(side);
    if (error == ENOENT || error == ENOTDIR) return seen ? Recheck::Vanished : Recheck::Unchanged;
    if (error) return Recheck::Unreadable;
    if (!seen) return Recheck::Appeared;
    const bool folder = side == kSideLeft ? item.iDir1 : item.iDir2;
    // The tree holds a link to a folder as a folder only when told to follow links.
    const bool folderNow = now.type == platform::EntryType::Folder;
    if (folder != folderNow && !(folder && now.type == platform::EntryType::Symlink)) return Recheck::Changed;
    if (folderNow) return Recheck::Unchanged;
    const std::int64_t size = side == kSideLeft ? item.iSize1 : item.iSize2;
    const std::int64_t date = side == kSideLeft ? item.iDate1 : item.iDate2;
    if (folder) return Recheck::Unchanged;
    if (now.size != size || now.mtimeNs != date) return Recheck::Changed;
    return Recheck::Unchanged;
}

}  // namespace qv
