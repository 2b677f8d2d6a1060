#pragma once
// Totals of a folder's contents on disk, counted with the same admission as the scan.

#include "engine/ScanOptions.h"
#include "platform/FileSystem.h"

#include <atomic>
#include <cstdint>
#include <string>
#include <unordered_map>

namespace qv {

struct FolderTotals {
    std::int64_t size = 0;
    std::uint64_t files = 0;
    std::uint64_t folders = 0;
};

class KExcludeRules;

// Folder totals already counted in this run, by absolute path.
using SizeCache = std::unordered_map<std::string, FolderTotals>;

class FolderSizer {
public:
    // `rules` (when some list is in force) leave entries out of the totals
    // when the options say left-out entries do not count.
    FolderSizer(platform::FileSystem& fs, const ScanOptions& options, const std::atomic<bool>* cancelled,
                KExcludeRules* rules = nullptr, SizeCache* cache = nullptr)
        : m_fs(fs), m_options(options), m_cancelled(cancelled), m_rules(rules), m_cache(cache) {}

    // Size, files and folders below `path` (the folder itself not counted),
    // down to the deepest tree the program walks (kMaxTreeDepth levels).
    // Symbolic links count as files of their own size and are not followed.
    FolderTotals FolderSize(const std::string& path);

private:
    FolderTotals sizeBelow(const std::string& path, std::size_t depth);
    bool cancelled() const { return m_cancelled && m_cancelled->load(std::memory_order_relaxed); }

    platform::FileSystem& m_fs;
    ScanOptions m_options;
    const std::atomic<bool>* m_cancelled;
    KExcludeRules* m_rules;
    SizeCache* m_cache;
};

}  // namespace qv
