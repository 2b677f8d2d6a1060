#pragma once
// Display order of a node's children: by a chosen column, or by comparison
// state with the user's order of states.

#include <cstdint>
#include <string_view>
#include <vector>

namespace qv {

class KItem;
class KRootItem;

// Column identifiers of the comparison view.
enum SortColumn : int {
    kColumnState = 0,
    kColumnName1 = 1,
    kColumnSize1 = 2,
    kColumnDate1 = 3,
    kColumnDate2 = 4,
    kColumnSize2 = 5,
    kColumnName2 = 6,
    kColumnCreated1 = 7,
    kColumnCreated2 = 8,
    kColumnOpened1 = 9,
    kColumnOpened2 = 10,
    kColumnKind1 = 11,
    kColumnKind2 = 12,
    kColumnTags1 = 13,
    kColumnTags2 = 14,
    kColumnDigest1 = 15,
    kColumnDigest2 = 16,
    kColumnAdded1 = 17,
    kColumnAdded2 = 18,
};

// The OptionalColumn bit whose values a view column shows (0 for the columns every run reads).
std::uint32_t columnBitFor(int column);

// The process-wide order of states, built from the user's list: each listed
// state in turn (5 brings 4, 2 and 3 right after it), then 6, 10, 0 and 9.
void SetSortStates(const std::vector<int>& userOrder);
// The order a new window starts from, and what replaces a stored list of fewer than 6 states.
const std::vector<int>& defaultSortStates();
// Rank of a state in that order; -1 for a state not in it.
int stateRank(int state);

// Names as people sort them: without regard to case, runs of digits by value.
int compareNamesNaturally(std::string_view a, std::string_view b);

// -1, 0 or 1: the order of two siblings under the root's sort settings.
int CompareUsingRootSortType(const KItem& a, const KItem& b, const KRootItem& root);

void sortForDisplay(std::vector<KItem*>& children, const KRootItem& root);

// Orders the root level by state alone, as shown while a scan descends.
void sortByStateOnly(std::vector<KItem*>& children);

}  // namespace qv
