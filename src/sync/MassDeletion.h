#pragma once
// The guard against a plan that empties a side: one that deletes (or
// archives away, or removes to make room for copies) more than half of a
// side's entries, and at least kMassDeletionMinimum of them, must be
// confirmed before it runs (the command's --force-delete, the window's
// question). A mistaken direction or a wrong folder shows up here.

#include <cstdint>
#include <vector>

namespace qv {

struct KMergeItem;
class KRootItem;

inline constexpr std::uint64_t kMassDeletionMinimum = 10;

struct MassDeletion {
    int side = 0;                 // 1 left, 2 right
    std::uint64_t removed = 0;    // entries the plan takes away from that side
    std::uint64_t entries = 0;    // entries the side holds
};

// What the plan's rows remove from each side (entries, contents of folders
// included), side by side with what the side holds.
std::vector<MassDeletion> deletionsOf(const std::vector<KMergeItem>& rows, const KRootItem& root);

// The sides whose deletions need confirming (empty when none does).
std::vector<MassDeletion> massDeletions(const std::vector<KMergeItem>& rows, const KRootItem& root);

}  // namespace qv
