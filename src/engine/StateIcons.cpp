#include "engine/StateIcons.h"

#include "engine/KRootItem.h"

namespace qv {

const char* EqualImage(const KItem& item, const KRootItem& root) {
    if (root.iCmpFileContents) return "equal";
    const bool emptyFile = item.hasSide(kSideLeft) && !item.iDir1 && item.iSize1 == 0 && item.iSizeReady;
    return emptyFile ? "equal" : "equal2";
}

const char* stateIconName(const KItem& item, const KRootItem& root, bool reverseArrows) {
    switch (item.iState) {
    case kStateNotCompared: return "notSet";
    case kStateEqual: return EqualImage(item, root);
    case kStateDatesDiffer: {
        const bool twoFiles = !item.iDir1 && !item.iDir2;
        return twoFiles && root.iCmpFileContents ? "equal" : "notequal";
    }
    case kStateOnlyLeft: return reverseArrows ? "onRight" : "onLeft";
    case kStateOnlyRight: return reverseArrows ? "onLeft" : "onRight";
    case kStateNoEntry: return "noEntry";
    case kStateRsrcDiffers: return "notequalrsrc";
    case kStateTagsDiffer: return "notequaltags";
    default: return "notequal";
    }
}

std::vector<std::pair<int, const char*>> SortIcons() {
    return {{kStateOnlyLeft, "onLeft"},       {kStateOnlyRight, "onRight"},     {kStateDifferent, "notequal"},
            {kStateTagsDiffer, "notequaltags"}, {kStateRsrcDiffers, "notequalrsrc"}, {kStateEqual, "equal"}};
}

}  // namespace qv
