#include "engine/KRootItem.h"
#include "sync/MirrorPlanner.h"

#include <gtest/gtest.h>

namespace qv::test {
namespace {

constexpr std::int64_t kSecond = 1'000'000'000;
constexpr std::int64_t kT = 1'600'000'000 * kSecond;

class MirrorPlannerTest : public ::testing::Test {
protected:
    KRootItem root;

    void SetUp() override {
        root.setILeftPath("/nowhere/L");
        root.setIRightPath("/nowhere/R");
    }
    // A node with the given state; dates apply to the sides that exist.
    KItem* add(KItem* parent, const char* name, int state, std::int64_t leftDate = kT, std::int64_t rightDate = kT,
               bool leftFolder = false, bool rightFolder = false) {
        const bool hasLeft = state != kStateOnlyRight, hasRight = state != kStateOnlyLeft;
        KItem* n = KItem::Item(name, 1, hasRight ? rightFolder : leftFolder, hasRight ? kSideRight : kSideLeft, &root,
                               "", parent);
        if (hasRight) n->iDate2 = rightDate;
        if (hasLeft) n->setSideValues(kSideLeft, 1, leftDate, leftFolder);
        n->iState = state;
        parent->appendChild(n);
        return n;
    }
    std::vector<KItem*> plan(int type, int mirror, bool onlyOrphans = false) {
        std::vector<KItem*> cantSync;
        MirrorPlanner(type, mirror, onlyOrphans).SelectForMirror(&root, cantSync);
        return cantSync;
    }
};

TEST_F(MirrorPlannerTest, MirrorCopiesDifferencesAndDeletesDestinationOnlyItemsOnlyWhenAsked) {
    KItem* equal = add(&root, "equal", kStateEqual);
    KItem* changed = add(&root, "changed", kStateSizesDiffer, kT, kT + 100 * kSecond);
    KItem* leftOnly = add(&root, "leftOnly", kStateOnlyLeft);
    KItem* rightOnly = add(&root, "rightOnly", kStateOnlyRight);
    KItem* tags = add(&root, "tags", kStateTagsDiffer);
    KItem* folder = add(&root, "folder", kStateDifferent, kT, kT, true, true);
    KItem* inner = add(folder, "inner", kStateOnlyRight);
    folder->iCopyTo = kCopyToLeft;   // a leftover of earlier marking

    EXPECT_TRUE(plan(kMirrorSync, kMirrorToRight).empty());
    EXPECT_EQ(equal->iCopyTo, kNone);
    EXPECT_EQ(changed->iCopyTo, kCopyToRight);   // even though the destination is newer
    EXPECT_EQ(leftOnly->iCopyTo, kCopyToRight);
    EXPECT_EQ(rightOnly->iCopyTo, kNone);
    EXPECT_EQ(tags->iCopyTo, kAttrsToRight);
    EXPECT_EQ(folder->iCopyTo, kNone);
    EXPECT_EQ(inner->iCopyTo, kNone);

    plan(kMirrorSync, kMirrorToRight | kMirrorDeleteOrphans);
    EXPECT_EQ(rightOnly->iCopyTo, kDeleteRight);
    EXPECT_EQ(inner->iCopyTo, kDeleteRight);

    plan(kMirrorSync, kMirrorToLeft | kMirrorDeleteOrphans);
    EXPECT_EQ(changed->iCopyTo, kCopyToLeft);
    EXPECT_EQ(leftOnly->iCopyTo, kDeleteLeft);
    EXPECT_EQ(rightOnly->iCopyTo, kCopyToLeft);
    EXPECT_EQ(inner->iCopyTo, kCopyToLeft);
}

TEST_F(MirrorPlannerTest, MirrorReplacesAFileFacingAFolderWhole) {
    KItem* fileVsFolder = add(&root, "x", kStateDifferent, kT, kT, false, true);
    add(fileVsFolder, "content", kStateOnlyRight);
    KItem* folderVsFile = add(&root, "y", kStateDifferent, kT, kT, true, false);
    KItem* inside = add(folderVsFile, "content", kStateOnlyLeft);
    plan(kMirrorSync, kMirrorToRight | kMirrorDeleteOrphans);
    EXPECT_EQ(fileVsFolder->iCopyTo, kCopyToRight);
    EXPECT_EQ(fileVsFolder->iChildren().front()->iCopyTo, kNone);
    EXPECT_EQ(folderVsFile->iCopyTo, kCopyToRight);
    EXPECT_EQ(inside->iCopyTo, kNone);
}

TEST_F(MirrorPlannerTest, UpdateCopiesTheNewerSideAndListsPairsItCannotOrder) {
    KItem* leftNewer = add(&root, "leftNewer", kStateDatesDiffer, kT + 5 * kSecond, kT);
    KItem* rightNewer = add(&root, "rightNewer", kStateDatesDiffer, kT, kT + 5 * kSecond);
    KItem* oneSecond = add(&root, "oneSecond", kStateSizesDiffer, kT + kSecond, kT);
    KItem* closeEqual = add(&root, "closeEqual", kStateEqual, kT + kSecond / 2, kT);
    KItem* farEqual = add(&root, "farEqual", kStateEqual, kT + 9 * kSecond, kT);
    KItem* noDate = add(&root, "noDate", kStateSizesDiffer, platform::kNoTime, kT);
    KItem* leftOnly = add(&root, "leftOnly", kStateOnlyLeft);
    KItem* rightOnly = add(&root, "rightOnly", kStateOnlyRight);

    std::vector<KItem*> cantSync = plan(kUpdateSync, kMirrorToRight);
    EXPECT_EQ(leftNewer->iCopyTo, kCopyToRight);
    EXPECT_EQ(rightNewer->iCopyTo, kNone);   // skipped, and not listed
    EXPECT_EQ(farEqual->iCopyTo, kCopyToRight);
    EXPECT_EQ(closeEqual->iCopyTo, kNone);
    EXPECT_EQ(leftOnly->iCopyTo, kCopyToRight);
    EXPECT_EQ(rightOnly->iCopyTo, kNone);
    EXPECT_EQ(cantSync, (std::vector<KItem*>{oneSecond, noDate}));
    EXPECT_EQ(MirrorPlanner::notSyncedLines(cantSync), (std::vector<std::string>{"oneSecond", "noDate"}));

    plan(kUpdateSync, kMirrorBoth);
    EXPECT_EQ(leftNewer->iCopyTo, kCopyToRight);
    EXPECT_EQ(rightNewer->iCopyTo, kCopyToLeft);
    EXPECT_EQ(leftOnly->iCopyTo, kCopyToRight);
    EXPECT_EQ(rightOnly->iCopyTo, kCopyToLeft);
}

TEST_F(MirrorPlannerTest, FolderTagsUnderUpdateAndOrphanOnlyPlans) {
    KItem* folder = add(&root, "folder", kStateTagsDiffer, kT, kT, true, true);
    KItem* inside = add(folder, "inside", kStateSizesDiffer, kT, kT + 3 * kSecond);
    plan(kUpdateSync, kMirrorToRight);
    EXPECT_EQ(folder->iCopyTo, kNone);   // equal dates: the source is not newer
    plan(kUpdateSync, kMirrorBoth);
    EXPECT_EQ(folder->iCopyTo, kAttrsToRight);
    EXPECT_EQ(inside->iCopyTo, kCopyToLeft);   // the attribute copy does not clear the children

    for (KItem* child : root.iChildren()) child->setICopyTo(kNone);
    KItem* top = add(&root, "top", kStateSizesDiffer);
    KItem* orphan = add(&root, "orphan", kStateOnlyLeft);
    top->iCopyTo = kDeleteLeft;
    inside->iCopyTo = kDeleteLeft;
    plan(kMirrorSync, kMirrorToRight, true);
    EXPECT_EQ(top->iCopyTo, kDeleteLeft);   // two-sided and at the top: kept
    EXPECT_EQ(inside->iCopyTo, kNone);      // cleared when its folder was walked into
    EXPECT_EQ(orphan->iCopyTo, kCopyToRight);
}

}  // namespace
}  // namespace qv::test
