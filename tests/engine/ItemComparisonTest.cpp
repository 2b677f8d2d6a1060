#include "support/FaultyFileSystem.h"
#include "support/ScanHarness.h"
#include "support/TempTree.h"

#include <gtest/gtest.h>

#include <map>
#include <sys/stat.h>
#include <unistd.h>

namespace qv::test {
namespace {

constexpr std::int64_t kSecond = 1'000'000'000LL;

class ItemComparisonTest : public ::testing::Test {
protected:
    TempTree left, right;

    std::unique_ptr<ScanRun> scan(const RootSetup& setup, platform::FileSystem* fs = nullptr) {
        return scanFolders(left.root(), right.root(), {}, setup, fs);
    }
};

TEST_F(ItemComparisonTest, ContentsDecideEqualSizedPairs) {
    const std::size_t big = 3 * 256 * 1024 + 17;   // more than one read block
    left.file("sameContentOtherDate", 1000, 'a', kBaseTimeNs);
    right.file("sameContentOtherDate", 1000, 'a', kBaseTimeNs + 3600 * kSecond);
    left.file("lastByte", big, 'q');
    std::string changed(big, 'q');
    changed.back() = 'r';
    right.fileWithText("lastByte", changed);
    left.file("firstByte", 10, 'x');
    right.fileWithText("firstByte", "y" + std::string(9, 'x'));
    left.file("blockEdge", 65535, 'e');
    right.file("blockEdge", 65536, 'e');
    left.file("empty", 0);
    right.file("empty", 0);
    left.file("sparse", 0);
    left.truncate("sparse", 50'000'000);
    right.file("sparse", 0);
    right.truncate("sparse", 50'000'000);

    auto withContents = scan({.contents = true});
    EXPECT_EQ(withContents->state("sameContentOtherDate"), kStateEqual);
    EXPECT_EQ(withContents->state("lastByte"), kStateDifferent);
    EXPECT_EQ(withContents->state("firstByte"), kStateDifferent);
    EXPECT_EQ(withContents->state("blockEdge"), kStateSizesDiffer);   // sizes differ: never read
    EXPECT_EQ(withContents->state("empty"), kStateEqual);
    EXPECT_EQ(withContents->state("sparse"), kStateEqual);
    EXPECT_EQ(withContents->root->iState, kStateDifferent);

    auto metadataOnly = scan({});
    EXPECT_EQ(metadataOnly->state("sameContentOtherDate"), kStateDatesDiffer);
    EXPECT_EQ(metadataOnly->state("lastByte"), kStateEqual);
}

TEST_F(ItemComparisonTest, ADifferenceFoundByReadingMarksEveryFolderAbove) {
    left.file("a/b/c/file", 100, 'x');
    right.file("a/b/c/file", 100, 'y');
    left.file("a/other", 5);
    right.file("a/other", 5);
    for (unsigned workers : {0u, 2u}) {
        auto run = scan({.contents = true, .contentWorkers = workers});
        EXPECT_EQ(run->state("a/b/c/file"), kStateDifferent) << workers;
        EXPECT_EQ(run->state("a/b/c"), kStateDifferent) << workers;
        EXPECT_EQ(run->state("a/b"), kStateDifferent) << workers;
        EXPECT_EQ(run->state("a"), kStateDifferent) << workers;
        EXPECT_EQ(run->state("a/other"), kStateEqual) << workers;
        EXPECT_EQ(run->root->iState, kStateDifferent) << workers;
    }
}

TEST_F(ItemComparisonTest, ResultsDoNotDependOnTheNumberOfReaders) {
    for (int i = 0; i < 150; ++i) {
        const std::string p = "d" + std::to_string(i % 7) + "/f" + std::to_string(i);
        left.file(p, static_cast<std::size_t>(100 + i), 'k');
        right.file(p, static_cast<std::size_t>(100 + i), i % 11 == 0 ? 'j' : 'k');
    }
    auto collect = [&](unsigned workers) {
        auto run = scan({.contents = true, .contentWorkers = workers});
        std::map<std::string, int> states;
        auto walk = [&](auto&& self, const KItem& item) -> void {
            for (const KItem* c : item.iChildren()) {
                states[c->iPath()] = c->iState;
                self(self, *c);
            }
        };
        walk(walk, *run->root);
        states[""] = run->root->iState;
        return states;
    };
    const auto inline0 = collect(0);
    EXPECT_EQ(inline0.at("d0/f0"), kStateDifferent);
    EXPECT_EQ(inline0.at("d1/f1"), kStateEqual);
    EXPECT_EQ(collect(2), inline0);
    EXPECT_EQ(collect(4), inline0);
}

TEST_F(ItemComparisonTest, SizeAllowanceAtAndPastItsValue) {
    left.file("within/f", 1000);
    right.file("within/f", 1100);
    left.file("past", 1000);
    right.file("past", 1101);
    auto run = scan({.sizeAllowance = 100});
    EXPECT_EQ(run->state("within/f"), kStateEqual);
    EXPECT_TRUE(run->node("within/f")->iOffsetSize);
    EXPECT_TRUE(run->node("within")->iOffsetSize);
    EXPECT_TRUE(run->root->iOffsetSize);
    EXPECT_EQ(run->state("past"), kStateSizesDiffer);
    EXPECT_FALSE(run->node("past")->iOffsetSize);

    auto switchedOff = scan({.sizeAllowance = 100, .sizeAllowanceIn = 2});
    EXPECT_EQ(switchedOff->state("within/f"), kStateSizesDiffer);
}

TEST_F(ItemComparisonTest, ExtendedAttributesAreComparedByNameAndValue) {
    for (const char* n : {"same", "oneSided", "otherValue", "none", "system"}) {
        left.file(n, 4);
        right.file(n, 4);
    }
    left.setAttribute("same", "user.origin", "camera");
    right.setAttribute("same", "user.origin", "camera");
    left.setAttribute("oneSided", "user.origin", "camera");
    left.setAttribute("otherValue", "user.origin", "camera");
    right.setAttribute("otherValue", "user.origin", "scanner");
    // Only the user namespace takes part.
    left.setAttribute("system", "trusted.qv", "1");
    for (const char* n : {"same", "oneSided", "otherValue", "none", "system"}) {
        left.setTime(n, kBaseTimeNs);
        right.setTime(n, kBaseTimeNs);
    }

    auto run = scan({.attributes = true});
    EXPECT_EQ(run->state("same"), kStateEqual);
    EXPECT_EQ(run->state("oneSided"), kStateRsrcDiffers);
    EXPECT_EQ(run->state("otherValue"), kStateRsrcDiffers);
    EXPECT_EQ(run->state("none"), kStateEqual);
    EXPECT_EQ(run->state("system"), kStateEqual);
    EXPECT_EQ(run->root->iState, kStateDifferent);

    auto off = scan({});
    EXPECT_EQ(off->state("oneSided"), kStateEqual);
}

TEST_F(ItemComparisonTest, TagsCompareInOrderForFilesAndFolders) {
    for (const char* n : {"same", "reordered", "untagged", "oneSided"}) {
        left.file(n, 2);
        right.file(n, 2);
    }
    left.setTags("same", "Red,Work");
    right.setTags("same", "Red,Work");
    left.setTags("reordered", "Red,Work");
    right.setTags("reordered", "Work,Red");
    left.setTags("oneSided", "Blue");
    left.folder("dir");
    right.folder("dir");
    left.setTags("dir", "Green");
    for (const char* n : {"same", "reordered", "untagged", "oneSided"}) {
        left.setTime(n, kBaseTimeNs);
        right.setTime(n, kBaseTimeNs);
    }

    auto run = scan({.tags = true});
    EXPECT_EQ(run->state("same"), kStateEqual);
    EXPECT_EQ(run->state("reordered"), kStateTagsDiffer);
    EXPECT_EQ(run->state("untagged"), kStateEqual);
    EXPECT_EQ(run->state("oneSided"), kStateTagsDiffer);
    EXPECT_EQ(run->state("dir"), kStateTagsDiffer);
}

TEST_F(ItemComparisonTest, DanglingLinksCompareByTheirStoredDestination) {
    left.link("sameTarget", "/nowhere/a");
    right.link("sameTarget", "/nowhere/a");
    left.link("otherTarget", "/nowhere/bb");
    right.link("otherTarget", "/nowhere/cc");
    left.link("loop", "loop");
    right.link("loop", "loop");
    for (const char* n : {"sameTarget", "otherTarget", "loop"}) {
        left.setTime(n, kBaseTimeNs);
        right.setTime(n, kBaseTimeNs);
    }
    auto run = scan({.contents = true});
    EXPECT_EQ(run->state("sameTarget"), kStateEqual);
    EXPECT_EQ(run->state("otherTarget"), kStateDifferent);
    EXPECT_EQ(run->state("loop"), kStateEqual);
}

TEST_F(ItemComparisonTest, LinksToFoldersCompareAsTheFoldersWhenFollowed) {
    TempTree targets;
    targets.file("one/x", 3);
    targets.file("two/x", 3);
    targets.file("three/x", 4);
    left.link("docs", targets.path("one"));
    right.link("docs", targets.path("two"));
    left.link("misc", targets.path("one"));
    right.link("misc", targets.path("three"));
    // A link back to its own tree must not recurse for ever.
    left.link("sub/up", left.root());
    right.link("sub/up", right.root());
    for (TempTree* t : {&left, &right})
        for (const char* n : {"docs", "misc", "sub/up"}) t->setTime(n, kBaseTimeNs);

    auto run = scan({.resolveAliases = true});
    EXPECT_EQ(run->state("docs"), kStateEqual);
    EXPECT_TRUE(run->node("docs")->iChildren().empty());
    EXPECT_EQ(run->state("misc"), kStateDifferent);
    ASSERT_NE(run->node("sub/up"), nullptr);

    // Not followed, a link is the path it stores: same size and time are not enough.
    left.link("same", targets.path("one"));
    right.link("same", targets.path("one"));
    left.fileWithText("fileVsLink", targets.path("one"));
    right.link("fileVsLink", targets.path("one"));
    for (TempTree* t : {&left, &right})
        for (const char* n : {"same", "fileVsLink"}) t->setTime(n, kBaseTimeNs);
    auto plain = scan({});
    EXPECT_EQ(plain->state("docs"), kStateDifferent);
    EXPECT_EQ(plain->state("same"), kStateEqual);
    EXPECT_EQ(plain->state("fileVsLink"), kStateDifferent);
    EXPECT_TRUE(plain->node("docs")->isLink(kSideLeft));
    auto byContents = scan({.contents = true});
    EXPECT_EQ(byContents->state("same"), kStateEqual);   // never read through to the folder
}

TEST_F(ItemComparisonTest, AFileThatCannotBeReadGivesNoEntryAndTheRunGoesOn) {
    left.file("bad", 10, 'a');
    right.file("bad", 10, 'a');
    left.file("good", 10, 'a');
    right.file("good", 10, 'b');
    FaultyFileSystem fs;
    fs.failReading(right.path("bad"));
    auto run = scan({.contents = true}, &fs);
    EXPECT_EQ(run->state("bad"), kStateNoEntry);
    EXPECT_EQ(run->state("good"), kStateDifferent);
    EXPECT_EQ(run->root->iState, kStateDifferent);
}

TEST_F(ItemComparisonTest, EntriesThatChangeUnderTheScanStillGetAState) {
    left.file("becomesFolder", 8, 'a');
    right.file("becomesFolder", 8, 'a');
    left.file("vanishes", 8, 'a');
    right.file("vanishes", 8, 'a');
    left.fileWithText("new\nline", "same");
    right.fileWithText("new\nline", "same");
    left.file("zzz/later", 1);
    right.file("zzz/later", 1);
    // With no reading threads the files are read when the scan ends, after
    // the listing of "zzz" has replaced one file by a folder and removed another.
    // Listed in order, "zzz" comes after the top level: listed ahead, the
    // right "zzz" may come first, and the changes would be seen as listed.
    FaultyFileSystem fs;
    fs.beforeListing = [&](const std::string& path) {
        if (path != right.path("zzz")) return;
        ::unlink(right.path("becomesFolder").c_str());
        ::mkdir(right.path("becomesFolder").c_str(), 0755);
        ::unlink(right.path("vanishes").c_str());
    };
    auto run = scan({.contents = true, .contentWorkers = 0, .listingAhead = false}, &fs);
    EXPECT_EQ(run->state("becomesFolder"), kStateNoEntry);
    EXPECT_EQ(run->state("vanishes"), kStateNoEntry);
    EXPECT_EQ(run->state("new\nline"), kStateEqual);
    EXPECT_EQ(run->state("zzz"), kStateEqual);
    EXPECT_EQ(run->root->iState, kStateDifferent);
    // Nothing on the left was touched.
    platform::EntryStat st;
    EXPECT_EQ(platform::systemFileSystem().statPath(left.path("vanishes"), false, st), 0);
    EXPECT_EQ(st.size, 8);
}

}  // namespace
}  // namespace qv::test
