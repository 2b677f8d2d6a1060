#include "platform/FileSystem.h"
#include "platform/InputFile.h"
#include "platform/PathWalk.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace qv::platform {
namespace {

// Large enough that the system-call cost vanishes, small enough to stay in
// the CPU caches while both blocks are compared.
constexpr std::size_t kBlockSize = 256 * 1024;

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};

// Each comparing thread keeps its two buffers for the life of the thread,
// with room past the block for the byte that tells a file grew.
constexpr std::size_t kBufferSize = kBlockSize + 4096;

char* threadBuffer(int which) {
    thread_local std::unique_ptr<void, FreeDeleter> buffers[2];
    if (!buffers[which]) buffers[which].reset(std::aligned_alloc(4096, kBufferSize));
    return static_cast<char*>(buffers[which].get());
}

// Reads from `offset` until `need` bytes are in or the file ends, taking up
// to `room` bytes; returns the bytes read or -1.
ssize_t readBlock(InputFile& file, char* buffer, std::size_t need, std::size_t room, off_t offset) {
    std::size_t got = 0;
    while (got < need) {
        const ssize_t n = file.readAt(buffer + got, room - got, offset + static_cast<off_t>(got));
        if (n < 0) return -1;
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
    }
    return static_cast<ssize_t>(got);
}

// What the entry at a path of any length is now, links followed; 0 or an errno value.
int statAnyPath(const std::string& path, struct stat& out) {
    if (path.size() < PATH_MAX) return ::stat(path.c_str(), &out) == 0 ? 0 : errno;
    // O_PATH reaches the entry without opening it for reading.
    UniqueFd at;
    if (const int error = openLongPath(path, O_PATH | O_CLOEXEC, at)) return error;
    return ::fstat(at.get(), &out) == 0 ? 0 : errno;
}

// A stretch of a file from some offset: all data, or all hole (reads as zeros).
struct Stretch {
    bool data = true;
    off_t end = 0;
};

// The stretch that starts at `at`, as the file system's data map says. Where
// there is no map (SEEK_DATA unsupported) the rest of the file counts as data.
Stretch stretchAt(int fd, off_t at, off_t size) {
    const off_t data = ::lseek(fd, at, SEEK_DATA);
    if (data < 0) return errno == ENXIO ? Stretch{false, size} : Stretch{true, size};
    if (data > at) return {false, std::min(data, size)};
    const off_t hole = ::lseek(fd, at, SEEK_HOLE);
    if (hole <= at) return {true, size};
    return {true, std::min(hole, size)};
}

// FIFOs, sockets and devices have no contents to read (reading could block
// or never end): two of them are equal when they are of one kind and, for
// devices, stand for the same device. A folder where a file was listed
// cannot be read as one.
ContentResult compareSpecialFiles(const struct stat& a, const struct stat& b) {
    if (S_ISDIR(a.st_mode) || S_ISDIR(b.st_mode)) return ContentResult::ReadFailed;
    if ((a.st_mode & S_IFMT) != (b.st_mode & S_IFMT)) return ContentResult::Different;
    if ((S_ISCHR(a.st_mode) || S_ISBLK(a.st_mode)) && a.st_rdev != b.st_rdev) return ContentResult::Different;
    return ContentResult::Equal;
}

}  // namespace

ContentResult FileSystem::compareContents(const std::string& a, const std::string& b, PairKinds kinds,
                                          const std::atomic<bool>* cancelled, const ContentProgress& progress) {
    if (kinds == PairKinds::Unseen) {
        // The kinds are looked at before anything is opened for reading: no FIFO blocks, no device acts.
        struct stat s1 {}, s2 {};
        if (statAnyPath(a, s1) != 0 || statAnyPath(b, s2) != 0) return ContentResult::CannotOpen;
        if (!S_ISREG(s1.st_mode) || !S_ISREG(s2.st_mode)) return compareSpecialFiles(s1, s2);
    }

    InputFile first, second;
    const InputStatus open1 = first.open(a, true), open2 = second.open(b, true);
    if (open1.problem == InputProblem::NotRegularFile || open2.problem == InputProblem::NotRegularFile) {
        // Replaced since it was listed: judged by what stands there now.
        if (kinds == PairKinds::ListedAsFiles) return compareContents(a, b, PairKinds::Unseen, cancelled, progress);
        // Replaced between the look and the opening: not the same contents.
        return ContentResult::Different;
    }
    if (!open1.ok() || !open2.ok()) return ContentResult::CannotOpen;
    if (first.size() != second.size()) return ContentResult::Different;
    // Most files are read in one block: read-ahead advice and the map of
    // holes only pay for larger or sparse ones (a file with as many blocks as
    // bytes has no holes).
    const off_t size = first.size();
    if (size > off_t(kBlockSize)) {
        ::posix_fadvise(first.fd(), 0, 0, POSIX_FADV_SEQUENTIAL);
        ::posix_fadvise(second.fd(), 0, 0, POSIX_FADV_SEQUENTIAL);
    }
    const auto dense = [size](const InputFile& f) { return f.blocks() * 512 >= size; };
    const bool mapHoles = !dense(first) || !dense(second);

    char* bufferA = threadBuffer(0);
    char* bufferB = threadBuffer(1);
    off_t at = 0;
    auto isCancelled = [cancelled] { return cancelled && cancelled->load(std::memory_order_relaxed); };
    // Only the stretches where either file holds data are read: two sparse
    // files compare in the time of their data, and a hole equals zeros.
    while (at < size) {
        if (isCancelled()) return ContentResult::Cancelled;
        const Stretch x = mapHoles ? stretchAt(first.fd(), at, size) : Stretch{true, size};
        const Stretch y = mapHoles ? stretchAt(second.fd(), at, size) : Stretch{true, size};
        const off_t end = std::max(std::min(x.end, y.end), at + 1);
        if (!x.data && !y.data) {
            at = end;
            if (progress) progress(at);
            continue;
        }
        while (at < end) {
            if (isCancelled()) return ContentResult::Cancelled;
            const auto want = static_cast<std::size_t>(std::min<off_t>(kBlockSize, end - at));
            // The last block asks for one byte more: a file that grew while
            // being read differs from its partner, and one that answers short
            // here needs no further read to show it ends.
            const std::size_t room = at + off_t(want) == size ? want + 1 : want;
            const ssize_t n1 = readBlock(first, bufferA, want, room, at);
            const ssize_t n2 = readBlock(second, bufferB, want, room, at);
            if (n1 < 0 || n2 < 0) return ContentResult::ReadFailed;
            // A file that shrank or grew while being read differs from its partner.
            if (n1 != n2 || static_cast<std::size_t>(n1) != want) return ContentResult::Different;
            if (std::memcmp(bufferA, bufferB, want) != 0) return ContentResult::Different;
            at += n1;
            if (progress) progress(at);
        }
    }
    // Empty files, and files read past a hole, have not yet been asked for a byte past their end.
    char probe[1];
    if ((size == 0 || mapHoles) && (readBlock(first, probe, 1, 1, size) != 0 || readBlock(second, probe, 1, 1, size) != 0))
        return ContentResult::Different;
    return ContentResult::Equal;
}

}  // namespace qv::platform
