#pragma once
// Moving from a row to the next or previous difference, through the rows the
// view shows. The contents of one-sided folders are skipped: such a folder is
// itself one difference.

namespace qv {

class KItem;
class ViewFilter;

KItem* GetNextDiff(KItem* from, bool searchInChildren, ViewFilter& view);
KItem* GetPrevDiff(KItem* from, bool searchInChildren, ViewFilter& view);

}  // namespace qv
