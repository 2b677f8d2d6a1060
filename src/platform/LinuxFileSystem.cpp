#include "platform/FileSystem.h"

#include "platform/ExtendedAttributes.h"
#include "platform/OwnTemporaries.h"
#include "platform/PathWalk.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace qv::platform {
namespace {

struct LinuxDirent64 {
    ino64_t d_ino;
    off64_t d_off;
    unsigned short d_reclen;
    unsigned char d_type;
    char d_name[];
};

std::int64_t toNs(const struct statx_timestamp& t) {
    return timeFromParts(t.tv_sec, t.tv_nsec);
}

EntryType typeOfMode(std::uint32_t mode) {
    switch (mode & S_IFMT) {
    case S_IFREG: return EntryType::File;
    case S_IFDIR: return EntryType::Folder;
    case S_IFLNK: return EntryType::Symlink;
    default: return EntryType::Other;
    }
}

unsigned statxMask(unsigned fields) {
    unsigned mask = STATX_TYPE | STATX_MODE | STATX_SIZE | STATX_MTIME | STATX_INO;
    if (fields & kStatBirthTime) mask |= STATX_BTIME;
    if (fields & kStatAccessTime) mask |= STATX_ATIME;
    return mask;
}

void fillStat(const struct statx& sx, EntryStat& out) {
    out.mode = sx.stx_mode;
    out.type = typeOfMode(sx.stx_mode);
    out.size = static_cast<std::int64_t>(sx.stx_size);
    out.mtimeNs = (sx.stx_mask & STATX_MTIME) ? toNs(sx.stx_mtime) : kNoTime;
    out.btimeNs = (sx.stx_mask & STATX_BTIME) ? toNs(sx.stx_btime) : kNoTime;
    out.atimeNs = (sx.stx_mask & STATX_ATIME) ? toNs(sx.stx_atime) : kNoTime;
    out.device = (static_cast<std::uint64_t>(sx.stx_dev_major) << 32) | sx.stx_dev_minor;
    out.inode = sx.stx_ino;
}

bool isDotOrDotDot(const char* n) {
    return n[0] == '.' && (n[1] == 0 || (n[1] == '.' && n[2] == 0));
}

void addListedEntry(int dirFd, const char* name, unsigned mask, bool tags, Listing& out) {
    // Our own temporaries are about to be renamed into place or were left
    // by a killed run to be swept: never entries. Only proven ones are left out.
    if (hasTemporaryForm(name) && isMarkedTemporary(dirFd, name)) return;
    size_t len = std::strlen(name);
    struct statx sx;
    if (::statx(dirFd, name, AT_SYMLINK_NOFOLLOW | AT_STATX_SYNC_AS_STAT, mask, &sx) != 0) {
        // The entry vanished or cannot be examined: report it, list the rest.
        out.entryErrors.push_back({std::string(name, len), errno});
        return;
    }
    ListedEntry e;
    e.nameOffset = static_cast<std::uint32_t>(out.names.size());
    e.nameLength = static_cast<std::uint16_t>(len);
    fillStat(sx, e.stat);
    if (tags) {
        e.tagsOffset = static_cast<std::uint32_t>(out.tagValues.size());
        // An unreadable attribute counts as none, as readTags has it.
        if (appendTagsAt(dirFd, name, out.tagValues) != 0) out.tagValues.resize(e.tagsOffset);
        e.tagsLength = static_cast<std::uint32_t>(out.tagValues.size() - e.tagsOffset);
    }
    out.names.append(name, len);
    out.entries.push_back(e);
}

// Reads the entries of a folder opened a moment ago (its position at the start).
void readListing(int dirFd, Listing& out, unsigned fields) {
    const unsigned mask = statxMask(fields);
    const bool tags = fields & kStatTags;
    out.hasTags = tags;
    alignas(LinuxDirent64) char buffer[32768];
    for (;;) {
        long n = ::syscall(SYS_getdents64, dirFd, buffer, sizeof buffer);
        if (n < 0) {
            out.folderError = errno;
            break;
        }
        if (n == 0) break;
        for (long pos = 0; pos < n;) {
            auto* d = reinterpret_cast<LinuxDirent64*>(buffer + pos);
            pos += d->d_reclen;
            if (isDotOrDotDot(d->d_name)) continue;
            addListedEntry(dirFd, d->d_name, mask, tags, out);
        }
    }
}

class LinuxFileSystem final : public FileSystem {
public:
    void listFolder(const std::string& path, Listing& out, unsigned fields) override {
        out.clear();
        UniqueFd folder;
        if (int error = openLongPath(path, O_RDONLY | O_DIRECTORY | O_NOFOLLOW, folder)) {
            out.folderError = error;
            return;
        }
        readListing(folder.get(), out, fields);
    }

    int statPath(const std::string& path, bool followLinks, EntryStat& out, unsigned fields) override {
        struct statx sx;
        int flags = AT_STATX_SYNC_AS_STAT | (followLinks ? 0 : AT_SYMLINK_NOFOLLOW);
        Reached at;
        if (int error = reach(path, at)) return error;
        if (::statx(at.folder, at.name.c_str(), flags, statxMask(fields), &sx) != 0) return errno;
        fillStat(sx, out);
        return 0;
    }

    int readLink(const std::string& path, std::string& target) override {
        std::string buf(256, '\0');
        Reached at;
        if (int error = reach(path, at)) return error;
        for (;;) {
            ssize_t n = ::readlinkat(at.folder, at.name.c_str(), buf.data(), buf.size());
            if (n < 0) return errno;
            if (static_cast<size_t>(n) < buf.size()) {
                buf.resize(static_cast<size_t>(n));
                target = std::move(buf);
                return 0;
            }
            buf.resize(buf.size() * 2);
        }
    }

private:
    // A path as the calls above take it: whole when short enough, else its
    // folder opened piece by piece and the name in it.
    struct Reached {
        int folder = AT_FDCWD;
        std::string name;
        HeldEntry held;
    };

    static int reach(const std::string& path, Reached& at) {
        if (path.size() < PATH_MAX) {
            at.name = path;
            return 0;
        }
        if (int error = entryAtPath(path, at.held)) return error;
        at.folder = at.held.folder.get();
        at.name = at.held.name;
        return 0;
    }
};

}  // namespace

void listOpenFolder(int dirFd, Listing& out, unsigned fields) {
    out.clear();
    // Reading moves the descriptor's position: read through a fresh one.
    const UniqueFd reader(::openat(dirFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!reader.valid()) {
        out.folderError = errno;
        return;
    }
    readListing(reader.get(), out, fields);
}

FileSystem& systemFileSystem() {
    static LinuxFileSystem instance;
    return instance;
}

}  // namespace qv::platform
