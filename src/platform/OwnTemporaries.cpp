#include "platform/OwnTemporaries.h"

#include "platform/PathWalk.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>

namespace qv::platform {
namespace {

constexpr char kAlphabet[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
constexpr std::size_t kRandomLength = 12;
constexpr const char* kMarker = "user.quorvane.temporary";
constexpr char kMarkerValue[] = "1";

bool inAlphabet(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); }

}  // namespace

std::string temporaryName() { return randomName(kTemporaryPrefix); }

std::string randomName(std::string_view prefix) {
    unsigned char bytes[kRandomLength];
    if (getrandom(bytes, sizeof bytes, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof bytes)) {
        auto seed = static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
                    static_cast<std::uint64_t>(::getpid());
        for (auto& b : bytes) {
            seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
            b = static_cast<unsigned char>(seed >> 56);
        }
    }
    std::string name(prefix);
    for (unsigned char b : bytes) name += kAlphabet[b % (sizeof kAlphabet - 1)];
    return name;
}

bool hasTemporaryForm(std::string_view name) {
    if (name.size() != kTemporaryPrefix.size() + kRandomLength || !name.starts_with(kTemporaryPrefix)) return false;
    for (const char c : name.substr(kTemporaryPrefix.size()))
        if (!inAlphabet(c)) return false;
    return true;
}

void markTemporary(int fd) { ::fsetxattr(fd, kMarker, kMarkerValue, sizeof kMarkerValue - 1, 0); }

void unmarkTemporary(int fd) { ::fremovexattr(fd, kMarker); }

bool isMarkedTemporary(int folder, const std::string& name) {
    if (!hasTemporaryForm(name)) return false;
    char value[sizeof kMarkerValue] = {};
    const std::string through = pathThrough({folder, name});
    return ::lgetxattr(through.c_str(), kMarker, value, sizeof value) == sizeof kMarkerValue - 1 &&
           value[0] == kMarkerValue[0];
}

void removeStaleTemporaries(int folder) {
    const int listFd = ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (listFd < 0) return;
    DIR* dir = ::fdopendir(listFd);
    if (!dir) {
        ::close(listFd);
        return;
    }
    while (const dirent* entry = ::readdir(dir)) {
        if (!hasTemporaryForm(entry->d_name)) continue;
        const UniqueFd fd(::openat(folder, entry->d_name, O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK));
        if (!fd.valid()) continue;
        struct stat st {};
        char value[sizeof kMarkerValue] = {};
        // Marked after the lock is taken, so a marked file nobody locks lost its writer.
        if (::fstat(fd.get(), &st) == 0 && S_ISREG(st.st_mode) && ::flock(fd.get(), LOCK_EX | LOCK_NB) == 0 &&
            ::fgetxattr(fd.get(), kMarker, value, sizeof value) == sizeof kMarkerValue - 1 &&
            value[0] == kMarkerValue[0]) {
            // Still the file just examined under that name.
            struct stat now {};
            if (::fstatat(folder, entry->d_name, &now, AT_SYMLINK_NOFOLLOW) == 0 && now.st_ino == st.st_ino &&
                now.st_dev == st.st_dev)
                ::unlinkat(folder, entry->d_name, 0);
        }
    }
    ::closedir(dir);
}

void removeStaleTemporaries(const std::string& folder) {
    UniqueFd fd;
    if (openFolder(folder, fd) == 0) removeStaleTemporaries(fd.get());
}

}  // namespace qv::platform
