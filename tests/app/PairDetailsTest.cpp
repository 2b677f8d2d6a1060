// What the inspector reads of an entry: its kind, size, permissions in the
// form ls writes them, owner, link target, tags and attribute names, and
// the reason when the entry cannot be read.

#include "app/PairDetails.h"

#include "platform/EntryOwnership.h"
#include "support/TempTree.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace qv::test {
namespace {

TEST(PairDetailsTest, AnEntryReadsWithItsPermissionsOwnerTagsAndAttributes) {
    TempTree t;
    t.fileWithText("doc.txt", "twelve bytes");
    ASSERT_EQ(::chmod(t.path("doc.txt").c_str(), 0640), 0);
    t.setTags("doc.txt", "Red,work");
    t.setAttribute("doc.txt", "user.origin", "mail");
    const SideDetails d = PairDetails::readEntry(t.path("doc.txt"));
    EXPECT_EQ(d.readError, 0);
    EXPECT_EQ(d.kind, SideDetails::Kind::File);
    EXPECT_EQ(d.size, 12);
    EXPECT_EQ(d.permissions, QStringLiteral("rw-r----- (640)"));
    EXPECT_TRUE(d.owner.contains(u':'));
    EXPECT_EQ(d.tags, (QStringList{"Red", "work"}));
    EXPECT_TRUE(d.attributes.contains(QStringLiteral("user.origin")));
    EXPECT_FALSE(d.type.isEmpty());
    EXPECT_NE(d.modified, platform::kNoTime);

    t.link("link", "doc.txt");
    const SideDetails link = PairDetails::readEntry(t.path("link"));
    EXPECT_EQ(link.kind, SideDetails::Kind::Link);
    EXPECT_EQ(link.linkTarget, QStringLiteral("doc.txt"));

    t.folder("dir");
    const SideDetails folder = PairDetails::readEntry(t.path("dir"));
    EXPECT_EQ(folder.kind, SideDetails::Kind::Folder);
    EXPECT_EQ(folder.size, -1);   // a folder's size is the comparison's to count

    const SideDetails gone = PairDetails::readEntry(t.path("gone"));
    EXPECT_EQ(gone.readError, ENOENT);
    EXPECT_EQ(gone.kind, SideDetails::Kind::Missing);
}

TEST(PairDetailsTest, PermissionsReadAsLsWritesThem) {
    EXPECT_EQ(platform::permissionText(0755), "rwxr-xr-x");
    EXPECT_EQ(platform::permissionText(04755), "rwsr-xr-x");
    EXPECT_EQ(platform::permissionText(02644), "rw-r-Sr--");
    EXPECT_EQ(platform::permissionText(01777), "rwxrwxrwt");
    EXPECT_EQ(platform::permissionText(01666), "rw-rw-rwT");
    platform::EntryOwnership o;
    TempTree t;
    t.fileWithText("f", "x");
    ASSERT_EQ(platform::readOwnership(t.path("f"), false, o), 0);
    EXPECT_EQ(o.uid, ::getuid());
    EXPECT_EQ(platform::readOwnership(t.path("missing"), false, o), ENOENT);
}

}  // namespace
}  // namespace qv::test
