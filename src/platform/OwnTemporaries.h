#pragma once
// The temporary files this program writes beside their destination, and
// how a later run tells a dead writer's temporary from a user's file. A
// temporary is ours only when all of it holds: its name is the prefix and
// twelve letters or digits, it carries the marker attribute, and nobody
// holds its lock (every live writer locks it before marking it). Anything
// else is the user's, whatever its name, and is compared, copied and kept.
// Where a file system keeps no extended attributes a temporary cannot be
// marked, and one left by a killed run there stays until removed by hand.

#include <string>
#include <string_view>

namespace qv::platform {

constexpr std::string_view kTemporaryPrefix = ".qvwrite-";

// A fresh name of that form.
std::string temporaryName();
// A fresh name made of `prefix` and twelve random letters or digits.
std::string randomName(std::string_view prefix);

// Whether a name has the form of one of our temporaries (not a proof).
bool hasTemporaryForm(std::string_view name);

// Marks an open temporary as ours; unmarks it before it takes its final name.
// Marking fails quietly where the file system keeps no attributes.
void markTemporary(int fd);
void unmarkTemporary(int fd);

// Whether the entry at `name` in folder `folder` is a marked temporary (its lock aside).
bool isMarkedTemporary(int folder, const std::string& name);

// Removes from an open folder the temporaries of writers that died: names
// of the form, marked, unlocked.
void removeStaleTemporaries(int folder);
void removeStaleTemporaries(const std::string& folder);

}  // namespace qv::platform
