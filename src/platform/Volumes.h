#pragma once
// Questions about the file system that holds a path.

#include <string>
#include <string_view>

namespace qv::platform {

struct MountInfo {
    std::string mountPoint;   // "" when unknown
    std::string fsType;
    std::string source;
    bool readOnly = false;
};

// The mount that holds `path` (the longest mount point above its resolved
// form, from /proc/self/mountinfo).
MountInfo mountOf(const std::string& path);

// The same choice among the lines of a mountinfo table, for a path already resolved.
MountInfo mountAmong(std::string_view mountinfo, const std::string& resolvedPath);

// Whether names differing only in letter case are different names there.
// vfat, exfat and SMB shares fold case, and so do ext4 folders marked casefold.
bool isCaseSensitive(const std::string& path);

}  // namespace qv::platform
