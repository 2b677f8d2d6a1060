#pragma once
// Copying files, links and folder trees with their metadata (mode, owner
// where permitted, nanosecond times, "user.*" extended attributes), written
// so that a failure or a kill never leaves a half-written entry under a
// user's name: everything is built under a temporary name in the
// destination folder, flushed, and renamed into place. The old destination
// stays as it was until that rename.

#include <atomic>
#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <sys/types.h>

namespace qv::platform {

// The system calls that move data or names. The copy functions go through
// this so tests can make a chosen call fail (a full disk half-way through a
// file, a refused rename); CI runs as root, where permission bits stop
// nothing. Each member behaves like the call it is named after: -1 with
// errno set on failure.
class CopyIo {
public:
    virtual ~CopyIo() = default;
    virtual int open(const char* path, int flags, mode_t mode);
    virtual ssize_t read(int fd, void* buffer, std::size_t size);
    virtual ssize_t write(int fd, const void* buffer, std::size_t size);
    // copy_file_range with explicit offsets, which it advances.
    virtual ssize_t copyRange(int in, off_t* inOffset, int out, off_t* outOffset, std::size_t size);
    virtual int fsync(int fd);
    // renameat2 relative to the current folder; flags 0, RENAME_NOREPLACE or RENAME_EXCHANGE.
    virtual int rename(const char* from, const char* to, unsigned flags);
};

// The real system calls.
CopyIo& systemCopyIo();

// Told the number of data bytes handled so far by the current call (holes
// of sparse files count as handled), after every chunk.
using CopyProgress = std::function<void(std::int64_t bytesCopied)>;

struct CopyOptions {
    CopyProgress progress;                        // may be empty
    const std::atomic<bool>* cancelled = nullptr; // polled before every chunk; stops with ECANCELED
    CopyIo* io = nullptr;                         // nullptr: systemCopyIo()
    // When given, the folders whose entries changed are collected here for
    // one syncFolders() call at the end of a batch, instead of being flushed
    // after every rename (each file is still flushed before its rename).
    std::set<std::string>* deferredFolderSyncs = nullptr;
    // When given, folders already cleared of stale temporaries by earlier
    // calls of a batch, so each is listed once however many files go there.
    std::set<std::string>* sweptFolders = nullptr;
    // Called when a file's copy is complete and flushed, just before it takes
    // the place of an existing entry at `destination` (which the call may move
    // aside, to archive it). A non-zero errno abandons the copy and leaves the
    // destination as it is. Files only: folders and links are not offered.
    std::function<int(const std::string& destination)> beforeReplace;
};

// Copies one regular file (never following a link at the source). An
// existing destination is replaced only when `replace` is set, and never
// when it is a folder (EISDIR); without `replace` an entry that exists, or
// appears while copying, gives EEXIST. On any failure, cancellation
// included, no temporary is left and the old destination is untouched.
// Returns 0 or an errno value.
int copyFileWithAttributes(const std::string& source, const std::string& destination, bool replace,
                           const CopyOptions& options = {});

// Recreates a symbolic link with the same stored target (dangling or not)
// and the same times, under the same rules for an existing destination.
int copySymlink(const std::string& source, const std::string& destination, bool replace,
                const CopyOptions& options = {});

// Copies a file, a link or a folder tree. A new folder tree is assembled
// under a temporary name and appears whole or not at all. With `replace`:
// an existing folder facing a source folder is merged into (each entry is
// replaced one by one, entries the source lacks are kept); an existing
// entry of the other kind (folder against file or link) is swapped for the
// copy, and is removed only once the copy stands under its name. If that
// last removal fails, the copy is in place and the errno of the removal is
// returned. Sockets, pipes and devices give ENOTSUP.
int copyItem(const std::string& source, const std::string& destination, bool replace,
             const CopyOptions& options = {});

// Puts a fresh copy of `source` where `destination` stands, whatever
// stands there (nothing, a file, a folder with other contents): the copy is
// assembled under a staging name beside it and swapped in, and the old
// entry is removed only once the copy stands under the name.
int replaceWithCopy(const std::string& source, const std::string& destination, const CopyOptions& options = {});

// Copies the mode, owner where permitted, "user.*" attributes and times of
// folder `source` onto the existing folder `folder`.
int copyFolderAttributes(const std::string& source, const std::string& folder);

// Renames `from` to `to`, never replacing an entry under `to`. Returns 0
// or an errno value (EXDEV when the two lie on different file systems).
int moveEntry(const std::string& from, const std::string& to);

// Makes a symbolic link at `path` pointing to `target`, replacing a file or
// link there in one step (a folder there gives EISDIR).
int writeSymlink(const std::string& target, const std::string& path);

// Creates a folder and any missing folders above it (mode 0777 less the
// umask); an existing folder is fine. Returns 0 or an errno value.
int makeFolderWithParents(const std::string& path);

// Flushes the folders collected in CopyOptions::deferredFolderSyncs.
void syncFolders(const std::set<std::string>& folders);

// Gives `destination` the content modification time of `source` (neither
// link followed). Returns 0 or an errno value.
int copyModificationTime(const std::string& source, const std::string& destination);

}  // namespace qv::platform
