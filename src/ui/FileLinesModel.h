#pragma once
// The rows of the file view as its table sees them: a left column, a narrow
// middle column that marks rows of changes, and a right column. A row shows
// one or more lines per side (a change is one row); the view and its
// delegate read the lines one by one, and the model never copies them.

#include "filecompare/KDiffParser.h"

#include <QAbstractTableModel>

#include <vector>

namespace qv {

class FileLinesModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column : int { Left = 0, Gutter = 1, Right = 2, ColumnCount };
    enum Role : int {
        SidesRole = Qt::UserRole + 1,   // 0 an unchanged row, else where a change has lines: 4, 8 or 12
    };

    struct Line {
        QString text;
        std::vector<MarkRun> marks;
        bool filler = false;    // no line on this side
        qint64 number = -1;     // 1-based line number, -1 when none is shown
    };

    using QAbstractTableModel::QAbstractTableModel;

    int columnCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : ColumnCount; }
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // Lines in a row (the same on both sides).
    virtual int linesInRow(int row) const = 0;
    // One line of a row on a side (0 left, 1 right).
    virtual void lineAt(int row, int side, int k, Line& out) const = 0;
    // How many character cells a line takes (tabs widened), for wrapping.
    virtual qsizetype lineColumns(int row, int side, int k) const = 0;
    virtual int rowSides(int row) const = 0;
    // The widest line's character cells, for the horizontal scroller.
    virtual qsizetype longestLine() const = 0;
    // Digits of the largest line number (0: no numbers are shown).
    virtual int numberDigits() const { return 0; }

    // A row's text on a side: its lines joined with line breaks.
    QString rowText(int row, int side) const;

    // Tabs widened to the next multiple of this many cells.
    static constexpr int kTabWidth = 8;
    static qsizetype columnsOf(QStringView text);
    // The text with tabs widened, and its marks moved along.
    static QString expandTabs(const QString& text, std::vector<MarkRun>* marks = nullptr);

private:
    QString accessibleText(int row, int side) const;
};

}  // namespace qv
