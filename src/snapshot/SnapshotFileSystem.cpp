#include "snapshot/SnapshotFileSystem.h"

#include "snapshot/KSnapshot.h"

#include <cerrno>

namespace qv {

void SnapshotFileSystem::fillStat(const KSnapURL& entry, platform::EntryStat& out) {
    out = platform::EntryStat{};
    out.type = entry.iFolder ? platform::EntryType::Folder
                             : (entry.iAlias ? platform::EntryType::Symlink : platform::EntryType::File);
    // A recorded folder answers its recorded total, as a snapshot has no other size for it.
    out.size = static_cast<std::int64_t>(entry.iDataSize);
    out.mtimeNs = entry.iModDate == kNoRecordedDate ? platform::kNoTime : entry.iModDate;
    out.btimeNs = entry.iCreDate == kNoRecordedDate ? platform::kNoTime : entry.iCreDate;
    out.atimeNs = entry.iAccDate == kNoRecordedDate ? platform::kNoTime : entry.iAccDate;
}

void SnapshotFileSystem::listFolder(const std::string& path, platform::Listing& out, unsigned) {
    out.clear();
    const KSnapURL* folder = m_snapshot->entryAt(path);
    if (!folder || !folder->iFolder) {
        out.folderError = folder ? ENOTDIR : ENOENT;
        return;
    }
    for (const KSnapURL* child : folder->iChildren) {
        platform::ListedEntry e;
        e.nameOffset = static_cast<std::uint32_t>(out.names.size());
        e.nameLength = static_cast<std::uint16_t>(child->iName.size());
        fillStat(*child, e.stat);
        out.names.append(child->iName);
        out.entries.push_back(e);
    }
}

int SnapshotFileSystem::statPath(const std::string& path, bool, platform::EntryStat& out, unsigned) {
    const KSnapURL* entry = m_snapshot->entryAt(path);
    if (!entry) return ENOENT;
    fillStat(*entry, out);
    return 0;
}

int SnapshotFileSystem::readLink(const std::string& path, std::string& target) {
    const KSnapURL* entry = m_snapshot->entryAt(path);
    if (!entry) return ENOENT;
    // Snapshots made before destinations were recorded have none to give.
    if (!entry->iAlias || entry->iLinkTarget.empty()) return EINVAL;
    target.assign(entry->iLinkTarget);
    return 0;
}

std::optional<std::vector<std::string>> SnapshotFileSystem::readTags(const std::string& path, bool) {
    const KSnapURL* entry = m_snapshot->entryAt(path);
    if (!entry || !entry->iTags) return std::nullopt;
    return *entry->iTags;
}

}  // namespace qv
