#include "ui/ComparisonView.h"

#include "engine/ComparisonState.h"
#include "engine/KItem.h"
#include "ui/ActionColumnDelegate.h"
#include "ui/ComparisonModel.h"
#include "ui/Formatting.h"

#include <QContextMenuEvent>
#include <QFile>
#include <QMimeData>
#include <QUrl>
#include <QDateTime>
#include <QHeaderView>

#include <algorithm>

namespace qv {

ComparisonView::ComparisonView(ComparisonModel& model, QWidget* parent)
    : QTreeView(parent), m_model(model), m_delegate(new ActionColumnDelegate(this)) {
    setModel(&model);
    setItemDelegateForColumn(ComparisonModel::State, m_delegate);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setUniformRowHeights(true);   // lets the view lay out a million rows without measuring them
    setAlternatingRowColors(true);
    setSortingEnabled(true);
    setDragEnabled(true);
    setAcceptDrops(true);
    setDragDropMode(QAbstractItemView::DragDrop);
    setDefaultDropAction(Qt::CopyAction);
    viewport()->setAcceptDrops(true);
    setDropIndicatorShown(true);
    setMouseTracking(true);       // the action buttons show on hover
    setAllColumnsShowFocus(true);
    setAccessibleName(tr("Comparison"));
    header()->setStretchLastSection(false);
    header()->setSectionResizeMode(ComparisonModel::LeftName, QHeaderView::Stretch);
    header()->setSectionResizeMode(ComparisonModel::RightName, QHeaderView::Stretch);
    header()->setSectionResizeMode(ComparisonModel::State, QHeaderView::Fixed);
    header()->resizeSection(ComparisonModel::State, fontMetrics().height() * 6);
    // Wide enough for a folder of hundreds of gigabytes, in bytes or in units.
    const int sizeWidth = std::max(fontMetrics().horizontalAdvance(formatSize(999'999'999'999)),
                                   fontMetrics().horizontalAdvance(QStringLiteral("000.0 MB")));
    for (int c : {ComparisonModel::LeftSize, ComparisonModel::RightSize}) header()->resizeSection(c, sizeWidth + 16);
    // Wide enough for the longest date the locale writes (two-digit day, long month name).
    const QString sample = formatDate(QDateTime(QDate(2024, 9, 28), QTime(23, 59)).toMSecsSinceEpoch() * 1000000);
    for (int c : {ComparisonModel::LeftDate, ComparisonModel::RightDate})
        header()->resizeSection(c, fontMetrics().horizontalAdvance(sample) + 24);
    header()->setSortIndicator(ComparisonModel::State, Qt::AscendingOrder);
    // The optional columns wait until the user asks for them (the header's menu).
    for (int c = ComparisonModel::kFirstOptional; c < ComparisonModel::ColumnCount; ++c) setColumnHidden(c, true);
}

KItem* ComparisonView::currentItem() const { return m_model.itemAt(currentIndex()); }

std::vector<KItem*> ComparisonView::selectedItems() const {
    std::vector<std::pair<QModelIndex, KItem*>> rows;
    for (const QModelIndex& i : selectionModel()->selectedRows()) rows.emplace_back(i, m_model.itemAt(i));
    std::sort(rows.begin(), rows.end(), [this](const auto& a, const auto& b) {
        return visualRect(a.first).top() < visualRect(b.first).top();
    });
    std::vector<KItem*> items;
    for (const auto& r : rows) items.push_back(r.second);
    return items;
}

void ComparisonView::reveal(KItem* item, bool forward) {
    std::vector<KItem*> ancestors;
    for (KItem* p = item->iParent(); p && !p->isRootItem(); p = p->iParent()) ancestors.push_back(p);
    for (auto it = ancestors.rbegin(); it != ancestors.rend(); ++it) {
        const QModelIndex i = m_model.indexOf(*it);
        if (!i.isValid()) return;
        if (m_model.canFetchMore(i)) m_model.fetchMore(i);
        expand(i);
    }
    const QModelIndex target = m_model.indexOf(item);
    if (!target.isValid()) return;
    setCurrentIndex(target);
    selectionModel()->select(target, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    // Some rows of what follows stay in sight: below the target going forward, above it going back.
    QModelIndex context = target;
    for (int i = 0; i < 10; ++i) {
        const QModelIndex next = forward ? indexBelow(context) : indexAbove(context);
        if (!next.isValid()) break;
        context = next;
    }
    scrollTo(context);
    scrollTo(target);
}

void ComparisonView::dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight, const QList<int>& roles) {
    QTreeView::dataChanged(topLeft, bottomRight, roles);
    // Rows told of as a range may gain or lose their expand arrows (a
    // one-sided folder opens once the sizes are in). The tree takes the new
    // arrows in but repaints only the cells, not the indentation they sit in.
    if (topLeft.column() == 0 && topLeft.row() != bottomRight.row()) viewport()->update();
}

void ComparisonView::contextMenuEvent(QContextMenuEvent* event) {
    const QModelIndex at = indexAt(event->pos());
    if (at.isValid() && !selectionModel()->isRowSelected(at.row(), at.parent())) {
        setCurrentIndex(at);
        selectionModel()->select(at, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }
    int side = 0;
    if (at.column() < ComparisonModel::State) side = kSideLeft;
    else if (at.column() > ComparisonModel::State) side = kSideRight;
    else if (at.isValid()) {
        const QRect cell = visualRect(at);
        side = event->pos().x() < cell.center().x() ? kSideLeft : kSideRight;
    }
    // From the keyboard (Menu key) the menu offers both sides.
    if (event->reason() == QContextMenuEvent::Keyboard) side = 0;
    emit contextMenuForSide(event->globalPos(), side);
}

bool ComparisonView::dropPlace(const QPoint& pos, KItem*& item, int& side) const {
    const int column = columnAt(pos.x());
    if (column == ComparisonModel::State || column < 0) return false;
    const int left = columnViewportPosition(ComparisonModel::State);
    side = pos.x() < left ? kSideLeft : kSideRight;
    item = m_model.itemAt(indexAt(pos));
    return true;
}

bool ComparisonView::judgeDrop(QDropEvent* event, bool commit) {
    std::vector<std::string> paths;
    for (const QUrl& url : event->mimeData()->urls())
        if (url.isLocalFile()) paths.push_back(QFile::encodeName(url.toLocalFile()).toStdString());
    KItem* item = nullptr;
    int side = 0;
    const bool accepted = m_dropHandler && !paths.empty() && dropPlace(event->position().toPoint(), item, side) &&
                          m_dropHandler(item, side, paths, commit);
    if (accepted) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
    return accepted;
}

void ComparisonView::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls()) event->acceptProposedAction();
    else event->ignore();
}

void ComparisonView::dragMoveEvent(QDragMoveEvent* event) {
    QTreeView::dragMoveEvent(event);   // scrolls near the edges and draws the indicator
    judgeDrop(event, false);
}

void ComparisonView::dropEvent(QDropEvent* event) {
    // The view never moves rows itself: what a drop does is the controller's.
    judgeDrop(event, true);
    stopAutoScroll();
    setState(NoState);
    viewport()->update();
}

}  // namespace qv
