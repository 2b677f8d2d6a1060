#include "app/HeadlessPrompt.h"
#include "engine/KRootItem.h"
#include "sync/MergeList.h"

#include <gtest/gtest.h>

namespace qv::test {
namespace {

// A hand-built tree: marking never touches the disk.
class MergeListTest : public ::testing::Test {
protected:
    KRootItem root;
    HeadlessPrompt prompt;
    MergeList list{prompt};

    void SetUp() override {
        root.setILeftPath("/nowhere/L");
        root.setIRightPath("/nowhere/R");
        root.iDir1 = root.iDir2 = true;
    }
    KItem* add(KItem* parent, const char* name, int state, bool folder = false, std::int64_t size = 10) {
        const bool hasLeft = state != kStateOnlyRight, hasRight = state != kStateOnlyLeft;
        KItem* n = KItem::Item(name, size, folder, hasRight ? kSideRight : kSideLeft, &root, "", parent);
        if (hasLeft && hasRight) n->setSideValues(kSideLeft, size, platform::kNoTime, folder);
        n->iState = state;
        parent->appendChild(n);
        return n;
    }
    int press(KItem* item, int kind, int side) {
        list.SetItemsForRow(item, {item}, kind, side, -1);
        return item->iCopyTo;
    }
};

TEST_F(MergeListTest, MarkingKeepsOneActionPerPathExceptAttributeCopies) {
    KItem* folder = add(&root, "folder", kStateDifferent, true);
    KItem* inner = add(folder, "inner", kStateSizesDiffer);
    KItem* other = add(folder, "other", kStateOnlyLeft);

    EXPECT_EQ(press(inner, BtnCopy, kSideLeft), kCopyToRight);
    EXPECT_EQ(press(other, BtnCopy, kSideLeft), kCopyToRight);
    // The folder stands for its subtree: marking it clears what lies inside.
    EXPECT_EQ(press(folder, BtnCopy, kSideLeft), kCopyToRight);
    EXPECT_EQ(inner->iCopyTo, kNone);
    EXPECT_EQ(other->iCopyTo, kNone);
    // Marking inside a marked folder clears the folder.
    EXPECT_EQ(press(inner, BtnDelete, kSideRight), kDeleteRight);
    EXPECT_EQ(folder->iCopyTo, kNone);

    // An attribute copy survives both ways.
    EXPECT_EQ(press(folder, BtnCopyAttrs, kSideLeft), kAttrsToRight);
    EXPECT_EQ(inner->iCopyTo, kDeleteRight);
    EXPECT_EQ(press(other, BtnCopy, kSideLeft), kCopyToRight);
    EXPECT_EQ(folder->iCopyTo, kAttrsToRight);

    // Pressing the pressed side again takes the action back.
    EXPECT_EQ(press(other, BtnCopy, kSideLeft), kNone);
}

TEST_F(MergeListTest, PressesCombineAndOneSidedItemsRefuseActionsOnTheMissingSide) {
    KItem* both = add(&root, "both", kStateSizesDiffer);
    EXPECT_EQ(press(both, BtnDelete, kSideRight), kDeleteRight);
    EXPECT_EQ(press(both, BtnDelete, kSideLeft), kDeleteBoth);
    EXPECT_EQ(press(both, BtnCopy, kSideLeft), kDeleteRight);   // the left delete is dropped
    EXPECT_EQ(press(both, BtnDelete, kSideRight), kNone);

    both->setICopyAs(QStringLiteral("l:r"));
    both->iCopyTo = kRenameBoth;
    EXPECT_EQ(press(both, BtnRename, kSideLeft), kRenameRight);
    EXPECT_EQ(both->iCopyAs(), QStringLiteral("r"));   // only the remaining side's name stays

    KItem* left = add(&root, "left", kStateOnlyLeft);
    for (int kind : {BtnCopy, BtnDelete, BtnCopyAs, BtnRename, BtnCopyAttrs, BtnAlias, BtnCopyOnlyDiff})
        for (int side : {kSideLeft, kSideRight}) {
            press(left, kind, side);
            for (int refused : {kCopyToLeft, kDeleteRight, kDeleteBoth, kCopyAsToLeft, kAliasToLeft, kRenameRight})
                EXPECT_NE(left->iCopyTo, refused) << kind << "/" << side;
            left->iCopyTo = kNone;
        }
    EXPECT_EQ(list.SetItemForRow(left, BtnCopyAttrs, kSideLeft, -1), kNone);
    EXPECT_EQ(left->iCopyTo, kNone);

    KItem* equal = add(&root, "equal", kStateEqual);
    EXPECT_EQ(list.SetItemForRow(equal, BtnCopyOnlyDiff, kSideLeft, -1), kNone);
}

TEST_F(MergeListTest, OnlyDifferencesAndIgnoredItemsHandTheActionDown) {
    KItem* folder = add(&root, "folder", kStateDifferent, true);
    KItem* same = add(folder, "same", kStateEqual);
    KItem* changed = add(folder, "changed", kStateSizesDiffer);
    KItem* sub = add(folder, "sub", kStateDifferent, true);
    KItem* deep = add(sub, "deep", kStateOnlyLeft);

    EXPECT_EQ(press(folder, BtnCopyOnlyDiff, kSideLeft), kNone);
    EXPECT_EQ(same->iCopyTo, kNone);
    EXPECT_EQ(changed->iCopyTo, kCopyToRight);
    EXPECT_EQ(sub->iCopyTo, kNone);
    EXPECT_EQ(deep->iCopyTo, kCopyToRight);

    // A folder with an ignored item cannot stand for its subtree.
    MergeList::ClearMergeIn(&root);
    KItem* holder = add(&root, "holder", kStateDifferent, true);
    KItem* ignored = add(holder, "ignored", kStateSizesDiffer);
    KItem* kept = add(holder, "kept", kStateSizesDiffer);
    ignored->iIgnored = true;
    holder->iHasIgnoredChildren = true;
    EXPECT_EQ(press(holder, BtnCopy, kSideLeft), kNone);
    EXPECT_EQ(ignored->iCopyTo, kNone);
    EXPECT_EQ(kept->iCopyTo, kCopyToRight);
}

TEST_F(MergeListTest, SelectionChangesOnlyRowsThatComputeTheSameActionAndDeletesCoverSelectedChildren) {
    KItem* a = add(&root, "a", kStateSizesDiffer);
    KItem* b = add(&root, "b", kStateSizesDiffer);
    KItem* c = add(&root, "c", kStateSizesDiffer);
    c->iCopyTo = kCopyToRight;   // a press on the left takes it back instead
    list.SetItemsForRow(a, {a, b, c}, BtnCopy, kSideLeft, -1);
    EXPECT_EQ(a->iCopyTo, kCopyToRight);
    EXPECT_EQ(b->iCopyTo, kCopyToRight);
    EXPECT_EQ(c->iCopyTo, kCopyToRight);   // its own result (none) differs: unchanged

    MergeList::ClearMergeIn(&root);
    KItem* folder = add(&root, "folder", kStateDifferent, true);
    KItem* child = add(folder, "child", kStateSizesDiffer);
    KItem* rightOnly = add(&root, "rightOnly", kStateOnlyRight);
    list.SetItemsForRow(child, {child, folder, rightOnly}, BtnDelete, kSideLeft, -1);
    EXPECT_EQ(folder->iCopyTo, kDeleteLeft);
    EXPECT_EQ(child->iCopyTo, kNone);
    EXPECT_EQ(rightOnly->iCopyTo, kNone);   // nothing of it on the left
}

TEST_F(MergeListTest, ListIsPreOrderWithBadgesSummariesAndNameConflicts) {
    KItem* folder = add(&root, "folder", kStateDifferent, true, 300);
    KItem* x = add(folder, "x", kStateOnlyLeft, false, 100);
    KItem* y = add(folder, "y", kStateSizesDiffer, false, 200);
    KItem* top = add(&root, "top", kStateSizesDiffer, false, 7);
    KItem* p = add(&root, "p", kStateOnlyLeft, false, 1);
    KItem* q = add(&root, "q", kStateOnlyLeft, false, 2);
    folder->iCopyTo = kAttrsToRight;
    x->iCopyTo = kCopyToRight;
    y->iCopyTo = kDeleteBoth;
    top->iCopyTo = kDeleteRight;
    for (KItem* twin : {p, q}) {
        twin->iCopyTo = kCopyAsToRight;
        twin->setICopyAs(QStringLiteral("same-name"));
    }
    const auto& items = list.UpdateMergedArrayFromCHildren(&root);
    ASSERT_EQ(items, (std::vector<KItem*>{folder, x, y, top, p, q}));
    EXPECT_EQ(list.iDoubleSideActions(), 1);
    EXPECT_EQ(list.NumberOfActions(), 7u);
    EXPECT_EQ(folder->childrenBadge(kSideLeft), 1u);   // x; the two-sided delete counts on neither
    EXPECT_EQ(folder->childrenBadge(kSideRight), 0u);
    EXPECT_EQ(list.nameConflicts(), QStringList{QStringLiteral("right:same-name")});

    MergeSummary s;
    ASSERT_TRUE(MergeList::ChildrenOf(items, s));
    EXPECT_EQ(s.copies[0], 4u);   // attributes of folder, x, p, q
    EXPECT_EQ(s.copyBytes[0], 300u + 100 + 1 + 2);
    EXPECT_EQ(s.deletes[0], 1u);
    EXPECT_EQ(s.deleteBytes[0], 200u);
    EXPECT_EQ(s.deletes[1], 2u);
    EXPECT_EQ(s.deleteBytes[1], 200u + 7);
    std::atomic<bool> cancelled{true};
    EXPECT_FALSE(MergeList::ChildrenOf(items, s, &cancelled));

    const QString line = MergeList::PrepareMessage(4, 1, 403, 200, true, true);
    EXPECT_TRUE(line.contains(QStringLiteral("4")) && line.contains(QStringLiteral("403")) &&
                line.contains(QStringLiteral("200")));
    EXPECT_TRUE(MergeList::PrepareMessage(0, 0, 0, 0, true, false).isEmpty());

    for (int i = 0; i < 1000; ++i) add(&root, "n", kStateOnlyLeft)->iCopyTo = kCopyToRight;
    list.UpdateMergedArrayFromCHildren(&root);
    EXPECT_EQ(list.badgeText(), QStringLiteral(">999"));
    list.ClearActions(&root);
    EXPECT_TRUE(list.iMergeItems().empty());
    EXPECT_EQ(x->iCopyTo, kNone);
    EXPECT_TRUE(x->iCopyAs().isEmpty());
}

// New names are checked in the folder each action writes into: a copy-as
// the other side's, a rename its own, a rename of both sides each.
TEST_F(MergeListTest, NameConflictsAreFoundInTheFolderTheActionWritesInto) {
    KItem* a = add(&root, "a", kStateSizesDiffer);
    KItem* b = add(&root, "b", kStateSizesDiffer);
    auto conflictsOf = [&](int actionA, const char* nameA, int actionB, const char* nameB) {
        a->iCopyTo = actionA;
        a->setICopyAs(QString::fromUtf8(nameA));
        b->iCopyTo = actionB;
        b->setICopyAs(QString::fromUtf8(nameB));
        list.UpdateMergedArrayFromCHildren(&root);
        return list.nameConflicts();
    };
    EXPECT_EQ(conflictsOf(kRenameRight, "Z.txt", kCopyAsToLeft, "Z.txt"), QStringList{});
    EXPECT_EQ(conflictsOf(kRenameRight, "Z.txt", kCopyAsToRight, "Z.txt"), QStringList{"right:Z.txt"});
    EXPECT_EQ(conflictsOf(kRenameLeft, "Z.txt", kCopyAsToLeft, "Z.txt"), QStringList{"left:Z.txt"});
    EXPECT_EQ(conflictsOf(kRenameLeft, "Z.txt", kRenameRight, "Z.txt"), QStringList{});
    EXPECT_EQ(conflictsOf(kRenameBoth, "L.txt:R.txt", kCopyAsToRight, "R.txt"), QStringList{"right:R.txt"});
    EXPECT_EQ(conflictsOf(kRenameBoth, "L.txt:R.txt", kRenameLeft, "L.txt"), QStringList{"left:L.txt"});
    EXPECT_EQ(conflictsOf(kRenameBoth, "L.txt:R.txt", kRenameLeft, "R.txt"), QStringList{});
}

// A read-only volume refuses only the actions that change it.
TEST_F(MergeListTest, ReadOnlyVolumesRefuseTheActionsThatWriteToThem) {
    const std::vector<int> writeRight = {kCopyToRight, kCopyAsToRight, kAliasToRight, kAttrsToRight, kDeleteRight,
                                         kRenameRight};
    const std::vector<int> writeLeft = {kCopyToLeft, kCopyAsToLeft, kAliasToLeft, kAttrsToLeft, kDeleteLeft,
                                        kRenameLeft};
    for (int readOnly : {1, 2}) {
        list.iRODrive = readOnly;
        const auto& allowed = readOnly == 1 ? writeRight : writeLeft;
        const auto& refused = readOnly == 1 ? writeLeft : writeRight;
        for (int action : allowed) EXPECT_TRUE(list.CanWriteFor(action)) << readOnly << "/" << action;
        for (int action : refused) EXPECT_FALSE(list.CanWriteFor(action)) << readOnly << "/" << action;
        EXPECT_FALSE(list.CanWriteFor(kDeleteBoth));
        EXPECT_FALSE(list.CanWriteFor(kRenameBoth));
    }
    list.iRODrive = 0;
    for (int action = kCopyToRight; action <= kLastMergeAction; ++action) EXPECT_TRUE(list.CanWriteFor(action));
}

TEST(MergeActionNames, NamesAndNumbersReadBack) {
    for (int action = 0; action <= kLastMergeAction; ++action) {
        EXPECT_EQ(actionFromName(QString::fromLatin1(actionName(action))), action);
        EXPECT_EQ(actionFromName(QString::number(action)), action);
    }
    EXPECT_EQ(actionFromName(QStringLiteral("copytoright")), kCopyToRight);
    EXPECT_EQ(actionFromName(QStringLiteral("15")), -1);
    EXPECT_EQ(actionFromName(QStringLiteral("Sideways")), -1);
}

}  // namespace
}  // namespace qv::test
