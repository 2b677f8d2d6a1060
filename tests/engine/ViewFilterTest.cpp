#include "engine/DiffNavigation.h"
#include "engine/KRootItem.h"
#include "engine/SortOrder.h"
#include "engine/ViewFilter.h"
#include "support/TempTree.h"

#include <gtest/gtest.h>

namespace qv::test {
namespace {

// A hand-built tree over real folders (empty-folder checks list them).
class ViewFilterTest : public ::testing::Test {
protected:
    TempTree left, right;
    KRootItem root;

    void SetUp() override {
        root.setILeftPath(left.root());
        root.setIRightPath(right.root());
        root.iSortingColumn = kColumnName1;
    }
    KItem* add(KItem* parent, const char* name, int state, bool folder = false) {
        const bool hasLeft = state != kStateOnlyRight, hasRight = state != kStateOnlyLeft;
        KItem* n = KItem::Item(name, 1, folder, hasRight ? kSideRight : kSideLeft, &root, "", parent);
        if (hasLeft && hasRight) n->setSideValues(kSideLeft, 1, platform::kNoTime, folder);
        n->iState = state;
        parent->appendChild(n);
        if (folder) {
            if (hasLeft) left.folder(n->iPath());
            if (hasRight) right.folder(n->iPath());
        } else {
            if (hasLeft) left.file(n->iPath(), 1);
            if (hasRight) right.file(n->iPath(), 1);
        }
        return n;
    }
    static std::vector<std::string> names(const std::vector<KItem*>& items) {
        std::vector<std::string> out;
        for (KItem* i : items) out.emplace_back(i->nameBytes());
        return out;
    }
};

TEST_F(ViewFilterTest, StateFiltersAndFoldersThatLeadToShownRows) {
    KItem* same = add(&root, "same", kStateEqual, true);
    add(same, "eq", kStateEqual);
    KItem* mixed = add(&root, "mixed", kStateDifferent, true);
    add(mixed, "changed", kStateSizesDiffer);
    add(mixed, "onlyL", kStateOnlyLeft);
    KItem* changedOnly = add(&root, "changedOnly", kStateDifferent, true);
    add(changedOnly, "changed", kStateSizesDiffer);
    add(&root, "leftFile", kStateOnlyLeft);
    add(&root, "rightFile", kStateOnlyRight);

    ViewFilter all(root, kFilterOff);
    EXPECT_EQ(all.FilteredObjectsForModule(&root).size(), 5u);

    ViewFilter equal(root, kShowEqual | kShowEmptyFolders);
    EXPECT_EQ(names(equal.FilteredObjectsForModule(&root)), (std::vector<std::string>{"same"}));

    // Only one-sided entries: a differing folder stays only when something one-sided lies below it.
    ViewFilter oneSided(root, kShowLeftOnly | kShowRightOnly | kShowEmptyFolders);
    EXPECT_EQ(names(oneSided.FilteredObjectsForModule(&root)),
              (std::vector<std::string>{"leftFile", "mixed", "rightFile"}));
    EXPECT_EQ(names(oneSided.FilteredObjectsForModule(mixed)), (std::vector<std::string>{"onlyL"}));

    // Hiding differences hides a folder's only differing child.
    ViewFilter noDiffs(root, kShowEqual | kShowLeftOnly | kShowEmptyFolders);
    EXPECT_TRUE(noDiffs.FilteredObjectsForModule(changedOnly).empty());

    // Navigation walks the shown rows (in display order) and skips equal ones.
    root.Resort();
    ViewFilter everything(root, kFilterOff);
    KItem* first = GetNextDiff(&root, true, everything);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->iPath(), "changedOnly/changed");
    EXPECT_EQ(GetNextDiff(first, true, everything)->iPath(), "leftFile");
    EXPECT_EQ(GetPrevDiff(GetNextDiff(first, true, everything), true, everything), first);
    KItem* last = GetPrevDiff(&root, true, everything);
    ASSERT_NE(last, nullptr);
    EXPECT_EQ(last->iPath(), "rightFile");
    EXPECT_EQ(GetNextDiff(last, true, everything), nullptr);
}

TEST_F(ViewFilterTest, EmptyFoldersAreHiddenUnlessAskedFor) {
    add(&root, "emptyBoth", kStateEqual, true);
    KItem* onlyHidden = add(&root, "onlyHidden", kStateEqual, true);
    left.file("onlyHidden/.dot", 1);   // not in the tree (hidden entries left out), but on disk
    add(&root, "file", kStateEqual);

    ViewFilter hideEmpty(root, kShowEqual | kShowDifferent);
    EXPECT_EQ(names(hideEmpty.FilteredObjectsForModule(&root)), (std::vector<std::string>{"file", "onlyHidden"}));
    EXPECT_TRUE(hideEmpty.iAnyFilterOn);
    EXPECT_TRUE(onlyHidden->iChildren().empty());

    ViewFilter showEmpty(root, kShowEqual | kShowDifferent | kShowEmptyFolders);
    EXPECT_EQ(showEmpty.FilteredObjectsForModule(&root).size(), 3u);
}

}  // namespace
}  // namespace qv::test
