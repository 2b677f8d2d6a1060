#include "sync/KMergeItem.h"

#include <QStringList>

namespace qv {
namespace {

constexpr std::uint64_t kNonCopyWeight = 1000000;

std::uint64_t sizeOf(std::int64_t size) { return size > 0 ? static_cast<std::uint64_t>(size) : 0; }

}  // namespace

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
    return row;
}

}  // namespace qv
