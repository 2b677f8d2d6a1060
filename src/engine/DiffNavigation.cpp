#include "engine/DiffNavigation.h"

#include "engine/KItem.h"
#include "engine/ViewFilter.h"

#include <QtGlobal>

#include <algorithm>

namespace qv {
namespace {

bool isOneSided(const KItem* item) { return item->iState == kStateOnlyLeft || item->iState == kStateOnlyRight; }
bool isFolder(const KItem* item) { return item->iDir1 || item->iDir2; }

KItem* step(KItem* from, bool searchInChildren, ViewFilter& view, bool forward) {
    KItem* node = from;
    bool descend = searchInChildren;
    while (node) {
        KItem* parent = node->iParent();
        if (parent && isOneSided(parent)) {
            node = parent;
            descend = false;
            continue;
        }
        KItem* candidate = nullptr;
        if (descend && isFolder(node) && !isOneSided(node)) {
            const auto& shown = view.FilteredObjectsForModule(node);
            if (!shown.empty()) candidate = forward ? shown.front() : shown.back();
        }
        if (!candidate) {
            if (!parent) return nullptr;
            const auto& siblings = view.FilteredObjectsForModule(parent);
            const auto it = std::find(siblings.begin(), siblings.end(), node);
            if (it == siblings.end()) {
                qWarning("No have me!");
                return nullptr;
            }
            if (forward ? it + 1 == siblings.end() : it == siblings.begin()) {
                node = parent;
                descend = false;
                continue;
            }
            candidate = forward ? *(it + 1) : *(it - 1);
        }
        // Folders that are not one-sided and equal rows are passed through, not stopped at.
        if ((isFolder(candidate) && !isOneSided(candidate)) || candidate->iState == kStateEqual) {
            node = candidate;
            descend = true;
            continue;
        }
        return candidate;
    }
    return nullptr;
}

}  // namespace

KItem* GetNextDiff(KItem* from, bool searchInChildren, ViewFilter& view) {
    return step(from, searchInChildren, view, true);
}

KItem* GetPrevDiff(KItem* from, bool searchInChildren, ViewFilter& view) {
    return step(from, searchInChildren, view, false);
}

}  // namespace qv
