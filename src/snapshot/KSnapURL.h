#pragma once
// One recorded entry of a snapshot. A tree of them stands in for the folder
// that was recorded: it answers what a listing of the live folder would.

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qv {

constexpr std::int64_t kNoRecordedDate = INT64_MIN;

struct KSnapURL {
    KSnapURL* parent = nullptr;
    std::string_view iName;              // last component of the recorded path (kept by the snapshot)
    bool iFolder = false;
    bool iHidden = false;
    bool iAlias = false;
    bool hasMD5 = false;
    std::uint64_t iDataSize = 0;   // the recorded fork size ("fsz") is always 0 on Linux and is not kept
    std::int64_t iCreDate = kNoRecordedDate;   // file times (platform/FileTime.h), whole seconds
    std::int64_t iModDate = kNoRecordedDate;
    std::int64_t iAccDate = kNoRecordedDate;
    std::array<std::uint8_t, 16> iMD5{};
    std::int32_t utiIndex = -1;          // into KSnapshot::types(), -1 when none
    std::uint8_t iColorNum = 0;
    std::uint64_t iNumOfFiles = 0, iNumOfFolders = 0;
    std::vector<KSnapURL*> iChildren;
    std::unique_ptr<std::vector<std::string>> iTags;   // only entries that carry tags
    std::string_view iLinkTarget;        // a symbolic link's stored destination (kept by the snapshot)
    // The children ordered by name, for folders large enough to need it.
    std::unique_ptr<std::vector<KSnapURL*>> iChildrenByName;

    std::string_view lastPathComponent() const { return iName; }
    // The child named exactly so (the first in recorded order when the file
    // names it twice), or nullptr.
    KSnapURL* child(std::string_view name) const;
    // Prepares child() for a folder of many entries: a look-up per entry of
    // the folder would otherwise cost the square of its size.
    void indexChildren();
    // The digest as 32 lower-case hexadecimal digits, "" when none was recorded.
    std::string md5Hex() const;
};

}  // namespace qv
