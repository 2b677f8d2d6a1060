#pragma once
#include "platform/FileSystem.h"

#include <string>

namespace qv {

// Collapses repeated slashes and "." components, resolves ".." textually and
// drops a trailing slash ("/" stays "/"). Relative paths keep their form.
std::string standardizePath(const std::string& path);

// Where a path leads when it is a symbolic link (one step; a relative
// destination is taken from the link's folder); any other path comes back
// standardised. A path that cannot be examined comes back unchanged.
std::string StringByResolvingSymlinksAndAliases(const std::string& path,
                                                platform::FileSystem& fs = platform::systemFileSystem());

// Whether the folder `path` is `folder` itself or lies somewhere inside it,
// judged by device and inode up the chain of parents, so that links and
// bind mounts that lead back into `folder` count too.
bool isSameOrInside(const std::string& path, const std::string& folder,
                    platform::FileSystem& fs = platform::systemFileSystem());

// Whether the pair `left`, `right` names `a` and `b`, in either order
// (paths compared standardised); never for a pair with an empty side.
bool isSamePair(const std::string& left, const std::string& right, const std::string& a, const std::string& b);

std::string joinPath(const std::string& folder, std::string_view name);
std::string_view lastPathComponent(std::string_view path);
// The folder that holds a path: "/" for an entry at the top, "." for a bare name.
std::string parentPath(std::string_view path);

}  // namespace qv
