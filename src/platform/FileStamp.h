#pragma once
// What a file looked like when it was read: enough to tell, before writing
// over it, whether someone changed or replaced it since.

#include <cstdint>
#include <string>

namespace qv::platform {

struct FileStamp {
    bool exists = false;
    std::int64_t size = 0;
    std::int64_t mtimeNs = 0;   // platform/FileTime.h
    std::int64_t ctimeNs = 0;   // also moves when the file is replaced by a rename
    std::uint64_t device = 0, inode = 0;
    std::uint32_t mode = 0;

    // The stamp of the file a path names now (links followed).
    static FileStamp of(const std::string& path);
    bool operator==(const FileStamp&) const = default;
};

}  // namespace qv::platform
