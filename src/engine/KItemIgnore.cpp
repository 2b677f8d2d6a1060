// Ignore marks: items the user leaves out of synchronisation, and how a mark
// spreads to the folders above and the items below.

#include "engine/KItem.h"

#include <vector>

namespace qv {
namespace {

bool isAttributeCopy(int action) { return action == kAttrsToRight || action == kAttrsToLeft; }

struct MarkSnapshot {
    KItem* item;
    bool ignored;
    bool hasIgnoredChildren;
};

// The marks of the ancestors below the root, nearest first, to find afterwards which changed.
std::vector<MarkSnapshot> ancestorMarks(KItem* item) {
    std::vector<MarkSnapshot> marks;
    for (KItem* up = item->iParent(); up && !up->isRootItem(); up = up->iParent())
        marks.push_back({up, up->iIgnored, up->iHasIgnoredChildren});
    return marks;
}

// An ancestor's action stands for its whole subtree, ignored items included.
// Once something below is ignored the action moves down to the items that
// are not, so that executing it never touches what the user left out.
void handDownAncestorActions(KItem* item) {
    std::vector<KItem*> chain;
    for (KItem* up = item->iParent(); up && !up->isRootItem(); up = up->iParent()) chain.push_back(up);
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        KItem* up = *it;
        const int action = up->iCopyTo;
        if (action == kNone || isAttributeCopy(action)) continue;
        const QString newName = up->iCopyAs();
        up->iCopyTo = kNone;
        up->setICopyAs({});
        for (KItem* child : up->iChildren()) {
            child->setICopyTo(action);
            if (child->iCopyTo == action && !newName.isEmpty()) child->setICopyAs(newName);
        }
    }
}

}  // namespace

bool KItem::HasIgnoredChildren() const {
    for (const KItem* child : iChildren())
        if (child->iIgnored || child->iHasIgnoredChildren) return true;
    return false;
}

bool KItem::AllChildrenAreIgnored() const {
    for (const KItem* child : iChildren())
        if (!child->iIgnored) return false;
    return true;
}

void KItem::SetHasIgnoredChildren(bool value) {
    if (isRootItem() || iHasIgnoredChildren == value) return;
    iHasIgnoredChildren = value;
    if (!m_parent) return;
    if (value) m_parent->SetHasIgnoredChildren(true);
    else if (!m_parent->HasIgnoredChildren()) m_parent->SetHasIgnoredChildren(false);
}

KItem* KItem::SetIgnored(bool ignored, bool withChildren) {
    if (isRootItem()) return this;
    const std::vector<MarkSnapshot> before = ancestorMarks(this);

    // The node, and with its children every item below that has no action,
    // parents before children. A node with actions below keeps its own mark
    // so that those actions stay valid.
    std::vector<KItem*> marked;
    std::vector<KItem*> pending{this};
    while (!pending.empty()) {
        KItem* node = pending.back();
        pending.pop_back();
        marked.push_back(node);
        if (!(withChildren && ignored && node->HasCopyActionsOnChildren())) node->iIgnored = ignored;
        if (node->iIgnored && node->iCopyTo != kNone) {
            node->iCopyTo = kNone;
            node->setICopyAs({});
        }
        if (!withChildren) continue;
        for (KItem* child : node->iChildren())
            if (child->iCopyTo == kNone) pending.push_back(child);
    }
    // Children before parents: each knows whether something below it is ignored.
    for (auto it = marked.rbegin(); it != marked.rend(); ++it)
        if (*it != this) (*it)->iHasIgnoredChildren = (*it)->HasIgnoredChildren();
    if (withChildren) iHasIgnoredChildren = HasIgnoredChildren();

    if (m_parent) m_parent->SetHasIgnoredChildren(iIgnored || m_parent->HasIgnoredChildren());
    if (iIgnored) {
        for (KItem* up = m_parent; up && !up->isRootItem() && !up->iIgnored && up->AllChildrenAreIgnored();
             up = up->iParent()) {
            up->iIgnored = true;
            up->iCopyTo = kNone;
        }
    } else {
        for (KItem* up = m_parent; up && !up->isRootItem(); up = up->iParent()) up->iIgnored = false;
    }
    if (iIgnored || iHasIgnoredChildren) handDownAncestorActions(this);

    KItem* top = this;
    for (const MarkSnapshot& m : before)
        if (m.item->iIgnored != m.ignored || m.item->iHasIgnoredChildren != m.hasIgnoredChildren) top = m.item;
    return top;
}

}  // namespace qv
