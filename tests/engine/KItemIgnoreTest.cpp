// Ignore marks on a tree scanned from real folders: how a mark reaches the
// folders above and the items below, how it meets marked actions, and what
// it does to the counts of differences.

#include "engine/FolderSizePass.h"
#include "engine/KRootItem.h"
#include "support/ScanHarness.h"
#include "support/TempTree.h"

#include <gtest/gtest.h>

namespace qv::test {
namespace {

class KItemIgnoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        left.file("f/a", 1);
        left.file("f/b", 1);
        left.file("f/sub/c", 1);
        left.file("g", 1);
        right.file("f/a", 2);   // differs
        right.file("f/b", 1);
        right.file("f/sub/c", 1);
        run = scanFolders(left.root(), right.root());
        f = run->node("f");
        a = run->node("f/a");
        b = run->node("f/b");
        sub = run->node("f/sub");
        c = run->node("f/sub/c");
        g = run->node("g");
        ASSERT_TRUE(f && a && b && sub && c && g);
    }

    TempTree left, right;
    std::unique_ptr<ScanRun> run;
    KItem *f = nullptr, *a = nullptr, *b = nullptr, *sub = nullptr, *c = nullptr, *g = nullptr;
};

TEST_F(KItemIgnoreTest, MarksReachTheFoldersAboveAndComeOffAgain) {
    EXPECT_EQ(a->SetIgnored(true, false), f);   // f now shows that something below is ignored
    EXPECT_TRUE(a->iIgnored);
    EXPECT_TRUE(f->iHasIgnoredChildren);
    EXPECT_FALSE(f->iIgnored);
    EXPECT_FALSE(run->root->iHasIgnoredChildren);   // the root carries no marks

    // Once every child is ignored, so is the folder.
    b->SetIgnored(true, false);
    EXPECT_FALSE(f->iIgnored);
    EXPECT_EQ(sub->SetIgnored(true, true), f);
    EXPECT_TRUE(c->iIgnored);
    EXPECT_TRUE(sub->iHasIgnoredChildren);
    EXPECT_TRUE(f->iIgnored);
    EXPECT_TRUE(f->AllChildrenAreIgnored());

    // Taking one mark off takes it off every folder above, and nothing else.
    EXPECT_EQ(c->SetIgnored(false, false), f);
    EXPECT_FALSE(sub->iIgnored);
    EXPECT_FALSE(f->iIgnored);
    EXPECT_FALSE(sub->iHasIgnoredChildren);
    EXPECT_TRUE(f->iHasIgnoredChildren);   // a and b still are
    EXPECT_TRUE(a->iIgnored && b->iIgnored);

    // With its children, the whole folder comes back.
    f->SetIgnored(false, true);
    for (KItem* item : {f, a, b, sub, c}) {
        EXPECT_FALSE(item->iIgnored);
        EXPECT_FALSE(item->iHasIgnoredChildren);
    }
    // A node made under an ignored folder is ignored from the start.
    f->SetIgnored(true, true);
    KItem late(run->root.get(), f);
    EXPECT_TRUE(late.iIgnored);
    EXPECT_EQ(late.iCmpState, 2);
}

TEST_F(KItemIgnoreTest, ActionsGoAroundIgnoredItems) {
    b->SetIgnored(true, false);
    // A folder with something ignored below hands its action to the rest.
    f->setICopyTo(kCopyToRight);
    EXPECT_EQ(f->iCopyTo, kNone);
    EXPECT_EQ(a->iCopyTo, kCopyToRight);
    EXPECT_EQ(sub->iCopyTo, kCopyToRight);
    EXPECT_EQ(b->iCopyTo, kNone);
    b->setICopyTo(kCopyToRight);
    EXPECT_EQ(b->iCopyTo, kNone);   // refused

    // With actions below, ignoring the folder with its children keeps those
    // actions: the folder stays unmarked and only the items without one follow.
    f->SetIgnored(true, true);
    EXPECT_FALSE(f->iIgnored);
    EXPECT_FALSE(a->iIgnored);
    EXPECT_EQ(a->iCopyTo, kCopyToRight);
    EXPECT_TRUE(b->iIgnored);
}

TEST_F(KItemIgnoreTest, AnActionAboveMovesDownWhenSomethingBelowIsIgnored) {
    f->setICopyTo(kDeleteLeft);
    ASSERT_EQ(f->iCopyTo, kDeleteLeft);
    ASSERT_EQ(c->iCopyTo, kNone);
    // Deleting f would delete c with it: the action moves to what is not ignored.
    c->SetIgnored(true, false);
    EXPECT_EQ(f->iCopyTo, kNone);
    EXPECT_EQ(a->iCopyTo, kDeleteLeft);
    EXPECT_EQ(b->iCopyTo, kDeleteLeft);
    EXPECT_EQ(sub->iCopyTo, kNone);   // all it holds is ignored
    EXPECT_TRUE(sub->iIgnored);
    EXPECT_EQ(c->iCopyTo, kNone);

    // An item that carried an action loses it when it is ignored itself.
    a->SetIgnored(true, false);
    EXPECT_EQ(a->iCopyTo, kNone);
}

TEST_F(KItemIgnoreTest, IgnoredItemsAreNoDifferences) {
    FolderSizePass::RecountStats(*run->root);
    EXPECT_EQ(NumberOfDifferences(*run->root), 2u);   // f/a differs, g is only on the left
    g->SetIgnored(true, false);
    a->SetIgnored(true, false);
    FolderSizePass::RecountStats(*run->root);
    EXPECT_EQ(NumberOfDifferences(*run->root), 0u);
    EXPECT_EQ(f->folderIfAny()->iDiffs1, 0u);
    a->SetIgnored(false, false);
    FolderSizePass::RecountStats(*run->root);
    EXPECT_EQ(NumberOfDifferences(*run->root), 1u);
    EXPECT_EQ(f->folderIfAny()->iDiffs1, 1u);
}

}  // namespace
}  // namespace qv::test
