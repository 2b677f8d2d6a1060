#include "ui/FileLineDelegate.h"

#include "ui/FileLinesModel.h"
#include "ui/KFileTableView.h"

#include <QPainter>

namespace qv {

FileLineDelegate::FileLineDelegate(KFileTableView& view) : QStyledItemDelegate(&view), m_view(view) {}

namespace {

// A mark kind of our own for a found text: drawn over every other mark.
constexpr std::uint8_t kFoundMark = 200;

}  // namespace

QSize FileLineDelegate::sizeHint(const QStyleOptionViewItem&, const QModelIndex& index) const {
    const FileLinesModel* model = m_view.linesModel();
    const int lines = model && index.isValid() ? model->linesInRow(index.row()) : 1;
    return {m_view.charWidth() * 10, lines * m_view.lineHeight()};
}

void FileLineDelegate::paintGutter(QPainter* painter, const QRect& rect, int sides) const {
    if (sides == 0) return;
    const DiffAppearance& a = m_view.appearance();
    QColor c = sides == 12 ? a.changed : a.added;
    c.setAlpha(255);
    painter->fillRect(QRect(rect.center().x() - 1, rect.top(), 3, rect.height()), c);
}

void FileLineDelegate::paintText(QPainter* painter, const QRect& area, const QString& text,
                                 const std::vector<MarkRun>& marks) const {
    const DiffAppearance& a = m_view.appearance();
    const QFontMetricsF fm(painter->font());
    const int lineHeight = m_view.lineHeight();
    const int wrap = m_view.wrapColumns();
    const qreal left = area.left() + m_view.textLeftInCell() - m_view.textOffset();
    const qreal baseline = fm.ascent() + (lineHeight - fm.height()) / 2;
    const qsizetype segment = wrap > 0 ? wrap : std::max<qsizetype>(text.size(), 1);
    const auto colorOf = [&](std::uint8_t kind) {
        return kind == kFoundMark ? a.highlight : kind == MarkChanged ? a.changed : a.added;
    };
    for (qsizetype from = 0, row = 0; from < text.size(); from += segment, ++row) {
        const QString piece = text.mid(from, segment);
        const qreal y = area.top() + row * lineHeight;
        if (y > area.bottom()) break;
        const auto xOf = [&](qsizetype at) { return left + fm.horizontalAdvance(piece.left(at - from)); };
        // Pieces of the line: [start, end) with the colour of the topmost mark over them.
        std::vector<std::uint8_t> kindAt(std::size_t(piece.size()), MarkSame);
        for (const MarkRun& m : marks) {
            if (m.kind == MarkSame) continue;
            for (qsizetype i = std::max(m.start, from); i < std::min(m.start + m.length, from + piece.size()); ++i) {
                std::uint8_t& slot = kindAt[std::size_t(i - from)];
                if (slot != kFoundMark) slot = m.kind;
            }
        }
        qsizetype runStart = 0;
        while (runStart < piece.size()) {
            const std::uint8_t kind = kindAt[std::size_t(runStart)];
            qsizetype runEnd = runStart + 1;
            while (runEnd < piece.size() && kindAt[std::size_t(runEnd)] == kind) ++runEnd;
            const qreal x1 = xOf(from + runStart), x2 = xOf(from + runEnd);
            QColor ink = a.text;
            if (kind != MarkSame && (a.marksBackground || kind == kFoundMark)) {
                painter->fillRect(QRectF(x1, y, x2 - x1, lineHeight), colorOf(kind));
                if (kind == kFoundMark) ink = a.highlightedText;
            } else if (kind != MarkSame) {
                ink = colorOf(kind);
            }
            painter->setPen(ink);
            painter->drawText(QPointF(x1, y + baseline), piece.mid(runStart, runEnd - runStart));
            runStart = runEnd;
        }
    }
}

void FileLineDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
    const FileLinesModel* model = m_view.linesModel();
    if (!model || !index.isValid()) return;
    const DiffAppearance& a = m_view.appearance();
    const QRect cell = option.rect;
    const int row = index.row();
    const int sides = model->rowSides(row);
    const bool selected = option.state & QStyle::State_Selected;
    painter->save();
    painter->setClipRect(cell);
    painter->setFont(m_view.font());
    // The style fills a selected row with the highlight colour; the marks must
    // stay readable, so the row gets only a tint of it and a frame.
    if (selected) {
        painter->fillRect(cell, option.palette.brush(QPalette::Base));
        QColor tint = a.highlight;
        tint.setAlphaF(0.12f);
        painter->fillRect(cell, tint);
    }
    if (sides != 0 && a.rowBackground) painter->fillRect(cell, a.rowTint(sides));
    if (index.column() == FileLinesModel::Gutter) {
        paintGutter(painter, cell, sides);
    } else {
        const int side = index.column() == FileLinesModel::Left ? 0 : 1;
        const int numbers = m_view.numberAreaWidth();
        const int lineHeight = m_view.lineHeight();
        const KFileTableView::Found& found = m_view.found();
        FileLinesModel::Line line;
        int top = cell.top();
        qsizetype rowOffset = 0;   // where the line starts in the row's text
        for (int k = 0; k < model->linesInRow(row) && top <= cell.bottom(); ++k) {
            model->lineAt(row, side, k, line);
            const int height = m_view.visualLines(row, k) * lineHeight;
            if (numbers > 0 && line.number > 0) {
                painter->setPen(a.lineNumber);
                painter->drawText(QRect(cell.left(), top, numbers - m_view.charWidth() / 2, lineHeight),
                                  Qt::AlignRight | Qt::AlignVCenter, QString::number(line.number));
            }
            const int textLeft = cell.left() + m_view.textLeftInCell();
            if (line.filler) {
                QColor hatch = a.filler;
                painter->fillRect(QRect(textLeft, top, cell.right() - textLeft + 1, height), QBrush(hatch, Qt::BDiagPattern));
            } else {
                std::vector<MarkRun> marks = line.marks;
                if (found.row == row && found.side == side && found.offset >= rowOffset &&
                    found.offset < rowOffset + line.text.size() + 1)
                    marks.push_back({found.offset - rowOffset, found.length, kFoundMark});
                const QString text = FileLinesModel::expandTabs(line.text, &marks);
                paintText(painter, QRect(cell.left(), top, cell.width(), height), text, marks);
            }
            rowOffset += line.text.size() + 1;
            top += height;
        }
    }
    if (selected) {
        painter->setClipping(false);
        painter->setPen(QPen(a.highlight, 2));
        painter->drawLine(cell.topLeft() + QPoint(0, 1), cell.topRight() + QPoint(0, 1));
        painter->drawLine(cell.bottomLeft(), cell.bottomRight());
    }
    painter->restore();
}

}  // namespace qv
