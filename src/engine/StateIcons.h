#pragma once
// The icon of a node's state. An icon name also names the state's text in
// the message table, so a view can show and speak it in words.

#include <utility>
#include <vector>

namespace qv {

class KItem;
class KRootItem;

// "equal" when the pair was decided by its contents (the run compared
// contents, or the left side is an empty file whose size is final),
// "equal2" when only sizes and dates made it equal.
const char* EqualImage(const KItem& item, const KRootItem& root);

// The icon name of the node's state; `reverseArrows` (the setting
// "reverseLRArrows") exchanges the icons of left-only and right-only entries.
const char* stateIconName(const KItem& item, const KRootItem& root, bool reverseArrows);

// The groups of states the sort-order editor orders, as (state, icon name).
std::vector<std::pair<int, const char*>> SortIcons();

}  // namespace qv
