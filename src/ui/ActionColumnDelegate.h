#pragma once
// The state column of the merged tree: the state's glyph in the middle and a
// row's two action buttons beside it, one for each side. A click on a button
// is reported; the window decides what the press marks.

#include <QStyledItemDelegate>

namespace qv {

class ActionColumnDelegate final : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                     const QModelIndex& index) override;

    // The button of a side (1 left, 2 right) within a cell.
    static QRect buttonRect(const QRect& cell, int side);

signals:
    void buttonPressed(const QModelIndex& index, int side);
};

}  // namespace qv
