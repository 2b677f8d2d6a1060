#pragma once
// Extended attributes in the user namespace, and the tags that desktop file
// managers keep in "user.xdg.tags" (comma-separated names).

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qv::platform {

using AttributeMap = std::map<std::string, std::string>;

// Every "user.*" attribute of the entry, name to bytes. A file system that
// has no extended attributes answers with an empty map and 0; any other
// failure with its errno.
int readUserAttributes(const std::string& path, bool followLinks, AttributeMap& out);
// The same for an open file or folder.
int readUserAttributes(int fd, AttributeMap& out);

// The tag names in stored order; nullopt when the entry carries no tags.
std::optional<std::vector<std::string>> readTags(const std::string& path, bool followLinks);
// The tag names of a stored "user.xdg.tags" value, as readTags gives them.
std::optional<std::vector<std::string>> parseTags(std::string_view value);
// Appends the raw tags value of `name` in the open folder `dirFd` (the entry
// itself, never a link's destination) to `out`. Returns 0, or an errno value
// (ENODATA when it has none).
int appendTagsAt(int dirFd, const char* name, std::string& out);

// Stores the tag names (joined with commas), never following a link; no
// names removes the attribute. Returns 0 or an errno value.
int writeTags(const std::string& path, const std::vector<std::string>& tags);

}  // namespace qv::platform
