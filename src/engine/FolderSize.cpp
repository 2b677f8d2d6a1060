#include "engine/FolderSize.h"

#include "engine/EntryAdmission.h"
#include "base/InputLimits.h"
#include "base/PathResolution.h"
#include "filters/KExcludeRules.h"

namespace qv {

FolderTotals FolderSizer::FolderSize(const std::string& path) { return sizeBelow(path, 0); }

FolderTotals FolderSizer::sizeBelow(const std::string& path, std::size_t depth) {
    // Past the deepest tree the program walks nothing more is counted: the
    // scan does not compare there either, and the stack must hold.
    if (depth >= kMaxTreeDepth) return {};
    if (m_cache)
        if (auto it = m_cache->find(path); it != m_cache->end()) return it->second;
    FolderTotals totals;
    platform::Listing listing;
    m_fs.listFolder(path, listing);
    for (const platform::ListedEntry& e : listing.entries) {
        if (cancelled()) return {};
        std::string_view name = listing.name(e);
        if (m_rules) m_rules->beginScanWithRootPath(path);   // a subfolder's count moved it
        Admission a = admitEntry(name, e.stat, m_options, m_options.iCalculateSameCompare ? m_rules : nullptr);
        if (a == Admission::PassedOver) continue;
        if (a == Admission::LeftOut && m_options.iCalculateSameCompare) continue;
        if (e.stat.type == platform::EntryType::Folder) {
            FolderTotals sub = sizeBelow(joinPath(path, name), depth + 1);
            totals.size += sub.size;
            totals.files += sub.files;
            totals.folders += sub.folders + 1;
        } else {
            totals.size += e.stat.size;
            totals.files += 1;
        }
    }
    if (m_cache && !cancelled()) m_cache->emplace(path, totals);
    return totals;
}

}  // namespace qv
