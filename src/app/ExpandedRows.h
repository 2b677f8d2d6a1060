#pragma once
// The rows a window had expanded, remembered by their path relative to the
// roots across a new comparison of the same two folders.

#include <string>
#include <vector>

namespace qv {

class KItem;
class ViewFilter;

class ExpandedRows {
public:
    // Past this many visible rows nothing is remembered: walking them would cost more than it saves.
    static constexpr std::size_t kRowLimit = 10000;

    // Remembers every expanded row below `top` that the view shows, unless
    // the view shows kRowLimit rows or more (then nothing is remembered).
    void StoreExpandedItems(KItem& top, ViewFilter& view);
    // Marks the remembered rows of a new tree expanded and returns them,
    // parents before children. Rows that no longer exist are skipped.
    std::vector<KItem*> RestoreExpandedItems(KItem& top);

    void clear() { m_paths.clear(); }
    const std::vector<std::string>& paths() const { return m_paths; }

private:
    std::vector<std::string> m_paths;
};

}  // namespace qv
