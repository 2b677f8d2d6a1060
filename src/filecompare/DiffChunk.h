#pragma once
// The line ranges of one diff command and the side a merge takes for it.

#include <QStringView>

#include <cstdint>
#include <optional>

namespace qv {

struct LineRange {
    static constexpr std::uint64_t kNotFound = UINT64_MAX;
    std::uint64_t location = kNotFound;
    std::uint64_t length = 0;
    std::uint64_t end() const { return location + length; }
    bool operator==(const LineRange&) const = default;
};

struct DiffChunk {
    enum Type : std::int64_t { Insertion = 0, Deletion = 1, Change = 2 };

    bool isLeftChunk = false;   // a new chunk takes the right side
    std::int64_t type = Change;
    LineRange leftRange;        // 0-based lines of the left file
    LineRange rightRange;

    // "12,14c12,15" → chunk; nothing without a command letter. The lone
    // number left of "a" and right of "d" names the line after which the
    // other side's lines belong, so it gives the empty range (n, 0).
    static std::optional<DiffChunk> parseCommand(QStringView line);
    // "n" → (n−1, 1); "m,n" → (m−1, n−m+1); anything else → not found.
    static LineRange parseRange(QStringView text);
};

}  // namespace qv
