#include "filecompare/RowSearch.h"

#include <QTextBoundaryFinder>

#include <algorithm>

namespace qv {
namespace {

bool atWordBoundary(QStringView line, qsizetype position) {
    QTextBoundaryFinder finder(QTextBoundaryFinder::Word, line);
    finder.setPosition(position);
    return finder.isAtBoundary();
}

}  // namespace

std::optional<qsizetype> RowSearch::matchIn(QStringView line, const QString& text, const RowSearchOptions& options,
                                             qsizetype from, bool forward) const {
    const Qt::CaseSensitivity cs = options.matchCase ? Qt::CaseSensitive : Qt::CaseInsensitive;
    qsizetype at = forward ? line.indexOf(text, from, cs) : (from < 0 ? -1 : line.lastIndexOf(text, from, cs));
    while (at >= 0) {
        if (!options.wholeWord || (atWordBoundary(line, at) && atWordBoundary(line, at + text.size()))) return at;
        if (!forward && at == 0) break;
        at = forward ? line.indexOf(text, at + 1, cs) : line.lastIndexOf(text, at - 1, cs);
    }
    return std::nullopt;
}

std::optional<RowMatch> RowSearch::find(const QString& text, const RowSearchOptions& options,
                                        std::optional<TextPosition> from, bool forward) const {
    const std::size_t lines = m_parser.lines1().size();
    if (text.isEmpty() || lines == 0) return std::nullopt;
    const std::int64_t total = std::int64_t(lines) * 2;
    const std::int64_t first = from ? std::int64_t(from->line) * 2 + from->side : (forward ? 0 : total - 1);
    // With a start, its own line is searched again last, up to the start.
    const std::int64_t rounds = from ? total + 1 : total;
    for (std::int64_t k = 0; k < rounds; ++k) {
        const std::int64_t step = forward ? first + k : first - k;
        const std::int64_t slot = ((step % total) + total) % total;
        const int side = int(slot % 2);
        if (!(options.sides & (side + 1))) continue;
        const std::size_t lineIndex = std::size_t(slot / 2);
        const DisplayLine& line = (side == 0 ? m_parser.lines1() : m_parser.lines2())[lineIndex];
        if (line.filler || line.text.isEmpty()) continue;
        qsizetype start = forward ? 0 : line.text.size();
        if (from && k == 0) start = forward ? from->offset + 1 : from->offset - 1;
        const auto at = matchIn(line.text, text, options, start, forward);
        if (!at) continue;
        // Back on the starting line after a full round: what lies before the
        // start (in the direction of the search), or the start itself when it is the only match.
        if (from && k == total && (forward ? *at > from->offset : *at < from->offset)) continue;
        RowMatch match;
        match.at = {lineIndex, side, *at};
        match.length = text.size();
        match.wrapped = forward ? step >= total : step < 0;
        const auto [row, offset] = rowOfLine(lineIndex, side);
        match.row = row;
        match.rowOffset = offset + *at;
        return match;
    }
    return std::nullopt;
}

std::pair<std::size_t, qsizetype> RowSearch::rowOfLine(std::size_t line, int side) const {
    const std::size_t row = m_parser.rowOfLine(line);
    const auto& lines = side == 0 ? m_parser.lines1() : m_parser.lines2();
    qsizetype offset = 0;
    for (std::uint64_t k = m_parser.row(row).first; k < line; ++k) offset += lines[k].text.size() + 1;
    return {row, offset};
}

}  // namespace qv
