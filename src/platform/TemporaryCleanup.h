#pragma once
// Temporary files this program leaves in the system's temporary folder
// carry a name prefix; a later start moves the ones no run still uses to the
// trash. A file in use is held with a shared lock while its run needs it.

#include <string>
#include <string_view>

namespace qv::platform {

// Holds the open temporary `fd` as in use until it is closed.
void markInUse(int fd);

// Moves to the trash every regular file below `folder` (at any depth) whose
// name begins with `prefix`, that belongs to the user running this, and
// that no process holds in use. Links are never followed, neither to files
// nor into folders; folders of other users and trash folders are not
// entered. Failures are skipped. Returns how many files moved.
int trashOwnTemporaries(const std::string& folder, std::string_view prefix);

}  // namespace qv::platform
