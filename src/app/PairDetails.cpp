#include "app/PairDetails.h"

#include "engine/KItem.h"
#include "engine/KRootItem.h"
#include "platform/EntryOwnership.h"
#include "platform/ExtendedAttributes.h"

#include <QFile>
#include <QMimeDatabase>

namespace qv {
namespace {

QString ownerText(const platform::EntryOwnership& o) {
    const QString user = o.user.empty() ? QString::number(o.uid) : QString::fromStdString(o.user);
    const QString group = o.group.empty() ? QString::number(o.gid) : QString::fromStdString(o.group);
    return user + QLatin1Char(':') + group;
}

}  // namespace

SideDetails PairDetails::readEntry(const std::string& path, platform::FileSystem& fs) {
    SideDetails d;
    d.path = QFile::decodeName(path.c_str());
    platform::EntryStat st;
    d.readError = fs.statPath(path, false, st, platform::kStatBirthTime | platform::kStatAccessTime);
    if (d.readError) return d;
    switch (st.type) {
        case platform::EntryType::File: d.kind = SideDetails::Kind::File; break;
        case platform::EntryType::Folder: d.kind = SideDetails::Kind::Folder; break;
        case platform::EntryType::Symlink: d.kind = SideDetails::Kind::Link; break;
        case platform::EntryType::Other: d.kind = SideDetails::Kind::Other; break;
    }
    if (d.kind != SideDetails::Kind::Folder) d.size = st.size;
    d.created = st.btimeNs;
    d.modified = st.mtimeNs;
    d.accessed = st.atimeNs;
    platform::EntryOwnership ownership;
    if (platform::readOwnership(path, false, ownership) == 0) {
        d.permissions = QStringLiteral("%1 (%2)")
                            .arg(QString::fromStdString(platform::permissionText(ownership.mode)))
                            .arg(ownership.mode & 07777, 3, 8, QLatin1Char('0'));
        d.owner = ownerText(ownership);
    }
    if (d.kind == SideDetails::Kind::Link) {
        std::string target;
        if (fs.readLink(path, target) == 0) d.linkTarget = QFile::decodeName(target.c_str());
    }
    if (d.kind == SideDetails::Kind::File) {
        static const QMimeDatabase mimes;
        d.type = mimes.mimeTypeForFile(d.path).comment();
    }
    if (const auto tags = platform::readTags(path, false))
        for (const std::string& tag : *tags) d.tags << QString::fromStdString(tag);
    platform::AttributeMap attributes;
    if (platform::readUserAttributes(path, false, attributes) == 0)
        for (const auto& [name, value] : attributes) d.attributes << QString::fromStdString(name);
    return d;
}

std::array<SideDetails, 2> PairDetails::of(const KItem& item, platform::FileSystem& fs) {
    std::array<SideDetails, 2> sides;
    const KRootItem* root = item.isRootItem() ? static_cast<const KRootItem*>(&item) : item.iRoot();
    for (int side : {kSideLeft, kSideRight}) {
        SideDetails& d = sides[std::size_t(side - 1)];
        if (!item.hasSide(side)) continue;
        const bool snapshot = root && (side == kSideLeft ? root->iSnapshot1 : root->iSnapshot2);
        if (snapshot) {
            d.recorded = true;
            d.path = QFile::decodeName(item.PathForSide(side).c_str());
            d.kind = (side == kSideLeft ? item.iDir1 : item.iDir2) ? SideDetails::Kind::Folder : SideDetails::Kind::File;
            d.modified = side == kSideLeft ? item.iDate1 : item.iDate2;
        } else {
            d = readEntry(item.PathForSide(side), fs);
        }
        // A folder's size is the comparison's count, once the size pass has it.
        if (d.kind == SideDetails::Kind::Folder || d.recorded)
            d.size = item.iSizeReady ? (side == kSideLeft ? item.iSize1 : item.iSize2) : -1;
    }
    return sides;
}

}  // namespace qv
