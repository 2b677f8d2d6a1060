// What the controller offers a window's tree, on real folders: rows served
// through the view, one-sided folders listed on demand, the live re-sort
// (also while a scan holds the tree), columns read after a run, open rows
// remembered across runs, and ignore marks set from the window.

#include "app/ExpandedRows.h"
#include "app/HeadlessPrompt.h"
#include "app/QuorvaneModule.h"
#include "engine/SortOrder.h"
#include "sync/MergeList.h"
#include "support/FaultyFileSystem.h"
#include "support/TempTree.h"
#include "support/TestSettings.h"
#include "support/WaitFor.h"

#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <thread>

namespace qv::test {
namespace {

class QuorvaneModuleRowsTest : public ::testing::Test {
protected:
    TestSettings settings;
    HeadlessPrompt prompt;
    TempTree left, right;

    // Compares the two trees and waits for the sizes, as a window shows the finished tree.
    static void compare(QuorvaneModule& module, const std::string& l, const std::string& r) {
        module.state().leftPath = l;
        module.state().rightPath = r;
        ASSERT_TRUE(module.Compare());
        ASSERT_TRUE(waitFor(&module, &QuorvaneModule::sizesCalculated));
    }

    static std::vector<std::string> names(const std::vector<KItem*>& items) {
        std::vector<std::string> out;
        for (const KItem* item : items) out.emplace_back(item->nameBytes());
        return out;
    }
};

TEST_F(QuorvaneModuleRowsTest, TheTreeOnScreenIsResortedByAnyColumn) {
    left.file("b", 30);
    left.file("a", 10);
    left.file("c", 20);
    right.file("b", 30);
    right.file("a", 10);
    right.file("c", 20);
    left.setTags("a", "zeta");
    left.setTags("c", "alpha");
    QuorvaneModule module(prompt, settings);
    module.setSortColumn(kColumnName1, true);
    compare(module, left.root(), right.root());
    KRootItem* root = module.iRootItem();
    EXPECT_EQ(names(root->iChildren()), (std::vector<std::string>{"a", "b", "c"}));

    int before = 0, after = 0;
    QObject::connect(&module, &QuorvaneModule::aboutToResort, [&] { ++before; });
    QObject::connect(&module, &QuorvaneModule::resorted, [&] {
        EXPECT_EQ(before, after + 1);
        ++after;
    });
    module.SafeResort(kColumnSize1, false);
    EXPECT_EQ(after, 1);
    EXPECT_EQ(names(root->iChildren()), (std::vector<std::string>{"b", "c", "a"}));
    // A second click on the sorting column reverses it.
    module.ColumnClicked(kColumnSize1);
    EXPECT_EQ(names(root->iChildren()), (std::vector<std::string>{"a", "c", "b"}));
    EXPECT_EQ(module.stateColumnTitle(), QStringLiteral(">    =    <"));

    // Tags were not read by the run: they are read first, then the rows are sorted by them.
    module.SafeResort(kColumnTags1, true);
    EXPECT_TRUE(module.RefreshingColumns());
    ASSERT_TRUE(waitFor(&module, &QuorvaneModule::resorted));
    EXPECT_TRUE(root->iColumns & kColumnTags);
    EXPECT_EQ(names(root->iChildren()), (std::vector<std::string>{"b", "c", "a"}));   // "", "alpha", "zeta"
    EXPECT_EQ(root->iSortingColumn, kColumnTags1);

    module.ColumnClicked(kColumnState);
    EXPECT_EQ(module.stateColumnTitle(), QStringLiteral(" >  =  <"));
}

TEST_F(QuorvaneModuleRowsTest, AResortAskedForDuringAScanNeverWaitsForIt) {
    for (int i = 0; i < 30; ++i) {
        left.file("d" + std::to_string(i) + "/f", 1);
        right.file("d" + std::to_string(i) + "/f", 1);
    }
    FaultyFileSystem slow;
    slow.beforeListing = [](const std::string&) { std::this_thread::sleep_for(std::chrono::milliseconds(10)); };
    QuorvaneModule module(prompt, settings, slow);
    module.setSortColumn(kColumnName1, true);
    module.state().leftPath = left.root();
    module.state().rightPath = right.root();
    ASSERT_TRUE(module.Compare());
    // The scan holds the tree while it descends: the re-sort must not wait for it.
    ASSERT_TRUE(waitUntil([&] { return module.iRootItem()->iChildren().size() == 30; }));
    QElapsedTimer clock;
    clock.start();
    module.SafeResort(kColumnName1, false);
    EXPECT_LT(clock.elapsed(), 50);
    EXPECT_TRUE(module.ComparingFolders());
    // While the scan runs only the top level is served, and nothing opens.
    KItem* first = module.iRootItem()->iChildren().front();
    EXPECT_EQ(module.shownChildren(module.iRootItem()).size(), 30u);
    EXPECT_TRUE(module.shownChildren(first).empty());
    EXPECT_FALSE(module.canExpand(first));

    ASSERT_TRUE(waitFor(&module, &QuorvaneModule::compareThreadFinished));
    ASSERT_FALSE(module.lastRunCancelled());
    const std::vector<std::string> order = names(module.iRootItem()->iChildren());
    EXPECT_EQ(order.front(), "d29");
    EXPECT_EQ(order.back(), "d0");
}

TEST_F(QuorvaneModuleRowsTest, OneSidedFoldersAreListedWhenARowOpens) {
    left.file("onlyL/x", 1);
    left.file("onlyL/y", 2);
    left.file("both/same", 1);
    left.file("both/changed", 1);
    right.file("both/same", 1);
    right.file("both/changed", 5);
    FaultyFileSystem fs;
    // The size pass is the first to list the one-sided folder: make it slow.
    fs.beforeListing = [this](const std::string& path) {
        if (path == left.path("onlyL")) std::this_thread::sleep_for(std::chrono::milliseconds(300));
    };
    QuorvaneModule module(prompt, settings, fs);
    module.state().leftPath = left.root();
    module.state().rightPath = right.root();
    ASSERT_TRUE(module.Compare());
    ASSERT_TRUE(waitFor(&module, &QuorvaneModule::compareThreadFinished));
    KRootItem* root = module.iRootItem();
    KItem* onlyL = root->itemAtIPath("onlyL");
    KItem* both = root->itemAtIPath("both");
    ASSERT_TRUE(onlyL && both);
    ASSERT_TRUE(module.CalculatingSizes());
    EXPECT_FALSE(module.canExpand(onlyL));   // not while its size is being taken
    EXPECT_TRUE(module.canExpand(both));
    ASSERT_TRUE(waitFor(&module, &QuorvaneModule::sizesCalculated));

    EXPECT_TRUE(module.canExpand(onlyL));
    EXPECT_TRUE(module.needsListing(onlyL));
    EXPECT_TRUE(module.shownChildren(onlyL).empty());
    EXPECT_EQ(module.ListFolderOnDemand(onlyL), 2u);
    EXPECT_FALSE(module.needsListing(onlyL));
    for (KItem* child : module.shownChildren(onlyL)) EXPECT_EQ(child->iState, kStateOnlyLeft);
    EXPECT_EQ(module.ListFolderOnDemand(onlyL), 2u);   // listed once

    // The view's filter decides the rows: without equal pairs one file is left.
    module.setIModuleFilter(kShowDifferent | kShowLeftOnly | kShowRightOnly);
    EXPECT_EQ(names(module.shownChildren(both)), std::vector<std::string>{"changed"});
    EXPECT_FALSE(module.canExpand(root->itemAtIPath("both/changed")));
}

TEST_F(QuorvaneModuleRowsTest, AColumnSwitchedOnAfterARunIsReadForBothSides) {
    left.fileWithText("t.txt", "left");
    left.setTags("t.txt", "Purple");
    right.fileWithText("t.txt", "right");
    right.setTags("t.txt", "Done");
    QuorvaneModule module(prompt, settings);
    compare(module, left.root(), right.root());
    KItem* t = module.iRootItem()->itemAtIPath("t.txt");
    EXPECT_EQ(t->extrasIfAny(), nullptr);
    // A colour label is read when a row first asks for it.
    EXPECT_EQ(module.colorLabel(t, kSideLeft), 3);
    EXPECT_EQ(module.colorLabel(t, kSideRight), 0);
    module.AddColumns(kColumnTags | kColumnDigest);
    ASSERT_TRUE(module.RefreshingColumns());
    ASSERT_TRUE(waitFor(&module, &QuorvaneModule::columnsRefreshed));
    ASSERT_NE(t->extrasIfAny(), nullptr);
    EXPECT_EQ(t->extrasIfAny()->iTags2, QStringLiteral("Done"));
    EXPECT_EQ(t->extrasIfAny()->iTags1, QStringLiteral("Purple"));
    EXPECT_EQ(t->extrasIfAny()->iMD51.size(), 32);
    EXPECT_NE(t->extrasIfAny()->iMD51, t->extrasIfAny()->iMD52);
    // The next run reads them itself.
    compare(module, left.root(), right.root());
    EXPECT_TRUE(module.iRootItem()->iColumns & kColumnDigest);
    EXPECT_FALSE(module.RefreshingColumns());
}

TEST_F(QuorvaneModuleRowsTest, OpenRowsComeBackAfterANewRunOfTheSameFolders) {
    left.file("f/sub/a", 1);
    left.file("g/b", 1);
    right.file("f/sub/a", 2);
    right.file("g/b", 1);
    QuorvaneModule module(prompt, settings);
    compare(module, left.root(), right.root());
    module.setExpanded(module.iRootItem()->itemAtIPath("f"), true);
    module.setExpanded(module.iRootItem()->itemAtIPath("f/sub"), true);
    compare(module, left.root(), right.root());
    std::vector<std::string> paths;
    for (KItem* item : module.restoredExpandedItems()) {
        paths.push_back(item->iPath());
        EXPECT_TRUE(item->iExpanded);
    }
    EXPECT_EQ(paths, (std::vector<std::string>{"f", "f/sub"}));
    EXPECT_FALSE(module.iRootItem()->itemAtIPath("g")->iExpanded);

    // Other folders: nothing is opened again.
    TempTree other;
    other.file("f/sub/a", 1);
    compare(module, left.root(), other.root());
    EXPECT_TRUE(module.restoredExpandedItems().empty());
}

TEST(ExpandedRowsTest, NothingIsRememberedFromTenThousandVisibleRows) {
    auto root = std::make_unique<KRootItem>();
    std::vector<KItem*> children;
    for (int i = 0; i < 9998; ++i)
        children.push_back(KItem::Item("n" + std::to_string(i), 1, true, kSideLeft, root.get(), {}, root.get()));
    children.front()->iExpanded = true;
    root->SetChildrenWithoutSorting(children);
    ViewFilter view(*root, kFilterOff);
    ExpandedRows rows;
    rows.StoreExpandedItems(*root, view);
    EXPECT_EQ(rows.paths(), std::vector<std::string>{"n0"});
    children.push_back(KItem::Item("n9998", 1, false, kSideLeft, root.get(), {}, root.get()));
    children.push_back(KItem::Item("n9999", 1, false, kSideLeft, root.get(), {}, root.get()));
    root->SetChildrenWithoutSorting(children);
    rows.StoreExpandedItems(*root, view);
    EXPECT_TRUE(rows.paths().empty());
}

TEST_F(QuorvaneModuleRowsTest, IgnoreMarksFromTheWindowReachCountsStatusAndActions) {
    left.file("f/a", 1);
    left.file("f/b", 1);
    right.file("f/a", 2);
    right.file("f/b", 2);
    QuorvaneModule module(prompt, settings);
    compare(module, left.root(), right.root());
    KItem* f = module.iRootItem()->itemAtIPath("f");
    KItem* a = module.iRootItem()->itemAtIPath("f/a");
    const QString before = module.status().header();
    EXPECT_TRUE(before.contains(QLatin1Char('2'))) << before.toStdString();

    module.mergeList().SetItem(f, kCopyToRight, false);
    module.mergeList().UpdateMergedArrayFromCHildren(module.iParentItem());
    module.MergeItemsUpdated();
    EXPECT_EQ(module.status().badge(), QStringLiteral("1"));
    EXPECT_TRUE(module.status().showsActionSummary());
    EXPECT_TRUE(module.status().buttons().execute);

    KItem* changedTop = nullptr;
    int aboutToChange = 0;
    QObject::connect(&module, &QuorvaneModule::ignoreMarksAboutToChange, [&] { ++aboutToChange; });
    QObject::connect(&module, &QuorvaneModule::ignoreMarksChanged, [&](KItem* top) { changedTop = top; });
    EXPECT_EQ(module.SetIgnored(a, true, false), f);
    EXPECT_EQ(aboutToChange, 1);
    EXPECT_EQ(changedTop, f);
    // f's copy now stands for b alone.
    EXPECT_EQ(module.mergeList().iMergeItems(), std::vector<KItem*>{module.iRootItem()->itemAtIPath("f/b")});
    // With an action below, ignoring the folder with its children keeps that action.
    module.SetIgnored(f, true, true);
    EXPECT_FALSE(f->iIgnored);
    EXPECT_EQ(module.mergeList().iMergeItems().size(), 1u);
    module.SetIgnored(module.iRootItem()->itemAtIPath("f/b"), true, false);
    EXPECT_TRUE(f->iIgnored);
    EXPECT_TRUE(module.mergeList().iMergeItems().empty());
    EXPECT_EQ(module.status().badge(), QString());
    EXPECT_FALSE(module.status().showsActionSummary());
    EXPECT_FALSE(module.status().buttons().execute);
    EXPECT_FALSE(module.status().header().contains(QLatin1Char('2'))) << module.status().header().toStdString();
    // Hidden from a view that does not show ignored rows.
    module.setIModuleFilter(kFilterOff & ~kShowIgnored);
    EXPECT_TRUE(module.shownChildren(module.iRootItem()).empty());
}

}  // namespace
}  // namespace qv::test
