#include "platform/PathWalk.h"

#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <vector>

namespace qv::platform {
namespace {

// Well below PATH_MAX, so that a piece and the name after it always fit.
constexpr std::size_t kPieceLimit = PATH_MAX - NAME_MAX - 2;

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;

// Cleared once the kernel says it has no openat2, so the walk stops asking.
std::atomic<bool> g_haveOpenat2{true};

std::vector<std::string_view> componentsOf(std::string_view relative) {
    std::vector<std::string_view> parts;
    while (!relative.empty()) {
        const std::size_t slash = relative.find('/');
        const std::string_view part = relative.substr(0, slash);
        if (!part.empty() && part != ".") parts.push_back(part);
        if (slash == std::string_view::npos) break;
        relative.remove_prefix(slash + 1);
    }
    return parts;
}

// Tells apart why a component could not be opened as a folder.
int kindError(int folder, const std::string& name, int error) {
    if (error != ELOOP && error != ENOTDIR) return error;
    struct stat st {};
    if (::fstatat(folder, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return error;
    if (S_ISLNK(st.st_mode)) return ELOOP;
    return S_ISDIR(st.st_mode) ? error : ENOTDIR;
}

int openComponent(int folder, const std::string& name, bool create, UniqueFd& out) {
    for (int attempt = 0; attempt < 2; ++attempt) {
        const int fd = ::openat(folder, name.c_str(), kFolderFlags | O_NOFOLLOW);
        if (fd >= 0) {
            out.reset(fd);
            return 0;
        }
        const int error = errno;
        if (error != ENOENT || !create) return kindError(folder, name, error);
        // Made, or made by someone else a moment ago: either way opened again
        // without following, so a link planted in between is refused.
        if (::mkdirat(folder, name.c_str(), 0777) != 0 && errno != EEXIST) return errno;
    }
    return ENOENT;
}

// One component at a time: works on every kernel, and can make folders.
int walkComponents(int base, const std::vector<std::string_view>& parts, UniqueFd& out, bool create) {
    UniqueFd current;
    int at = base;
    for (const std::string_view part : parts) {
        if (part == "..") return EXDEV;
        UniqueFd next;
        if (int error = openComponent(at, std::string(part), create, next)) return error;
        current = std::move(next);
        at = current.get();
    }
    if (!current.valid()) {
        const int fd = ::openat(base, ".", kFolderFlags);
        if (fd < 0) return errno;
        current.reset(fd);
    }
    out = std::move(current);
    return 0;
}

// The whole piece in one call, where the kernel can refuse links and ".." itself.
int openBeneath(int base, const std::string& piece, UniqueFd& out) {
    struct open_how how {};
    how.flags = kFolderFlags;
    how.resolve = RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS;
    const long fd = ::syscall(SYS_openat2, base, piece.c_str(), &how, sizeof how);
    if (fd >= 0) {
        out.reset(static_cast<int>(fd));
        return 0;
    }
    return errno;
}

// Splits the components into pieces that each stay below the length limit.
std::vector<std::vector<std::string_view>> piecesOf(const std::vector<std::string_view>& parts) {
    std::vector<std::vector<std::string_view>> pieces(1);
    std::size_t length = 0;
    for (const std::string_view part : parts) {
        if (length + part.size() + 1 > kPieceLimit && !pieces.back().empty()) {
            pieces.emplace_back();
            length = 0;
        }
        pieces.back().push_back(part);
        length += part.size() + 1;
    }
    return pieces;
}

std::string joined(const std::vector<std::string_view>& parts) {
    std::string out;
    for (const std::string_view part : parts) {
        if (!out.empty()) out += '/';
        out.append(part);
    }
    return out;
}

int openPiece(int base, const std::vector<std::string_view>& parts, UniqueFd& out, bool create) {
    if (g_haveOpenat2.load(std::memory_order_relaxed) && !parts.empty()) {
        const int error = openBeneath(base, joined(parts), out);
        if (error == 0) return 0;
        if (error == ENOSYS) {
            g_haveOpenat2 = false;
        } else if (!(create && error == ENOENT) && error != ELOOP && error != ENOTDIR) {
            return error;
        }
        // Missing folders to make, or an error to name precisely: walk.
    }
    return walkComponents(base, parts, out, create);
}

}  // namespace

void UniqueFd::reset(int fd) {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = fd;
}

int openLongPath(const std::string& path, int flags, UniqueFd& out) {
    if (path.size() < PATH_MAX) {
        const int fd = ::open(path.c_str(), flags | O_CLOEXEC, 0);
        if (fd < 0) return errno;
        out.reset(fd);
        return 0;
    }
    // Piece by piece, each piece resolved by the kernel as a path would be.
    std::vector<std::string_view> parts = componentsOf(path);
    const std::string_view last = parts.empty() ? std::string_view() : parts.back();
    if (!parts.empty()) parts.pop_back();
    UniqueFd folder(::open(path.front() == '/' ? "/" : ".", kFolderFlags));
    if (!folder.valid()) return errno;
    for (const auto& piece : piecesOf(parts)) {
        if (piece.empty()) continue;
        const int fd = ::openat(folder.get(), joined(piece).c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0) return errno;
        folder.reset(fd);
    }
    const int fd = ::openat(folder.get(), last.empty() ? "." : std::string(last).c_str(), flags | O_CLOEXEC, 0);
    if (fd < 0) return errno;
    out.reset(fd);
    return 0;
}

void allowOpenat2(bool allowed) { g_haveOpenat2 = allowed; }

int openFolder(const std::string& path, UniqueFd& out) { return openLongPath(path, kFolderFlags, out); }

int openBelow(int base, std::string_view relative, UniqueFd& out, bool create) {
    const std::vector<std::string_view> parts = componentsOf(relative);
    for (const std::string_view part : parts)
        if (part == "..") return EXDEV;
    UniqueFd current;
    int at = base;
    for (const auto& piece : piecesOf(parts)) {
        UniqueFd next;
        if (int error = openPiece(at, piece, next, create)) return error;
        current = std::move(next);
        at = current.get();
    }
    if (!current.valid()) return walkComponents(base, {}, out, false);
    out = std::move(current);
    return 0;
}

int makeFolderAt(int parent, const std::string& name, UniqueFd& out) {
    if (::mkdirat(parent, name.c_str(), 0777) != 0) return errno;
    return openComponent(parent, name, false, out);
}

int locateBelow(int base, const std::string& basePath, std::string_view relative, HeldEntry& out, bool createFolders) {
    while (!relative.empty() && relative.back() == '/') relative.remove_suffix(1);
    const std::size_t slash = relative.rfind('/');
    const std::string_view name = slash == std::string_view::npos ? relative : relative.substr(slash + 1);
    if (name.empty() || name == "." || name == "..") return EINVAL;
    const std::string_view folder = slash == std::string_view::npos ? std::string_view() : relative.substr(0, slash);
    if (int error = openBelow(base, folder, out.folder, createFolders)) return error;
    out.name = std::string(name);
    out.path = basePath;
    if (out.path.empty() || out.path.back() != '/') out.path += '/';
    out.path.append(relative);
    return 0;
}

int entryAtPath(const std::string& path, HeldEntry& out) {
    std::string trimmed = path;
    while (trimmed.size() > 1 && trimmed.back() == '/') trimmed.pop_back();
    const std::size_t slash = trimmed.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : trimmed.substr(0, slash);
    out.name = slash == std::string::npos ? trimmed : trimmed.substr(slash + 1);
    if (out.name.empty() || out.name == "." || out.name == "..") return EINVAL;
    out.path = trimmed;
    return openFolder(folder, out.folder);
}

int statAt(const EntryAt& entry, EntryStat& out) {
    struct statx sx;
    if (::statx(entry.folder, entry.name.c_str(), AT_SYMLINK_NOFOLLOW | AT_STATX_SYNC_AS_STAT,
                STATX_TYPE | STATX_MODE | STATX_SIZE | STATX_MTIME | STATX_INO, &sx) != 0)
        return errno;
    out = EntryStat{};
    out.mode = sx.stx_mode;
    switch (sx.stx_mode & S_IFMT) {
    case S_IFREG: out.type = EntryType::File; break;
    case S_IFDIR: out.type = EntryType::Folder; break;
    case S_IFLNK: out.type = EntryType::Symlink; break;
    default: out.type = EntryType::Other; break;
    }
    out.size = static_cast<std::int64_t>(sx.stx_size);
    out.mtimeNs = static_cast<std::int64_t>(sx.stx_mtime.tv_sec) * 1000000000LL + sx.stx_mtime.tv_nsec;
    out.device = (static_cast<std::uint64_t>(sx.stx_dev_major) << 32) | sx.stx_dev_minor;
    out.inode = sx.stx_ino;
    return 0;
}

std::string pathThrough(const EntryAt& entry) {
    return "/proc/" + std::to_string(::getpid()) + "/fd/" + std::to_string(entry.folder) + "/" + entry.name;
}

bool isPlainRelativePath(std::string_view relative) {
    if (relative.empty()) return false;
    while (true) {
        const std::size_t slash = relative.find('/');
        const std::string_view part = relative.substr(0, slash);
        if (part.empty() || part == "." || part == "..") return false;
        if (slash == std::string_view::npos) return true;
        relative.remove_prefix(slash + 1);
    }
}

}  // namespace qv::platform
