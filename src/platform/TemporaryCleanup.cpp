#include "platform/TemporaryCleanup.h"

#include "platform/PathWalk.h"
#include "platform/Trash.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

namespace qv::platform {
namespace {

constexpr std::string_view kPrefix = "quorvane-";
constexpr std::size_t kMaxKindLength = 16;
constexpr std::size_t kRandomLength = 6;

bool isLowerWord(std::string_view s) {
    return !s.empty() && s.size() <= kMaxKindLength && std::all_of(s.begin(), s.end(), [](char c) { return c >= 'a' && c <= 'z'; });
}

bool isLetterOrDigit(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); }

// Whether a process holds the file in use; a file that cannot be opened counts as held.
bool heldInUse(int folder, const std::string& name) {
    UniqueFd fd(::openat(folder, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!fd.valid()) return true;
    if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) return true;
    ::flock(fd.get(), LOCK_UN);
    return false;
}

// The names of this user's regular files of our form, listed first so that
// moving them never disturbs the listing.
std::vector<std::string> candidatesIn(int folder) {
    std::vector<std::string> names;
    const int listing = ::dup(folder);
    if (listing < 0) return names;
    DIR* dir = ::fdopendir(listing);
    if (!dir) {
        ::close(listing);
        return names;
    }
    const uid_t user = ::geteuid();
    while (const dirent* e = ::readdir(dir)) {
        if (!isOwnTemporaryName(e->d_name)) continue;
        struct stat st {};
        if (::fstatat(folder, e->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode) && st.st_uid == user)
            names.emplace_back(e->d_name);
    }
    ::closedir(dir);
    return names;
}

}  // namespace

std::string temporaryFolderTemplate(std::string_view kind) {
    return std::string(kPrefix) + std::string(kind) + "-" + std::string(kRandomLength, 'X');
}

bool isOwnTemporaryName(std::string_view name) {
    if (name.substr(0, kPrefix.size()) != kPrefix) return false;
    name.remove_prefix(kPrefix.size());
    const std::size_t dash = name.find('-');
    if (dash == std::string_view::npos || !isLowerWord(name.substr(0, dash))) return false;
    const std::string_view random = name.substr(dash + 1);
    return random.size() == kRandomLength && std::all_of(random.begin(), random.end(), isLetterOrDigit);
}

void markInUse(int fd) {
    if (fd >= 0) ::flock(fd, LOCK_SH | LOCK_NB);
}

int trashOwnTemporaries(const std::string& folder) {
    UniqueFd top;
    if (openFolder(folder, top) != 0) return 0;
    const std::string base = folder == "/" ? std::string() : folder;
    int moved = 0;
    for (const std::string& name : candidatesIn(top.get())) {
        // Looked at again right before it goes: it may have become a link or been taken into use.
        struct stat st {};
        if (::fstatat(top.get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode)) continue;
        if (heldInUse(top.get(), name)) continue;
        if (moveToTrashAt({top.get(), name}, base + "/" + name) == 0) ++moved;
    }
    return moved;
}

}  // namespace qv::platform
