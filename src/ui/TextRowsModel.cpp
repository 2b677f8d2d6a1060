#include "ui/TextRowsModel.h"

#include <algorithm>

namespace qv {

void TextRowsModel::setParser(const KDiffParser* parser) {
    beginResetModel();
    m_parser = parser;
    m_fillersAbove.clear();
    m_longest = 0;
    m_digits = 0;
    if (parser) {
        std::array<std::uint64_t, 2> above{0, 0};
        for (const ChangeRecord& r : parser->iZmiany()) {
            m_fillersAbove.push_back(above);
            for (int side = 0; side < 2; ++side)
                for (std::uint64_t k = 0; k < r.nol; ++k)
                    if ((side == 0 ? parser->lines1() : parser->lines2())[r.l + k].filler) ++above[std::size_t(side)];
        }
        // Tabs widen a line at most kTabWidth times: only lines that could
        // beat the longest so far are measured cell by cell.
        for (const auto* lines : {&parser->lines1(), &parser->lines2()})
            for (const DisplayLine& line : *lines)
                if (line.text.size() * kTabWidth > m_longest) m_longest = std::max(m_longest, columnsOf(line.text));
        const std::uint64_t most = std::max(parser->iOrgNumOfLLines(), parser->iOrgNumOfRLines());
        m_digits = int(QString::number(qulonglong(std::max<std::uint64_t>(most, 1))).size());
    }
    endResetModel();
}

int TextRowsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() || !m_parser ? 0 : int(m_parser->rowCount());
}

int TextRowsModel::linesInRow(int row) const { return int(m_parser->row(std::size_t(row)).second); }

const DisplayLine& TextRowsModel::displayLine(int row, int side, int k) const {
    const auto& lines = side == 0 ? m_parser->lines1() : m_parser->lines2();
    return lines[m_parser->row(std::size_t(row)).first + std::uint64_t(k)];
}

std::uint64_t TextRowsModel::fillersBefore(int side, std::uint64_t line) const {
    const auto& records = m_parser->iZmiany();
    const auto it = std::upper_bound(records.begin(), records.end(), line,
                                     [](std::uint64_t l, const ChangeRecord& r) { return l < r.l; });
    if (it == records.begin()) return 0;
    const std::size_t change = std::size_t(it - records.begin()) - 1;
    std::uint64_t count = m_fillersAbove[change][std::size_t(side)];
    const auto& lines = side == 0 ? m_parser->lines1() : m_parser->lines2();
    const std::uint64_t end = std::min(line, records[change].l + records[change].nol);
    for (std::uint64_t k = records[change].l; k < end; ++k) count += lines[k].filler ? 1 : 0;
    return count;
}

void TextRowsModel::lineAt(int row, int side, int k, Line& out) const {
    const DisplayLine& line = displayLine(row, side, k);
    out.text = line.text.toString();
    out.marks = line.marks.toVector();
    out.filler = line.filler;
    const std::uint64_t at = m_parser->row(std::size_t(row)).first + std::uint64_t(k);
    out.number = line.filler ? -1 : qint64(at - fillersBefore(side, at) + 1);
}

qsizetype TextRowsModel::lineColumns(int row, int side, int k) const { return columnsOf(displayLine(row, side, k).text); }

int TextRowsModel::changeOnRow(int row) const {
    const auto& records = m_parser->iZmiany();
    const auto it = std::lower_bound(records.begin(), records.end(), std::uint64_t(row),
                                     [](const ChangeRecord& r, std::uint64_t value) { return r.lr < value; });
    return it != records.end() && it->lr == std::uint64_t(row) ? int(it - records.begin()) : -1;
}

int TextRowsModel::rowSides(int row) const {
    const int change = changeOnRow(row);
    return change < 0 ? 0 : m_parser->iZmiany()[std::size_t(change)].s;
}

}  // namespace qv
