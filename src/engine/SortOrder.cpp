#include "engine/SortOrder.h"

#include "engine/KRootItem.h"
#include "engine/NameOrder.h"

#include <algorithm>

namespace qv {
namespace {

bool isFolder(const KItem* item) { return item->iDir1 || item->iDir2; }

}  // namespace

void sortForDisplay(std::vector<KItem*>& children, const KRootItem& root) {
    const bool ascending = root.iSortAscending;
    const bool foldersOnTop = root.iFoldersOnTop;
    std::stable_sort(children.begin(), children.end(), [&](const KItem* a, const KItem* b) {
        if (foldersOnTop && isFolder(a) != isFolder(b)) return isFolder(a);
        int c = compareNamesStrict(a->nameBytes(), b->nameBytes());
        return ascending ? c < 0 : c > 0;
    });
}

void sortByStateOnly(std::vector<KItem*>& children) {
    std::stable_sort(children.begin(), children.end(),
                     [](const KItem* a, const KItem* b) { return a->iState < b->iState; });
}

}  // namespace qv
