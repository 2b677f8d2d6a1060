#pragma once
// Keeps two runs from changing the same folders at once. A run locks each
// of its roots for itself and every folder above them for sharing, so a
// second run whose root is the same folder, lies inside one or holds one
// finds a lock taken, while runs on unrelated folders go ahead. The locks
// are flock(2) locks on files named after each folder's device and inode,
// in a private folder of the user's (see lockFolder); the system drops them
// when the process ends, however it ends.

#include "platform/PathWalk.h"

#include <string>
#include <vector>

namespace qv::platform {

class RunLock {
public:
    // Takes the locks for `roots` without waiting. Returns 0, EWOULDBLOCK
    // when another run holds a lock in the way (`busy` then names the root
    // concerned), or the errno that kept a lock from being taken.
    int acquire(const std::vector<std::string>& roots, std::string& busy);
    // Drops every lock taken.
    void release() { m_held.clear(); }

private:
    std::vector<UniqueFd> m_held;
};

// $XDG_RUNTIME_DIR/quorvane, or without a runtime folder
// $XDG_CACHE_HOME/quorvane/locks (~/.cache/quorvane/locks).
std::string lockFolder();

}  // namespace qv::platform
