#pragma once
// Temporary files this program leaves in the system's temporary folder are
// named "quorvane-KIND-XXXXXX"; a later start moves the ones no run still
// uses to the trash. The temporary folder is shared with every other program
// and often holds the user's own work, so only that exact form, directly in
// the folder, is ever taken: a user's "quorvane-notes.txt" or a checkout of
// ours under /tmp stays where it is. A file in use is held with a shared
// lock while its run needs it.

#include <string>
#include <string_view>

namespace qv::platform {

// The template of a temporary of kind `kind` (a short lowercase word), with
// the six X's that QTemporaryFile and mkstemp replace.
std::string temporaryFolderTemplate(std::string_view kind);

// Whether `name` has the form that template takes once filled in.
bool isOwnTemporaryName(std::string_view name);

// Holds the open temporary `fd` as in use until it is closed.
void markInUse(int fd);

// Moves to the trash every regular file directly in `folder` whose name has
// our temporaries' form, that belongs to the user running this, and that no
// process holds in use. Links are never followed. Failures are skipped.
// Returns how many files moved.
int trashOwnTemporaries(const std::string& folder);

}  // namespace qv::platform
