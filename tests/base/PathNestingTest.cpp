// Whether one folder lies inside another, as the window and the sync guard ask it.

#include "base/PathResolution.h"
#include "support/TempTree.h"

#include <gtest/gtest.h>

namespace qv::test {
namespace {

TEST(PathNesting, InsideBySubfolderOrByLinkNotBySiblingOrPrefix) {
    TempTree t;
    t.folder("a/b/c");
    t.folder("ab");
    t.folder("other");
    t.link("other/into", t.path("a/b"));   // a link elsewhere that leads inside "a"
    EXPECT_TRUE(isSameOrInside(t.path("a"), t.path("a")));
    EXPECT_TRUE(isSameOrInside(t.path("a/b/c"), t.path("a")));
    EXPECT_TRUE(isSameOrInside(t.path("other/into"), t.path("a")));
    EXPECT_TRUE(isSameOrInside(t.path("other/into/c"), t.path("a/b")));
    EXPECT_FALSE(isSameOrInside(t.path("a"), t.path("a/b")));
    EXPECT_FALSE(isSameOrInside(t.path("ab"), t.path("a")));      // a name prefix is not a parent
    EXPECT_FALSE(isSameOrInside(t.path("other"), t.path("a")));
    EXPECT_FALSE(isSameOrInside(t.path("missing"), t.path("a")));
    EXPECT_TRUE(isSameOrInside(t.path("a"), "/"));
}

}  // namespace
}  // namespace qv::test
