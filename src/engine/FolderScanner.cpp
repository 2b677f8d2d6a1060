#include "engine/FolderScanner.h"

#include "engine/ColumnReader.h"
#include "engine/ContentCheckQueue.h"
#include "engine/EntryAdmission.h"
#include "engine/KRootItem.h"
#include "platform/ListingPrefetcher.h"
#include "engine/NameLookup.h"
#include "base/InputLimits.h"
#include "base/PathResolution.h"
#include "filters/KExcludeRules.h"
#include "snapshot/KSnapshot.h"

#include <QMutexLocker>
#include <QtGlobal>

#include <algorithm>
#include <cerrno>
#include <thread>

namespace qv {
namespace {

// While a snapshot side is read, nothing takes the live side's listings: a
// walk held to the prefetcher's default would stop a quarter of the way into
// a million-entry tree and leave the rest to the pairing. Reading such a
// snapshot takes about as long as listing the live tree, so the walk may hold
// this many entries (some 110 MB) to go on meanwhile.
constexpr std::size_t kLiveSideHeldEntries = 1'000'000;

// With two live sides, listing takes longer than pairing what is listed:
// two threads share it, the scan lists the rest. (Beside a snapshot being
// read, a second one only takes the reading's core.)
constexpr unsigned kListingThreads = 2;

using Clock = std::chrono::steady_clock;
constexpr auto kThrottle = std::chrono::milliseconds(300);

bool isFolderPath(platform::FileSystem& fs, const std::string& path) {
    platform::EntryStat st;
    return fs.statPath(path, true, st) == 0 && st.type == platform::EntryType::Folder;
}

// Keeps one listing buffer per recursion level alive while that level runs.
class DepthGuard {
public:
    explicit DepthGuard(std::size_t& depth) : m_depth(depth) { ++m_depth; }
    ~DepthGuard() { --m_depth; }

private:
    std::size_t& m_depth;
};

}  // namespace

// At the root of a multi-folder side every entry is a link standing for one
// of the set's folders: it is taken as the folder it leads to.
struct FolderScanner::SetMember {
    platform::EntryStat stat;
    std::string target;   // "" for an ordinary entry
};

FolderScanner::SetMember FolderScanner::memberOf(const platform::ListedEntry& e, const std::string& folder,
                                                 std::string_view name, KItem* parent, int side) {
    SetMember m{e.stat, {}};
    if (!parent->isRootItem() || !KItem::MultiFolderForSide(side, m_root) ||
        e.stat.type != platform::EntryType::Symlink)
        return m;
    std::string target = StringByResolvingSymlinksAndAliases(joinPath(folder, name), fsFor(side));
    platform::EntryStat st;
    if (fsFor(side).statPath(target, true, st) == 0) {
        m.stat = st;
        m.target = std::move(target);
    }
    return m;
}

void FolderScanner::keepSetTarget(KItem& node, const SetMember& member, int side) {
    if (member.target.empty()) return;
    (side == kSideLeft ? node.extras().iFullLPath : node.extras().iFullRPath) = member.target;
}

// The exact spellings of one listing, sorted on first use: most folders never
// need them, since they only matter when a name pairs with a different spelling.
class FolderScanner::LeftNames {
public:
    explicit LeftNames(const platform::Listing& listing) : m_listing(listing) {}

    bool contains(std::string_view name) {
        if (!m_built) {
            m_names.reserve(m_listing.entries.size());
            for (const auto& e : m_listing.entries) m_names.push_back(m_listing.name(e));
            std::sort(m_names.begin(), m_names.end());
            m_built = true;
        }
        return std::binary_search(m_names.begin(), m_names.end(), name);
    }

    ExactNameTest test() {
        return [this](std::string_view name) { return contains(name); };
    }

private:
    const platform::Listing& m_listing;
    std::vector<std::string_view> m_names;
    bool m_built = false;
};

FolderScanner::FolderScanner(platform::FileSystem& fs, ScanObserver& observer)
    : m_fs(fs), m_observer(observer), m_contentWorkers(std::thread::hardware_concurrency()) {}

FolderScanner::~FolderScanner() = default;

void FolderScanner::attachRoot(KRootItem& root) {
    m_root = &root;
    prepareColumns(root);
}

void FolderScanner::prepareColumns(KRootItem& root) {
    m_columns.reset();
    m_statFields = platform::kStatBasic;
    if (!root.iColumns && !root.iColorLabels) return;
    m_columns = std::make_unique<ColumnReader>(root, root.iColumns, root.iColorLabels, &m_cancelled);
    m_statFields = m_columns->statFields();
}

void FolderScanner::setRules(const KExcludeRules& rules) {
    if (m_options.iDisableAllFilters || !rules.anyEnabled()) m_rules.reset();
    else m_rules = std::make_unique<KExcludeRules>(rules);
    if (m_rules)
        m_rules->guardRegexes(&m_cancelled, [this](const QString& pattern) { m_observer.ruleTimedOut(pattern.toStdString()); });
}

platform::FileSystem& FolderScanner::fsFor(int side) const {
    return m_root ? m_root->fileSystemFor(side) : m_fs;
}

bool FolderScanner::readSnapshotSides(KRootItem& root) {
    root.setSnapshot(kSideLeft, nullptr);
    root.setSnapshot(kSideRight, nullptr);
    bool allDigests = true, anySnapshot = false;
    for (int side : {kSideLeft, kSideRight}) {
        const std::string path = root.PathForSide(side);
        if (!path.ends_with(".qvss")) continue;
        anySnapshot = true;
        m_observer.scanPhase("decodeSnap");
        auto snapshot = std::make_shared<KSnapshot>();
        std::string error;
        if (!snapshot->ReadSnapshot(path, &error)) {
            iSnapshotError = path;
            iSnapshotErrorReason = error;
            return false;
        }
        allDigests = allDigests && snapshot->hasMD5();
        const std::string recorded = snapshot->recordedPath();
        root.setSnapshot(side, std::move(snapshot));
        if (side == kSideLeft) root.setILeftPath(recorded);
        else root.setIRightPath(recorded);
    }
    if (anySnapshot) {
        m_observer.scanPhase("scanning");
        // Without recorded digests on every snapshot side, contents cannot be compared.
        if (root.iCmpFileContents && !allDigests) {
            root.iCmpFileContents = false;
            m_observer.contentComparisonSwitchedOff();
        }
    }
    return true;
}

void FolderScanner::listLiveSideAhead(KRootItem& root) {
    m_prefetcher.reset();
    const bool snapshot1 = root.PathForSide(kSideLeft).ends_with(".qvss");
    const bool snapshot2 = root.PathForSide(kSideRight).ends_with(".qvss");
    if (!m_listingAhead || snapshot1 == snapshot2 || root.iMultiFolder || m_options.iIgnoreSubfolders) return;
    const int live = snapshot1 ? kSideRight : kSideLeft;
    platform::FileSystem* fs = &fsFor(live);
    m_prefetcher = std::make_unique<platform::ListingPrefetcher>(live == kSideLeft ? fs : nullptr,
                                                                 live == kSideRight ? fs : nullptr, m_statFields, &m_cancelled);
    m_prefetcher->requestTree(live, root.PathForSide(live), kLiveSideHeldEntries);
}

KExcludeRules* FolderScanner::rulesFor(const std::string& folder) {
    if (m_rules) m_rules->beginScanWithRootPath(folder);
    return m_rules.get();
}

void FolderScanner::listSide(int side, const std::string& folder, platform::Listing& out) {
    if (m_prefetcher && m_prefetcher->take(side, folder, out)) {
        ++iListedAhead;
        return;
    }
    fsFor(side).listFolder(folder, out, m_statFields);
}

void FolderScanner::listAhead(const platform::Listing& leftListing, const std::string& left, const std::string& right,
                              KItem* parent, LeftNames& leftNames) {
    const bool atRoot = parent->isRootItem();
    if (!m_prefetcher || (!atRoot && m_options.iIgnoreSubfolders)) return;
    // At the root of a folder set the entries are links to the set's folders: not worth guessing.
    if (atRoot && m_root->iMultiFolder) return;
    std::vector<platform::ListingPrefetcher::Folder> ahead;
    for (const platform::ListedEntry& e : leftListing.entries) {
        if (e.stat.type != platform::EntryType::Folder) continue;
        const std::string_view name = leftListing.name(e);
        if (admitEntry(name, e.stat, m_options, rulesFor(left)) != Admission::Admitted) continue;
        // The same partner the pairing will find: only folder pairs are descended into.
        KItem* n = atRoot ? ItemWithLeftName(parent->iChildrenSorted(), name)
                          : SortedObjectWithRName(parent->iChildrenSorted(), name, leftNames.test());
        if (!n || !n->hasSide(kSideRight) || !n->iDir2) continue;
        ahead.push_back({kSideRight, rightPathOf(*n, right)});
        ahead.push_back({kSideLeft, joinPath(left, name)});
    }
    if (!ahead.empty()) m_prefetcher->request(ahead);
}

platform::Listing& FolderScanner::listingForDepth() {
    while (m_listings.size() <= m_depth) m_listings.push_back(std::make_unique<platform::Listing>());
    return *m_listings[m_depth];
}

int FolderScanner::CompareThread(KRootItem& root) {
    m_root = &root;
    root.iCancelled = &m_cancelled;
    root.setFileSystem(m_fs);
    prepareColumns(root);
    listLiveSideAhead(root);
    const std::string left = readSnapshotSides(root) ? root.iLeftPath() : std::string();
    const std::string right = root.iRightPath();
    if (left.empty() || !isFolderPath(fsFor(kSideLeft), left) || !isFolderPath(fsFor(kSideRight), right)) {
        m_prefetcher.reset();
        return root.iState;
    }
    if (m_columns) {
        m_columns->AddColumns(root, left, kSideLeft);
        m_columns->AddColumns(root, right, kSideRight);
    }

    m_progress.restart();
    m_lastRedraw = Clock::time_point();
    m_needsRefresh = false;
    iToCalcFolders.clear();
    m_queuedPaths.clear();
    iProcessedLeftFiles = 0;
    iListedAhead = 0;
    iAnyFilterOn = false;
    m_reportProgress = true;
    iAlreadyResolvedPaths.clear();
    if (root.iCmpFileContents || root.iCmpRsrc || root.iCmpTags)
        m_contentChecks = std::make_unique<ContentCheckQueue>(root, m_contentWorkers, &m_progress);

    if (m_listingAhead && !m_prefetcher) {
        // A snapshot side is read from memory: only live sides are worth a thread.
        auto live = [&](int side) { return root.snapshotFor(side) ? nullptr : &fsFor(side); };
        m_prefetcher = std::make_unique<platform::ListingPrefetcher>(live(kSideLeft), live(kSideRight), m_statFields,
                                                                     &m_cancelled, platform::ListingPrefetcher::kMaxReady,
                                                                     kListingThreads);
        // The helpers walk the left tree, folders below folders, and list the
        // right side's folders the scan asks for ahead; what they have not
        // begun when the scan needs it, the scan lists itself. Without a
        // descent (or at a folder set's root, of links) the root alone.
        if (m_options.iIgnoreSubfolders || root.iMultiFolder) m_prefetcher->request({{kSideLeft, left}});
        else m_prefetcher->requestTree(kSideLeft, left, platform::ListingPrefetcher::kTreeEntries, right);
    }
    const int state = CompareFolder(left, right, &root);
    m_prefetcher.reset();
    root.iState = state == kStateCancelled ? kStateNotCompared : state;
    if (m_contentChecks) {
        m_progress.allQueued();
        m_contentChecks->finish([this] { reportProgressWhenDue(); });
        m_contentChecks.reset();
    }
    if (root.iAError1 || root.iAError2) root.iState = kStateNoEntry;
    if (isCancelled()) root.iState = kStateNotCompared;
    root.iCompared = true;
    return root.iState;
}

bool FolderScanner::ReportProgressWantsCancel() {
    if (!m_reportProgress) return isCancelled();
    if (!m_progress.due()) return false;
    if (isCancelled()) return true;
    m_observer.scanProgress(m_progress.figures(iProcessedLeftFiles));
    return false;
}

void FolderScanner::reportProgressWhenDue() {
    if (!isCancelled() && m_progress.due()) m_observer.scanProgress(m_progress.figures(iProcessedLeftFiles));
}

void FolderScanner::RefreshItem(KItem* item) {
    if (item) item->iCmpState = 1;
    const auto now = Clock::now();
    if (now - m_lastRedraw <= kThrottle) {
        m_needsRefresh = true;
        return;
    }
    m_observer.scanRedraw();
    m_lastRedraw = now;
    m_needsRefresh = false;
}

bool FolderScanner::reportListingErrors(const platform::Listing& listing, const std::string& folder,
                                        bool folderErrorIsNoted) {
    auto ask = [&](const std::string& path, int error) {
        if (iDontShowErrors) return false;
        ReadErrorAnswer answer = m_observer.readError(path, error);
        if (answer.dontShowAgain) iDontShowErrors = true;
        if (answer.stop) cancel();
        return answer.stop;
    };
    if (listing.folderError && !folderErrorIsNoted && ask(folder, listing.folderError)) return true;
    for (const platform::ListingError& e : listing.entryErrors) {
        // An entry deleted between the listing and its examination is simply gone.
        if (e.error == ENOENT) continue;
        if (ask(joinPath(folder, e.name), e.error)) return true;
    }
    return false;
}

void FolderScanner::queueForSize(std::string path, KItem* parent, int side, KItem* item) {
    // The root level is listed twice on the left (to show it at once, then to
    // pair it): a folder left out there would otherwise be counted twice.
    if (!m_queuedPaths.insert(path).second) return;
    iToCalcFolders.push_back({std::move(path), parent, side, item});
}

bool FolderScanner::mayList(int side, const std::string& folder) {
    platform::EntryStat st;
    const int error = fsFor(side).statPath(folder, true, st);
    if (error == 0) return st.type == platform::EntryType::Folder;
    return error != ENOENT && error != ENOTDIR;
}

bool FolderScanner::tooDeep(KItem* parent, const std::string& left) {
    if (m_depth < kMaxTreeDepth) return false;
    parent->iAError1 = parent->iAError2 = true;
    if (!iDontShowErrors) {
        const ReadErrorAnswer answer = m_observer.readError(left, ENAMETOOLONG);
        if (answer.dontShowAgain) iDontShowErrors = true;
        if (answer.stop) cancel();
    }
    return true;
}

bool FolderScanner::SetFolderContent(KItem* parent, const std::string& url, bool withKeys, int state, bool appendOnly) {
    const int side = state == kStateOnlyLeft ? kSideLeft : kSideRight;
    if (!mayList(side, url)) return true;

    DepthGuard depth(m_depth);
    platform::Listing& listing = listingForDepth();
    listSide(side, url, listing);
    if (reportListingErrors(listing, url, withKeys)) return false;
    LeftNames names(listing);

    QMutexLocker lock(&m_root->iSemafor());
    FolderTally tally;
    std::vector<KItem*> kept;
    kept.reserve(listing.entries.size());
    const bool mergeIntoRoot = appendOnly && parent->isRootItem();

    for (const platform::ListedEntry& e : listing.entries) {
        const std::string_view name = listing.name(e);
        const SetMember member = memberOf(e, url, name, parent, side);
        const Admission admission = admitEntry(name, member.stat, m_options, rulesFor(url));
        if (admission == Admission::PassedOver) continue;
        const bool isFolder = member.stat.type == platform::EntryType::Folder;
        if (admission == Admission::LeftOut) {
            iAnyFilterOn = true;
            if (withKeys && !m_options.iCalculateSameCompare) {
                if (isFolder) {
                    queueForSize(joinPath(url, name), parent, side);
                    ++tally.folders;
                } else {
                    tally.bytes += member.stat.size;
                    ++tally.files;
                }
            }
            continue;
        }

        KItem node(m_root, parent);
        KItem::FillFromURL(node, {name, &member.stat, url}, side, std::nullopt, false);
        keepSetTarget(node, member, side);
        if (m_columns)
            m_columns->AddColumns(node, member.target.empty() ? joinPath(url, name) : member.target, member.stat, side);
        if (side == kSideRight) ++iProcessedLeftFiles;
        if (ReportProgressWantsCancel()) return false;
        node.iState = state;
        node.iHidden = isHiddenName(name);

        if (isFolder) {
            if (withKeys) {
                ++tally.folders;
            } else {
                FolderTotals totals = FolderSizer(fsFor(side), m_options, &m_cancelled, m_rules.get())
                                          .FolderSize(member.target.empty() ? joinPath(url, name) : member.target);
                FolderPart& f = node.folder();
                if (side == kSideLeft) {
                    node.iSize1 = totals.size;
                    f.iFiles1 = totals.files;
                    f.iFolders1 = totals.folders;
                } else {
                    node.iSize2 = totals.size;
                    f.iFiles2 = totals.files;
                    f.iFolders2 = totals.folders;
                }
                node.iSizeReady = true;
            }
            if (!parent->isRootItem() && m_options.iIgnoreSubfolders) {
                iAnyFilterOn = true;
                continue;
            }
        } else if (side == kSideRight && withKeys) {
            tally.bytes += node.iSize2;
            ++tally.files;
        }

        if (mergeIntoRoot) {
            KItem* found = SortedObjectWithRName(parent->iChildrenSorted(), name, names.test());
            if (!found && !isFolder && m_root->iIgnoreExt && parent->iChildrenSortedWithoutExt()) {
                found = SortedObjectWithRNameIgnoringExt(*parent->iChildrenSortedWithoutExt(), name, names.test());
                if (found) found->iDiffExt = true;
            }
            if (found) {
                found->CopySideValuesFrom(node, name);
                found->iState = kStateNotCompared;
                continue;
            }
        }
        kept.push_back(KItem::persist(std::move(node)));
    }

    if (listing.folderError) (side == kSideRight ? parent->iAError2 : parent->iAError1) = true;
    if (side == kSideRight && withKeys) {
        for (KItem* up = parent; up; up = up->iParent()) {
            up->iSize2 += tally.bytes;
            up->folder().iFiles2 += tally.files;
            up->folder().iFolders2 += tally.folders;
        }
        parent->iSizeReady = true;
    }
    if (appendOnly) {
        for (KItem* k : kept) parent->folder().children.push_back(k);
        parent->AddChildrenSorted(kept);
    } else if (parent->isRootItem()) {
        parent->SetChildrenWithoutSorting(std::move(kept));
    } else {
        parent->setIChildren(std::move(kept));
    }
    return true;
}

KItem* FolderScanner::partnerOf(KItem& x, KItem* parent, LeftNames& leftNames, bool allowExtension) {
    KItem* n = SortedObjectWithRName(parent->iChildrenSorted(), x.nameBytes(), leftNames.test());
    if (!n && allowExtension && m_root->iIgnoreExt && parent->iChildrenSortedWithoutExt()) {
        n = SortedObjectWithRNameIgnoringExt(*parent->iChildrenSortedWithoutExt(), x.nameBytes(), leftNames.test());
        if (n) {
            n->iDiffExt = true;
            x.iDiffExt = true;
        }
    }
    return n;
}

FolderTotals FolderScanner::listOneSidedInto(KItem* node, const std::string& path, int state) {
    SetFolderContent(node, path, false, state);
    const bool left = state == kStateOnlyLeft;
    FolderTotals totals;
    for (const KItem* child : node->iChildren()) {
        totals.size += left ? child->iSize1 : child->iSize2;
        if (!(left ? child->iDir1 : child->iDir2)) {
            ++totals.files;
            continue;
        }
        const FolderPart* f = child->folderIfAny();
        totals.files += f ? (left ? f->iFiles1 : f->iFiles2) : 0;
        totals.folders += 1 + (f ? (left ? f->iFolders1 : f->iFolders2) : 0);
    }
    FolderPart& f = node->folder();
    (left ? node->iSize1 : node->iSize2) = totals.size;
    (left ? f.iFiles1 : f.iFiles2) = totals.files;
    (left ? f.iFolders1 : f.iFolders2) = totals.folders;
    node->iSizeReady = true;
    return totals;
}

int FolderScanner::pairLeftFile(KItem& x, const std::string& right, KItem* parent, LeftNames& leftNames) {
    KItem* n;
    if (parent->isRootItem()) {
        n = ItemWithLeftName(parent->iChildrenSorted(), x.nameBytes());
        if (n && n->iState != kStateOnlyLeft) RefreshItem(n);
    } else {
        n = partnerOf(x, parent, leftNames, true);
        if (m_needsRefresh) RefreshItem(nullptr);
    }
    if (!n) {
        x.iCompared = true;
        return kStateLeftUnpaired;
    }
    if (!n->hasSide(kSideRight)) return kStateOnlyLeft;

    if (n->iDir2) {
        // A file facing a folder: the folder's contents are shown as right-only entries.
        n->CopySideValuesFrom(x, x.nameBytes());
        // Its contents count in the right side's totals like any listed folder's.
        const FolderTotals contents = listOneSidedInto(n, rightPathOf(*n, right), kStateOnlyRight);
        for (KItem* up = parent; up; up = up->iParent()) {
            up->iSize2 += contents.size;
            up->folder().iFiles2 += contents.files;
            up->folder().iFolders2 += contents.folders;
        }
        n->iState = kStateDifferent;
        n->iCompared = x.iCompared = true;
        return kStateDifferent;
    }
    int r;
    if (m_root->iResolveAliases && AreTheyTwoLinksToFolders(x, n, r)) return r;
    r = x.CompareWithNode(n, true, m_contentChecks.get());
    if (r == kStateDatesDiffer && m_root->iCmpFileContents && !m_root->iIgnoreDate) r = kStateEqual;
    return r;
}

std::string FolderScanner::rightPathOf(const KItem& node, const std::string& rightFolder) const {
    const ItemExtras* x = node.extrasIfAny();
    if (x && !x->iFullRPath.empty()) return x->iFullRPath;
    return joinPath(rightFolder, node.nameForSide(kSideRight));
}

bool FolderScanner::isFolderLink(int side, const std::string& link) const {
    platform::EntryStat st;
    return !link.empty() && fsFor(side).statPath(link, true, st) == 0 && st.type == platform::EntryType::Folder;
}

bool FolderScanner::tagsDiffer(const std::string& left, const std::string& right) const {
    return fsFor(kSideLeft).readTags(left, false) != fsFor(kSideRight).readTags(right, false);
}

bool FolderScanner::AreTheyTwoLinksToFolders(KItem& x, KItem* right, int& res) {
    const std::string leftLink = x.linkForSide(kSideLeft);
    const std::string rightLink = right->linkForSide(kSideRight);
    if (!isFolderLink(kSideLeft, leftLink) || !isFolderLink(kSideRight, rightLink)) return false;

    // A link met again means a cycle: compare the nested pair without following links.
    const bool resolveAliases = m_root->iResolveAliases;
    if (!iAlreadyResolvedPaths.insert(leftLink).second) m_root->iResolveAliases = false;
    std::vector<SizeRequest> savedQueue;
    savedQueue.swap(iToCalcFolders);
    std::unordered_set<std::string> savedQueuedPaths;
    savedQueuedPaths.swap(m_queuedPaths);
    const bool savedFilterOn = iAnyFilterOn;
    const std::uint64_t savedProcessed = iProcessedLeftFiles;
    std::unique_ptr<ContentCheckQueue> savedChecks = std::move(m_contentChecks);
    KRootItem* realRoot = m_root;

    // The nested tree is dropped afterwards, so its files are read at once.
    std::unique_ptr<KRootItem> nested = realRoot->copyForNestedRun(leftLink, rightLink);
    m_root = nested.get();
    res = CompareFolder(leftLink, rightLink, nested.get());
    m_root = realRoot;

    right->iState = res == kStateCancelled ? kStateNotCompared : res;
    right->CopySideValuesFrom(x, x.nameBytes());
    right->iCompared = x.iCompared = true;

    m_root->iResolveAliases = resolveAliases;
    m_contentChecks = std::move(savedChecks);
    iToCalcFolders.swap(savedQueue);
    m_queuedPaths.swap(savedQueuedPaths);
    iAnyFilterOn = savedFilterOn;
    iProcessedLeftFiles = savedProcessed;
    return true;
}

int FolderScanner::pairLeftFolder(KItem& x, const std::string& leftPath, const std::string& right, KItem* parent,
                                  LeftNames& leftNames, FolderTally& tally) {
    const bool atRoot = parent->isRootItem();
    KItem* n = nullptr;
    if (atRoot) {
        n = ItemWithLeftName(parent->iChildrenSorted(), x.nameBytes());
        if (n && !n->hasSide(kSideRight)) {
            queueForSize(leftPath, parent, kSideLeft, n);
            return kStateNotCompared;
        }
        if (n) RefreshItem(n);
    } else {
        n = partnerOf(x, parent, leftNames, false);
        if (m_needsRefresh) RefreshItem(nullptr);
    }
    if (!n) {
        // The right folder may exist although its listing left it out.
        const std::string rightPath = joinPath(right, x.nameBytes());
        platform::EntryStat st;
        if (fsFor(kSideRight).statPath(rightPath, false, st) != 0 || st.type != platform::EntryType::Folder) {
            x.iCompared = true;
            return kStateLeftUnpaired;
        }
        n = KItem::ItemWithFolder(rightPath, kSideRight, m_root, parent);
        if (!n) {
            x.iCompared = true;
            return kStateLeftUnpaired;
        }
        if (m_columns) m_columns->AddColumns(*n, rightPath, kSideRight);
        parent->appendChild(n);
    }

    int r;
    if (!n->iDir2) {
        // A folder facing a file: its contents are shown as left-only entries,
        // and count in the left side's totals like any listed folder's.
        const FolderTotals contents = listOneSidedInto(n, leftPath, kStateOnlyLeft);
        tally.bytes += contents.size;
        tally.files += contents.files;
        tally.folders += contents.folders;
        r = kStateDifferent;
    } else {
        r = CompareFolder(leftPath, rightPathOf(*n, right), n);
        if (n->iAError1 || n->iAError2) r = kStateNoEntry;
        tally.bytes += n->iSize1;
        if (const FolderPart* f = n->folderIfAny()) {
            tally.files += f->iFiles1;
            tally.folders += f->iFolders1;
        }
    }
    if (r == kStateEqual && m_root->iCmpTags && tagsDiffer(leftPath, rightPathOf(*n, right))) r = kStateTagsDiffer;
    n->CopySideValuesFrom(x, x.nameBytes());
    n->iState = r == kStateCancelled ? kStateNotCompared : r;
    n->iCompared = true;
    if (atRoot && r != kStateCancelled) n->iCmpState = 2;
    return r;
}

void FolderScanner::readLeftColumns(KItem& x, const std::string& path, const platform::EntryStat& st, KItem* parent) {
    // The root level's left entries were read when they were merged into it: read each file once.
    if (parent->isRootItem()) {
        if (const KItem* merged = ItemWithLeftName(parent->iChildrenSorted(), x.nameBytes()))
            return ColumnReader::copyColumns(*merged, x, kSideLeft);
    }
    m_columns->AddColumns(x, path, st, kSideLeft);
}

int FolderScanner::CompareFolder(const std::string& left, const std::string& right, KItem* folderParent) {
    if (isCancelled()) return kStateCancelled;
    if (tooDeep(folderParent, left)) return isCancelled() ? kStateCancelled : kStateNoEntry;
    KItem* parent = folderParent;
    const bool atRoot = parent->isRootItem();
    if (atRoot) m_reportProgress = false;

    // A root level cut short leaves its rows not compared: which side lacks
    // a row is known only once both sides are listed whole.
    const auto rootLevelCut = [&] {
        QMutexLocker lock(&m_root->iSemafor());
        for (KItem* child : parent->iChildren())
            if (child->iState == kStateOnlyRight || child->iState == kStateOnlyLeft) child->iState = kStateNotCompared;
        return kStateCancelled;
    };
    if (!SetFolderContent(parent, right, true, kStateOnlyRight)) return atRoot ? rootLevelCut() : kStateCancelled;
    if (atRoot) {
        if (!SetFolderContent(parent, left, true, kStateOnlyLeft, true)) return rootLevelCut();
        m_observer.rootLevelListed(*m_root);
        iProcessedLeftFiles = 1;
        m_reportProgress = true;
        m_observer.scanPhase("comparing");
        RefreshItem(nullptr);
    }
    if (!mayList(kSideLeft, left)) return kStateDifferent;

    DepthGuard depth(m_depth);
    platform::Listing& listing = listingForDepth();
    listSide(kSideLeft, left, listing);
    if (reportListingErrors(listing, left, true)) return kStateCancelled;
    LeftNames leftNames(listing);
    const std::size_t queuedBefore = iToCalcFolders.size();

    QMutexLocker lock(&m_root->iSemafor());
    listAhead(listing, left, right, parent, leftNames);
    FolderPart& rootTotals = m_root->folder();
    FolderTally tally;
    std::vector<KItem*> leftOnly;
    int f = 0;

    for (const platform::ListedEntry& e : listing.entries) {
        const std::string_view name = listing.name(e);
        const SetMember member = memberOf(e, left, name, parent, kSideLeft);
        const std::string entryPath = member.target.empty() ? joinPath(left, name) : member.target;
        const Admission admission = admitEntry(name, member.stat, m_options, rulesFor(left));
        if (admission == Admission::PassedOver) continue;
        const bool isFolder = member.stat.type == platform::EntryType::Folder;
        if (admission == Admission::LeftOut) {
            iAnyFilterOn = true;
            if (!m_options.iCalculateSameCompare) {
                if (isFolder) {
                    queueForSize(entryPath, parent, kSideLeft);
                    ++tally.folders;
                    ++rootTotals.iFolders1;
                } else {
                    tally.bytes += member.stat.size;
                    ++tally.files;
                    ++rootTotals.iFiles1;
                }
            }
            continue;
        }

        KItem x(m_root, parent);
        KItem::FillFromURL(x, {name, &member.stat, left}, kSideLeft, std::nullopt, false);
        keepSetTarget(x, member, kSideLeft);
        if (m_columns) readLeftColumns(x, entryPath, member.stat, parent);
        x.iHidden = isHiddenName(name);
        ++iProcessedLeftFiles;
        if (ReportProgressWantsCancel()) return kStateCancelled;

        int r;
        if (!isFolder) {
            ++rootTotals.iFiles1;
            tally.bytes += x.iSize1;
            ++tally.files;
            r = pairLeftFile(x, right, parent, leftNames);
        } else {
            ++rootTotals.iFolders1;
            ++tally.folders;
            if (!atRoot && m_options.iIgnoreSubfolders) {
                iAnyFilterOn = true;
                continue;
            }
            r = pairLeftFolder(x, entryPath, right, parent, leftNames, tally);
        }

        switch (r) {
        case kStateSizesDiffer: case kStateDatesDiffer: case kStateSizesAndDatesDiffer: case kStateDifferent:
        case kStateNoEntry: case kStateRsrcDiffers: case kStateTagsDiffer:
            f = kStateDifferent;
            break;
        case kStateEqual:
        case kStatePending:   // folded as equal; a difference found later marks the folders above
            if (f == 0) f = kStateEqual;
            break;
        case kStateNotCompared: case kStateOnlyLeft:
            break;
        case kStateLeftUnpaired: {
            x.iState = kStateOnlyLeft;
            if (isFolder) x.iSizeReady = false;
            KItem* kept = KItem::persist(std::move(x));
            if (isFolder) queueForSize(entryPath, parent, kSideLeft, kept);
            leftOnly.push_back(kept);
            f = kStateDifferent;
            break;
        }
        case kStateCancelled:
            if (isCancelled()) return kStateCancelled;
            break;
        default:
            qWarning("%d Shouldn't be called: %.*s", r, static_cast<int>(name.size()), name.data());
        }
    }

    if (!leftOnly.empty()) {
        for (KItem* k : leftOnly) parent->folder().children.push_back(k);
        parent->AddChildrenSorted(leftOnly);
    }
    if (listing.folderError) parent->iAError1 = true;
    for (KItem* child : parent->iChildren()) {
        if (child->iDir2 && child->iState == kStateOnlyRight) {
            queueForSize(child->PathForSide(kSideRight), parent, kSideRight, child);
            child->iSizeReady = false;
        }
    }
    if (iToCalcFolders.size() > queuedBefore) {
        for (KItem* up = parent; up; up = up->iParent()) up->iSizeReady = false;
    } else {
        parent->iSizeReady = true;
    }
    parent->iSize1 = tally.bytes;
    parent->folder().iFiles1 = tally.files;
    parent->folder().iFolders1 = tally.folders;

    if (f == kStateEqual) {
        const auto& children = parent->iChildren();
        if (std::all_of(children.begin(), children.end(), [](const KItem* c) { return c->iCompared; }))
            return kStateEqual;
        f = kStateDifferent;
    }
    if (m_root->iIgnoreExt) {
        for (KItem* child : parent->iChildren()) {
            if (!child->iCompared && child->iState == kStateNotCompared && child->iDiffExt && !child->iDir1)
                child->CompareWithNode(child, false, m_contentChecks.get());
        }
    }
    if (f != 0) return f;
    return parent->iChildren().empty() ? kStateEqual : kStateDifferent;
}

}  // namespace qv
