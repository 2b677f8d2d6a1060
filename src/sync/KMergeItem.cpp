#include "sync/KMergeItem.h"

#include <QStringList>

namespace qv {
namespace {

constexpr std::uint64_t kNonCopyWeight = 1000000;

std::uint64_t sizeOf(std::int64_t size) { return size > 0 ? static_cast<std::uint64_t>(size) : 0; }

bool isFolderOn(const KItem& item, int side) { return (side == kSideLeft ? item.iDir1 : item.iDir2) && !item.isLink(side); }

// The whole entry of `item` on `side`, as the comparison counted it.
PlannedRemoval wholeEntry(const KItem& item, int side, const std::string& path) {
    PlannedRemoval r{path, 1, sizeOf(side == kSideLeft ? item.iSize1 : item.iSize2)};
    if (!isFolderOn(item, side)) return r;
    if (const FolderPart* f = item.folderIfAny())
        r.entries += side == kSideLeft ? f->iFiles1 + f->iFolders1 : f->iFiles2 + f->iFolders2;
    return r;
}

// The destination entries below `item` that a copy of the source entry
// (a folder when `sourceIsFolder`) leaves without a counterpart.
void collectRemovals(const KItem& item, int source, int destination, bool sourceIsFolder, const std::string& path,
                     std::vector<PlannedRemoval>& out) {
    for (const KItem* child : item.iChildren()) {
        if (!child->hasSide(destination)) continue;
        const std::string childPath = path + "/" + std::string(child->nameForSide(destination));
        if (!sourceIsFolder || !child->hasSide(source)) {
            out.push_back(wholeEntry(*child, destination, childPath));
        } else if (isFolderOn(*child, destination)) {
            collectRemovals(*child, source, destination, isFolderOn(*child, source), childPath, out);
        }
    }
}

}  // namespace

std::uint64_t KMergeItem::removedEntries() const {
    std::uint64_t n = 0;
    for (const auto& r : removals) n += r.entries;
    return n;
}

std::uint64_t KMergeItem::removedBytes() const {
    std::uint64_t n = 0;
    for (const auto& r : removals) n += r.bytes;
    return n;
}

KMergeItem KMergeItem::MergeItemWithNItem(KItem* item) {
    KMergeItem row;
    row.iItem = item;
    row.action = item->iCopyTo;
    switch (row.action) {
    case kDeleteRight: case kRenameRight: row.iProcess = 2; break;
    case kDeleteLeft: case kRenameLeft: row.iProcess = 1; break;
    default: row.iProcess = 3; break;
    }
    const QString newName = item->iCopyAs();
    if (row.action == kRenameLeft) row.iRenameToLeft = newName;
    if (row.action == kRenameRight) row.iRenameToRight = newName;
    if (row.action == kRenameBoth) {
        const QStringList parts = newName.split(QLatin1Char(':'));
        if (parts.size() == 2) row.iRenameToLeft = parts[0], row.iRenameToRight = parts[1];
    }
    const std::string path = item->iPath();
    if (item->hasSide(kSideLeft)) row.iANameL = path;
    if (item->hasSide(kSideRight)) row.iANameR = path;
    const std::string arrow = " \u279C ";
    switch (row.action) {
    case kCopyAsToRight: row.iANameL += arrow + newName.toStdString(); break;
    case kCopyAsToLeft: row.iANameR += arrow + newName.toStdString(); break;
    case kRenameLeft: row.iANameL += arrow + row.iRenameToLeft.toStdString(); break;
    case kRenameRight: row.iANameR += arrow + row.iRenameToRight.toStdString(); break;
    case kRenameBoth:
        row.iANameL += arrow + row.iRenameToLeft.toStdString();
        row.iANameR += arrow + row.iRenameToRight.toStdString();
        break;
    default: break;
    }
    switch (row.action) {
    case kCopyToRight: case kCopyAsToRight: case kAliasToRight: row.iSize = sizeOf(item->iSize1); break;
    case kCopyToLeft: case kCopyAsToLeft: case kAliasToLeft: row.iSize = sizeOf(item->iSize2); break;
    default: row.iSize = kNonCopyWeight; break;
    }
    // A copy or an alias onto a folder of the same name takes away what the source lacks.
    const bool sameName = row.action == kCopyToRight || row.action == kCopyToLeft || row.action == kAliasToRight ||
                          row.action == kAliasToLeft;
    const int source = KItem::AffectedSideOf(row.action), destination = source == kSideLeft ? kSideRight : kSideLeft;
    if (sameName && item->hasSide(destination) && isFolderOn(*item, destination)) {
        const bool alias = row.action == kAliasToRight || row.action == kAliasToLeft;
        collectRemovals(*item, source, destination, !alias && isFolderOn(*item, source), path, row.removals);
    }
    return row;
}

}  // namespace qv
