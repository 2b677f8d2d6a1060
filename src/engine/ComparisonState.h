#pragma once
#include <cstdint>

namespace qv {

// Values of KItem::iState.
enum ComparisonState : std::int32_t {
    kStateNotCompared = 0,
    kStateEqual = 1,
    kStateSizesDiffer = 2,
    kStateDatesDiffer = 3,
    kStateSizesAndDatesDiffer = 4,
    kStateDifferent = 5,
    kStateLeftUnpaired = 6,   // transient: the node becomes kStateOnlyLeft
    kStateOnlyLeft = 7,
    kStateOnlyRight = 8,
    kStateCancelled = 9,      // transient: the node stores kStateNotCompared
    kStateNoEntry = 10,
    kStateRsrcDiffers = 11,
    kStateTagsDiffer = 12,
    // The scan's own mark for a pair whose files are still being read; never shown.
    kStatePending = -1,
};

// Values of KItem::iCopyTo: the planned merge action of a node.
enum MergeAction : std::int32_t {
    kNone = 0,
    kCopyToRight = 1,
    kCopyToLeft = 2,
    kDeleteRight = 3,
    kDeleteLeft = 4,
    kDeleteBoth = 5,
    kCopyAsToRight = 6,
    kCopyAsToLeft = 7,
    kAliasToRight = 8,
    kAliasToLeft = 9,
    kAttrsToRight = 10,
    kAttrsToLeft = 11,
    kRenameRight = 12,
    kRenameLeft = 13,
    kRenameBoth = 14,
};
constexpr int kLastMergeAction = kRenameBoth;

enum Side : int { kSideLeft = 1, kSideRight = 2, kSideBoth = 3 };

// Bits of KRootItem::iColumns: optional columns whose values the scan reads.
enum OptionalColumn : std::uint32_t {
    kColumnCreationDate = 4,
    kColumnOpeningDate = 8,
    kColumnKind = 16,
    kColumnTags = 32,
    kColumnDigest = 64,
    kColumnDateAdded = 128,
};

}  // namespace qv
