#pragma once
// Whole-tree plans: a mirror sync makes the destination side equal to the
// source side, an update sync copies what is new or newer (in one or both
// directions). The planner only writes actions into the tree; execution
// carries them out like a plan made by hand.

#include "engine/KItem.h"

#include <string>
#include <vector>

namespace qv {

enum SyncType : int { kMirrorSync = 0, kUpdateSync = 1 };

// Bits of a plan request: the direction in bits 0–1 (1 left to right,
// 2 right to left, 3 both, update sync only), and deleting at the
// destination what exists only there (never with both directions).
enum MirrorBits : int { kMirrorToRight = 1, kMirrorToLeft = 2, kMirrorBoth = 3, kMirrorDeleteOrphans = 4 };

// Why an update left a pair undecided.
enum class Undecided {
    DatesTooClose,   // the modification dates are less than a second apart
    KindsDiffer,     // a file or link faces a folder: an update replaces neither
};

struct UndecidedItem {
    std::string path;   // relative to the roots
    Undecided reason;
};

class MirrorPlanner {
public:
    // `onlyOrphans`: plan only items that exist on one side ("mirrorOnlyOrphan").
    MirrorPlanner(int syncType, int mirror, bool onlyOrphans);

    // Applies the rules to the children of `item` and below. Items an update
    // sync cannot decide (dates too close, or a file facing a folder) are
    // appended to `cantSync` and get no action.
    void SelectForMirror(KItem* item, std::vector<KItem*>& cantSync) const;

    // The lines listing the undecided items: each item's path relative to the roots.
    static std::vector<std::string> notSyncedLines(const std::vector<KItem*>& cantSync);
    // The same with the reason of each.
    static std::vector<UndecidedItem> undecidedItems(const std::vector<KItem*>& cantSync);

private:
    void decideChild(KItem* child, std::vector<KItem*>& cantSync) const;
    int attributeCopyForFolder(const KItem* child) const;

    int m_type;
    int m_direction;
    bool m_onlyOrphans;
    int m_destinationOnlyState;
    int m_copyAction;
    int m_attrsAction;
    int m_deleteAction;
};

}  // namespace qv
