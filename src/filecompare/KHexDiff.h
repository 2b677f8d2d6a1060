#pragma once
// Block-by-block comparison of two files shown as hex dumps, 16 bytes a line,
// line k of the left at the same offset as line k of the right. The files are
// read in pages and the lines handed to a sink as they are made, so neither
// file nor the dump is ever held whole.

#include "filecompare/KDiffParser.h"

#include <QString>

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

namespace qv {

struct HexLine {
    std::string text;             // without the line break; empty for a side without bytes
    std::vector<MarkRun> marks;   // MarkChanged on differing bytes, MarkAdded on a one-sided line
};

class HexLineSink {
public:
    virtual ~HexLineSink() = default;
    // Lines whose blocks are equal are skipped in bulk unless asked for.
    virtual bool wantsEqualLines() const = 0;
    // `record` is set for a line that differs.
    virtual void hexLine(std::uint64_t lineNumber, const HexLine& left, const HexLine& right,
                         const ChangeRecord* record) = 0;
};

class KHexDiff {
public:
    static constexpr std::size_t kPageBytes = 1 << 20;
    static const char* const kHeaderString;

    enum class Outcome { Done, Failed, Cancelled };

    void setCancelFlag(const std::atomic<bool>* cancel) { m_cancel = cancel; }

    // `equal` tells whether the files are byte for byte the same.
    Outcome ParseHexDiffFile1(const QString& file1, const QString& file2, bool& equal, HexLineSink& sink,
                              QString& error);

    std::uint64_t iNumOfLines() const { return m_numOfLines; }
    std::uint64_t changeCount() const { return m_changes; }

    // One line of `len` (0–16) bytes at `offset`; `kind` colours it whole (not the offset).
    static HexLine LineForSameBuf(const unsigned char* buf, std::size_t len, std::uint64_t offset,
                                  std::uint8_t kind = MarkSame);
    // Both sides of a line; a block of length 0 is a side whose file has ended.
    static void ParseLineForDiffBuf(const unsigned char* buf1, std::size_t len1, const unsigned char* buf2,
                                    std::size_t len2, std::uint64_t offset, HexLine& left, HexLine& right);
    static char ConvertASCII(unsigned char c) { return c >= 32 && c <= 126 ? char(c) : '.'; }

private:
    bool cancelled() const { return m_cancel && m_cancel->load(std::memory_order_relaxed); }
    const std::atomic<bool>* m_cancel = nullptr;
    std::uint64_t m_numOfLines = 0, m_changes = 0;
};

}  // namespace qv
