#include "engine/KRootItem.h"

#include "base/PathResolution.h"
#include "snapshot/KSnapshot.h"
#include "snapshot/SnapshotFileSystem.h"

#include <QLocale>
#include <QtGlobal>

namespace qv {

std::string withoutTrailingSlash(std::string path) {
    if (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

KRootItem::KRootItem() : KItem(nullptr, nullptr) {
    iDir1 = iDir2 = true;
    setHasSide(kSideLeft, true);
    setHasSide(kSideRight, true);
}

KRootItem::~KRootItem() = default;

std::unique_ptr<KRootItem> KRootItem::ItemWithFolder(const std::string& path, int side) {
    auto root = std::make_unique<KRootItem>();
    root->SetDateColumns(path, side);
    return root;
}

void KRootItem::SetDateColumns(const std::string& path, int side) {
    platform::EntryStat st;
    const std::int64_t date = platform::systemFileSystem().statPath(path, true, st) == 0 ? st.mtimeNs : platform::kNoTime;
    std::string_view name = store().keepName(lastPathComponent(path));
    if (side == kSideLeft) {
        iDate1 = date;
        setIName2(name);
    } else {
        iDate2 = date;
        setIName(name);
    }
}

platform::FileSystem& KRootItem::fileSystemFor(int side) const {
    const auto& snapshotFs = m_snapshotFs[side == kSideLeft ? 0 : 1];
    return snapshotFs ? *snapshotFs : *m_fileSystem;
}

void KRootItem::setSnapshot(int side, std::shared_ptr<KSnapshot> snapshot) {
    auto& fs = m_snapshotFs[side == kSideLeft ? 0 : 1];
    fs = snapshot ? std::make_unique<SnapshotFileSystem>(snapshot) : nullptr;
    (side == kSideLeft ? iSnapshot1 : iSnapshot2) = std::move(snapshot);
}

std::unique_ptr<KRootItem> KRootItem::copyForNestedRun(const std::string& leftPath,
                                                         const std::string& rightPath) const {
    auto copy = std::make_unique<KRootItem>();
    copy->iIgnoreDate = iIgnoreDate;
    copy->iIgnore2secDate = iIgnore2secDate;
    copy->iCmpFileContents = iCmpFileContents;
    copy->iResolveAliases = iResolveAliases;
    copy->iCmpRsrc = iCmpRsrc;
    copy->iCmpTags = iCmpTags;
    copy->iIgnoreExt = iIgnoreExt;
    copy->iSortAscending = iSortAscending;
    copy->iFoldersOnTop = iFoldersOnTop;
    copy->iSortOnlyByFirst = iSortOnlyByFirst;
    copy->iColumns = iColumns;
    copy->iColorLabels = iColorLabels;
    copy->iIgnoreSizeValue = iIgnoreSizeValue;
    copy->iIgnoreSizeIn = iIgnoreSizeIn;
    copy->iSortingColumn = iSortingColumn;
    copy->iStatus = iStatus;
    copy->iCancelled = iCancelled;
    copy->m_fileSystem = m_fileSystem;
    // A snapshot side stays one in the nested run.
    copy->setSnapshot(kSideLeft, iSnapshot1);
    copy->setSnapshot(kSideRight, iSnapshot2);
    copy->setILeftPath(leftPath);
    copy->setIRightPath(rightPath);
    copy->setIName(copy->store().keepName(lastPathComponent(rightPath)));
    return copy;
}

const std::string& KRootItem::PathForSide(int side) const {
    static const std::string none;
    if (side == kSideLeft) return m_leftPath;
    if (side == kSideRight) return m_rightPath;
    qWarning("Accessing KRootItem for SideBoth!");
    return none;
}

void KRootItem::setILeftPath(std::string path) {
    m_leftPath = withoutTrailingSlash(std::move(path));
    setIName2(store().keepName(lastPathComponent(m_leftPath)));
    iSizeReady = false;
}

void KRootItem::setIRightPath(std::string path) {
    m_rightPath = withoutTrailingSlash(std::move(path));
    iSizeReady = false;
}

QString KRootItem::FilesFolders1(const QString& what) const {
    const FolderPart* f = folderIfAny();
    const std::uint64_t n = !f ? 0 : (what == QLatin1String("files") ? f->iFiles1 : f->iFolders1);
    return QLocale().toString(static_cast<qulonglong>(n));
}

QString KRootItem::FilesFolders2(const QString& what) const {
    const FolderPart* f = folderIfAny();
    const std::uint64_t n = !f ? 0 : (what == QLatin1String("files") ? f->iFiles2 : f->iFolders2);
    return QLocale().toString(static_cast<qulonglong>(n));
}

}  // namespace qv
