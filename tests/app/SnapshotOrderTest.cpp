// The order of a snapshot's entries in its preview: folders on top in both
// directions, a value missing sorting after every present one, names
// breaking ties, and the kinds compared as the preview names them.

#include "app/SnapshotOrder.h"

#include "snapshot/KSnapshot.h"

#include <gtest/gtest.h>

namespace qv::test {
namespace {

// Files a (10 bytes, text), B (10 bytes, no date), c (3 bytes, image) and the folders d and E.
constexpr const char* kJson = R"({"pth":"\/r","fol":true,"siz":0,"fsz":0,"hasMD5":false,"chi":[
  {"pth":"\/r\/c","fol":false,"siz":3,"fsz":0,"dtM":"2024-01-03T00:00:00Z","uti":"image/png"},
  {"pth":"\/r\/d","fol":true,"siz":7,"fsz":0,"dtM":"2024-01-01T00:00:00Z","chi":[
    {"pth":"\/r\/d\/z","fol":false,"siz":1,"fsz":0},{"pth":"\/r\/d\/y","fol":false,"siz":6,"fsz":0}]},
  {"pth":"\/r\/a","fol":false,"siz":10,"fsz":0,"dtM":"2024-01-02T00:00:00Z","uti":"text/plain"},
  {"pth":"\/r\/E","fol":true,"siz":0,"fsz":0,"chi":[]},
  {"pth":"\/r\/B","fol":false,"siz":10,"fsz":0}]})";

std::vector<std::string> names(const KSnapURL& folder) {
    std::vector<std::string> out;
    for (const KSnapURL* c : folder.iChildren) out.emplace_back(c->iName);
    return out;
}

class SnapshotOrderTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(snapshot.readJson(kJson)); }
    KSnapURL& root() { return *snapshot.iSnapshot(); }
    KSnapshot snapshot;
};

TEST_F(SnapshotOrderTest, FoldersStayOnTopInBothDirectionsAndNamesBreakTies) {
    const SnapshotOrder order(snapshot, {});
    order.SortBy(root(), kSnapSortName, false, true);
    EXPECT_EQ(names(root()), (std::vector<std::string>{"a", "B", "c", "d", "E"}));   // letter case aside
    order.SortBy(root(), kSnapSortSize, true, true);
    EXPECT_EQ(names(root()), (std::vector<std::string>{"E", "d", "c", "a", "B"}));
    order.SortBy(root(), kSnapSortSize, true, false);
    EXPECT_EQ(names(root()), (std::vector<std::string>{"d", "E", "B", "a", "c"}));   // equal sizes: by name, reversed too
    // Folders below are sorted too.
    EXPECT_EQ(names(*root().child("d")), (std::vector<std::string>{"y", "z"}));
}

TEST_F(SnapshotOrderTest, MissingValuesComeLastAndKindsAreComparedAsShown) {
    // The preview names the types; "image/png" shown as "Zeichnung" sorts after "Text".
    const SnapshotOrder order(snapshot, [&] {
        std::vector<QString> kinds;
        for (const std::string& t : snapshot.types()) kinds.push_back(t == "image/png" ? QStringLiteral("Zeichnung") : QStringLiteral("Text"));
        return kinds;
    }());
    order.SortBy(root(), kSnapSortModified, false, true);
    EXPECT_EQ(names(root()), (std::vector<std::string>{"d", "a", "c", "B", "E"}));
    order.SortBy(root(), kSnapSortKind, false, true);
    EXPECT_EQ(names(root()), (std::vector<std::string>{"a", "c", "B", "d", "E"}));
    EXPECT_EQ(order.kindOf(*root().child("c")), QStringLiteral("Zeichnung"));
    EXPECT_TRUE(order.kindOf(*root().child("B")).isEmpty());
}

}  // namespace
}  // namespace qv::test
