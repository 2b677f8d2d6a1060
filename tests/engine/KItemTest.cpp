#include "engine/KRootItem.h"
#include "base/PathResolution.h"
#include "support/TempTree.h"

#include <gtest/gtest.h>

namespace qv {
namespace {

TEST(KItemTest, RootPathsKeepTheFileSystemRootAndLoseOneTrailingSlash) {
    KRootItem root;
    root.setILeftPath("/");
    root.setIRightPath("/srv/data/");
    EXPECT_EQ(root.PathForSide(kSideLeft), "/");
    EXPECT_EQ(root.PathForSide(kSideRight), "/srv/data");
    EXPECT_EQ(root.iName2(), QStringLiteral("/"));
    EXPECT_TRUE(root.PathForSide(kSideBoth).empty());

    KItem* child = KItem::Item("etc", 0, true, kSideLeft, &root, "", &root);
    root.appendChild(child);
    EXPECT_EQ(child->PathForSide(kSideLeft), "/etc");
    EXPECT_EQ(child->PathForSide(kSideRight), "/srv/data/etc");
    EXPECT_TRUE(child->PathForSide(kSideBoth).empty());
}

TEST(KItemTest, EachSidePathUsesItsOwnSpelling) {
    KRootItem root;
    root.setILeftPath("/l");
    root.setIRightPath("/r");
    KItem* folder = KItem::Item("Docs", 0, true, kSideRight, &root, "", &root);
    KItem left(&root, &root);
    left.setIName("docs");
    left.setSideValues(kSideLeft, 0, platform::kNoTime, true);
    folder->CopySideValuesFrom(left, "docs");
    root.appendChild(folder);
    KItem* file = KItem::Item("Read.ME", 3, false, kSideRight, &root, "/target/", folder);
    folder->appendChild(file);
    EXPECT_EQ(file->PathForSide(kSideLeft), "/l/docs/Read.ME");
    EXPECT_EQ(file->PathForSide(kSideRight), "/r/Docs/Read.ME");
    EXPECT_EQ(file->linkForSide(kSideRight), "/target");   // a trailing slash is not stored
    EXPECT_EQ(root.ItemForPath("/r/Docs/Read.ME", kSideRight), file);
    EXPECT_EQ(root.ItemForPath("/r/Docs/missing", kSideRight), nullptr);
}

TEST(KItemTest, NodesStayCompact) {
    // The tree of a million-entry comparison must fit in memory comfortably.
    EXPECT_LE(sizeof(KItem), 104u);
}

TEST(PathResolutionTest, LinksResolveOneStepAndPathsAreStandardised) {
    test::TempTree tree;
    tree.folder("real/inner");
    tree.link("abs", tree.path("real"));
    tree.link("rel", "real/inner/");
    EXPECT_EQ(StringByResolvingSymlinksAndAliases(tree.path("abs")), tree.path("real"));
    EXPECT_EQ(StringByResolvingSymlinksAndAliases(tree.path("rel")), tree.path("real/inner"));
    EXPECT_EQ(StringByResolvingSymlinksAndAliases(tree.path("real") + "//./inner/"), tree.path("real/inner"));
    EXPECT_EQ(StringByResolvingSymlinksAndAliases("relative/path"), "relative/path");
    EXPECT_EQ(StringByResolvingSymlinksAndAliases("/no/such/thing"), "/no/such/thing");
    EXPECT_EQ(standardizePath("/a/b/../c/./"), "/a/c");
    EXPECT_EQ(standardizePath("/.."), "/");
}

}  // namespace
}  // namespace qv
