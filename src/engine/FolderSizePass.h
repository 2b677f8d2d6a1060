#pragma once
// The pass that follows a scan: the sizes of the one-sided folders the scan
// queued, and the counts of differences and one-sided entries under every folder.

#include "engine/FolderScanner.h"
#include "engine/FolderSize.h"

#include <atomic>
#include <vector>

namespace qv {

class KExcludeRules;
class KItem;
class KRootItem;

class FolderSizePass {
public:
    FolderSizePass(platform::FileSystem& fs, const ScanOptions& options, const KExcludeRules* rules, SizeCache& cache);
    ~FolderSizePass();

    // Returns false when it was cancelled (the queue then stands partly applied).
    bool CalculateFolderSize(KRootItem& root, const std::vector<SizeRequest>& queue, const std::atomic<bool>& cancelled);

    // Adds the differences and one-sided entries below `folder` to its counters.
    static void CalcFolderStatsFor(KItem& folder);
    // Counts the whole tree again, as after a change of ignore marks.
    static void RecountStats(KRootItem& root);

private:
    platform::FileSystem& m_fs;
    ScanOptions m_options;
    std::unique_ptr<KExcludeRules> m_rules;
    SizeCache& m_cache;
};

// Differences plus one-sided entries of the tree (a difference counts once).
std::uint64_t NumberOfDifferences(const KRootItem& root);

}  // namespace qv
