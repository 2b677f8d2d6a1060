// The planned merge action of a node and how setting one reaches the nodes
// around it.

#include "engine/KItem.h"

#include <QtGlobal>

namespace qv {
namespace {

bool isAttributeCopy(int action) { return action == kAttrsToRight || action == kAttrsToLeft; }

bool keepsNewName(int action) {
    return action == kCopyAsToRight || action == kCopyAsToLeft || action == kRenameRight || action == kRenameLeft ||
           action == kRenameBoth;
}

}  // namespace

void KItem::setICopyTo(int action) {
    if (action != kNone && iIgnored) return;
    const bool clearsBelow = !isAttributeCopy(action);
    if (!iHasIgnoredChildren) {
        iCopyTo = static_cast<std::int8_t>(action);
        if (clearsBelow) {
            for (KItem* child : iChildren()) {
                child->setICopyTo(kNone);
                child->setICopyAs({});
            }
        }
    } else if (clearsBelow) {
        // The folder cannot stand for its subtree when some of it is
        // ignored: the action goes to every item below that accepts it.
        for (KItem* child : iChildren()) {
            child->setICopyTo(action);
            child->setICopyAs({});
        }
    }
    if (!keepsNewName(action)) setICopyAs({});
}

QString KItem::iCopyAs() const { return m_extras ? m_extras->iCopyAs : QString(); }

void KItem::setICopyAs(const QString& name) {
    if (name.isNull() && !m_extras) return;
    extras().iCopyAs = name;
}

void KItem::ResetCopyToForParents() {
    for (KItem* item = this; item; item = item->iParent())
        if (!isAttributeCopy(item->iCopyTo)) item->iCopyTo = kNone;
}

bool KItem::HasCopyActionsOnChildren() const {
    for (const KItem* child : iChildren())
        if (child->iCopyTo != kNone || child->HasCopyActionsOnChildren()) return true;
    return false;
}

int KItem::AffectedSideOf(int action) {
    switch (action) {
    case kCopyToRight: case kDeleteLeft: case kCopyAsToRight: case kAliasToRight: case kAttrsToRight:
    case kRenameLeft:
        return kSideLeft;
    case kCopyToLeft: case kDeleteRight: case kCopyAsToLeft: case kAliasToLeft: case kAttrsToLeft:
    case kRenameRight:
        return kSideRight;
    case kDeleteBoth: case kRenameBoth:
        return kSideBoth;
    default:
        return 0;
    }
}

int KItem::CopyAffectedSide() const {
    const int side = AffectedSideOf(iCopyTo);
    if (side == 0) qWarning("Asking for copy for not copied item!");
    return side;
}

void KItem::AddForChildrenBadgeSide(int side) {
    for (KItem* item = this; item; item = item->iParent()) {
        if (side == kSideLeft) ++item->extras().iChildrenBadge1;
        else if (side == kSideRight) ++item->extras().iChildrenBadge2;
    }
}

void KItem::ResetChildrenBadge() {
    if (!m_extras) return;
    m_extras->iChildrenBadge1 = 0;
    m_extras->iChildrenBadge2 = 0;
}

std::uint64_t KItem::childrenBadge(int side) const {
    if (!m_extras) return 0;
    return side == kSideLeft ? m_extras->iChildrenBadge1 : m_extras->iChildrenBadge2;
}

}  // namespace qv
