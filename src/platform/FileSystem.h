#pragma once
// The engine's only door to the file system. Everything the scan needs of a
// folder goes through this interface, so tests can swap in a version that
// fails on chosen paths (CI runs as root, where permission bits stop nothing).

#include "platform/FileStream.h"
#include "platform/FileTime.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qv::platform {

enum class EntryType : std::uint8_t { File, Folder, Symlink, Other };

// Metadata of one file-system object, as read by one statx call.
struct EntryStat {
    EntryType type = EntryType::Other;
    std::uint32_t mode = 0;
    std::int64_t size = 0;
    std::int64_t mtimeNs = kNoTime;   // content modification (platform/FileTime.h)
    std::int64_t btimeNs = kNoTime;   // creation, when the file system records it
    std::int64_t atimeNs = kNoTime;   // last access
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
};

// One entry of a folder listing. The name lives in Listing::names, the raw
// tags attribute (when asked for) in Listing::tagValues.
struct ListedEntry {
    std::uint32_t nameOffset = 0;
    std::uint16_t nameLength = 0;
    std::uint32_t tagsOffset = 0;
    std::uint32_t tagsLength = 0;   // 0: no tags
    EntryStat stat;
};

// A failure met while listing: the entry it concerns ("" for the folder itself) and errno.
struct ListingError {
    std::string name;
    int error = 0;
};

// The direct children of one folder. Reused from listing to listing so the
// hot path allocates only when a folder is larger than any seen before.
struct Listing {
    std::vector<ListedEntry> entries;
    std::string names;
    std::string tagValues;
    bool hasTags = false;                // the tags of every entry were read (kStatTags)
    int folderError = 0;                 // errno when the folder itself could not be read
    std::vector<ListingError> entryErrors;

    std::string_view name(const ListedEntry& e) const { return {names.data() + e.nameOffset, e.nameLength}; }
    std::string_view tags(const ListedEntry& e) const { return {tagValues.data() + e.tagsOffset, e.tagsLength}; }
    void clear() {
        entries.clear();
        names.clear();
        tagValues.clear();
        hasTags = false;
        folderError = 0;
        entryErrors.clear();
    }
};

// kStatTags also reads each entry's tags attribute while the folder is open
// (a file system may ignore it: Listing::hasTags says whether it did).
enum StatFields : unsigned { kStatBasic = 0, kStatBirthTime = 1, kStatAccessTime = 2, kStatTags = 4 };

enum class ContentResult { Equal, Different, CannotOpen, ReadFailed, Cancelled };

// Told the bytes compared so far; may be called after every block.
using ContentProgress = std::function<void(std::int64_t compared)>;

// What a caller already knows of the two paths it compares. A pair its own
// listing found to be regular files is opened at once; any other is looked
// at first, so that no device is opened (opening some acts).
enum class PairKinds { Unseen, ListedAsFiles };

class FileSystem {
public:
    virtual ~FileSystem() = default;

    // Lists a folder without descending and without following links: "." and
    // ".." are dropped, every other name is kept byte for byte.
    virtual void listFolder(const std::string& path, Listing& out, unsigned fields = kStatBasic) = 0;

    // Returns 0 and fills `out`, or an errno value.
    virtual int statPath(const std::string& path, bool followLinks, EntryStat& out, unsigned fields = kStatBasic) = 0;

    // The stored destination of a symbolic link, or an errno value.
    virtual int readLink(const std::string& path, std::string& target) = 0;

    // The tag names of an entry in stored order; nullopt when it carries none.
    virtual std::optional<std::vector<std::string>> readTags(const std::string& path, bool followLinks);

    // Compares two files byte for byte (following links), streaming in
    // blocks and stopping at the first difference.
    virtual ContentResult compareContents(const std::string& a, const std::string& b, PairKinds kinds,
                                          const std::atomic<bool>* cancelled, const ContentProgress& progress);

    // Hands a regular file's contents to `consume` block by block, as
    // readRegularFile does. Returns 0 or an errno value.
    virtual int readContents(const std::string& path, bool followLinks, const BlockConsumer& consume,
                             const std::atomic<bool>* cancelled);
};

// The real file system of the running process.
FileSystem& systemFileSystem();

// Lists a folder held open, as FileSystem::listFolder does a path.
void listOpenFolder(int folder, Listing& out, unsigned fields = kStatBasic);

}  // namespace qv::platform
