#include "sync/MirrorPlanner.h"

#include <cmath>

namespace qv {
namespace {

constexpr double kDateAllowanceSeconds = 1.0;

bool bothSides(const KItem* item) { return item->iState != kStateOnlyLeft && item->iState != kStateOnlyRight; }

bool hasTime(std::int64_t t) { return t != platform::kNoTime; }

// A file, link or other entry on one side facing a folder on the other.
bool kindsDiffer(const KItem* item) { return bothSides(item) && item->iDir1 != item->iDir2; }

}  // namespace

MirrorPlanner::MirrorPlanner(int syncType, int mirror, bool onlyOrphans)
    : m_type(syncType), m_direction(mirror & 3), m_onlyOrphans(onlyOrphans) {
    const bool toRight = mirror & kMirrorToRight;
    m_destinationOnlyState = toRight ? kStateOnlyRight : kStateOnlyLeft;
    m_copyAction = toRight ? kCopyToRight : kCopyToLeft;
    m_attrsAction = toRight ? kAttrsToRight : kAttrsToLeft;
    m_deleteAction = (mirror & kMirrorDeleteOrphans) ? (toRight ? kDeleteRight : kDeleteLeft) : kNone;
}

void MirrorPlanner::SelectForMirror(KItem* item, std::vector<KItem*>& cantSync) const {
    for (KItem* child : item->iChildren()) decideChild(child, cantSync);
}

int MirrorPlanner::attributeCopyForFolder(const KItem* child) const {
    if (m_type == kMirrorSync) return m_attrsAction;
    if (m_direction == kMirrorBoth) return child->iDate2 > child->iDate1 ? kAttrsToLeft : kAttrsToRight;
    const std::int64_t source = m_direction == kMirrorToRight ? child->iDate1 : child->iDate2;
    const std::int64_t destination = m_direction == kMirrorToRight ? child->iDate2 : child->iDate1;
    return source > destination ? m_attrsAction : kNone;
}

void MirrorPlanner::decideChild(KItem* child, std::vector<KItem*>& cantSync) const {
    const bool twoSided = bothSides(child);
    // An update copies what is newer into what is older; a folder is
    // neither. Walking into the pair would copy into the file as if it
    // were a folder, which can only fail.
    if (m_type == kUpdateSync && kindsDiffer(child)) {
        if (!m_onlyOrphans) cantSync.push_back(child);
        child->setICopyTo(kNone);
        return;
    }
    // A file facing a folder is replaced whole under a mirror: walking into
    // it would only empty the folder and leave the two sides different.
    const bool walkInto = twoSided && !child->iChildren().empty() && !(m_type == kMirrorSync && kindsDiffer(child));
    if (walkInto) {
        child->setICopyTo(kNone);
        if (!m_onlyOrphans && child->iState == kStateTagsDiffer) {
            const int action = attributeCopyForFolder(child);
            if (action != kNone) child->setICopyTo(action);
        }
        SelectForMirror(child, cantSync);
        return;
    }
    if (child->iState == kStateEqual && m_type == kMirrorSync) {
        child->setICopyTo(kNone);
        return;
    }
    if (child->iState == m_destinationOnlyState) {
        child->setICopyTo(m_direction == kMirrorBoth ? kCopyToLeft : m_deleteAction);
        return;
    }
    if (m_type == kMirrorSync || !twoSided) {
        if (m_onlyOrphans && twoSided) return;
        child->setICopyTo(child->iState == kStateTagsDiffer && !kindsDiffer(child) ? m_attrsAction : m_copyAction);
        return;
    }
    if (m_type != kUpdateSync) return;
    if (m_onlyOrphans) return;
    const std::int64_t left = child->iDate1, right = child->iDate2;
    if (hasTime(left) && hasTime(right) && std::fabs(platform::secondsBetween(left, right)) > kDateAllowanceSeconds) {
        if (m_direction == kMirrorBoth) {
            child->setICopyTo(right > left ? kCopyToLeft : kCopyToRight);
        } else {
            const bool sourceNewer = m_direction == kMirrorToRight ? left > right : right > left;
            if (sourceNewer) child->setICopyTo(m_copyAction);
        }
        return;
    }
    if (child->iState != kStateEqual) cantSync.push_back(child);
    child->setICopyTo(kNone);
}

std::vector<std::string> MirrorPlanner::notSyncedLines(const std::vector<KItem*>& cantSync) {
    std::vector<std::string> lines;
    for (const KItem* item : cantSync)
        if (!item->nameBytes().empty()) lines.push_back(item->iPath());
    return lines;
}

std::vector<UndecidedItem> MirrorPlanner::undecidedItems(const std::vector<KItem*>& cantSync) {
    std::vector<UndecidedItem> items;
    for (const KItem* item : cantSync)
        if (!item->nameBytes().empty())
            items.push_back({item->iPath(), kindsDiffer(item) ? Undecided::KindsDiffer : Undecided::DatesTooClose});
    return items;
}

}  // namespace qv
