#pragma once
// Plain looks at the file system for checking what a test left behind, by
// absolute path and without following links.

#include <cstdint>
#include <set>
#include <string>

namespace qv::test {

// The bytes of a file ("" when it cannot be read).
std::string readAll(const std::string& path);
bool exists(const std::string& path);
bool isFolder(const std::string& path);
// The entries of a folder, "." and ".." left out.
std::set<std::string> namesIn(const std::string& folder);
// Modification time in nanoseconds since the epoch, -1 when nothing is there.
std::int64_t mtimeNsOf(const std::string& path);
// The stored target of a link, "<not a link>" otherwise.
std::string linkTarget(const std::string& path);

}  // namespace qv::test
