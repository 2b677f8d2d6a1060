#pragma once
// One page of a hex comparison: a row per line of 16 bytes, made from the
// files when the page is shown (the files are read a page at a time).

#include "filecompare/HexPages.h"
#include "ui/FileLinesModel.h"

namespace qv {

class HexRowsModel final : public FileLinesModel {
    Q_OBJECT
public:
    explicit HexRowsModel(QObject* parent = nullptr) : FileLinesModel(parent) {}

    // Shows a page of `pages` (nullptr: none). False with `error` set when
    // the page cannot be read; the model then shows nothing.
    bool showPage(const HexPages* pages, std::uint64_t page, QString& error);
    const HexPages* pages() const { return m_pages; }
    std::uint64_t page() const { return m_page; }
    std::uint64_t firstLine() const { return m_bytes.firstLine; }

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    int linesInRow(int) const override { return 1; }
    void lineAt(int row, int side, int k, Line& out) const override;
    qsizetype lineColumns(int row, int side, int k) const override;
    int rowSides(int row) const override;
    qsizetype longestLine() const override { return 14 + 40 + 1 + 16; }

private:
    const HexPages* m_pages = nullptr;
    std::uint64_t m_page = 0;
    int m_rows = 0;
    HexPages::Page m_bytes;
};

}  // namespace qv
