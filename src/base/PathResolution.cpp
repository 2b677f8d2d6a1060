#include "base/PathResolution.h"

#include <climits>
#include <cstdlib>
#include <vector>

namespace qv {

std::string standardizePath(const std::string& path) {
    if (path.empty()) return path;
    const bool absolute = path[0] == '/';
    std::vector<std::string_view> parts;
    std::string_view rest(path);
    while (!rest.empty()) {
        size_t slash = rest.find('/');
        std::string_view part = rest.substr(0, slash);
        rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
        if (part.empty() || part == ".") continue;
        if (part == ".." && absolute) {
            if (!parts.empty()) parts.pop_back();
            continue;
        }
        if (part == ".." && !parts.empty() && parts.back() != "..") {
            parts.pop_back();
            continue;
        }
        parts.push_back(part);
    }
    std::string out(absolute ? 1 : 0, '/');
    for (size_t i = 0; i < parts.size(); ++i) {
        if (i) out += '/';
        out += parts[i];
    }
    if (out.empty()) out.assign(1, absolute ? '/' : '.');
    return out;
}

std::string joinPath(const std::string& folder, std::string_view name) {
    std::string out;
    out.reserve(folder.size() + 1 + name.size());
    out = folder;
    if (out.empty() || out.back() != '/') out += '/';
    out.append(name);
    return out;
}

std::string_view lastPathComponent(std::string_view path) {
    while (path.size() > 1 && path.back() == '/') path.remove_suffix(1);
    size_t slash = path.rfind('/');
    if (slash == std::string_view::npos || path.size() == 1) return path;
    return path.substr(slash + 1);
}

std::string parentPath(std::string_view path) {
    const auto slash = path.rfind('/');
    if (slash == std::string_view::npos) return ".";
    return slash == 0 ? std::string("/") : std::string(path.substr(0, slash));
}

bool isSamePair(const std::string& left, const std::string& right, const std::string& a, const std::string& b) {
    const std::string l = standardizePath(left), r = standardizePath(right);
    if (l.empty() || r.empty()) return false;
    const std::string sa = standardizePath(a), sb = standardizePath(b);
    return (l == sa || l == sb) && (r == sa || r == sb);
}

std::string StringByResolvingSymlinksAndAliases(const std::string& path, platform::FileSystem& fs) {
    std::string standard = standardizePath(path);
    if (standard.empty() || standard[0] != '/') return path;
    platform::EntryStat st;
    if (fs.statPath(standard, false, st) != 0) return path;
    if (st.type != platform::EntryType::Symlink) return standard;
    std::string target;
    if (fs.readLink(standard, target) != 0) {
        char resolved[PATH_MAX];
        if (::realpath(standard.c_str(), resolved)) return standardizePath(resolved);
        return standard;
    }
    if (target.empty()) return standard;
    if (target[0] != '/') {
        std::string_view folder(standard);
        folder = folder.substr(0, folder.rfind('/'));
        target = joinPath(folder.empty() ? std::string("/") : std::string(folder), target);
    }
    return standardizePath(target);
}

bool isSameOrInside(const std::string& path, const std::string& folder, platform::FileSystem& fs) {
    platform::EntryStat target;
    if (fs.statPath(folder, true, target) != 0) return false;
    // Walk up from the resolved path: "/a/b/.." names the parent of what b leads to.
    std::string current = path;
    for (int depth = 0; depth < 4096; ++depth) {
        platform::EntryStat st;
        if (fs.statPath(current, true, st) != 0) return false;
        if (st.device == target.device && st.inode == target.inode) return true;
        platform::EntryStat up;
        const std::string parent = current + "/..";
        if (fs.statPath(parent, true, up) != 0 || (up.device == st.device && up.inode == st.inode)) return false;
        current = parent;
    }
    return false;
}

}  // namespace qv
