#pragma once
// Draws a cell of the file view: the line numbers, the lines with their
// marks (word marks, whole added or removed lines, a found text), filler
// lines as a hatched band, and the frame of the selected row.

#include "filecompare/KDiffParser.h"

#include <QStyledItemDelegate>

#include <vector>

namespace qv {

class KFileTableView;

class FileLineDelegate final : public QStyledItemDelegate {
    Q_OBJECT
public:
    // The view owns its delegate, so the delegate goes with the view.
    explicit FileLineDelegate(KFileTableView& view);

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    void paintGutter(QPainter* painter, const QRect& rect, int sides) const;
    // One line's text (tabs widened) within `area`, wrapped or shifted, with its marks.
    void paintText(QPainter* painter, const QRect& area, const QString& text, const std::vector<MarkRun>& marks) const;

    KFileTableView& m_view;
};

}  // namespace qv
