#pragma once
// Finding a name's counterpart among a folder's children.
//
// Pairing is case-insensitive, but a Linux folder may hold names that differ
// only by case. Each node takes at most one partner: an exact spelling wins,
// and a differently cased partner is taken only when its own spelling does not
// exist on the sought side (so it keeps itself for its exact partner). Among
// several such candidates the first in byte order wins, so the result never
// depends on listing order.

#include <functional>
#include <string_view>
#include <vector>

namespace qv {

class KItem;

// Answers whether the side being paired holds an entry spelled exactly so.
using ExactNameTest = std::function<bool(std::string_view)>;

// A node without a left side yet whose name pairs with `name`, in an array
// ordered like iChildrenSorted; nullptr when none.
KItem* SortedObjectWithRName(const std::vector<KItem*>& sorted, std::string_view name,
                             const ExactNameTest& leftHasName);

// The same across extensions, in an array ordered like iChildrenSortedWithoutExt:
// files only, not already paired across extensions, and never a node whose
// full name exists on the left (it keeps itself for that exact partner).
KItem* SortedObjectWithRNameIgnoringExt(const std::vector<KItem*>& sortedWithoutExt, std::string_view name,
                                        const ExactNameTest& leftHasName);

// The node that holds the left entry spelled exactly `name`.
KItem* ItemWithLeftName(const std::vector<KItem*>& sorted, std::string_view name);

}  // namespace qv
