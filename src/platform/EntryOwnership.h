#pragma once
// Who owns an entry and what its permission bits allow, with the owner's
// and group's names as the system's user database gives them.

#include <cstdint>
#include <string>

namespace qv::platform {

struct EntryOwnership {
    std::uint32_t mode = 0;       // the whole st_mode (type and permission bits)
    std::uint32_t uid = 0, gid = 0;
    std::string user, group;      // "" when the database has no name for the number
};

// Returns 0 and fills `out`, or an errno value.
int readOwnership(const std::string& path, bool followLinks, EntryOwnership& out);

// "rwxr-xr-x" for the permission bits of a mode, set-id and sticky bits shown as ls shows them.
std::string permissionText(std::uint32_t mode);

}  // namespace qv::platform
