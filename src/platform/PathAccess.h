#pragma once
// Two questions about a path the way the kernel answers them for this
// process: may it be read (or written), and where does it really lead.

#include <string>

namespace qv::platform {

// access(2): readable (and, for a folder, searchable) or, with `forWrite`,
// writable by the real user of this process.
bool hasAccess(const std::string& path, bool forWrite);

// The path with every link, "." and ".." resolved (realpath(3)); 0 or an errno value.
int canonicalPath(const std::string& path, std::string& out);

}  // namespace qv::platform
