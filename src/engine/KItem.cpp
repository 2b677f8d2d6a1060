#include "engine/KItem.h"

#include "engine/KRootItem.h"
#include "engine/NameOrder.h"
#include "base/PathResolution.h"
#include "engine/SortOrder.h"

#include <QtGlobal>

#include <algorithm>

namespace qv {
namespace {

const std::vector<KItem*> kNoChildren;
const std::string kNoLink;

QString displayText(std::string_view bytes) {
    return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

bool lessByName(const KItem* a, const KItem* b) {
    return compareNamesStrict(a->nameBytes(), b->nameBytes()) < 0;
}

bool lessByNameWithoutExt(const KItem* a, const KItem* b) {
    int c = compareNames(nameWithoutExtension(a->nameBytes()), nameWithoutExtension(b->nameBytes()));
    return c != 0 ? c < 0 : lessByName(a, b);
}

}  // namespace

KItem::~KItem() = default;

KRootItem* KItem::rootOrSelf() { return m_root ? m_root : static_cast<KRootItem*>(this); }
const KRootItem* KItem::rootOrSelf() const { return m_root ? m_root : static_cast<const KRootItem*>(this); }

// --- creation ---------------------------------------------------------------

void KItem::FillFromURL(KItem& node, const ScanEntry& url, int side, std::optional<bool> dir, bool keepName) {
    const platform::EntryStat& st = *url.stat;
    KRootItem* root = node.rootOrSelf();
    node.setIName(keepName ? root->store().keepName(url.name) : url.name);
    const bool isFolder = dir.value_or(st.type == platform::EntryType::Folder);
    const bool isLink = st.type == platform::EntryType::Symlink;
    node.iSizeReady = !isFolder;
    node.setSideValues(side, isFolder ? 0 : st.size, st.mtimeNs, isFolder);
    node.setIsLink(side, isLink);
    node.setIsRegularFile(side, st.type == platform::EntryType::File);
    if (isLink && (root->iCmpFileContents || root->iResolveAliases)) {
        // A snapshot side answers from its recorded links, never from the disk.
        platform::FileSystem& fs = root->fileSystemFor(side);
        std::string full = joinPath(std::string(url.folderPath), url.name);
        std::string resolved = StringByResolvingSymlinksAndAliases(full, fs);
        platform::EntryStat target;
        if (resolved != full && fs.statPath(resolved, true, target) == 0) node.setLinkForSide(side, resolved);
    }
}

KItem* KItem::ItemWithURL(const ScanEntry& url, int side, KRootItem* root, KItem* parent, std::optional<bool> dir) {
    KItem* node = root->store().newItem(root, parent);
    FillFromURL(*node, url, side, dir, true);
    return node;
}

KItem* KItem::ItemWithFolder(const std::string& path, int side, KRootItem* root, KItem* parent) {
    platform::EntryStat st;
    if (root->fileSystemFor(side).statPath(path, true, st) != 0 || st.type != platform::EntryType::Folder)
        return nullptr;
    KItem* node = root->store().newItem(root, parent);
    node->setIName(root->store().keepName(lastPathComponent(path)));
    node->setSideValues(side, 0, st.mtimeNs, true);
    node->iSizeReady = false;
    return node;
}

KItem* KItem::Item(std::string_view name, std::int64_t size, bool dir, int side, KRootItem* root,
                   std::string_view link, KItem* parent) {
    KItem* node = root->store().newItem(root, parent);
    node->setIName(root->store().keepName(name));
    node->setSideValues(side, size, platform::kNoTime, dir);
    node->iSizeReady = !dir;
    if (!link.empty()) node->setLinkForSide(side, link);
    return node;
}

KItem* KItem::persist(KItem&& temporary) {
    KRootItem* root = temporary.rootOrSelf();
    KItem* node = root->store().newItem(std::move(temporary));
    node->setIName(root->store().keepName(node->nameBytes()));
    if (node->hasName2()) node->setIName2(root->store().keepName(node->name2Bytes()));
    return node;
}

// --- names and paths -------------------------------------------------------

void KItem::setIName(std::string_view bytes) {
    m_name = bytes.data() ? bytes.data() : "";
    m_nameLength = static_cast<std::uint16_t>(bytes.size());
}

void KItem::setIName2(std::string_view bytes) {
    m_name2 = bytes.data() ? bytes.data() : "";
    m_name2Length = static_cast<std::uint16_t>(bytes.size());
}

QString KItem::iName() const { return displayText(nameBytes()); }
QString KItem::iName2() const { return hasName2() ? displayText(name2Bytes()) : QString(); }

std::string_view KItem::nameForSide(int side) const {
    return side == kSideLeft && hasName2() ? name2Bytes() : nameBytes();
}

std::string KItem::iPath() const {
    if (isRootItem()) return {};
    std::string_view own = nameForSide(hasSide(kSideLeft) ? kSideLeft : kSideRight);
    if (m_parent == nullptr || m_parent->isRootItem()) return std::string(own);
    std::string path = m_parent->iPath();
    path += '/';
    path.append(own);
    return path;
}

std::string KItem::PathForSide(int side) const {
    if (side != kSideLeft && side != kSideRight) {
        qWarning("Accessing iPath for SideBoth!");
        return {};
    }
    if (isRootItem()) return static_cast<const KRootItem*>(this)->PathForSide(side);
    if (m_extras) {
        const std::string& cached = side == kSideLeft ? m_extras->iFullLPath : m_extras->iFullRPath;
        if (!cached.empty()) return cached;
    }
    // Each side is built from its own names: on Linux a pair may differ in
    // case or normalisation, and only the side's own spelling opens the file.
    return joinPath(m_parent ? m_parent->PathForSide(side) : std::string(), nameForSide(side));
}

bool KItem::HasRPath(std::string_view lastComponent) const {
    return compareNames(lastPathComponent(PathForSide(kSideRight)), lastComponent) == 0;
}

// --- tree ---------------------------------------------------------------------

const std::vector<KItem*>& KItem::iChildren() const { return m_folder ? m_folder->children : kNoChildren; }
const std::vector<KItem*>& KItem::iChildrenSorted() const { return m_folder ? m_folder->sorted : kNoChildren; }
const std::vector<KItem*>* KItem::iChildrenSortedWithoutExt() const {
    return m_folder ? m_folder->sortedWithoutExt.get() : nullptr;
}

FolderPart& KItem::folder() {
    if (!m_folder) m_folder = std::make_unique<FolderPart>();
    return *m_folder;
}

ItemExtras& KItem::extras() {
    if (!m_extras) m_extras = std::make_unique<ItemExtras>();
    return *m_extras;
}

void KItem::setIParent(KItem* parent) {
    m_parent = parent;
    if (parent && !parent->isRootItem()) iCmpState = 2;
    if (parent && parent->iIgnored) iIgnored = true;
}

void KItem::rebuildSortedArrays() {
    FolderPart& f = folder();
    f.sorted = f.children;
    std::sort(f.sorted.begin(), f.sorted.end(), lessByName);
    if (rootOrSelf()->iIgnoreExt) {
        auto noExt = std::make_unique<std::vector<KItem*>>(f.children);
        std::sort(noExt->begin(), noExt->end(), lessByNameWithoutExt);
        f.sortedWithoutExt = std::move(noExt);
    } else {
        f.sortedWithoutExt.reset();
    }
}

void KItem::SetChildrenWithoutSorting(std::vector<KItem*> children) {
    if (children.empty() && !m_folder) return;
    children.shrink_to_fit();
    folder().children = std::move(children);
    rebuildSortedArrays();
}

void KItem::setIChildren(std::vector<KItem*> children) {
    if (!children.empty()) sortForDisplay(children, *rootOrSelf());
    SetChildrenWithoutSorting(std::move(children));
}

void KItem::AddChildrenSorted(const std::vector<KItem*>& added) {
    FolderPart& f = folder();
    f.sorted.insert(f.sorted.end(), added.begin(), added.end());
    std::sort(f.sorted.begin(), f.sorted.end(), lessByName);
    if (rootOrSelf()->iIgnoreExt) {
        if (!f.sortedWithoutExt) f.sortedWithoutExt = std::make_unique<std::vector<KItem*>>(f.sorted);
        else f.sortedWithoutExt->insert(f.sortedWithoutExt->end(), added.begin(), added.end());
        std::sort(f.sortedWithoutExt->begin(), f.sortedWithoutExt->end(), lessByNameWithoutExt);
    }
}

void KItem::appendChild(KItem* child) {
    folder().children.push_back(child);
    AddChildrenSorted({child});
}

void KItem::SortChildren() {
    if (m_folder && !m_folder->children.empty()) sortForDisplay(m_folder->children, *rootOrSelf());
}

void KItem::Resort() {
    SortChildren();
    if (m_folder && m_folder->iFilterType != 4095) sortForDisplay(m_folder->iFilteredObjects, *rootOrSelf());
    for (KItem* child : iChildren()) child->Resort();
}

KItem* KItem::ItemForPath(std::string_view path, int side) {
    for (KItem* child : iChildren()) {
        std::string childPath = child->PathForSide(side);
        if (childPath == path) return child;
        const bool isFolder = side == kSideLeft ? child->iDir1 : child->iDir2;
        if (isFolder && !child->iChildren().empty() && path.size() > childPath.size() &&
            path.substr(0, childPath.size()) == childPath && path[childPath.size()] == '/')
            return child->ItemForPath(path, side);
    }
    return nullptr;
}

KItem* KItem::itemAtIPath(std::string_view relativePath) {
    for (KItem* child : iChildren()) {
        const std::string p = child->iPath();
        if (p == relativePath) return child;
        if (relativePath.size() > p.size() && relativePath.substr(0, p.size()) == p && relativePath[p.size()] == '/')
            if (KItem* found = child->itemAtIPath(relativePath)) return found;
    }
    return nullptr;
}

// --- sides ----------------------------------------------------------------------

void KItem::setHasSide(int side, bool present) {
    if (side == kSideLeft) m_present1 = present;
    else m_present2 = present;
}

void KItem::setIsLink(int side, bool link) {
    if (side == kSideLeft) m_isLink1 = link;
    else m_isLink2 = link;
}

void KItem::setIsRegularFile(int side, bool regular) {
    if (side == kSideLeft) m_regular1 = regular;
    else m_regular2 = regular;
}

const std::string& KItem::linkForSide(int side) const {
    if (!m_extras) return kNoLink;
    return side == kSideLeft ? m_extras->iLink1 : m_extras->iLink2;
}

void KItem::setLinkForSide(int side, std::string_view target) {
    if (target.empty() && !m_extras) return;
    std::string stored(target);
    if (stored.size() > 1 && stored.back() == '/') stored.pop_back();
    (side == kSideLeft ? extras().iLink1 : extras().iLink2) = std::move(stored);
}

void KItem::setSideValues(int side, std::int64_t size, std::int64_t dateNs, bool dir) {
    if (side == kSideLeft) {
        iSize1 = size;
        iDate1 = dateNs;
        iDir1 = dir;
    } else {
        iSize2 = size;
        iDate2 = dateNs;
        iDir2 = dir;
    }
    setHasSide(side, true);
}

void KItem::CopySideValuesFrom(const KItem& other, std::string_view name) {
    const bool keepSize = (iDir1 || iDir2 || other.iDir1) && iSize1 != 0;
    iDir1 = other.iDir1;
    if (!keepSize) {
        iSize1 = other.iSize1;
        iSizeReady = true;
    }
    iDate1 = other.iDate1;
    m_present1 = other.m_present1;
    m_isLink1 = other.m_isLink1;
    m_regular1 = other.m_regular1;
    if (const ItemExtras* ox = other.m_extras.get()) {
        ItemExtras& x = extras();
        x.iLink1 = ox->iLink1;
        x.iDateC1 = ox->iDateC1;
        x.iDateO1 = ox->iDateO1;
        x.iDateA1 = ox->iDateA1;
        x.iKind1 = ox->iKind1;
        x.iTags1 = ox->iTags1;
        x.iMD51 = ox->iMD51;
        x.iTagNumber1 = ox->iTagNumber1;
        x.iFullLPath = ox->iFullLPath;
    } else if (m_extras) {
        m_extras->iLink1.clear();
    }
    // Most pairs share one spelling: point at the stored name instead of a second copy.
    setIName2(name == nameBytes() ? nameBytes() : rootOrSelf()->store().keepName(name));
}

void KItem::setIOffsetSize(bool value) {
    iOffsetSize = value;
    if (!value) return;
    for (KItem* up = m_parent; up; up = up->m_parent) up->iOffsetSize = true;
}

bool KItem::MultiFolderForSide(int side, const KRootItem* root) {
    if (!root) return false;
    return root->iMultiFolder == 3 || ((side == kSideLeft || side == kSideRight) && root->iMultiFolder == side);
}

}  // namespace qv
