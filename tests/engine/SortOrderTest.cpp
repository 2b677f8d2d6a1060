#include "engine/KRootItem.h"
#include "engine/SortOrder.h"

#include <gtest/gtest.h>

namespace qv {
namespace {

class SortOrderTest : public ::testing::Test {
protected:
    KRootItem root;
    void TearDown() override { SetSortStates(defaultSortStates()); }

    KItem* node(const char* name, int state, std::int64_t size1 = 0, bool folder = false) {
        KItem* n = KItem::Item(name, size1, folder, kSideRight, &root, "", &root);
        n->setSideValues(kSideLeft, size1, platform::kNoTime, folder);
        n->iState = state;
        return n;
    }
    std::vector<std::string> order(std::vector<KItem*> items) {
        sortForDisplay(items, root);
        std::vector<std::string> names;
        for (KItem* i : items) names.emplace_back(i->nameBytes());
        return names;
    }
};

TEST_F(SortOrderTest, StateOrderAndItsTieBreaks) {
    root.iSortingColumn = kColumnState;
    KItem* equal = node("e", kStateEqual);
    KItem* right = node("r", kStateOnlyRight);
    KItem* left = node("l", kStateOnlyLeft);
    KItem* size = node("s", kStateSizesDiffer);
    KItem* zero = node("z", kStateNotCompared);
    KItem* odd = node("o", 42);   // not in the order: before all others
    EXPECT_EQ(order({equal, right, left, size, zero, odd}), (std::vector<std::string>{"o", "l", "r", "s", "e", "z"}));

    // The size allowance puts its pair first among equals, and last when descending.
    KItem* flagged = node("b", kStateEqual);
    flagged->iOffsetSize = true;
    EXPECT_EQ(order({equal, flagged}), (std::vector<std::string>{"b", "e"}));
    root.iSortAscending = false;
    EXPECT_EQ(order({equal, flagged}), (std::vector<std::string>{"e", "b"}));

    // A user order: 5 brings 4, 2 and 3; 6, 10, 0 and 9 come last.
    SetSortStates({1, 5, 7, 8, 11, 12});
    const int expected[] = {1, 5, 4, 2, 3, 7, 8, 11, 12, 6, 10, 0, 9};
    for (int rank = 0; rank < 13; ++rank) EXPECT_EQ(stateRank(expected[rank]), rank) << expected[rank];
    EXPECT_EQ(stateRank(13), -1);
}

TEST_F(SortOrderTest, ColumnsFoldersOnTopAndNames) {
    KItem* small = node("b", kStateEqual, 10);
    KItem* big = node("a", kStateEqual, 300);
    KItem* folder = node("z", kStateEqual, 500, true);
    root.iSortingColumn = kColumnSize1;
    root.iFoldersOnTop = true;
    EXPECT_EQ(order({small, big, folder}), (std::vector<std::string>{"z", "b", "a"}));
    root.iSortAscending = false;
    EXPECT_EQ(order({small, big, folder}), (std::vector<std::string>{"z", "a", "b"}));
    // Equal sizes fall back to the name, always ascending.
    KItem* same = node("c", kStateEqual, 10);
    EXPECT_EQ(order({same, small}), (std::vector<std::string>{"b", "c"}));

    // Sorting by state with folders on top: folders first only among equal states, last when descending.
    root.iSortingColumn = kColumnState;
    root.iSortAscending = true;
    KItem* diffFile = node("d", kStateDifferent);
    EXPECT_EQ(order({small, folder, diffFile}), (std::vector<std::string>{"d", "z", "b"}));
    root.iSortAscending = false;
    EXPECT_EQ(order({small, folder, diffFile}), (std::vector<std::string>{"b", "z", "d"}));

    // Names: no regard to case, numbers by value.
    EXPECT_LT(compareNamesNaturally("file9", "file10"), 0);
    EXPECT_LT(compareNamesNaturally("File2", "file10"), 0);
    EXPECT_EQ(compareNamesNaturally("Readme", "README"), 0);
    EXPECT_LT(compareNamesNaturally("a007", "a8"), 0);
    EXPECT_GT(compareNamesNaturally("b", "A"), 0);
    // Missing dates sort as the distant past.
    root.iSortingColumn = kColumnDate1;
    root.iSortAscending = true;
    KItem* dated = node("x", kStateEqual);
    dated->iDate1 = 5;
    KItem* undated = node("y", kStateEqual);
    EXPECT_EQ(order({dated, undated}), (std::vector<std::string>{"y", "x"}));
}

}  // namespace
}  // namespace qv
