#pragma once
// Reaching an entry below a folder held open without ever leaving it. Every
// component is opened relative to the one before; none may be a symbolic
// link and none may be "..". What is reached is then acted on with the *at
// calls, so a folder swapped for a link after the comparison cannot send a
// write or a removal anywhere else, and paths longer than PATH_MAX work:
// the kernel is never handed more than one piece below that limit.

#include "platform/FileSystem.h"

#include <string>
#include <string_view>
#include <utility>

namespace qv::platform {

// A descriptor closed when it goes out of scope.
class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : m_fd(fd) {}
    ~UniqueFd() { reset(); }
    UniqueFd(UniqueFd&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept {
        if (this != &other) reset(std::exchange(other.m_fd, -1));
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }
    int release() { return std::exchange(m_fd, -1); }
    void reset(int fd = -1);

private:
    int m_fd = -1;
};

// An entry named inside a folder held open: what every *at call needs.
struct EntryAt {
    int folder = -1;
    std::string name;
};

// The same, owning its folder, with the entry's path for messages and for
// records such as the trash's (never for reaching it).
struct HeldEntry {
    UniqueFd folder;
    std::string name;
    std::string path;

    EntryAt at() const { return {folder.get(), name}; }
};

// Opens a folder the user named (links in the path are followed, as the
// kernel does) however long the path is. Returns 0 or an errno value.
int openFolder(const std::string& path, UniqueFd& out);

// Opens any path however long, with open(2)'s flags and meaning.
int openLongPath(const std::string& path, int flags, UniqueFd& out);

// Opens the folder at `relative` ("a/b/c"; "" is `base` itself) below the
// folder `base`. A component that is a link gives ELOOP, one that is not a
// folder ENOTDIR, ".." EXDEV. With `create`, missing folders are made
// (mode 0777 less the umask), each one checked to be the folder just made
// or found. Returns 0 or an errno value.
int openBelow(int base, std::string_view relative, UniqueFd& out, bool create = false);

// Makes a new folder `name` in `parent` (EEXIST when anything stands
// there) and opens it. Returns 0 or an errno value.
int makeFolderAt(int parent, const std::string& name, UniqueFd& out);

// Opens the folder that holds `relative` below `base` and names the entry
// in it; `out.path` is `basePath` joined with `relative`. `relative` must
// not be empty.
int locateBelow(int base, const std::string& basePath, std::string_view relative, HeldEntry& out,
                bool createFolders = false);

// Opens the folder holding `path` (as the path says, links included) and
// names the entry in it.
int entryAtPath(const std::string& path, HeldEntry& out);

// What stands at the entry, the entry itself (a link is not followed).
// Returns 0, ENOENT, or another errno value.
int statAt(const EntryAt& entry, EntryStat& out);

// A path the kernel resolves to the entry inside the folder held open,
// without looking at the folder's own path again: for calls that have no
// *at form (extended attributes) and for other processes (the elevated
// commands, which run as root and reach it through our descriptor).
std::string pathThrough(const EntryAt& entry);

// Whether the walk may hand a whole piece to openat2 (where the kernel has
// it; without it the walk goes one component at a time by itself). Tests
// turn it off to run the walk older kernels get.
void allowOpenat2(bool allowed);

// Whether a relative path is made of plain names only (no "", ".", "..").
bool isPlainRelativePath(std::string_view relative);

}  // namespace qv::platform
