#include "ui/ActionColumnDelegate.h"

#include "engine/ComparisonState.h"
#include "ui/ComparisonModel.h"
#include "ui/StateAppearance.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>

namespace qv {
namespace {

bool isDelete(int action) {
    return action == kDeleteLeft || action == kDeleteRight || action == kDeleteBoth;
}

}  // namespace

QRect ActionColumnDelegate::buttonRect(const QRect& cell, int side) {
    const int w = std::min(cell.width() / 3, cell.height() + 8);
    const QRect r(0, cell.top() + 1, w, cell.height() - 2);
    return side == kSideLeft ? r.translated(cell.left() + 2, 0) : r.translated(cell.right() - w - 1, 0);
}

void ActionColumnDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
    QStyleOptionViewItem background = option;
    initStyleOption(&background, index);
    background.text.clear();
    QApplication::style()->drawControl(QStyle::CE_ItemViewItem, &background, painter, option.widget);

    const int state = index.data(ComparisonModel::StateRole).toInt();
    const int action = index.data(ComparisonModel::ActionRole).toInt();
    const bool selected = option.state & QStyle::State_Selected;
    const QPalette& palette = option.palette;
    painter->save();
    QFont glyphFont = option.font;
    glyphFont.setBold(true);
    painter->setFont(glyphFont);
    painter->setPen(selected ? palette.color(QPalette::HighlightedText) : stateColor(state, palette));
    painter->drawText(option.rect, Qt::AlignCenter, stateGlyph(state));

    const bool hovered = option.state & QStyle::State_MouseOver;
    for (int side : {kSideLeft, kSideRight}) {
        const QRect r = buttonRect(option.rect, side);
        const QString glyph = actionGlyph(action, side);
        if (glyph.isEmpty() && !hovered) continue;
        QColor frame = palette.color(QPalette::Mid);
        painter->setPen(frame);
        painter->setBrush(glyph.isEmpty() ? Qt::NoBrush : palette.brush(QPalette::Button));
        painter->drawRoundedRect(r.adjusted(0, 0, -1, -1), 3, 3);
        if (glyph.isEmpty()) continue;
        const QColor ink = isDelete(action) ? stateColor(kStateDifferent, palette) : stateColor(kStateOnlyLeft, palette);
        painter->setPen(ink);
        painter->drawText(r, Qt::AlignCenter, glyph);
    }
    painter->restore();
}

QSize ActionColumnDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const {
    QSize s = QStyledItemDelegate::sizeHint(option, index);
    s.setWidth(std::max(s.width(), option.fontMetrics.height() * 5));
    return s;
}

bool ActionColumnDelegate::editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                                       const QModelIndex& index) {
    if (event->type() == QEvent::MouseButtonRelease) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton) {
            for (int side : {kSideLeft, kSideRight}) {
                if (buttonRect(option.rect, side).contains(mouse->position().toPoint())) {
                    emit buttonPressed(index, side);
                    return true;
                }
            }
        }
    }
    return QStyledItemDelegate::editorEvent(event, model, option, index);
}

}  // namespace qv
