#pragma once
// Display order of a node's children.

#include <vector>

namespace qv {

class KItem;
class KRootItem;

// Orders children the way the root's sort settings ask (by name for now,
// folders first when the root says so, descending when not ascending).
void sortForDisplay(std::vector<KItem*>& children, const KRootItem& root);

// Orders the root level by state alone, as shown while a scan descends.
void sortByStateOnly(std::vector<KItem*>& children);

}  // namespace qv
