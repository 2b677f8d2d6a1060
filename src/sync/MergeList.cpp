#include "sync/MergeList.h"

#include "base/Messages.h"
#include "engine/UserPrompt.h"

#include <QLocale>
#include <QSet>

#include <algorithm>
#include <array>
#include <tuple>

namespace qv {
namespace {

constexpr std::array<const char*, kLastMergeAction + 1> kActionNames = {
    "None",        "CopyToRight", "CopyToLeft",   "DeleteRight", "DeleteLeft",
    "DeleteBoth",  "CopyAsToRight", "CopyAsToLeft", "AliasToRight", "AliasToLeft",
    "AttrsToRight", "AttrsToLeft", "RenameRight", "RenameLeft",  "RenameBoth",
};

bool isOneOf(int value, std::initializer_list<int> set) { return std::find(set.begin(), set.end(), value) != set.end(); }

bool onlyLeft(const KItem* item) { return item->iState == kStateOnlyLeft; }
bool onlyRight(const KItem* item) { return item->iState == kStateOnlyRight; }

// Whether the entry a press on `side` works on exists.
bool existsOnSide(const KItem* item, int side) { return side == kSideRight ? !onlyLeft(item) : !onlyRight(item); }

bool contains(const std::vector<KItem*>& items, const KItem* item) {
    return std::find(items.begin(), items.end(), item) != items.end();
}

// The topmost selected ancestor of a selected item (the item itself when none is).
KItem* GetSelectedParent(KItem* item, const std::vector<KItem*>& selection) {
    KItem* top = item;
    for (KItem* up = item->iParent(); up && !up->isRootItem(); up = up->iParent())
        if (contains(selection, up)) top = up;
    return top;
}

// The action of a press whose kind does not delete, from the current action.
int actionForPress(const KItem* item, int kind, int side, int current) {
    const bool pressedSideIsSubject = side == kSideLeft ? isOneOf(current, {1, 4, 6, 8, 10, 13})
                                                        : isOneOf(current, {2, 3, 7, 9, 11, 12});
    if (pressedSideIsSubject) return kNone;
    if (current == kDeleteBoth) return side == kSideLeft ? kDeleteRight : kDeleteLeft;
    if (current == kRenameRight || current == kRenameLeft) return kRenameBoth;
    if (current == kRenameBoth) return side == kSideLeft ? kRenameRight : kRenameLeft;
    if (kind == BtnCopyAttrs && ((side == kSideLeft && onlyLeft(item)) || (side == kSideRight && onlyRight(item))))
        return -1;   // nothing to copy attributes onto
    switch (kind) {
    case BtnCopyAs: return side == kSideLeft ? kCopyAsToRight : kCopyAsToLeft;
    case BtnAlias: return side == kSideLeft ? kAliasToRight : kAliasToLeft;
    case BtnCopyAttrs: return side == kSideLeft ? kAttrsToRight : kAttrsToLeft;
    case BtnRename: return side == kSideLeft ? kRenameLeft : kRenameRight;
    default: return side == kSideLeft ? kCopyToRight : kCopyToLeft;
    }
}

// The new names an item's action gives entries in the left and the right
// folder: a copy-as writes into the other side's folder, a rename into its own.
void namesWritten(const KItem* item, QString& left, QString& right) {
    const QString name = item->iCopyAs();
    if (name.isEmpty()) return;
    switch (item->iCopyTo) {
    case kCopyAsToLeft: case kRenameLeft: left = name; break;
    case kCopyAsToRight: case kRenameRight: right = name; break;
    case kRenameBoth: {
        const QStringList parts = name.split(QLatin1Char(':'));
        if (parts.size() == 2) left = parts[0], right = parts[1];
        break;
    }
    default: break;
    }
}

}  // namespace

int MergeList::WrittenSideOf(int action) {
    switch (action) {
    case kCopyToRight: case kCopyAsToRight: case kAliasToRight: case kAttrsToRight:
    case kDeleteRight: case kRenameRight:
        return kSideRight;
    case kCopyToLeft: case kCopyAsToLeft: case kAliasToLeft: case kAttrsToLeft:
    case kDeleteLeft: case kRenameLeft:
        return kSideLeft;
    case kDeleteBoth: case kRenameBoth:
        return kSideBoth;
    default:
        return 0;
    }
}

bool MergeList::CanWriteFor(int action) const {
    const int side = WrittenSideOf(action);
    return !((side & kSideLeft) && (iRODrive & 1)) && !((side & kSideRight) && (iRODrive & 2));
}

const char* actionName(int action) {
    return action >= 0 && action <= kLastMergeAction ? kActionNames[static_cast<std::size_t>(action)] : "";
}

int actionFromName(const QString& text) {
    bool isNumber = false;
    const int number = text.toInt(&isNumber);
    if (isNumber) return number >= 0 && number <= kLastMergeAction ? number : -1;
    for (int action = 0; action <= kLastMergeAction; ++action)
        if (text.compare(QLatin1String(kActionNames[static_cast<std::size_t>(action)]), Qt::CaseInsensitive) == 0)
            return action;
    return -1;
}

void MergeList::SetItem(KItem* item, int action, bool onlyDiff) {
    if (item->iCopyTo == action) return;
    if (onlyLeft(item) && isOneOf(action, {kCopyToLeft, kDeleteRight, kDeleteBoth})) return;
    if (onlyRight(item) && isOneOf(action, {kCopyToRight, kDeleteLeft, kDeleteBoth})) return;
    const bool copyOfFolder = (action == kCopyToRight && item->iDir1) || (action == kCopyToLeft && item->iDir2);
    const int sourceOnlyState = action == kCopyToRight ? kStateOnlyLeft : kStateOnlyRight;
    if (onlyDiff && copyOfFolder && item->iState != sourceOnlyState) {
        // Only what differs inside the folder is copied; the folder itself stays unmarked.
        for (KItem* child : item->iChildren())
            if (child->iState != kStateEqual) SetItem(child, action, true);
    } else {
        item->setICopyTo(action);
    }
    if (action != kAttrsToRight && action != kAttrsToLeft && item->iParent()) item->iParent()->ResetCopyToForParents();
}

int MergeList::SetItemForRow(KItem* item, int kind, int side, int onlyState) {
    const int current = item->iCopyTo;
    int result = kNone;
    if (kind == BtnDelete) {
        if (side == kSideRight)
            result = isOneOf(current, {2, 3, 7, 11, 12}) ? kNone : current == kDeleteLeft ? kDeleteBoth : kDeleteRight;
        else
            result = isOneOf(current, {1, 4, 6, 10, 13}) ? kNone : current == kDeleteRight ? kDeleteBoth : kDeleteLeft;
    } else {
        if (kind == BtnCopyOnlyDiff && item->iState == kStateEqual) return kNone;
        result = actionForPress(item, kind, side, current);
        if (result < 0) return kNone;
    }
    if (onlyLeft(item) && isOneOf(result, {2, 3, 7, 9, 12})) result = kNone;
    if (onlyRight(item) && isOneOf(result, {1, 4, 6, 8, 13})) result = kNone;
    if (onlyState == -1 || (onlyState >= 0 && onlyState == result)) SetItem(item, result, kind == BtnCopyOnlyDiff);
    return result;
}

void MergeList::SetItemsForRow(KItem* row, const std::vector<KItem*>& selection, int kind, int side, int onlyState,
                               const RenameSetter& rename) {
    std::vector<KItem*> work = selection;
    if (kind == BtnDelete && contains(selection, row)) {
        // Deleting a selected folder covers its selected descendants.
        work.clear();
        for (KItem* item : selection) {
            KItem* top = GetSelectedParent(item, selection);
            if (existsOnSide(top, side) && !contains(work, top)) work.push_back(top);
        }
        if (work.empty()) return;
        row = work.front();
    }
    const int previous = row->iCopyTo;
    int target = SetItemForRow(row, kind, side, onlyState);
    if (onlyState != -1) target = onlyState;
    const bool namesTarget = isOneOf(target, {kCopyAsToRight, kCopyAsToLeft, kRenameRight, kRenameLeft, kRenameBoth});
    if ((!rename || previous == kRenameBoth) && (target == kRenameRight || target == kRenameLeft)) {
        // Half of a rename of both sides is dropped: keep the remaining side's name.
        const QStringList parts = row->iCopyAs().split(QLatin1Char(':'));
        if (parts.size() == 2) row->setICopyAs(parts[target == kRenameLeft ? 0 : 1]);
    }
    if (rename && namesTarget) rename(row, target, previous);
    if (!contains(work, row)) return;
    for (KItem* item : work) {
        if (item == row) continue;
        const int itemPrevious = item->iCopyTo;
        SetItemForRow(item, kind, side, target);
        if (rename && namesTarget && item->iCopyTo == target) rename(item, target, itemPrevious);
    }
}

const std::vector<KItem*>& MergeList::UpdateMergedArrayFromCHildren(KItem* parentItem) {
    m_items.clear();
    m_doubleSideActions = 0;
    m_conflicts.clear();
    if (parentItem) appendChildren(parentItem, m_items);
    return m_items;
}

void MergeList::appendChildren(KItem* parent, std::vector<KItem*>& out) {
    QSet<QString> arrivingLeft, arrivingRight;
    for (KItem* child : parent->iChildren()) {
        const int action = child->iCopyTo;
        if (action != kNone) {
            out.push_back(child);
            const int side = child->CopyAffectedSide();
            if ((side == kSideLeft || side == kSideBoth) && parent->iDir1) parent->AddForChildrenBadgeSide(side);
            if ((side == kSideRight || side == kSideBoth) && parent->iDir2) parent->AddForChildrenBadgeSide(side);
            if (side == kSideBoth) ++m_doubleSideActions;
        }
        QString intoLeft, intoRight;
        namesWritten(child, intoLeft, intoRight);
        for (auto [name, arriving, side] : {std::tuple{intoLeft, &arrivingLeft, int(kSideLeft)},
                                            std::tuple{intoRight, &arrivingRight, int(kSideRight)}}) {
            if (name.isEmpty()) continue;
            if (arriving->contains(name)) ReportTwoItemsWithTheSameName(name, side);
            arriving->insert(name);
        }
        if (!child->iChildren().empty()) {
            child->ResetChildrenBadge();
            appendChildren(child, out);
        }
    }
}

void MergeList::ReportTwoItemsWithTheSameName(const QString& name, int side) {
    const QString sideWord = side == kSideLeft ? QStringLiteral("left") : QStringLiteral("right");
    m_conflicts << sideWord + QLatin1Char(':') + name;
    if (!m_prompt.showsUI()) return;
    m_prompt.inform(Messages::text("nameConflict"),
                    Messages::format(side == kSideLeft ? "nameConflict1L" : "nameConflict1R", name));
}

QString MergeList::badgeText() const {
    if (m_items.empty()) return {};
    return m_items.size() <= 999 ? QString::number(NumberOfActions()) : QStringLiteral(">999");
}

void MergeList::ClearMerge() {
    m_items.clear();
    m_doubleSideActions = 0;
    m_conflicts.clear();
}

void MergeList::ClearMergeIn(KItem* item) {
    for (KItem* child : item->iChildren()) {
        child->setICopyAs({});
        child->iCopyTo = kNone;
        ClearMergeIn(child);
    }
}

void MergeList::ClearActions(KItem* root) {
    if (root) ClearMergeIn(root);
    ClearMerge();
}

bool MergeList::ChildrenOf(const std::vector<KItem*>& items, MergeSummary& s, const std::atomic<bool>* cancelled) {
    if (cancelled && cancelled->load(std::memory_order_relaxed)) return false;
    for (KItem* item : items) {
        const int action = item->iCopyTo;
        if (action == kNone) {
            if (!ChildrenOf(item->iChildren(), s, cancelled)) return false;
            continue;
        }
        const auto left = static_cast<std::uint64_t>(std::max<std::int64_t>(item->iSize1, 0));
        const auto right = static_cast<std::uint64_t>(std::max<std::int64_t>(item->iSize2, 0));
        if (isOneOf(action, {1, 6, 8, 10})) ++s.copies[0], s.copyBytes[0] += left;
        if (isOneOf(action, {2, 7, 9, 11})) ++s.copies[1], s.copyBytes[1] += right;
        if (isOneOf(action, {4, 13, 5, 14})) ++s.deletes[0], s.deleteBytes[0] += left;
        if (isOneOf(action, {3, 12, 5, 14})) ++s.deletes[1], s.deleteBytes[1] += right;
    }
    return true;
}

QString MergeList::PrepareMessage(std::uint64_t copies, std::uint64_t deletes, std::uint64_t copyBytes,
                                  std::uint64_t deleteBytes, bool withSizes, bool sizeInBytes) {
    QLocale locale;
    auto part = [&](const char* key, std::uint64_t count, std::uint64_t bytes) {
        QString text = Messages::text(key) + QStringLiteral(": ") + QString::number(count) + QLatin1Char(' ') +
                       Messages::text(count == 1 ? "item" : "items");
        if (withSizes) {
            const QString size = sizeInBytes ? QString::number(bytes)
                                             : locale.formattedDataSize(static_cast<qint64>(bytes), 1,
                                                                        QLocale::DataSizeSIFormat);
            text += QStringLiteral(" (") + size + QLatin1Char(')');
        }
        return text;
    };
    if (copies && deletes) return part("copyF2", copies, copyBytes) + QStringLiteral(", ") + part("delF2", deletes, deleteBytes);
    if (copies) return part("copyF2", copies, copyBytes);
    if (deletes) return part("delF2", deletes, deleteBytes);
    return {};
}

void MergeList::sideMessages(const MergeSummary& s, bool withSizes, bool sizeInBytes, QString& left, QString& right) {
    left = PrepareMessage(s.copies[0], s.deletes[0], s.copyBytes[0], s.deleteBytes[0], withSizes, sizeInBytes);
    right = PrepareMessage(s.copies[1], s.deletes[1], s.copyBytes[1], s.deleteBytes[1], withSizes, sizeInBytes);
}

}  // namespace qv
