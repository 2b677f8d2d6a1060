#pragma once
// The actions marked on a comparison tree: marking an item by the press of
// one of its row's two action buttons, the flat list of marked items that
// execution works through, and the per-side summaries of what will be
// copied and deleted.

#include "engine/KItem.h"

#include <QString>
#include <QStringList>

#include <atomic>
#include <cstdint>
#include <functional>
#include <vector>

namespace qv {

class UserPrompt;

// What a row's action button asks for when pressed.
enum ButtonKind : int {
    BtnCopy = 1,
    BtnDelete = 2,
    BtnCopyAs = 3,
    BtnRename = 4,
    BtnCopyAttrs = 5,
    BtnAlias = 6,
    BtnCopyOnlyDiff = 7,
};

// Counters of one side summary: copies of the side's entries and deletions on that side.
struct MergeSummary {
    std::uint64_t copies[2] = {0, 0}, deletes[2] = {0, 0};
    std::uint64_t copyBytes[2] = {0, 0}, deleteBytes[2] = {0, 0};
};

// Sets the new name of an item whose action gives it one (copy-as, rename):
// (item, the action now set, the action the item had before).
using RenameSetter = std::function<void(KItem*, int action, int previousAction)>;

class MergeList {
public:
    explicit MergeList(UserPrompt& prompt) : m_prompt(prompt) {}

    // Bit 0: the left volume is read-only; bit 1: the right one.
    int iRODrive = 0;

    // --- marking ---------------------------------------------------------
    void SetItem(KItem* item, int action, bool onlyDiff);
    // The action a press of button `kind` on `side` gives the item; applied
    // when `onlyState` is -1 or equals it. Returns the computed action.
    int SetItemForRow(KItem* item, int kind, int side, int onlyState);
    // A press with several rows selected: `row` is the pressed row, the
    // others change only where their own result equals the pressed row's.
    void SetItemsForRow(KItem* row, const std::vector<KItem*>& selection, int kind, int side, int onlyState,
                        const RenameSetter& rename = {});
    bool CanDeleteOnSide(int side) const { return !(iRODrive & (side == kSideLeft ? 1 : 2)); }
    bool CanCopyFromSide(int side) const { return !(iRODrive & (side == kSideLeft ? 2 : 1)); }
    // The sides whose folder an action changes (1 left, 2 right, 3 both, 0
    // none): a copy, alias or attribute copy the other side's, a delete or
    // rename its own.
    static int WrittenSideOf(int action);
    // Whether no side the action changes is on a read-only volume.
    bool CanWriteFor(int action) const;

    // --- the list ----------------------------------------------------------
    // Rebuilds the list from the tree below `parentItem`, in pre-order.
    const std::vector<KItem*>& UpdateMergedArrayFromCHildren(KItem* parentItem);
    const std::vector<KItem*>& iMergeItems() const { return m_items; }
    std::int64_t iDoubleSideActions() const { return m_doubleSideActions; }
    // An action on both sides counts twice.
    std::uint64_t NumberOfActions() const { return m_items.size() + static_cast<std::uint64_t>(m_doubleSideActions); }
    QString badgeText() const;
    // Names that two siblings would both receive on one side, as "side:name".
    const QStringList& nameConflicts() const { return m_conflicts; }

    void ClearMerge();
    // Removes every action and new name below `item`.
    static void ClearMergeIn(KItem* item);
    void ClearActions(KItem* root);

    // --- summaries ---------------------------------------------------------
    // Adds the items' actions to the counters, walking through items without
    // one. Returns false when `cancelled` was set.
    static bool ChildrenOf(const std::vector<KItem*>& items, MergeSummary& out,
                           const std::atomic<bool>* cancelled = nullptr);
    static QString PrepareMessage(std::uint64_t copies, std::uint64_t deletes, std::uint64_t copyBytes,
                                  std::uint64_t deleteBytes, bool withSizes, bool sizeInBytes);
    // The two side lines ("" when the side has nothing to do).
    static void sideMessages(const MergeSummary& s, bool withSizes, bool sizeInBytes, QString& left, QString& right);

private:
    void appendChildren(KItem* parent, std::vector<KItem*>& out);
    void ReportTwoItemsWithTheSameName(const QString& name, int side);

    UserPrompt& m_prompt;
    std::vector<KItem*> m_items;
    std::int64_t m_doubleSideActions = 0;
    QStringList m_conflicts;
};

// The name and number of an action ("CopyToRight" for 1), and the reverse (-1 when unknown).
const char* actionName(int action);
int actionFromName(const QString& text);

}  // namespace qv
