#include "platform/FileCopy.h"

#include "platform/ExtendedAttributes.h"
#include "platform/OwnTemporaries.h"
#include "platform/Trash.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <vector>

namespace qv::platform {

int CopyIo::openAt(int folder, const char* name, int flags, mode_t mode) { return ::openat(folder, name, flags, mode); }
ssize_t CopyIo::read(int fd, void* buffer, std::size_t size) { return ::read(fd, buffer, size); }
ssize_t CopyIo::write(int fd, const void* buffer, std::size_t size) { return ::write(fd, buffer, size); }
ssize_t CopyIo::copyRange(int in, off_t* inOffset, int out, off_t* outOffset, std::size_t size) {
    return ::copy_file_range(in, inOffset, out, outOffset, size, 0);
}
int CopyIo::fsync(int fd) { return ::fsync(fd); }
int CopyIo::renameAt(int fromFolder, const char* from, int toFolder, const char* to, unsigned flags) {
    return ::renameat2(fromFolder, from, toFolder, to, flags);
}

CopyIo& systemCopyIo() {
    static CopyIo io;
    return io;
}

namespace {

// Large enough that a copy costs few calls, small enough that a cancel
// and the progress are noticed a few times a second even on slow disks.
constexpr std::size_t kRangeChunk = std::size_t{8} << 20;
constexpr std::size_t kBufferSize = std::size_t{1} << 20;
// Folders held open for a flush at the end of a batch, at most.
constexpr std::size_t kMaxPendingFlushes = 256;

// Names of whole entries (folders, or a copy waiting to swap places with
// an entry) built beside their destination. Unlike the single-file
// temporaries these are not swept as stale: after a kill one may hold the
// only remaining copy of a replaced entry.
constexpr std::string_view kStagingPrefix = ".qvstage-";

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

FolderKey keyOf(int folder) {
    struct stat st {};
    if (::fstat(folder, &st) != 0) return {0, 0};
    return {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

struct Run {
    explicit Run(const CopyOptions& o) : options(o), io(o.io ? *o.io : systemCopyIo()) {}

    const CopyOptions& options;
    CopyIo& io;
    std::int64_t base = 0;   // bytes of the files already finished in this call
    std::set<FolderKey> ownSwept;
    // Destination folders already cleared of stale temporaries: the caller's
    // set when it copies many files in a batch, else this call's own.
    std::set<FolderKey>& swept = options.sweptFolders ? *options.sweptFolders : ownSwept;
    // Where the entry being copied lies below the call's destination.
    std::string relative;

    bool cancelled() const { return options.cancelled && options.cancelled->load(std::memory_order_relaxed); }
    void report(std::int64_t inFile) const {
        if (options.progress) options.progress(base + inFile);
    }
};

// Extends Run::relative by one name for the time of a nested call.
class Deeper {
public:
    Deeper(Run& run, const std::string& name) : m_run(run), m_size(run.relative.size()) {
        if (!run.relative.empty()) run.relative += '/';
        run.relative += name;
    }
    ~Deeper() { m_run.relative.resize(m_size); }
    Deeper(const Deeper&) = delete;
    Deeper& operator=(const Deeper&) = delete;

private:
    Run& m_run;
    std::size_t m_size;
};

bool unsupported(int error) { return error == ENOTSUP || error == EOPNOTSUPP; }

void syncFolder(Run& run, int folder) {
    if (run.options.deferredFolderSyncs) {
        run.options.deferredFolderSyncs->add(folder);
        return;
    }
    // The rename is already done; a folder that cannot be flushed (some
    // network file systems refuse) does not undo it.
    run.io.fsync(folder);
}

// Moves `from` to `to`; without `replace` an entry under `to` is never
// replaced, even one that appeared a moment ago.
int place(Run& run, const EntryAt& from, const EntryAt& to, bool replace) {
    if (run.io.renameAt(from.folder, from.name.c_str(), to.folder, to.name.c_str(), replace ? 0 : RENAME_NOREPLACE) == 0)
        return 0;
    const int error = errno;
    if (replace || (error != EINVAL && error != ENOSYS)) return error;
    // A file system without the flag: a hard link refuses an existing name too.
    if (::linkat(from.folder, from.name.c_str(), to.folder, to.name.c_str(), 0) == 0) {
        ::unlinkat(from.folder, from.name.c_str(), 0);
        return 0;
    }
    if (errno == EEXIST) return EEXIST;
    // No hard links either (FAT, some network shares, folders): check, then rename.
    struct stat st {};
    if (::fstatat(to.folder, to.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) return EEXIST;
    return run.io.renameAt(from.folder, from.name.c_str(), to.folder, to.name.c_str(), 0) == 0 ? 0 : errno;
}

int checkDestination(const EntryAt& destination, bool replace) {
    struct stat existing {};
    if (::fstatat(destination.folder, destination.name.c_str(), &existing, AT_SYMLINK_NOFOLLOW) != 0)
        return errno == ENOENT ? 0 : errno;
    if (!replace) return EEXIST;
    return S_ISDIR(existing.st_mode) ? EISDIR : 0;
}

// Another owner is set only where the system permits it (root, or a group
// the user belongs to); elsewhere the copy belongs to whoever made it.
bool ownerRefusalIsFine(int error) { return error == EPERM || error == EINVAL; }

// Copies the "user.*" attributes of the open `source` onto the open `target`.
int copyUserAttributes(int source, int target) {
    AttributeMap attributes;
    if (int error = readUserAttributes(source, attributes)) return error;
    for (const auto& [name, value] : attributes) {
        if (::fsetxattr(target, name.c_str(), value.data(), value.size(), 0) == 0) continue;
        const int error = errno;
        if (unsupported(error)) return 0;   // the destination's file system keeps none
        return error;
    }
    return 0;
}

int writeAll(Run& run, int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t done = run.io.write(fd, data, size);
        if (done < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        if (done == 0) return EIO;
        data += done;
        size -= static_cast<std::size_t>(done);
    }
    return 0;
}

// Copies the data of `in` to `out` at the same offsets, skipping holes so a
// sparse file stays sparse, and leaves `out` exactly `size` bytes long (less
// when the source shrank meanwhile).
int copyData(Run& run, int in, int out, off_t size) {
    bool useRange = true;
    std::vector<char> buffer;
    off_t pos = 0;
    while (pos < size) {
        if (run.cancelled()) return ECANCELED;
        off_t dataStart = ::lseek(in, pos, SEEK_DATA);
        if (dataStart < 0) {
            if (errno == ENXIO) break;   // nothing but a hole up to the end
            dataStart = pos;             // no hole information: treat everything as data
        }
        if (dataStart >= size) break;
        off_t dataEnd = ::lseek(in, dataStart, SEEK_HOLE);
        if (dataEnd < 0 || dataEnd > size) dataEnd = size;
        pos = dataStart;
        while (pos < dataEnd) {
            if (run.cancelled()) return ECANCELED;
            ssize_t done;
            if (useRange) {
                off_t inOffset = pos, outOffset = pos;
                done = run.io.copyRange(in, &inOffset, out, &outOffset,
                                        std::min<std::size_t>(kRangeChunk, static_cast<std::size_t>(dataEnd - pos)));
                if (done < 0 && (errno == EXDEV || errno == ENOSYS || errno == EINVAL || unsupported(errno))) {
                    useRange = false;   // across file systems, or not offered here
                    continue;
                }
            } else {
                buffer.resize(kBufferSize);
                const auto want = std::min<std::size_t>(kBufferSize, static_cast<std::size_t>(dataEnd - pos));
                if (::lseek(in, pos, SEEK_SET) < 0 || ::lseek(out, pos, SEEK_SET) < 0) return errno;
                done = run.io.read(in, buffer.data(), want);
                if (done > 0)
                    if (int error = writeAll(run, out, buffer.data(), static_cast<std::size_t>(done))) return error;
            }
            if (done < 0) {
                if (errno == EINTR) continue;
                return errno;
            }
            if (done == 0) {   // the source ended early: it shrank while being copied
                size = pos;
                break;
            }
            // Start writing this chunk to disk now, so the flush before the
            // rename finds little left to do while the next chunk is read.
            ::sync_file_range(out, pos, done, SYNC_FILE_RANGE_WRITE);
            pos += done;
            run.report(pos);
        }
    }
    if (::ftruncate(out, size) != 0) return errno;   // a trailing hole, written as one
    run.report(size);
    return 0;
}

bool sameVersion(const struct stat& a, const struct stat& b) {
    return a.st_size == b.st_size && a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec &&
           a.st_ctim.tv_sec == b.st_ctim.tv_sec && a.st_ctim.tv_nsec == b.st_ctim.tv_nsec;
}

// Copies the data once more when the source changed while it was read (its
// size, modification or change time moved), so that the copy never holds a
// mix of two versions. `st` ends as the version copied.
int copyOneVersion(Run& run, int in, int out, struct stat& st) {
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (int error = copyData(run, in, out, st.st_size)) return error;
        struct stat after {};
        if (::fstat(in, &after) != 0) return errno;
        if (sameVersion(st, after)) return 0;
        st = after;
        if (::ftruncate(out, 0) != 0) return errno;
    }
    return kSourceChangedWhileCopied;
}

// Done once per folder and call (or batch).
void sweepStaleTemporaries(Run& run, int folder) {
    if (run.swept.insert(keyOf(folder)).second) removeStaleTemporaries(folder);
}

// Opens a file for the copy's data in `folder`. Where the file system can
// make an unnamed file it is one, so a run killed while writing leaves
// nothing behind; elsewhere it is a named temporary, returned in `named`.
// Either way it is locked and then marked as ours before its first byte,
// which is what tells a dead writer's temporary from a live one's, and both
// from a user's file. Returns the descriptor, or -1 with errno set.
int openTemporary(Run& run, int folder, std::string& named) {
    named.clear();
    int out = run.io.openAt(folder, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
    if (out < 0 && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL || errno == ENOENT)) {
        for (int attempt = 0; attempt < 100 && out < 0; ++attempt) {
            named = temporaryName();
            out = run.io.openAt(folder, named.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
            if (out < 0 && errno != EEXIST) break;
        }
    }
    if (out < 0) {
        named.clear();
        return -1;
    }
    ::flock(out, LOCK_EX);
    markTemporary(out);
    return out;
}

// Gives the finished unnamed file a temporary name beside its destination,
// from which it is renamed into place; it keeps its lock and its mark.
int nameTemporary(int fd, int folder, std::string& named) {
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    for (int attempt = 0; attempt < 100; ++attempt) {
        named = temporaryName();
        if (::linkat(AT_FDCWD, self.c_str(), folder, named.c_str(), AT_SYMLINK_FOLLOW) == 0) return 0;
        if (errno != EEXIST) break;
    }
    const int error = errno;
    named.clear();
    return error;
}

// Disposes of an entry a copy replaced, now at `replaced`.
int disposeOf(Run& run, const EntryAt& replaced, bool folder) {
    if (run.options.disposeReplaced) return run.options.disposeReplaced(replaced, run.relative, folder);
    return removePermanentlyAt(replaced);
}

// Swaps the finished copy under `staged` (in the destination's folder) with
// the entry standing at `destination`, then disposes of the old entry. When
// anything fails the old entry goes back under its name; `staged` then
// names the copy again unless putting things back failed too, in which case
// the old entry keeps a staging name of its own and `staged` is cleared, so
// that the caller, which removes the copy, never removes the old entry.
int exchangeIn(Run& run, std::string& staged, const EntryAt& destination, bool oldIsFolder) {
    const int folder = destination.folder;
    const EntryAt copy{folder, staged};
    if (run.io.renameAt(folder, staged.c_str(), folder, destination.name.c_str(), RENAME_EXCHANGE) == 0) {
        const int error = disposeOf(run, copy, oldIsFolder);
        if (error == 0) {
            staged.clear();
            syncFolder(run, folder);
            return 0;
        }
        if (run.io.renameAt(folder, staged.c_str(), folder, destination.name.c_str(), RENAME_EXCHANGE) != 0) {
            // The copy stays in place and the old entry under a name no caller removes.
            place(run, copy, {folder, randomName(kStagingPrefix)}, false);
            staged.clear();
        }
        return error;
    }
    int error = errno;
    if (error != EINVAL && error != ENOSYS && !unsupported(error)) return error;
    // No atomic exchange here: move the old entry aside, then the copy in.
    const EntryAt aside{folder, randomName(kStagingPrefix)};
    if ((error = place(run, destination, aside, false)) != 0) return error;
    if ((error = place(run, copy, destination, false)) != 0) {
        // Put the old entry back. Should even that fail, it stays under the
        // aside name rather than being lost.
        place(run, aside, destination, false);
        return error;
    }
    if ((error = disposeOf(run, aside, oldIsFolder)) != 0) {
        if (place(run, destination, copy, false) != 0 || place(run, aside, destination, false) != 0) staged.clear();
        return error;
    }
    staged.clear();
    syncFolder(run, folder);
    return 0;
}

// Moves a finished temporary (file or link) to its destination: over a
// file or link in one rename, or, when the replaced entry must be kept or
// is a folder, through an exchange and the disposal of the old entry.
int putInPlace(Run& run, std::string& temporary, const EntryAt& destination, bool replace) {
    struct stat existing {};
    const bool exists =
        ::fstatat(destination.folder, destination.name.c_str(), &existing, AT_SYMLINK_NOFOLLOW) == 0;
    if (exists && !replace) return EEXIST;
    const bool folder = exists && S_ISDIR(existing.st_mode);
    if (exists && (folder || (run.options.disposeReplacedFiles && run.options.disposeReplaced))) {
        std::string staged = temporary;
        const int error = exchangeIn(run, staged, destination, folder);
        if (error && staged.empty()) temporary.clear();   // what stands there now must stay
        return error;
    }
    return place(run, {destination.folder, temporary}, destination, replace);
}

int copyFile(Run& run, const EntryAt& source, const EntryAt& destination, bool replace) {
    if (run.cancelled()) return ECANCELED;
    const UniqueFd in(run.io.openAt(source.folder, source.name.c_str(),
                                    O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0));
    if (!in.valid()) return errno;
    struct stat st {};
    int error = ::fstat(in.get(), &st) == 0 ? 0 : errno;
    if (error == 0 && !S_ISREG(st.st_mode)) error = S_ISDIR(st.st_mode) ? EISDIR : ENOTSUP;
    if (error) return error;

    const int folder = destination.folder;
    sweepStaleTemporaries(run, folder);
    std::string temporary;   // stays empty while the data has no name
    const UniqueFd out(openTemporary(run, folder, temporary));
    if (!out.valid()) return errno;

    error = copyOneVersion(run, in.get(), out.get(), st);
    if (error == 0) {
        struct stat made {};
        if (::fstat(out.get(), &made) != 0) error = errno;
        // Owner before mode: a change of owner clears the set-ID bits.
        else if ((made.st_uid != st.st_uid || made.st_gid != st.st_gid) &&
                 ::fchown(out.get(), st.st_uid, st.st_gid) != 0 && !ownerRefusalIsFine(errno))
            error = errno;
    }
    if (error == 0 && ::fchmod(out.get(), st.st_mode & 07777) != 0) error = errno;
    if (error == 0) error = copyUserAttributes(in.get(), out.get());
    if (error == 0) {
        const struct timespec times[2] = {st.st_atim, st.st_mtim};
        if (::futimens(out.get(), times) != 0) error = errno;
    }
    if (error == 0 && run.io.fsync(out.get()) != 0) error = errno;
    if (error == 0 && temporary.empty()) error = nameTemporary(out.get(), folder, temporary);
    if (error == 0) {
        // From here it is the user's file under a passing name.
        unmarkTemporary(out.get());
        error = putInPlace(run, temporary, destination, replace);
    }
    if (error && !temporary.empty()) ::unlinkat(folder, temporary.c_str(), 0);
    if (error) return error;
    syncFolder(run, folder);
    run.base += st.st_size;
    return 0;
}

int readLinkAt(const EntryAt& entry, std::string& target) {
    std::size_t size = 256;
    while (true) {
        target.resize(size);
        const ssize_t got = ::readlinkat(entry.folder, entry.name.c_str(), target.data(), size);
        if (got < 0) return errno;
        if (static_cast<std::size_t>(got) < size) {
            target.resize(static_cast<std::size_t>(got));
            return 0;
        }
        size *= 2;
    }
}

// Makes a link holding `target` under a fresh temporary name in `folder`.
int makeTemporaryLink(const std::string& target, int folder, std::string& temporary) {
    int error = EEXIST;
    for (int attempt = 0; attempt < 100 && error == EEXIST; ++attempt) {
        temporary = randomName(kStagingPrefix);
        error = ::symlinkat(target.c_str(), folder, temporary.c_str()) == 0 ? 0 : errno;
    }
    return error;
}

// A link or special node just made under a temporary name in the
// destination's folder takes the source's owner, mode (links have none of
// their own) and times, then replaces the destination; on any failure the
// temporary node goes and the destination stays as it was. A rename does
// not touch the node's times, so they are set before it.
int settleNode(Run& run, const struct stat& st, std::string& temporary, const EntryAt& destination, bool replace) {
    const int folder = destination.folder;
    int error = 0;
    if (::fchownat(folder, temporary.c_str(), st.st_uid, st.st_gid, AT_SYMLINK_NOFOLLOW) != 0 &&
        !ownerRefusalIsFine(errno))
        error = errno;
    if (error == 0 && !S_ISLNK(st.st_mode) && ::fchmodat(folder, temporary.c_str(), st.st_mode & 07777, 0) != 0)
        error = errno;
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    if (error == 0 && ::utimensat(folder, temporary.c_str(), times, AT_SYMLINK_NOFOLLOW) != 0) error = errno;
    if (error == 0) error = putInPlace(run, temporary, destination, replace);
    if (error) {
        if (!temporary.empty()) ::unlinkat(folder, temporary.c_str(), 0);   // empty: it stands in place now
        return error;
    }
    syncFolder(run, folder);
    return 0;
}

int copyLink(Run& run, const EntryAt& source, const EntryAt& destination, bool replace) {
    if (run.cancelled()) return ECANCELED;
    struct stat st {};
    if (::fstatat(source.folder, source.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return errno;
    if (!S_ISLNK(st.st_mode)) return EINVAL;
    std::string target;
    if (int error = readLinkAt(source, target)) return error;
    if (int error = checkDestination(destination, replace); error && error != EISDIR) return error;

    std::string temporary;
    if (int error = makeTemporaryLink(target, destination.folder, temporary)) return error;
    return settleNode(run, st, temporary, destination, replace);
}

int copyEntry(Run& run, const EntryAt& source, const EntryAt& destination, bool replace);

// FIFOs, sockets and devices are recreated, as rsync -a does: a new node of
// the same kind (devices only for root, whom mknod allows them), with the
// owner, mode and times of the source. What they carry is not theirs to copy.
bool isSpecial(mode_t mode) { return S_ISFIFO(mode) || S_ISSOCK(mode) || S_ISCHR(mode) || S_ISBLK(mode); }

int copySpecial(Run& run, const EntryAt& source, const EntryAt& destination, bool replace) {
    if (run.cancelled()) return ECANCELED;
    struct stat st {};
    if (::fstatat(source.folder, source.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return errno;
    if (!isSpecial(st.st_mode)) return EINVAL;
    if (int error = checkDestination(destination, replace); error && error != EISDIR) return error;
    std::string temporary;
    int error = EEXIST;
    for (int attempt = 0; attempt < 100 && error == EEXIST; ++attempt) {
        temporary = randomName(kStagingPrefix);
        error = ::mknodat(destination.folder, temporary.c_str(), (st.st_mode & S_IFMT) | 0600, st.st_rdev) == 0 ? 0 : errno;
    }
    if (error) return error;
    return settleNode(run, st, temporary, destination, replace);
}

// Mode and times go on last: writing the children changes the times, and a
// read-only mode would stop the writing.
int applyFolderMetadata(int source, int folder, const struct stat& st) {
    struct stat made {};
    if (::fstat(folder, &made) != 0) return errno;
    if ((made.st_uid != st.st_uid || made.st_gid != st.st_gid) && ::fchown(folder, st.st_uid, st.st_gid) != 0 &&
        !ownerRefusalIsFine(errno))
        return errno;
    if (::fchmod(folder, st.st_mode & 07777) != 0) return errno;
    if (int error = copyUserAttributes(source, folder)) return error;
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    if (::futimens(folder, times) != 0) return errno;
    return 0;
}

int openFolderAt(const EntryAt& entry, UniqueFd& out) {
    const int fd = ::openat(entry.folder, entry.name.c_str(), kFolderFlags);
    if (fd < 0) return errno;
    out.reset(fd);
    return 0;
}

int namesIn(int folder, std::vector<std::string>& names) {
    const int listFd = ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (listFd < 0) return errno;
    DIR* dir = ::fdopendir(listFd);
    if (!dir) {
        const int error = errno;
        ::close(listFd);
        return error;
    }
    errno = 0;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name(entry->d_name);
        if (name != "." && name != "..") names.emplace_back(name);
    }
    const int error = errno;
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    return error;
}

int copyChildren(Run& run, int source, int destination, bool replace) {
    std::vector<std::string> names;
    if (int error = namesIn(source, names)) return error;
    for (const auto& name : names) {
        if (run.cancelled()) return ECANCELED;
        const Deeper deeper(run, name);
        if (int error = copyEntry(run, {source, name}, {destination, name}, replace)) return error;
    }
    return 0;
}

// Builds a copy of `source` under a fresh staging name in `folder`.
int stage(Run& run, const EntryAt& source, const struct stat& st, int folder, std::string& staged) {
    int error = EEXIST;
    for (int attempt = 0; attempt < 100 && error == EEXIST; ++attempt) {
        staged = randomName(kStagingPrefix);
        const EntryAt target{folder, staged};
        if (!S_ISDIR(st.st_mode)) {
            error = S_ISLNK(st.st_mode)     ? copyLink(run, source, target, false)
                    : isSpecial(st.st_mode) ? copySpecial(run, source, target, false)
                                            : copyFile(run, source, target, false);
            continue;
        }
        if (::mkdirat(folder, staged.c_str(), 0700) != 0) {
            error = errno;
            continue;
        }
        UniqueFd from, to;
        error = openFolderAt(source, from);
        if (error == 0) error = openFolderAt(target, to);
        if (error == 0) error = copyChildren(run, from.get(), to.get(), false);
        if (error == 0) error = applyFolderMetadata(from.get(), to.get(), st);
        if (error) {
            removePermanentlyAt(target);
            return error;
        }
    }
    return error;
}

int copyNewFolder(Run& run, const EntryAt& source, const EntryAt& destination, const struct stat& st) {
    std::string staged;
    if (int error = stage(run, source, st, destination.folder, staged)) return error;
    if (int error = place(run, {destination.folder, staged}, destination, false)) {
        removePermanentlyAt({destination.folder, staged});
        return error;
    }
    syncFolder(run, destination.folder);
    return 0;
}

// Puts a copy of `source` where another entry stands. The copy is complete
// before the old entry moves, and the old entry is disposed of only once
// the copy stands under the name.
int swapIn(Run& run, const EntryAt& source, const EntryAt& destination, const struct stat& st, bool oldIsFolder) {
    std::string staged;
    if (int error = stage(run, source, st, destination.folder, staged)) return error;
    const int error = exchangeIn(run, staged, destination, oldIsFolder);
    if (error && !staged.empty()) removePermanentlyAt({destination.folder, staged});
    return error;
}

int copyEntry(Run& run, const EntryAt& source, const EntryAt& destination, bool replace) {
    if (run.cancelled()) return ECANCELED;
    struct stat st {};
    if (::fstatat(source.folder, source.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return errno;

    struct stat existing {};
    const bool exists =
        ::fstatat(destination.folder, destination.name.c_str(), &existing, AT_SYMLINK_NOFOLLOW) == 0;
    if (!exists && errno != ENOENT) return errno;
    if (exists && !replace) return EEXIST;

    if (exists && S_ISDIR(existing.st_mode) != S_ISDIR(st.st_mode))
        return swapIn(run, source, destination, st, S_ISDIR(existing.st_mode));
    if (S_ISDIR(st.st_mode)) {
        if (!exists) return copyNewFolder(run, source, destination, st);
        UniqueFd from, to;
        if (int error = openFolderAt(source, from)) return error;
        if (int error = openFolderAt(destination, to)) return error;
        if (int error = copyChildren(run, from.get(), to.get(), true)) return error;
        return applyFolderMetadata(from.get(), to.get(), st);
    }
    if (S_ISLNK(st.st_mode)) return copyLink(run, source, destination, replace);
    if (isSpecial(st.st_mode)) return copySpecial(run, source, destination, replace);
    return copyFile(run, source, destination, replace);
}

// Whether copying `source` to `destination` would put a folder inside itself.
bool intoItself(const EntryAt& source, const EntryAt& destination) {
    struct stat from {};
    if (::fstatat(source.folder, source.name.c_str(), &from, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISDIR(from.st_mode))
        return false;
    // Walk up from the destination's folder: meeting the source means inside.
    UniqueFd at(::openat(destination.folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    for (int depth = 0; at.valid() && depth < 4096; ++depth) {
        struct stat here {};
        if (::fstat(at.get(), &here) != 0) return false;
        if (here.st_dev == from.st_dev && here.st_ino == from.st_ino) return true;
        struct stat up {};
        if (::fstatat(at.get(), "..", &up, 0) != 0 || (up.st_dev == here.st_dev && up.st_ino == here.st_ino))
            return false;
        at.reset(::openat(at.get(), "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    }
    return false;
}

}  // namespace

void FolderFlushes::add(int folder) {
    const FolderKey key = keyOf(folder);
    if (m_pending.count(key)) return;
    if (m_pending.size() >= kMaxPendingFlushes) flushAll();
    const int copy = ::fcntl(folder, F_DUPFD_CLOEXEC, 0);
    if (copy < 0) {
        ::fsync(folder);
        return;
    }
    m_pending.emplace(key, UniqueFd(copy));
}

void FolderFlushes::flushAll() {
    for (auto& [key, fd] : m_pending) ::fsync(fd.get());
    m_pending.clear();
}

int copyFileAt(const EntryAt& source, const EntryAt& destination, bool replace, const CopyOptions& options) {
    Run run(options);
    if (int error = checkDestination(destination, replace)) return error;
    return copyFile(run, source, destination, replace);
}

int copyItemAt(const EntryAt& source, const EntryAt& destination, bool replace, const CopyOptions& options) {
    Run run(options);
    // A folder copied into itself would never stop growing.
    if (intoItself(source, destination)) return EINVAL;
    return copyEntry(run, source, destination, replace);
}

int replaceWithCopyAt(const EntryAt& source, const EntryAt& destination, const CopyOptions& options) {
    Run run(options);
    if (intoItself(source, destination)) return EINVAL;
    struct stat st {};
    if (::fstatat(source.folder, source.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return errno;
    struct stat existing {};
    if (::fstatat(destination.folder, destination.name.c_str(), &existing, AT_SYMLINK_NOFOLLOW) != 0)
        return errno == ENOENT ? copyEntry(run, source, destination, false) : errno;
    return swapIn(run, source, destination, st, S_ISDIR(existing.st_mode));
}

int copyFolderAttributesAt(const EntryAt& source, const EntryAt& folder) {
    UniqueFd from, to;
    if (int error = openFolderAt(source, from)) return error;
    if (int error = openFolderAt(folder, to)) return error;
    struct stat st {};
    if (::fstat(from.get(), &st) != 0) return errno;
    return applyFolderMetadata(from.get(), to.get(), st);
}

int copyModificationTimeAt(const EntryAt& source, const EntryAt& destination) {
    struct stat st {};
    if (::fstatat(source.folder, source.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return errno;
    const struct timespec times[2] = {{0, UTIME_OMIT}, st.st_mtim};
    return ::utimensat(destination.folder, destination.name.c_str(), times, AT_SYMLINK_NOFOLLOW) == 0 ? 0 : errno;
}

int moveEntryAt(const EntryAt& from, const EntryAt& to, CopyIo* io) {
    CopyOptions options;
    options.io = io;
    Run run(options);
    return place(run, from, to, false);
}

int writeSymlinkAt(const std::string& target, const EntryAt& link, const CopyOptions& options) {
    Run run(options);
    std::string temporary;
    if (int error = makeTemporaryLink(target, link.folder, temporary)) return error;
    const int error = putInPlace(run, temporary, link, true);
    if (error && !temporary.empty()) ::unlinkat(link.folder, temporary.c_str(), 0);
    return error;
}

int copyFileWithAttributes(const std::string& source, const std::string& destination, bool replace,
                           const CopyOptions& options) {
    HeldEntry from, to;
    if (int error = entryAtPath(source, from)) return error;
    if (int error = entryAtPath(destination, to)) return error;
    return copyFileAt(from.at(), to.at(), replace, options);
}

int copyItem(const std::string& source, const std::string& destination, bool replace, const CopyOptions& options) {
    HeldEntry from, to;
    if (int error = entryAtPath(source, from)) return error;
    if (int error = entryAtPath(destination, to)) return error;
    return copyItemAt(from.at(), to.at(), replace, options);
}

int replaceWithCopy(const std::string& source, const std::string& destination, const CopyOptions& options) {
    HeldEntry from, to;
    if (int error = entryAtPath(source, from)) return error;
    if (int error = entryAtPath(destination, to)) return error;
    return replaceWithCopyAt(from.at(), to.at(), options);
}

int moveEntry(const std::string& from, const std::string& to) {
    HeldEntry a, b;
    if (int error = entryAtPath(from, a)) return error;
    if (int error = entryAtPath(to, b)) return error;
    return moveEntryAt(a.at(), b.at());
}

}  // namespace qv::platform
