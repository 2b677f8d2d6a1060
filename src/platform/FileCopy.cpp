#include "platform/FileCopy.h"

#include "platform/DurableFile.h"
#include "platform/ExtendedAttributes.h"
#include "platform/Trash.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <set>
#include <cstdio>
#include <vector>

namespace qv::platform {

int CopyIo::open(const char* path, int flags, mode_t mode) { return ::open(path, flags, mode); }
ssize_t CopyIo::read(int fd, void* buffer, std::size_t size) { return ::read(fd, buffer, size); }
ssize_t CopyIo::write(int fd, const void* buffer, std::size_t size) { return ::write(fd, buffer, size); }
ssize_t CopyIo::copyRange(int in, off_t* inOffset, int out, off_t* outOffset, std::size_t size) {
    return ::copy_file_range(in, inOffset, out, outOffset, size, 0);
}
int CopyIo::fsync(int fd) { return ::fsync(fd); }
int CopyIo::rename(const char* from, const char* to, unsigned flags) {
    return ::renameat2(AT_FDCWD, from, AT_FDCWD, to, flags);
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

// Names of whole entries (folders, or a file waiting to swap places with a
// folder) built beside their destination. Unlike the single-file
// temporaries these are not swept as stale: after a kill one may hold the
// only remaining copy of a replaced entry.
constexpr std::string_view kStagingPrefix = ".qvstage-";

struct Run {
    explicit Run(const CopyOptions& o) : options(o), io(o.io ? *o.io : systemCopyIo()) {}

    const CopyOptions& options;
    CopyIo& io;
    std::int64_t base = 0;   // bytes of the files already finished in this call
    std::set<std::string> ownSwept;
    // Destination folders already cleared of stale temporaries: the caller's
    // set when it copies many files in a batch, else this call's own.
    std::set<std::string>& swept = options.sweptFolders ? *options.sweptFolders : ownSwept;

    bool cancelled() const { return options.cancelled && options.cancelled->load(std::memory_order_relaxed); }
    void report(std::int64_t inFile) const {
        if (options.progress) options.progress(base + inFile);
    }
};

std::string folderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string randomName(const std::string& folder, std::string_view prefix) {
    static constexpr char kAlphabet[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    unsigned char bytes[10];
    if (getrandom(bytes, sizeof bytes, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof bytes)) {
        auto seed = static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
        for (auto& b : bytes) {
            seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
            b = static_cast<unsigned char>(seed >> 56);
        }
    }
    std::string name = folder + "/" + std::string(prefix);
    for (unsigned char b : bytes) name += kAlphabet[b % (sizeof kAlphabet - 1)];
    return name;
}

bool unsupported(int error) { return error == ENOTSUP || error == EOPNOTSUPP; }

void syncFolder(Run& run, const std::string& folder) {
    if (run.options.deferredFolderSyncs) {
        run.options.deferredFolderSyncs->insert(folder);
        return;
    }
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    // The rename is already done; a folder that cannot be flushed (some
    // network file systems refuse) does not undo it.
    run.io.fsync(fd);
    ::close(fd);
}

// Moves `from` to `to`; without `replace` an entry under `to` is never
// replaced, even one that appeared a moment ago.
int place(Run& run, const std::string& from, const std::string& to, bool replace) {
    if (run.io.rename(from.c_str(), to.c_str(), replace ? 0 : RENAME_NOREPLACE) == 0) return 0;
    const int error = errno;
    if (replace || (error != EINVAL && error != ENOSYS)) return error;
    // A file system without the flag: a hard link refuses an existing name too.
    if (::link(from.c_str(), to.c_str()) == 0) {
        ::unlink(from.c_str());
        return 0;
    }
    if (errno == EEXIST) return EEXIST;
    // No hard links either (FAT, some network shares, folders): check, then rename.
    struct stat st {};
    if (::lstat(to.c_str(), &st) == 0) return EEXIST;
    return run.io.rename(from.c_str(), to.c_str(), 0) == 0 ? 0 : errno;
}

int checkDestination(const std::string& destination, bool replace) {
    struct stat existing {};
    if (::lstat(destination.c_str(), &existing) != 0) return errno == ENOENT ? 0 : errno;
    if (!replace) return EEXIST;
    return S_ISDIR(existing.st_mode) ? EISDIR : 0;
}

// Another owner is set only where the system permits it (root, or a group
// the user belongs to); elsewhere the copy belongs to whoever made it.
bool ownerRefusalIsFine(int error) { return error == EPERM || error == EINVAL; }

using SetAttribute = int (*)(const void* target, const char* name, const void* value, std::size_t size);

int copyUserAttributes(const std::string& source, const void* target, SetAttribute set) {
    AttributeMap attributes;
    if (int error = readUserAttributes(source, false, attributes)) return error;
    for (const auto& [name, value] : attributes) {
        if (set(target, name.c_str(), value.data(), value.size()) == 0) continue;
        const int error = errno;
        if (unsupported(error)) return 0;   // the destination's file system keeps none
        return error;
    }
    return 0;
}

int setOnFd(const void* target, const char* name, const void* value, std::size_t size) {
    return ::fsetxattr(*static_cast<const int*>(target), name, value, size, 0);
}

int setOnPath(const void* target, const char* name, const void* value, std::size_t size) {
    return ::lsetxattr(static_cast<const std::string*>(target)->c_str(), name, value, size, 0);
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

// Done once per folder and call.
void sweepStaleTemporaries(Run& run, const std::string& folder) {
    if (run.swept.insert(folder).second) removeStaleTemporaries(folder);
}

// Opens a file for the copy's data in `folder`. Where the file system can
// make an unnamed file it is one, so a run killed while writing leaves
// nothing behind; elsewhere it is a named temporary, returned in `named`.
// Either way it is locked before its first byte, which is what tells a
// live writer's temporary from a dead one's. Returns the descriptor, or -1
// with errno set.
int openTemporary(Run& run, const std::string& folder, std::string& named) {
    named.clear();
    int out = run.io.open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
    if (out < 0 && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL || errno == ENOENT)) {
        for (int attempt = 0; attempt < 100 && out < 0; ++attempt) {
            named = randomName(folder, DurableFile::kTemporaryPrefix);
            out = run.io.open(named.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
            if (out < 0 && errno != EEXIST) break;
        }
    }
    if (out < 0) {
        named.clear();
        return -1;
    }
    ::flock(out, LOCK_EX);
    return out;
}

// Gives the finished unnamed file a temporary name beside its destination,
// from which it is renamed into place; it keeps its lock.
int nameTemporary(int fd, const std::string& folder, std::string& named) {
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    for (int attempt = 0; attempt < 100; ++attempt) {
        named = randomName(folder, DurableFile::kTemporaryPrefix);
        if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, named.c_str(), AT_SYMLINK_FOLLOW) == 0) return 0;
        if (errno != EEXIST) break;
    }
    const int error = errno;
    named.clear();
    return error;
}

int copyFile(Run& run, const std::string& source, const std::string& destination, bool replace) {
    if (run.cancelled()) return ECANCELED;
    const int in = run.io.open(source.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0);
    if (in < 0) return errno;
    struct stat st {};
    int error = ::fstat(in, &st) == 0 ? 0 : errno;
    if (error == 0 && !S_ISREG(st.st_mode)) error = S_ISDIR(st.st_mode) ? EISDIR : ENOTSUP;
    if (error == 0) error = checkDestination(destination, replace);
    if (error) {
        ::close(in);
        return error;
    }

    const std::string folder = folderOf(destination);
    sweepStaleTemporaries(run, folder);
    std::string temporary;   // stays empty while the data has no name
    const int out = openTemporary(run, folder, temporary);
    if (out < 0) {
        error = errno;
        ::close(in);
        return error;
    }

    error = copyData(run, in, out, st.st_size);
    if (error == 0) {
        struct stat made {};
        if (::fstat(out, &made) != 0) error = errno;
        // Owner before mode: a change of owner clears the set-ID bits.
        else if ((made.st_uid != st.st_uid || made.st_gid != st.st_gid) && ::fchown(out, st.st_uid, st.st_gid) != 0 &&
                 !ownerRefusalIsFine(errno))
            error = errno;
    }
    if (error == 0 && ::fchmod(out, st.st_mode & 07777) != 0) error = errno;
    if (error == 0) error = copyUserAttributes(source, &out, setOnFd);
    if (error == 0) {
        const struct timespec times[2] = {st.st_atim, st.st_mtim};
        if (::futimens(out, times) != 0) error = errno;
    }
    if (error == 0 && run.io.fsync(out) != 0) error = errno;
    if (error == 0 && temporary.empty()) error = nameTemporary(out, folder, temporary);
    if (error == 0 && replace && run.options.beforeReplace) {
        struct stat existing {};
        if (::lstat(destination.c_str(), &existing) == 0) error = run.options.beforeReplace(destination);
    }
    if (error == 0) error = place(run, temporary, destination, replace);
    if (error && !temporary.empty()) ::unlink(temporary.c_str());
    ::close(out);
    ::close(in);
    if (error) return error;
    syncFolder(run, folder);
    run.base += st.st_size;
    return 0;
}

int readLinkTarget(const std::string& path, std::string& target) {
    std::size_t size = 256;
    while (true) {
        target.resize(size);
        const ssize_t got = ::readlink(path.c_str(), target.data(), size);
        if (got < 0) return errno;
        if (static_cast<std::size_t>(got) < size) {
            target.resize(static_cast<std::size_t>(got));
            return 0;
        }
        size *= 2;
    }
}

int copyLink(Run& run, const std::string& source, const std::string& destination, bool replace) {
    if (run.cancelled()) return ECANCELED;
    struct stat st {};
    if (::lstat(source.c_str(), &st) != 0) return errno;
    if (!S_ISLNK(st.st_mode)) return EINVAL;
    std::string target;
    if (int error = readLinkTarget(source, target)) return error;
    if (int error = checkDestination(destination, replace)) return error;

    const std::string folder = folderOf(destination);
    std::string temporary;
    int error = EEXIST;
    for (int attempt = 0; attempt < 100 && error == EEXIST; ++attempt) {
        temporary = randomName(folder, DurableFile::kTemporaryPrefix);
        error = ::symlink(target.c_str(), temporary.c_str()) == 0 ? 0 : errno;
    }
    if (error) return error;
    if (::fchownat(AT_FDCWD, temporary.c_str(), st.st_uid, st.st_gid, AT_SYMLINK_NOFOLLOW) != 0 &&
        !ownerRefusalIsFine(errno))
        error = errno;
    // A link's own times; a rename does not touch them.
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    if (error == 0 && ::utimensat(AT_FDCWD, temporary.c_str(), times, AT_SYMLINK_NOFOLLOW) != 0) error = errno;
    if (error == 0) error = place(run, temporary, destination, replace);
    if (error) {
        ::unlink(temporary.c_str());
        return error;
    }
    syncFolder(run, folder);
    return 0;
}

int copyEntry(Run& run, const std::string& source, const std::string& destination, bool replace);

// Mode and times go on last: writing the children changes the times, and a
// read-only mode would stop the writing.
int applyFolderMetadata(const std::string& source, const std::string& folder, const struct stat& st) {
    struct stat made {};
    if (::lstat(folder.c_str(), &made) != 0) return errno;
    if ((made.st_uid != st.st_uid || made.st_gid != st.st_gid) &&
        ::fchownat(AT_FDCWD, folder.c_str(), st.st_uid, st.st_gid, AT_SYMLINK_NOFOLLOW) != 0 &&
        !ownerRefusalIsFine(errno))
        return errno;
    if (::chmod(folder.c_str(), st.st_mode & 07777) != 0) return errno;
    if (int error = copyUserAttributes(source, &folder, setOnPath)) return error;
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    if (::utimensat(AT_FDCWD, folder.c_str(), times, AT_SYMLINK_NOFOLLOW) != 0) return errno;
    return 0;
}

int copyChildren(Run& run, const std::string& source, const std::string& destination, bool replace) {
    // The names are read first, so a deep tree does not hold a folder open per level.
    std::vector<std::string> names;
    DIR* dir = ::opendir(source.c_str());
    if (!dir) return errno;
    errno = 0;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name(entry->d_name);
        if (name != "." && name != "..") names.emplace_back(name);
    }
    const int listError = errno;
    ::closedir(dir);
    if (listError) return listError;
    std::sort(names.begin(), names.end());
    for (const auto& name : names) {
        if (run.cancelled()) return ECANCELED;
        if (int error = copyEntry(run, source + "/" + name, destination + "/" + name, replace)) return error;
    }
    return 0;
}

// Builds a copy of `source` under a fresh staging name in `folder`.
int stage(Run& run, const std::string& source, const struct stat& st, const std::string& folder, std::string& staged) {
    int error = EEXIST;
    for (int attempt = 0; attempt < 100 && error == EEXIST; ++attempt) {
        staged = randomName(folder, kStagingPrefix);
        if (!S_ISDIR(st.st_mode)) {
            error = S_ISLNK(st.st_mode) ? copyLink(run, source, staged, false) : copyFile(run, source, staged, false);
            continue;
        }
        error = ::mkdir(staged.c_str(), 0700) == 0 ? 0 : errno;
        if (error) continue;
        error = copyChildren(run, source, staged, false);
        if (error == 0) error = applyFolderMetadata(source, staged, st);
        if (error) {
            removePermanently(staged);
            return error;
        }
    }
    return error;
}

int copyNewFolder(Run& run, const std::string& source, const std::string& destination, const struct stat& st) {
    const std::string folder = folderOf(destination);
    std::string staged;
    if (int error = stage(run, source, st, folder, staged)) return error;
    if (int error = place(run, staged, destination, false)) {
        removePermanently(staged);
        return error;
    }
    syncFolder(run, folder);
    return 0;
}

// Puts a copy of `source` where an entry of the other kind stands. The copy
// is complete before the old entry moves, and the old entry is removed only
// once the copy stands under the name.
int swapIn(Run& run, const std::string& source, const std::string& destination, const struct stat& st) {
    const std::string folder = folderOf(destination);
    std::string staged;
    if (int error = stage(run, source, st, folder, staged)) return error;

    if (run.io.rename(staged.c_str(), destination.c_str(), RENAME_EXCHANGE) == 0) {
        syncFolder(run, folder);
        return removePermanently(staged);   // the old entry, now under the staging name
    }
    int error = errno;
    if (error != EINVAL && error != ENOSYS && !unsupported(error)) {
        removePermanently(staged);
        return error;
    }
    // No atomic exchange here: move the old entry aside, then the copy in.
    const std::string aside = randomName(folder, kStagingPrefix);
    if ((error = place(run, destination, aside, false)) != 0) {
        removePermanently(staged);
        return error;
    }
    if ((error = place(run, staged, destination, false)) != 0) {
        // Put the old entry back. Should even that fail, it stays under the
        // aside name rather than being lost.
        if (place(run, aside, destination, false) == 0) removePermanently(staged);
        return error;
    }
    syncFolder(run, folder);
    return removePermanently(aside);
}

int copyEntry(Run& run, const std::string& source, const std::string& destination, bool replace) {
    if (run.cancelled()) return ECANCELED;
    struct stat st {};
    if (::lstat(source.c_str(), &st) != 0) return errno;
    if (!S_ISDIR(st.st_mode) && !S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode)) return ENOTSUP;

    struct stat existing {};
    const bool exists = ::lstat(destination.c_str(), &existing) == 0;
    if (!exists && errno != ENOENT) return errno;
    if (exists && !replace) return EEXIST;

    if (exists && S_ISDIR(existing.st_mode) != S_ISDIR(st.st_mode)) return swapIn(run, source, destination, st);
    if (S_ISDIR(st.st_mode)) {
        if (!exists) return copyNewFolder(run, source, destination, st);
        if (int error = copyChildren(run, source, destination, true)) return error;
        return applyFolderMetadata(source, destination, st);
    }
    if (S_ISLNK(st.st_mode)) return copyLink(run, source, destination, replace);
    return copyFile(run, source, destination, replace);
}

std::string withoutTrailingSlashes(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

}  // namespace

int copyFileWithAttributes(const std::string& source, const std::string& destination, bool replace,
                           const CopyOptions& options) {
    Run run(options);
    return copyFile(run, withoutTrailingSlashes(source), withoutTrailingSlashes(destination), replace);
}

int copySymlink(const std::string& source, const std::string& destination, bool replace, const CopyOptions& options) {
    Run run(options);
    return copyLink(run, withoutTrailingSlashes(source), withoutTrailingSlashes(destination), replace);
}

int copyItem(const std::string& source, const std::string& destination, bool replace, const CopyOptions& options) {
    Run run(options);
    const std::string from = withoutTrailingSlashes(source);
    const std::string to = withoutTrailingSlashes(destination);
    if (from.empty() || to.empty()) return EINVAL;
    // A folder copied into itself would never stop growing.
    if (to.size() > from.size() && to.compare(0, from.size(), from) == 0 && to[from.size()] == '/') return EINVAL;
    return copyEntry(run, from, to, replace);
}

int replaceWithCopy(const std::string& source, const std::string& destination, const CopyOptions& options) {
    Run run(options);
    const std::string from = withoutTrailingSlashes(source);
    const std::string to = withoutTrailingSlashes(destination);
    if (from.empty() || to.empty()) return EINVAL;
    if (to.size() > from.size() && to.compare(0, from.size(), from) == 0 && to[from.size()] == '/') return EINVAL;
    struct stat st {};
    if (::lstat(from.c_str(), &st) != 0) return errno;
    if (!S_ISDIR(st.st_mode) && !S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode)) return ENOTSUP;
    struct stat existing {};
    if (::lstat(to.c_str(), &existing) != 0) return errno == ENOENT ? copyEntry(run, from, to, false) : errno;
    return swapIn(run, from, to, st);
}

int copyFolderAttributes(const std::string& source, const std::string& folder) {
    struct stat st {};
    if (::lstat(source.c_str(), &st) != 0) return errno;
    return applyFolderMetadata(source, folder, st);
}

int copyModificationTime(const std::string& source, const std::string& destination) {
    struct stat st {};
    if (::lstat(source.c_str(), &st) != 0) return errno;
    const struct timespec times[2] = {{0, UTIME_OMIT}, st.st_mtim};
    return ::utimensat(AT_FDCWD, destination.c_str(), times, AT_SYMLINK_NOFOLLOW) == 0 ? 0 : errno;
}

int makeFolderWithParents(const std::string& path) {
    const std::string folder = withoutTrailingSlashes(path);
    if (folder.empty()) return EINVAL;
    if (::mkdir(folder.c_str(), 0777) == 0) return 0;
    if (errno == EEXIST) {
        struct stat st {};
        return ::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
    }
    if (errno != ENOENT) return errno;
    const std::string parent = folderOf(folder);
    if (parent == folder) return ENOENT;
    if (int error = makeFolderWithParents(parent)) return error;
    return ::mkdir(folder.c_str(), 0777) == 0 || errno == EEXIST ? 0 : errno;
}

int moveEntry(const std::string& from, const std::string& to) {
    CopyOptions options;
    Run run(options);
    return place(run, withoutTrailingSlashes(from), withoutTrailingSlashes(to), false);
}

int writeSymlink(const std::string& target, const std::string& path) {
    const std::string link = withoutTrailingSlashes(path);
    struct stat existing {};
    if (::lstat(link.c_str(), &existing) == 0 && S_ISDIR(existing.st_mode)) return EISDIR;
    const std::string temporary = randomName(folderOf(link), DurableFile::kTemporaryPrefix);
    if (::symlink(target.c_str(), temporary.c_str()) != 0) return errno;
    if (::rename(temporary.c_str(), link.c_str()) != 0) {
        const int error = errno;
        ::unlink(temporary.c_str());
        return error;
    }
    return 0;
}

void syncFolders(const std::set<std::string>& folders) {
    CopyOptions options;
    Run run(options);
    for (const auto& folder : folders) syncFolder(run, folder);
}

}  // namespace qv::platform
