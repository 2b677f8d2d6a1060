// The pair comparison of two entries by size and date.

#include "engine/ContentCheckQueue.h"
#include "engine/KItem.h"
#include "engine/KRootItem.h"

#include <cmath>
#include <cstdlib>

namespace qv {
namespace {

struct SideValues {
    std::int64_t size = 0;
    std::int64_t dateNs = platform::kNoTime;
    bool folder = false;
    bool hasSize = false;
};

// A followed link answers with its target's values; anything else with the node's own.
SideValues valuesOf(const KItem& node, int side, const KRootItem& root) {
    SideValues v;
    const std::string& link = node.linkForSide(side);
    if (root.iResolveAliases && !link.empty()) {
        platform::EntryStat st;
        if (root.fileSystemFor(side).statPath(link, true, st) == 0) {
            v.folder = st.type == platform::EntryType::Folder;
            v.size = v.folder ? 0 : st.size;
            v.dateNs = st.mtimeNs;
            v.hasSize = true;
        }
        return v;
    }
    v.size = side == kSideLeft ? node.iSize1 : node.iSize2;
    v.dateNs = side == kSideLeft ? node.iDate1 : node.iDate2;
    v.folder = side == kSideLeft && node.iDir1;
    v.hasSize = node.hasSide(side);
    return v;
}

// Unfollowed, a link is the path it stores: it equals only a link that
// stores the same one, never a file whatever its size and date.
bool sameUnfollowedLinks(const KItem& left, const KItem& right, const KRootItem& root) {
    if (!left.isLink(kSideLeft) || !right.isLink(kSideRight)) return false;
    std::string target1, target2;
    return root.fileSystemFor(kSideLeft).readLink(left.PathForSide(kSideLeft), target1) == 0 &&
           root.fileSystemFor(kSideRight).readLink(right.PathForSide(kSideRight), target2) == 0 && target1 == target2;
}

}  // namespace

int KItem::CompareWithNode(KItem* right, bool copyValues, ContentCheckQueue* deferred) {
    KItem& y = *right;
    KRootItem& root = *rootOrSelf();
    const SideValues left = valuesOf(*this, kSideLeft, root);
    const SideValues rightValues = valuesOf(y, kSideRight, root);

    const bool unfollowedLinks = !root.iResolveAliases && (isLink(kSideLeft) || y.isLink(kSideRight));
    int state;
    if (left.folder || rightValues.folder || (unfollowedLinks && !sameUnfollowedLinks(*this, y, root))) {
        state = kStateDifferent;
    } else {
        bool sizesEqual;
        if (!left.hasSize) {
            sizesEqual = false;
        } else if (root.iIgnoreSizeValue != 0 && root.iIgnoreSizeIn != 2) {
            const std::int64_t delta = std::llabs(left.size - rightValues.size);
            sizesEqual = delta <= root.iIgnoreSizeValue;
            if (sizesEqual && delta != 0) y.setIOffsetSize(true);
        } else {
            sizesEqual = left.size == rightValues.size;
        }
        if (root.iIgnoreDate) {
            state = sizesEqual ? kStateEqual : kStateSizesDiffer;
        } else {
            double d = 0;
            if (left.dateNs != platform::kNoTime && rightValues.dateNs != platform::kNoTime)
                d = std::fabs(platform::secondsBetween(left.dateNs, rightValues.dateNs));
            else if (left.dateNs != rightValues.dateNs)
                d = 1e300;   // one date unreadable: never within any allowance
            if (d < 1.0) d = 0;
            const double allowed = root.iIgnore2secDate ? 2.0 : 0.0;
            if (sizesEqual) state = d <= allowed ? kStateEqual : kStateDatesDiffer;
            else state = d <= allowed ? kStateSizesDiffer : kStateSizesAndDatesDiffer;
            if (d > 0 && root.iIgnore2secDate && d <= allowed) y.iOffsetDate = true;
        }
    }
    y.iCompared = true;
    iCompared = true;
    y.iState = state;
    if (copyValues) y.CopySideValuesFrom(*this, nameBytes());

    // Further checks read the files: contents when asked, attributes and tags
    // only for a pair that came out equal. A date difference alone is settled
    // by the contents.
    const bool extraChecks = state == kStateEqual && (root.iCmpRsrc || root.iCmpTags);
    if (state != kStateEqual && state != kStateDatesDiffer) return state;
    if (unfollowedLinks) return state;   // their contents are the stored paths, already compared
    const bool bothRecorded = root.iSnapshot1 && root.iSnapshot2;
    if (!root.iCmpFileContents && !extraChecks && !bothRecorded) return state;

    y.iState = kStateNotCompared;
    y.setLinkForSide(kSideLeft, linkForSide(kSideLeft));
    const std::string& link1 = linkForSide(kSideLeft);
    const std::string& link2 = y.linkForSide(kSideRight);
    std::string path1 = root.iResolveAliases && !link1.empty() ? link1 : PathForSide(kSideLeft);
    std::string path2 = root.iResolveAliases && !link2.empty() ? link2 : y.PathForSide(kSideRight);
    const platform::PairKinds kinds = isRegularFile(kSideLeft) && y.isRegularFile(kSideRight)
                                          ? platform::PairKinds::ListedAsFiles : platform::PairKinds::Unseen;
    if (deferred) {
        // Recorded sides are not read: only live contents count as bytes to read.
        const bool readsContents = root.iCmpFileContents && !root.iSnapshot1 && !root.iSnapshot2;
        deferred->add(&y, std::move(path1), std::move(path2), kinds, readsContents ? left.size : 0);
        return kStatePending;
    }
    state = CompareFile(path1, path2, root, kinds);
    y.iState = state;
    return state;
}

}  // namespace qv
