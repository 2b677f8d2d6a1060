#include "ui/HexRowsModel.h"

namespace qv {

bool HexRowsModel::showPage(const HexPages* pages, std::uint64_t page, QString& error) {
    beginResetModel();
    m_pages = pages;
    m_page = page;
    m_rows = 0;
    m_bytes = {};
    bool ok = true;
    if (pages && page < pages->pageCount()) {
        const std::uint64_t first = page * HexPages::kLinesPerPage;
        const std::uint64_t count = std::min(HexPages::kLinesPerPage, pages->iNumOfLines() - first);
        ok = pages->readPage(first, count, m_bytes, error);
        if (ok) m_rows = int(count);
    }
    endResetModel();
    return ok;
}

int HexRowsModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : m_rows; }

QVariant HexRowsModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section == Gutter) return {};
    QString header = QString::fromLatin1(KHexDiff::kHeaderString);
    header.chop(1);
    return header;
}

void HexRowsModel::lineAt(int row, int side, int, Line& out) const {
    HexLine left, right;
    m_pages->lineOf(m_bytes, m_bytes.firstLine + std::uint64_t(row), left, right);
    const HexLine& line = side == 0 ? left : right;
    out.text = QString::fromLatin1(line.text.data(), qsizetype(line.text.size()));
    out.marks = line.marks;
    out.filler = line.text.empty();
    out.number = -1;
}

qsizetype HexRowsModel::lineColumns(int, int, int) const { return longestLine(); }

int HexRowsModel::rowSides(int row) const {
    const std::uint64_t line = m_bytes.firstLine + std::uint64_t(row);
    return m_pages->changeOnLine(line) ? m_pages->sidesOfLine(line) : 0;
}

}  // namespace qv
