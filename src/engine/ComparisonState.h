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

// Values of KItem::iCopyTo.
enum MergeAction : std::int32_t {
    kActionNone = 0,
    kActionCopyLeftToRight = 1,
    kActionCopyRightToLeft = 2,
    kActionDeleteRight = 3,
    kActionDeleteLeft = 4,
    kActionDeleteBoth = 5,
    kActionCopyLeftAs = 6,
    kActionCopyRightAs = 7,
    kActionAliasLeftOnRight = 8,
    kActionAliasRightOnLeft = 9,
    kActionCopyAttributesLeftToRight = 10,
    kActionCopyAttributesRightToLeft = 11,
    kActionRenameRight = 12,
    kActionRenameLeft = 13,
    kActionRenameBoth = 14,
};

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
