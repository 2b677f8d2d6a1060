#include "engine/ViewFilter.h"

#include "engine/KRootItem.h"
#include "engine/SortOrder.h"

#include <QtGlobal>

namespace qv {
namespace {

bool isFolder(const KItem* item) { return item->iDir1 || item->iDir2; }

bool isDifference(int state) {
    return (state >= kStateSizesDiffer && state <= kStateDifferent) ||
           (state >= kStateNoEntry && state <= kStateTagsDiffer);
}

}  // namespace

ViewFilter::ViewFilter(const KRootItem& root, unsigned filter, platform::FileSystem& fs, Lister lister)
    : m_root(root), m_filter(filter), m_fs(fs), m_lister(std::move(lister)) {}

bool ViewFilter::FolderIsEmpty(const std::string& path) {
    m_fs.listFolder(path, m_listing);
    return m_listing.folderError != 0 || m_listing.entries.empty();
}

void ViewFilter::forgetShownChildren(KItem& node, bool below) {
    std::vector<KItem*> pending{&node};
    while (!pending.empty()) {
        KItem* item = pending.back();
        pending.pop_back();
        if (!item->folderIfAny()) continue;
        FolderPart& f = item->folder();
        f.iFilterType = kFilterOff;
        f.iFilteredObjects.clear();
        if (below) pending.insert(pending.end(), f.children.begin(), f.children.end());
    }
}

bool ViewFilter::keptInFirstPass(KItem* node) {
    if (!(m_filter & kShowEmptyFolders) && isFolder(node) && FilteredObjectsForModule(node).empty() &&
        FolderIsEmpty(node->PathForSide(kSideLeft)) && FolderIsEmpty(node->PathForSide(kSideRight))) {
        iAnyFilterOn = true;
        return false;
    }
    if (node->iIgnored && !(m_filter & kShowIgnored)) return false;
    const int state = node->iState;
    if (state == kStateEqual) return m_filter & kShowEqual;
    if (isDifference(state)) {
        if (m_filter & kShowDifferent) return true;
        return isFolder(node) && (m_filter & (kShowLeftOnly | kShowRightOnly));
    }
    if (state == kStateOnlyLeft) return m_filter & kShowLeftOnly;
    if (state == kStateOnlyRight) return m_filter & kShowRightOnly;
    qWarning("Wrong KItem state - %d", state);
    return false;
}

bool ViewFilter::keptInSecondPass(KItem* node) {
    if ((node->iState == kStateOnlyLeft && (m_filter & kShowLeftOnly)) ||
        (node->iState == kStateOnlyRight && (m_filter & kShowRightOnly)))
        return true;
    if (isFolder(node) && node->iChildren().empty() && m_lister) m_lister(node);
    if (!isFolder(node)) return true;
    if (node->iState == kStateEqual) return true;
    return !FilteredObjectsForModule(node).empty();
}

bool ViewFilter::listsWhileFiltering() const {
    return m_filter != kFilterOff && !(m_filter & kShowDifferent) && (m_filter & (kShowLeftOnly | kShowRightOnly));
}

const std::vector<KItem*>& ViewFilter::FilteredObjectsForModule(KItem* node) {
    if (m_filter == kFilterOff || !node->folderIfAny()) return node->iChildren();
    FolderPart& f = node->folder();
    if (f.iFilterType == m_filter) return f.iFilteredObjects;
    f.iFilterType = m_filter;
    std::vector<KItem*> kept;
    for (KItem* child : f.children)
        if (keptInFirstPass(child)) kept.push_back(child);
    if (listsWhileFiltering() && !kept.empty()) {
        std::vector<KItem*> second;
        for (KItem* child : kept)
            if (keptInSecondPass(child)) second.push_back(child);
        kept = std::move(second);
    }
    sortForDisplay(kept, m_root);
    f.iFilteredObjects = std::move(kept);
    return f.iFilteredObjects;
}

bool ViewFilter::isExpandable(KItem* node) {
    if (node->iState == kStateOnlyLeft || node->iState == kStateOnlyRight) return node->iDir1 || node->iDir2;
    return !FilteredObjectsForModule(node).empty();
}

}  // namespace qv
