#include "platform/TemporaryCleanup.h"

#include "platform/PathWalk.h"
#include "platform/Trash.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

namespace qv::platform {
namespace {

// Deeper than any temporary folder a program makes; a bound for a hostile tree.
constexpr int kMaxDepth = 64;

struct Candidate {
    std::string folder;   // below the walked folder, "" for the folder itself
    std::string name;
};

struct Walk {
    std::string_view prefix;
    uid_t user = ::geteuid();
    dev_t trashDevice = 0;
    ino_t trashInode = 0;
    std::vector<Candidate> candidates;
};

void homeTrash(Walk& walk) {
    std::string data;
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg == '/') data = xdg;
    else if (const char* home = std::getenv("HOME"); home && *home) data = std::string(home) + "/.local/share";
    struct stat st {};
    if (!data.empty() && ::stat((data + "/Trash").c_str(), &st) == 0) {
        walk.trashDevice = st.st_dev;
        walk.trashInode = st.st_ino;
    }
}

bool isTrashFolder(const Walk& walk, const std::string& name, const struct stat& st) {
    if (name.rfind(".Trash", 0) == 0) return true;
    return walk.trashInode != 0 && st.st_dev == walk.trashDevice && st.st_ino == walk.trashInode;
}

// Whether a process holds the file in use; a file that cannot be opened counts as held.
bool heldInUse(int folder, const std::string& name) {
    UniqueFd fd(::openat(folder, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!fd.valid()) return true;
    if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) return true;
    ::flock(fd.get(), LOCK_UN);
    return false;
}

// Gathers first and moves afterwards, so a trash inside the walked folder
// never feeds the walk. Folders are reopened for the move rather than held,
// so a wide tree never runs out of descriptors.
void gather(Walk& walk, int fd, const std::string& relative, int depth) {
    const int listing = ::dup(fd);
    if (listing < 0) return;
    DIR* dir = ::fdopendir(listing);
    if (!dir) {
        ::close(listing);
        return;
    }
    std::vector<std::string> subfolders;
    while (const dirent* e = ::readdir(dir)) {
        const std::string name = e->d_name;
        if (name == "." || name == "..") continue;
        struct stat st {};
        if (::fstatat(fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 || st.st_uid != walk.user) continue;
        if (S_ISDIR(st.st_mode)) {
            if (!isTrashFolder(walk, name, st)) subfolders.push_back(name);
        } else if (S_ISREG(st.st_mode) && name.compare(0, walk.prefix.size(), walk.prefix) == 0) {
            walk.candidates.push_back({relative, name});
        }
    }
    ::closedir(dir);
    if (depth >= kMaxDepth) return;
    for (const std::string& name : subfolders) {
        // O_NOFOLLOW: a folder swapped for a link since it was listed is not entered.
        UniqueFd sub(::openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (sub.valid()) gather(walk, sub.get(), relative.empty() ? name : relative + "/" + name, depth + 1);
    }
}

}  // namespace

void markInUse(int fd) {
    if (fd >= 0) ::flock(fd, LOCK_SH | LOCK_NB);
}

int trashOwnTemporaries(const std::string& folder, std::string_view prefix) {
    if (prefix.empty()) return 0;
    Walk walk;
    walk.prefix = prefix;
    homeTrash(walk);
    UniqueFd top;
    if (openFolder(folder, top) != 0) return 0;
    gather(walk, top.get(), std::string(), 0);
    const std::string base = folder == "/" ? std::string() : folder;
    int moved = 0;
    for (const Candidate& c : walk.candidates) {
        // Reached again without following links: a folder swapped for one since is refused here.
        UniqueFd holder;
        if (openBelow(top.get(), c.folder, holder) != 0) continue;
        const int fd = holder.get();
        // Looked at again right before it goes: it may have become a link or been taken into use.
        struct stat st {};
        if (::fstatat(fd, c.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode)) continue;
        if (heldInUse(fd, c.name)) continue;
        const std::string path = base + "/" + (c.folder.empty() ? c.name : c.folder + "/" + c.name);
        if (moveToTrashAt({fd, c.name}, path) == 0) ++moved;
    }
    return moved;
}

}  // namespace qv::platform
