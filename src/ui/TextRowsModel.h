#pragma once
// The rows of a text comparison: the parser's aligned rows, one per
// unchanged line and one per change, read straight from the parser.

#include "ui/FileLinesModel.h"

#include <array>

namespace qv {

class TextRowsModel final : public FileLinesModel {
    Q_OBJECT
public:
    explicit TextRowsModel(QObject* parent = nullptr) : FileLinesModel(parent) {}

    // Shows a parser's rows (nullptr: none). The parser must outlive its use here.
    void setParser(const KDiffParser* parser);
    const KDiffParser* parser() const { return m_parser; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int linesInRow(int row) const override;
    void lineAt(int row, int side, int k, Line& out) const override;
    qsizetype lineColumns(int row, int side, int k) const override;
    int rowSides(int row) const override;
    qsizetype longestLine() const override { return m_longest; }
    int numberDigits() const override { return m_digits; }

    // The change shown on a row, or -1.
    int changeOnRow(int row) const;

private:
    const DisplayLine& displayLine(int row, int side, int k) const;
    // Filler lines on a side above a display line.
    std::uint64_t fillersBefore(int side, std::uint64_t line) const;

    const KDiffParser* m_parser = nullptr;
    // Per change: the filler lines above it on each side.
    std::vector<std::array<std::uint64_t, 2>> m_fillersAbove;
    qsizetype m_longest = 0;
    int m_digits = 0;
};

}  // namespace qv
