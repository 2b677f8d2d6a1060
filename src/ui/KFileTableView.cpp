#include "ui/KFileTableView.h"

#include "base/Messages.h"
#include "ui/FileHeaderView.h"
#include "ui/FileLineDelegate.h"
#include "ui/FileLinesModel.h"

#include <QEvent>
#include <QHeaderView>
#include <QScrollBar>

#include <algorithm>
#include <cmath>

namespace qv {
namespace {

constexpr int kGutterWidth = 14;

}  // namespace

KFileTableView::KFileTableView(Settings& settings, QWidget* parent) : QTableView(parent), m_settings(settings) {
    setItemDelegate(new FileLineDelegate(*this));
    setHorizontalHeader(new FileHeaderView(*this));
    setSelectionBehavior(SelectRows);
    setSelectionMode(SingleSelection);
    setShowGrid(false);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    setVerticalScrollMode(ScrollPerPixel);
    setHorizontalScrollMode(ScrollPerPixel);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setMinimumSectionSize(1);
    horizontalHeader()->hide();
    setAccessibleName(Messages::text("a11yFileView"));
    setViewFont(DiffAppearance::font(settings));
    applyAppearance();
}

void KFileTableView::setLinesModel(FileLinesModel* model) {
    m_model = model;
    setModel(model);
    horizontalHeader()->setSectionResizeMode(FileLinesModel::Left, QHeaderView::Stretch);
    horizontalHeader()->setSectionResizeMode(FileLinesModel::Gutter, QHeaderView::Fixed);
    horizontalHeader()->setSectionResizeMode(FileLinesModel::Right, QHeaderView::Stretch);
    horizontalHeader()->resizeSection(FileLinesModel::Gutter, kGutterWidth);
    disconnect(m_resetConnection);
    m_resetConnection = connect(model, &QAbstractItemModel::modelReset, this, [this] {
        m_found = {};
        m_textOffset = 0;
        horizontalScrollBar()->setValue(0);
        relayoutRows();
    });
    relayoutRows();
}

void KFileTableView::setLinesWrap(bool wrap) {
    if (wrap == m_wrap) return;
    m_wrap = wrap;
    m_textOffset = 0;
    relayoutRows();
}

void KFileTableView::setViewFont(const QFont& font) {
    setFont(font);
    const QFontMetrics fm(font);
    m_lineHeight = std::max(1, fm.lineSpacing());
    horizontalHeader()->setFixedHeight(m_lineHeight + 6);
    m_charWidth = std::max(1, fm.horizontalAdvance(QLatin1Char('M')));
    relayoutRows();
}

void KFileTableView::applyAppearance() {
    m_appearance = DiffAppearance::from(m_settings, palette());
    viewport()->update();
}

int KFileTableView::numberAreaWidth() const {
    const int digits = m_model ? m_model->numberDigits() : 0;
    return digits > 0 ? (digits + 1) * m_charWidth : 0;
}

int KFileTableView::textLeftInCell() const { return numberAreaWidth() + m_charWidth / 2; }

int KFileTableView::wrapColumns() const {
    if (!m_wrap) return 0;
    const int width = columnWidth(FileLinesModel::Left) - textLeftInCell() - m_charWidth / 2;
    return std::max(8, width / m_charWidth);
}

int KFileTableView::visualLines(int row, int k) const {
    const int columns = wrapColumns();
    if (columns <= 0 || !m_model) return 1;
    qsizetype most = 1;
    for (int side = 0; side < 2; ++side)
        most = std::max(most, (m_model->lineColumns(row, side, k) + columns - 1) / columns);
    return int(most);
}

void KFileTableView::relayoutRows() {
    if (!m_model) return;
    QHeaderView* rows = verticalHeader();
    // Without updates the header only notes each new size; the table lays
    // itself out once afterwards instead of once per row.
    rows->setUpdatesEnabled(false);
    rows->setDefaultSectionSize(m_lineHeight);
    const int count = m_model->rowCount();
    m_laidOutWrapColumns = wrapColumns();
    for (int row = 0; row < count; ++row) {
        const int lines = m_model->linesInRow(row);
        if (lines == 1 && !m_wrap) continue;
        int visual = 0;
        for (int k = 0; k < lines; ++k) visual += visualLines(row, k);
        if (visual != 1) rows->resizeSection(row, visual * m_lineHeight);
    }
    rows->setUpdatesEnabled(true);
    // The scrollers know the new height at once (a kept place is restored right after).
    updateGeometries();
    viewport()->update();
    emit visibleSpanChanged();
}

void KFileTableView::updateTextScroller() {
    QScrollBar* bar = horizontalScrollBar();
    const int textWidth = columnWidth(FileLinesModel::Left) - textLeftInCell();
    const int longest = m_model ? int(std::min<qsizetype>(m_model->longestLine(), 1 << 20)) * m_charWidth : 0;
    const int overflow = m_wrap ? 0 : std::max(0, longest - textWidth + m_charWidth);
    bar->setRange(0, overflow);
    bar->setPageStep(std::max(1, textWidth));
    bar->setSingleStep(m_charWidth * 4);
}

void KFileTableView::updateGeometries() {
    QTableView::updateGeometries();
    // The horizontal scroller moves the text inside both columns, not the columns.
    updateTextScroller();
}

void KFileTableView::scrollContentsBy(int dx, int dy) {
    if (dx != 0) {
        m_textOffset = horizontalScrollBar()->value();
        viewport()->update();
        horizontalHeader()->viewport()->update();
    }
    if (dy != 0) QTableView::scrollContentsBy(0, dy);
    emit visibleSpanChanged();
}

void KFileTableView::scrollTo(const QModelIndex& index, ScrollHint hint) {
    // Only ever vertically: the left column always starts at the left edge.
    if (index.isValid()) QTableView::scrollTo(model()->index(index.row(), FileLinesModel::Left), hint);
}

void KFileTableView::resizeEvent(QResizeEvent* event) {
    QTableView::resizeEvent(event);
    if (m_wrap && wrapColumns() != m_laidOutWrapColumns) relayoutRows();
    else updateTextScroller();
    emit visibleSpanChanged();
}

void KFileTableView::changeEvent(QEvent* event) {
    QTableView::changeEvent(event);
    if (event->type() == QEvent::PaletteChange) applyAppearance();
}

void KFileTableView::setFound(const Found& found) {
    m_found = found;
    viewport()->update();
}

void KFileTableView::placeRow(int row, double fraction) {
    if (!m_model || row < 0 || row >= m_model->rowCount()) return;
    selectRow(row);
    setCurrentIndex(m_model->index(row, FileLinesModel::Left));
    QHeaderView* rows = verticalHeader();
    const int visible = viewport()->height();
    const int rowTop = rows->sectionPosition(row);
    const int last = m_model->rowCount() - 1;
    const int distanceToLast = rows->sectionPosition(last) - rowTop;
    if (visible > distanceToLast) {
        // The end of the file is near: show it.
        verticalScrollBar()->setValue(verticalScrollBar()->maximum());
    } else {
        verticalScrollBar()->setValue(std::max(0, rowTop - int(fraction * visible)));
    }
}

std::pair<double, double> KFileTableView::rowSpan(int row) const {
    const QHeaderView* rows = verticalHeader();
    const double length = std::max(1, rows->length());
    return {rows->sectionPosition(row) / length, rows->sectionSize(row) / length};
}

std::pair<double, double> KFileTableView::visibleSpan() const {
    const double length = std::max(1, verticalHeader()->length());
    return {verticalScrollBar()->value() / length, std::min(1.0, viewport()->height() / length)};
}

void KFileTableView::scrollToFraction(double fraction) {
    const int length = verticalHeader()->length();
    verticalScrollBar()->setValue(std::max(0, int(fraction * length) - viewport()->height() / 2));
}

}  // namespace qv
