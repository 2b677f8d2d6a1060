#pragma once
// The hex view of two files that may be far larger than memory: one pass
// (KHexDiff) finds the lines that differ and keeps them as runs of line
// numbers; any page of lines is then made on demand from the files.

#include "filecompare/KHexDiff.h"

#include <QString>

#include <atomic>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

namespace qv {

class HexPages final : public HexLineSink {
public:
    // Lines of one page of the view: 1 MiB of each file.
    static constexpr std::uint64_t kLinesPerPage = 65536;

    // Compares the files; `equal` tells whether they are byte for byte the same.
    KHexDiff::Outcome compare(const QString& left, const QString& right, bool& equal, QString& error,
                              const std::atomic<bool>* cancel = nullptr);

    const QString& path(int side) const { return m_paths[side]; }
    std::uint64_t iNumOfLines() const { return m_lines; }
    std::uint64_t changeCount() const { return m_changes; }
    std::uint64_t pageCount() const { return (m_lines + kLinesPerPage - 1) / kLinesPerPage; }

    // The line of the change with ordinal `index` (0-based, file order).
    std::uint64_t lineOfChange(std::uint64_t index) const;
    // The ordinal of the change shown on a line, or nothing when the line is equal.
    std::optional<std::uint64_t> changeOnLine(std::uint64_t line) const;
    // Where the line's bytes are: 12 both files, 4 the left only, 8 the right only.
    int sidesOfLine(std::uint64_t line) const;
    // The runs of differing lines: first line and count, in order.
    const std::vector<std::pair<std::uint64_t, std::uint64_t>>& runs() const { return m_runs; }

    // The bytes of lines [first, first + count) of both files, read now.
    struct Page {
        std::uint64_t firstLine = 0;
        std::vector<unsigned char> bytes[2];
    };
    // False with `error` set when a file cannot be read or no longer has the
    // bytes it had when it was compared.
    bool readPage(std::uint64_t firstLine, std::uint64_t count, Page& page, QString& error) const;
    // One line of a page read before, as the comparison showed it.
    void lineOf(const Page& page, std::uint64_t line, HexLine& left, HexLine& right) const;

    // HexLineSink
    bool wantsEqualLines() const override { return false; }
    void hexLine(std::uint64_t lineNumber, const HexLine&, const HexLine&, const ChangeRecord* record) override;

private:
    // The line after which only the longer file has bytes.
    std::uint64_t lastCommonLine() const { return std::uint64_t(std::min(m_sizes[0], m_sizes[1])) / 16; }

    QString m_paths[2];
    std::int64_t m_sizes[2] = {0, 0};
    std::uint64_t m_lines = 0, m_changes = 0;
    std::vector<std::pair<std::uint64_t, std::uint64_t>> m_runs;
    std::vector<std::uint64_t> m_runStarts;   // ordinal of each run's first change
};

}  // namespace qv
