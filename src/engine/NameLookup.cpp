#include "engine/NameLookup.h"

#include "engine/KItem.h"
#include "engine/NameOrder.h"

#include <algorithm>

namespace qv {
namespace {

// The run of nodes whose key pairs with `key`.
template <class KeyOf>
std::pair<std::vector<KItem*>::const_iterator, std::vector<KItem*>::const_iterator>
equalRun(const std::vector<KItem*>& sorted, std::string_view key, KeyOf keyOf) {
    auto first = std::lower_bound(sorted.begin(), sorted.end(), key, [&](const KItem* item, std::string_view k) {
        return compareNames(keyOf(item), k) < 0;
    });
    auto last = first;
    while (last != sorted.end() && compareNames(keyOf(*last), key) == 0) ++last;
    return {first, last};
}

bool isFileOnBothSides(const KItem* item) { return !item->iDir1 && !item->iDir2; }

}  // namespace

KItem* SortedObjectWithRName(const std::vector<KItem*>& sorted, std::string_view name,
                             const ExactNameTest& leftHasName) {
    auto [first, last] = equalRun(sorted, name, [](const KItem* i) { return i->nameBytes(); });
    KItem* fallback = nullptr;
    for (auto it = first; it != last; ++it) {
        KItem* candidate = *it;
        if (candidate->hasSide(kSideLeft)) continue;
        if (candidate->nameBytes() == name) return candidate;
        if (!fallback && !leftHasName(candidate->nameBytes())) fallback = candidate;
    }
    return fallback;
}

KItem* SortedObjectWithRNameIgnoringExt(const std::vector<KItem*>& sortedWithoutExt, std::string_view name,
                                        const ExactNameTest& leftHasName) {
    auto stem = [](const KItem* i) { return nameWithoutExtension(i->nameBytes()); };
    auto [first, last] = equalRun(sortedWithoutExt, nameWithoutExtension(name), stem);
    for (auto it = first; it != last; ++it) {
        KItem* candidate = *it;
        if (candidate->hasSide(kSideLeft) || candidate->iDiffExt || !isFileOnBothSides(candidate)) continue;
        if (leftHasName(candidate->nameBytes())) continue;
        return candidate;
    }
    return nullptr;
}

KItem* ItemWithLeftName(const std::vector<KItem*>& sorted, std::string_view name) {
    // A node paired across extensions sorts under its right name, so the run
    // of the left name may not hold it: fall back to a scan of the array.
    auto [first, last] = equalRun(sorted, name, [](const KItem* i) { return i->nameBytes(); });
    for (auto it = first; it != last; ++it)
        if ((*it)->hasSide(kSideLeft) && (*it)->nameForSide(kSideLeft) == name) return *it;
    for (KItem* item : sorted)
        if (item->iDiffExt && item->hasSide(kSideLeft) && item->nameForSide(kSideLeft) == name) return item;
    return nullptr;
}

}  // namespace qv
