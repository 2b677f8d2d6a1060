#pragma once
// Copying files, links and folder trees with their metadata (mode, owner
// where permitted, nanosecond times, "user.*" extended attributes), written
// so that a failure or a kill never leaves a half-written entry under a
// user's name: everything is built under a temporary name in the
// destination folder, flushed, and renamed into place. The old destination
// stays as it was until that rename.
//
// Entries are named by a folder held open and a name in it (EntryAt), and
// every call acts relative to those folders: nothing below them is reached
// through a link, and paths may be of any length. The functions taking
// paths open the folders of those paths first and are otherwise the same.

#include "platform/PathWalk.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <sys/types.h>
#include <utility>

namespace qv::platform {

// The system calls that move data or names. The copy functions go through
// this so tests can make a chosen call fail (a full disk half-way through a
// file, a refused rename, a source edited while it is read); CI runs as
// root, where permission bits stop nothing. Each member behaves like the
// call it is named after: -1 with errno set on failure.
class CopyIo {
public:
    virtual ~CopyIo() = default;
    virtual int openAt(int folder, const char* name, int flags, mode_t mode);
    virtual ssize_t read(int fd, void* buffer, std::size_t size);
    virtual ssize_t write(int fd, const void* buffer, std::size_t size);
    // copy_file_range with explicit offsets, which it advances.
    virtual ssize_t copyRange(int in, off_t* inOffset, int out, off_t* outOffset, std::size_t size);
    virtual int fsync(int fd);
    // renameat2; flags 0, RENAME_NOREPLACE or RENAME_EXCHANGE.
    virtual int renameAt(int fromFolder, const char* from, int toFolder, const char* to, unsigned flags);
};

// The real system calls.
CopyIo& systemCopyIo();

// What a copy returns when its source changed while it was read, twice in
// a row (outside the range of errno values).
constexpr int kSourceChangedWhileCopied = 100001;

// Told the number of data bytes handled so far by the current call (holes
// of sparse files count as handled), after every chunk.
using CopyProgress = std::function<void(std::int64_t bytesCopied)>;

// Folders whose entries changed, flushed together once a batch is done
// instead of after every rename (each file is still flushed before its
// rename). Holds a bounded number of folders open, flushing early past it.
class FolderFlushes {
public:
    FolderFlushes() = default;
    ~FolderFlushes() { flushAll(); }
    FolderFlushes(const FolderFlushes&) = delete;
    FolderFlushes& operator=(const FolderFlushes&) = delete;
    void add(int folder);
    void flushAll();

private:
    std::map<std::pair<std::uint64_t, std::uint64_t>, UniqueFd> m_pending;
};

// The identity (device, inode) of an open folder.
using FolderKey = std::pair<std::uint64_t, std::uint64_t>;

struct CopyOptions {
    CopyProgress progress;                        // may be empty
    const std::atomic<bool>* cancelled = nullptr; // polled before every chunk; stops with ECANCELED
    CopyIo* io = nullptr;                         // nullptr: systemCopyIo()
    // When given, folders are flushed once at the end of a batch.
    FolderFlushes* deferredFolderSyncs = nullptr;
    // When given, folders already cleared of stale temporaries by earlier
    // calls of a batch, so each is listed once however many files go there.
    std::set<FolderKey>* sweptFolders = nullptr;
    // What becomes of an entry a copy replaced. The copy is complete and
    // stands under the name; the old entry is now at `replaced` (a staging
    // name beside it). `relative` is its place below the destination of the
    // call ("" for the destination itself). Return 0 once the entry is taken
    // care of (moved away or removed), or an errno to undo: the old entry
    // then goes back under its name and the copy is dropped. Without it the
    // old entry is removed for good. Asked for every replaced folder, and
    // for replaced files and links only with `disposeReplacedFiles` (else a
    // file or link replacing one is renamed over it in one step).
    std::function<int(const EntryAt& replaced, const std::string& relative, bool folder)> disposeReplaced;
    bool disposeReplacedFiles = false;
};

// Copies one regular file (never following a link at the source). An
// existing destination is replaced only when `replace` is set, and never
// when it is a folder (EISDIR); without `replace` an entry that exists, or
// appears while copying, gives EEXIST. A source that changes while it is
// read is read once more; changed again, the copy fails with
// kSourceChangedWhileCopied. On any failure, cancellation included, no
// temporary is left and the old destination is untouched. Returns 0 or an
// errno value.
int copyFileAt(const EntryAt& source, const EntryAt& destination, bool replace, const CopyOptions& options = {});

// Copies a file, a link or a folder tree. A new folder tree is assembled
// under a staging name and appears whole or not at all. With `replace`:
// an existing folder facing a source folder is merged into (each entry is
// replaced one by one, entries the source lacks are kept); an existing
// entry of the other kind (folder against file or link) is swapped for the
// copy, and is disposed of (see CopyOptions) only once the copy stands
// under its name. Sockets, pipes and devices give ENOTSUP.
int copyItemAt(const EntryAt& source, const EntryAt& destination, bool replace, const CopyOptions& options = {});

// Puts a fresh copy of `source` where `destination` stands, whatever
// stands there (nothing, a file, a folder with other contents): the copy is
// assembled under a staging name beside it and swapped in, and the old
// entry is disposed of only once the copy stands under the name.
int replaceWithCopyAt(const EntryAt& source, const EntryAt& destination, const CopyOptions& options = {});

// Copies the mode, owner where permitted, "user.*" attributes and times of
// folder `source` onto the existing folder `folder`.
int copyFolderAttributesAt(const EntryAt& source, const EntryAt& folder);

// Renames an entry, never replacing one under the new name (EEXIST).
// EXDEV when the two lie on different file systems. Returns 0 or an errno.
int moveEntryAt(const EntryAt& from, const EntryAt& to, CopyIo* io = nullptr);

// Makes a symbolic link `link` pointing to `target`. A file or link there is
// replaced in one step; a folder, or any entry when the options keep
// replaced files, is swapped out and disposed of as a copy would.
int writeSymlinkAt(const std::string& target, const EntryAt& link, const CopyOptions& options = {});

// Gives `destination` the content modification time of `source` (neither
// link followed). Returns 0 or an errno value.
int copyModificationTimeAt(const EntryAt& source, const EntryAt& destination);

// The same operations on paths (the folders above are opened as the paths
// say, links included; what lies below them is reached as above).
int copyFileWithAttributes(const std::string& source, const std::string& destination, bool replace,
                           const CopyOptions& options = {});
int copyItem(const std::string& source, const std::string& destination, bool replace,
             const CopyOptions& options = {});
int replaceWithCopy(const std::string& source, const std::string& destination, const CopyOptions& options = {});
int moveEntry(const std::string& from, const std::string& to);

}  // namespace qv::platform
