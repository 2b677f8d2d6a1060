// What the controller offers the window's tree: the rows under a node and
// which can open, one-sided folders listed on demand, remembered open rows,
// the live re-sort, the optional columns and the ignore marks.

#include "app/QuorvaneModule.h"

#include "engine/ColumnReader.h"
#include "base/Settings.h"
#include "engine/FolderSizePass.h"
#include "engine/SortOrder.h"
#include "sync/MergeList.h"

#include <QCoreApplication>
#include <QMutexLocker>
#include <QThread>

namespace qv {
namespace {

bool isOneSidedFolder(const KItem* item) {
    return (item->iState == kStateOnlyLeft && item->iDir1) || (item->iState == kStateOnlyRight && item->iDir2);
}

}  // namespace

// --- rows -----------------------------------------------------------------------

ViewFilter& QuorvaneModule::view() {
    if (!m_view || m_view->iModuleFilter() != m_moduleFilter) {
        // One-sided folders are listed when the filter needs to look inside them.
        m_view = std::make_unique<ViewFilter>(*m_root, m_moduleFilter, m_fs,
                                              [this](KItem* node) { listOneSidedFolder(node); });
    }
    return *m_view;
}

const std::vector<KItem*>& QuorvaneModule::shownChildren(KItem* item) {
    static const std::vector<KItem*> none;
    if (!item || !m_root) return none;
    // The scan is still building the tree: only its top level is served, as it stands.
    if (m_thread) return item == m_root.get() ? item->iChildren() : none;
    return view().FilteredObjectsForModule(item);
}

bool QuorvaneModule::canExpand(KItem* item) {
    if (!item || !m_root || m_thread || m_runOptions.iIgnoreSubfolders) return false;
    if (isOneSidedFolder(item)) return canListOnDemand();
    return !view().FilteredObjectsForModule(item).empty();
}

bool QuorvaneModule::canListOnDemand() const {
    // The size pass and a column refresh are still walking the one-sided folders.
    return m_root && !m_thread && !m_sizeThread && !m_columnThread;
}

bool QuorvaneModule::needsListing(const KItem* item) const {
    return item && canListOnDemand() && isOneSidedFolder(item) && !item->childrenListed && item->iChildren().empty();
}

std::size_t QuorvaneModule::ListFolderOnDemand(KItem* item) {
    if (!needsListing(item)) return item ? shownChildren(item).size() : 0;
    listOneSidedFolder(item);
    return shownChildren(item).size();
}

void QuorvaneModule::setExpanded(KItem* item, bool expanded) {
    if (item) item->iExpanded = expanded;
}

void QuorvaneModule::StoreExpandedItems() {
    if (m_parentItem && !m_thread) m_expanded.StoreExpandedItems(*m_parentItem, view());
}

const std::vector<KItem*>& QuorvaneModule::RestoreExpandedItems() {
    m_restoredExpanded = m_root ? m_expanded.RestoreExpandedItems(*m_root) : std::vector<KItem*>();
    return m_restoredExpanded;
}

// --- sorting ----------------------------------------------------------------------

void QuorvaneModule::SafeResort(int column, bool ascending) {
    m_sortColumn = column;
    m_sortAscending = ascending;
    if (!m_root) return;
    if (const std::uint32_t bit = columnBitFor(column); bit && !(m_root->iColumns & bit)) {
        // Sorting by values not read yet: read them, then sort.
        m_columns |= bit;
        m_resortAfterColumns = true;
        RefreshColumns();
        return;
    }
    tryResort();
}

void QuorvaneModule::tryResort() {
    if (!m_root) return;
    // A scan or a column refresh holds the tree: the main thread never waits for it.
    if (!m_root->iSemafor().tryLock()) {
        m_resortTimer.start(100);
        return;
    }
    if (m_sortColumn >= 0) {
        m_root->iSortingColumn = m_sortColumn;
        m_root->iSortAscending = m_sortAscending;
    }
    emit aboutToResort();
    m_root->Resort();
    m_root->iSemafor().unlock();
    emit resorted();
}

void QuorvaneModule::ColumnClicked(int column) {
    const int current = m_sortColumn >= 0 ? m_sortColumn : (m_root ? m_root->iSortingColumn : kColumnState);
    const bool ascending = m_sortColumn >= 0 ? m_sortAscending : (!m_root || m_root->iSortAscending);
    SafeResort(column, column == current ? !ascending : true);
}

QString QuorvaneModule::stateColumnTitle() const {
    const int column = m_sortColumn >= 0 ? m_sortColumn : (m_root ? m_root->iSortingColumn : kColumnState);
    if (column != kColumnState && column <= kColumnAdded2) return QStringLiteral(">    =    <");
    // Actions cannot be marked against a snapshot side: only the state is shown then.
    const bool mergingDisabled = m_root && (m_root->iSnapshot1 || m_root->iSnapshot2);
    return mergingDisabled ? QStringLiteral("   =") : QStringLiteral(" >  =  <");
}

// --- optional columns ------------------------------------------------------------

std::uint32_t QuorvaneModule::columnsForRun() const {
    const int column = m_sortColumn >= 0 ? m_sortColumn : (m_root ? m_root->iSortingColumn : -1);
    return m_columns | columnBitFor(column);
}

bool QuorvaneModule::colorLabelsWithColumns() const {
    // A label costs an attribute read per entry: a scan pays it only when it reads columns anyway.
    return columnsForRun() != 0 && m_settings.intValue(QStringLiteral("showColorTags2")) >= 1;
}

int QuorvaneModule::colorLabel(KItem* item, int side) {
    if (!item || !m_root || !item->hasSide(side) || m_settings.intValue(QStringLiteral("showColorTags2")) < 1) return 0;
    const ItemExtras* x = item->extrasIfAny();
    const std::optional<int>* known = x ? (side == kSideLeft ? &x->iTagNumber1 : &x->iTagNumber2) : nullptr;
    if (!known || !known->has_value()) {
        ColumnReader reader(*m_root, 0, true);
        reader.AddColumns(*item, item->PathForSide(side), side);
        x = item->extrasIfAny();
        known = x ? (side == kSideLeft ? &x->iTagNumber1 : &x->iTagNumber2) : nullptr;
    }
    return known && known->has_value() ? **known : 0;
}

void QuorvaneModule::AddColumns(std::uint32_t columns) {
    m_columns |= columns;
    RefreshColumns();
}

void QuorvaneModule::RefreshColumns() {
    if (!m_root || m_thread || m_columnThread || !m_snapshotError.isEmpty()) return;
    const std::uint32_t missing = columnsForRun() & ~m_root->iColumns;
    const bool labels = colorLabelsWithColumns() && !m_root->iColorLabels;
    if (!missing && !labels) {
        if (m_resortAfterColumns) {
            m_resortAfterColumns = false;
            tryResort();
        }
        return;
    }
    m_columnCancelled = false;
    auto reader = std::make_shared<ColumnReader>(*m_root, missing, labels, &m_columnCancelled);
    auto completed = std::make_shared<bool>(false);
    KRootItem* root = m_root.get();
    m_columnThread = QThread::create([reader, root, completed] {
        QMutexLocker lock(&root->iSemafor());
        *completed = reader->RefreshColumns(*root);
    });
    const unsigned generation = ++m_columnGeneration;
    connect(m_columnThread, &QThread::finished, this, [this, completed, missing, labels, generation] {
        if (!m_columnThread || generation != m_columnGeneration) return;   // stopped and awaited already
        m_columnThread->wait();
        delete m_columnThread;
        m_columnThread = nullptr;
        if (!*completed || m_columnCancelled) return;
        m_root->iColumns |= missing;
        if (labels) m_root->iColorLabels = true;
        emit columnsRefreshed();
        emit treeChanged();
        // Columns asked for meanwhile, and a sort waiting for its values.
        RefreshColumns();
    }, Qt::QueuedConnection);
    m_columnThread->start();
}

void QuorvaneModule::stopColumnRefresh() {
    if (!m_columnThread) return;
    m_columnCancelled = true;
    while (m_columnThread && !m_columnThread->wait(10)) QCoreApplication::processEvents();
    delete m_columnThread;
    m_columnThread = nullptr;
}

// --- ignore marks -----------------------------------------------------------------

KItem* QuorvaneModule::SetIgnored(KItem* item, bool ignored, bool withChildren) {
    if (!item || !m_root || m_thread || item->isRootItem()) return nullptr;
    emit ignoreMarksAboutToChange();
    KItem* top = item->SetIgnored(ignored, withChildren);
    ViewFilter::forgetShownChildren(*top, true);
    if (KItem* parent = top->iParent()) ViewFilter::forgetShownChildren(*parent, false);
    // The size pass counts the tree on its own thread; it is counted again when that ends.
    if (m_sizeThread) m_recountStats = true;
    else FolderSizePass::RecountStats(*m_root);
    m_mergeList->UpdateMergedArrayFromCHildren(m_parentItem);
    MergeItemsUpdated();
    SetCompareStatusIfNotMerge();
    refreshButtons();
    emit ignoreMarksChanged(top);
    return top;
}

}  // namespace qv
