#include "app/ExpandedRows.h"

#include "engine/KItem.h"
#include "engine/ViewFilter.h"

namespace qv {

void ExpandedRows::StoreExpandedItems(KItem& top, ViewFilter& view) {
    m_paths.clear();
    std::size_t rows = 0;
    std::vector<KItem*> pending{&top};
    while (!pending.empty()) {
        KItem* node = pending.back();
        pending.pop_back();
        for (KItem* child : view.FilteredObjectsForModule(node)) {
            if (++rows >= kRowLimit) {
                m_paths.clear();
                return;
            }
            if (!child->iExpanded) continue;
            m_paths.push_back(child->iPath());
            pending.push_back(child);
        }
    }
}

std::vector<KItem*> ExpandedRows::RestoreExpandedItems(KItem& top) {
    std::vector<KItem*> restored;
    // Parents were stored before their children, so the list comes back in the order a view expands rows.
    for (const std::string& path : m_paths) {
        KItem* node = top.itemAtIPath(path);
        if (!node) continue;
        node->iExpanded = true;
        restored.push_back(node);
    }
    return restored;
}

}  // namespace qv
