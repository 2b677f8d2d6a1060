#pragma once
// Finding a text in the rows of a text comparison, line by line on either
// side, forwards or backwards, wrapping around at the ends.

#include "filecompare/KDiffParser.h"

#include <QString>

#include <cstddef>
#include <optional>

namespace qv {

struct RowSearchOptions {
    bool matchCase = false;
    bool wholeWord = false;   // the match begins and ends at word boundaries
    int sides = 3;            // 1 the left column, 2 the right, 3 both
};

// A place in the aligned texts: a display line, a side (0 left, 1 right), a
// character offset in the line.
struct TextPosition {
    std::size_t line = 0;
    int side = 0;
    qsizetype offset = 0;
    auto operator<=>(const TextPosition&) const = default;
};

struct RowMatch {
    TextPosition at;          // where the match begins
    qsizetype length = 0;
    std::size_t row = 0;      // the row that shows it
    qsizetype rowOffset = 0;  // its offset in that row's text
    bool wrapped = false;     // found only after wrapping around an end
};

class RowSearch {
public:
    explicit RowSearch(const KDiffParser& parser) : m_parser(parser) {}

    // The next match after `from` (forwards) or the last one before it; from
    // nothing, the first (or last) in the texts. Nothing when there is none.
    std::optional<RowMatch> find(const QString& text, const RowSearchOptions& options,
                                 std::optional<TextPosition> from, bool forward) const;

    // The row that shows a display line, and the line's offset in the row's text.
    std::pair<std::size_t, qsizetype> rowOfLine(std::size_t line, int side) const;

private:
    std::optional<qsizetype> matchIn(QStringView line, const QString& text, const RowSearchOptions& options,
                                     qsizetype from, bool forward) const;

    const KDiffParser& m_parser;
};

}  // namespace qv
