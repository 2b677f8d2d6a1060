// The mount that holds a path, chosen among the lines of a mountinfo table:
// the longest mount point above it (a neighbour sharing its first letters
// does not count), the last of two mounts at one place, names with escaped
// blanks, optional fields before the separator, and read-only judged by the
// mount's own options only. The live table finds a mount for the root.

#include "platform/Volumes.h"

#include <gtest/gtest.h>

namespace qv::platform {
namespace {

const char* const kTable =
    "22 27 0:21 / /proc rw,nosuid,nodev,noexec,relatime shared:5 - proc proc rw\n"
    "27 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw,errors=remount-ro\n"
    "40 27 8:17 / /mnt/data rw,relatime shared:20 master:3 - ext4 /dev/sdb1 ro\n"
    "41 27 8:33 / /mnt/data2 ro,relatime - vfat /dev/sdc1 rw,fmask=0022\n"
    "42 40 0:50 / /mnt/data/My\\040Disk rw - fuse.sshfs host:/home/a\\040b rw\n"
    "43 40 0:51 / /mnt/data/My\\040Disk ro,nosuid - tmpfs over rw\n";

TEST(VolumesTest, TheLongestMountPointAboveThePathHoldsIt) {
    MountInfo m = mountAmong(kTable, "/home/user/file.txt");
    EXPECT_EQ(m.mountPoint, "/");
    EXPECT_EQ(m.fsType, "ext4");
    EXPECT_EQ(m.source, "/dev/sda1");
    EXPECT_FALSE(m.readOnly) << "errors=remount-ro is a super option, not the mount's";

    // Two optional fields before the separator; "ro" among the super options does not count.
    m = mountAmong(kTable, "/mnt/data/x");
    EXPECT_EQ(m.mountPoint, "/mnt/data");
    EXPECT_EQ(m.source, "/dev/sdb1");
    EXPECT_FALSE(m.readOnly);

    // /mnt/data2 begins like /mnt/data but is a mount of its own, read-only, without optional fields.
    m = mountAmong(kTable, "/mnt/data2/y");
    EXPECT_EQ(m.mountPoint, "/mnt/data2");
    EXPECT_EQ(m.fsType, "vfat");
    EXPECT_TRUE(m.readOnly);
    EXPECT_EQ(mountAmong(kTable, "/mnt/data2").mountPoint, "/mnt/data2");
}

TEST(VolumesTest, EscapedNamesAndMountsOverMountsAreRead) {
    // Two mounts at the same escaped place: the later one is on top.
    const MountInfo m = mountAmong(kTable, "/mnt/data/My Disk/notes");
    EXPECT_EQ(m.mountPoint, "/mnt/data/My Disk");
    EXPECT_EQ(m.fsType, "tmpfs");
    EXPECT_EQ(m.source, "over");
    EXPECT_TRUE(m.readOnly);
    // Under the first of the two alone, the source's escape is read too.
    const MountInfo lower = mountAmong(
        "27 1 8:1 / / rw - ext4 /dev/sda1 rw\n42 27 0:50 / /srv/My\\040Disk rw - fuse.sshfs host:/a\\040b rw",
        "/srv/My Disk");
    EXPECT_EQ(lower.source, "host:/a b");
    EXPECT_EQ(lower.fsType, "fuse.sshfs");
    // A table without a trailing line break, blank lines and nothing above the path.
    EXPECT_EQ(mountAmong("\n\n", "/x").mountPoint, "");
    EXPECT_EQ(mountAmong("", "/x").fsType, "");
}

TEST(VolumesTest, TheLiveTableHasAMountForTheRoot) {
    const MountInfo root = mountOf("/");
    EXPECT_EQ(root.mountPoint, "/");
    EXPECT_FALSE(root.fsType.empty());
    // A path that does not exist is judged by its nearest existing folder.
    EXPECT_FALSE(mountOf("/no/such/place/at/all").mountPoint.empty());
}

}  // namespace
}  // namespace qv::platform
