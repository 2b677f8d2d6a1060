#include "ui/FileHeaderView.h"

#include "ui/KFileTableView.h"

#include <QPainter>

namespace qv {

FileHeaderView::FileHeaderView(KFileTableView& view) : QHeaderView(Qt::Horizontal, &view), m_view(view) {
    setSectionsClickable(false);
    setHighlightSections(false);
}

void FileHeaderView::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const {
    painter->save();
    painter->fillRect(rect, palette().brush(QPalette::Button));
    painter->setPen(palette().color(QPalette::Mid));
    painter->drawLine(rect.bottomLeft(), rect.bottomRight());
    const QString text = model() ? model()->headerData(logicalIndex, Qt::Horizontal).toString() : QString();
    if (!text.isEmpty()) {
        painter->setClipRect(rect);
        painter->setFont(m_view.font());
        painter->setPen(palette().color(QPalette::PlaceholderText));
        const int left = rect.left() + m_view.textLeftInCell() - m_view.textOffset();
        painter->drawText(QRect(left, rect.top(), rect.right() - left + m_view.textOffset(), rect.height()),
                          Qt::AlignLeft | Qt::AlignVCenter, text);
    }
    painter->restore();
}

}  // namespace qv
