#include "engine/FolderSizePass.h"

#include "engine/KRootItem.h"
#include "filters/KExcludeRules.h"

namespace qv {

FolderSizePass::FolderSizePass(platform::FileSystem& fs, const ScanOptions& options, const KExcludeRules* rules,
                               SizeCache& cache)
    : m_fs(fs), m_options(options), m_cache(cache) {
    if (rules && !options.iDisableAllFilters && rules->anyEnabled()) m_rules = std::make_unique<KExcludeRules>(*rules);
}

FolderSizePass::~FolderSizePass() = default;

void FolderSizePass::CalcFolderStatsFor(KItem& folder) {
    if (!folder.folderIfAny()) return;
    FolderPart& f = folder.folder();
    for (KItem* child : f.children) {
        // What the user left out of synchronisation is no difference to act on.
        if (child->iIgnored) continue;
        const int state = child->iState;
        if (!child->iDir1 && !child->iDir2) {
            if (state == kStateOnlyLeft) {
                if (folder.iState != kStateOnlyLeft) ++f.iOrphans1;
            } else if (state == kStateOnlyRight) {
                if (folder.iState != kStateOnlyRight) ++f.iOrphans2;
            } else if (state != kStateEqual) {
                ++f.iDiffs1;
                ++f.iDiffs2;
            }
        } else if (state == kStateOnlyLeft) {
            ++f.iOrphans1;
        } else if (state == kStateOnlyRight) {
            ++f.iOrphans2;
        } else {
            CalcFolderStatsFor(*child);
            if (const FolderPart* c = child->folderIfAny()) {
                f.iDiffs1 += c->iDiffs1;
                f.iDiffs2 += c->iDiffs2;
                f.iOrphans1 += c->iOrphans1;
                f.iOrphans2 += c->iOrphans2;
            }
            // A folder pair that could not be read is a difference of its own:
            // nothing below it can say so.
            if (state == kStateNoEntry) {
                ++f.iDiffs1;
                ++f.iDiffs2;
            }
        }
    }
}

namespace {

void clearStats(KItem& top) {
    std::vector<KItem*> pending{&top};
    while (!pending.empty()) {
        KItem* item = pending.back();
        pending.pop_back();
        if (!item->folderIfAny()) continue;
        FolderPart& f = item->folder();
        f.iDiffs1 = f.iDiffs2 = f.iOrphans1 = f.iOrphans2 = 0;
        pending.insert(pending.end(), f.children.begin(), f.children.end());
    }
}

}  // namespace

void FolderSizePass::RecountStats(KRootItem& root) {
    clearStats(root);
    CalcFolderStatsFor(root);
}

bool FolderSizePass::CalculateFolderSize(KRootItem& root, const std::vector<SizeRequest>& queue,
                                         const std::atomic<bool>& cancelled) {
    // The scan reported any rule that ran out of time; here such a rule just matches nothing.
    if (m_rules) m_rules->guardRegexes(&cancelled, {});
    CalcFolderStatsFor(root);
    // Each side is read through its own source: a snapshot side from its recorded tree.
    platform::FileSystem& left = root.iSnapshot1 ? root.fileSystemFor(kSideLeft) : m_fs;
    platform::FileSystem& right = root.iSnapshot2 ? root.fileSystemFor(kSideRight) : m_fs;
    FolderSizer leftSizer(left, m_options, &cancelled, m_rules.get(), root.iSnapshot1 ? nullptr : &m_cache);
    FolderSizer rightSizer(right, m_options, &cancelled, m_rules.get(), root.iSnapshot2 ? nullptr : &m_cache);
    for (const SizeRequest& request : queue) {
        FolderSizer& sizer = request.side == kSideLeft ? leftSizer : rightSizer;
        const FolderTotals totals = sizer.FolderSize(request.path);
        if (cancelled.load()) return false;
        // The scan names the node it queued; a folder it left out of the tree has none.
        if (KItem* child = request.item; child && !child->iSizeReady) {
            FolderPart& f = child->folder();
            if (request.side == kSideLeft) {
                child->iSize1 = totals.size;
                f.iFiles1 = totals.files;
                f.iFolders1 = totals.folders;
            } else {
                child->iSize2 = totals.size;
                f.iFiles2 = totals.files;
                f.iFolders2 = totals.folders;
            }
            child->iSizeReady = true;
        }
        // The parent and every folder above hold the folder's contents too.
        for (KItem* up = request.parent; up; up = up->iParent()) {
            FolderPart& f = up->folder();
            if (request.side == kSideLeft) {
                up->iSize1 += totals.size;
                f.iFiles1 += totals.files;
                f.iFolders1 += totals.folders;
            } else {
                up->iSize2 += totals.size;
                f.iFiles2 += totals.files;
                f.iFolders2 += totals.folders;
            }
        }
    }
    for (const SizeRequest& request : queue)
        for (KItem* up = request.parent; up; up = up->iParent()) up->iSizeReady = true;
    root.iSizeReady = true;
    return true;
}

std::uint64_t NumberOfDifferences(const KRootItem& root) {
    const FolderPart* f = root.folderIfAny();
    return f ? f->iDiffs1 + f->iOrphans1 + f->iOrphans2 : 0;
}

}  // namespace qv
