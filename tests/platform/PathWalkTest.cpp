#include "platform/PathWalk.h"
#include "support/FileChecks.h"
#include "support/TempTree.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <climits>
#include <string>

namespace qv::platform {
namespace {

using test::TempTree;

// The same answers from openat2 and from the walk one component at a time.
class PathWalkTest : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override { allowOpenat2(GetParam()); }
    void TearDown() override { allowOpenat2(true); }
};

INSTANTIATE_TEST_SUITE_P(BothWalks, PathWalkTest, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "openat2" : "componentByComponent"; });

TEST_P(PathWalkTest, NeverLeavesTheFolderItStartsFrom) {
    TempTree tree;
    tree.fileWithText("root/sub/inner/file.txt", "inside");
    tree.fileWithText("outside/secret.txt", "outside");
    tree.link("root/escape", tree.path("outside"));
    tree.link("root/sub/relative", "../../outside");
    tree.fileWithText("root/plain", "a file");
    UniqueFd root;
    ASSERT_EQ(openFolder(tree.path("root"), root), 0);

    UniqueFd reached;
    EXPECT_EQ(openBelow(root.get(), "sub/inner", reached), 0);
    struct stat st {};
    EXPECT_EQ(::fstatat(reached.get(), "file.txt", &st, 0), 0);
    EXPECT_EQ(openBelow(root.get(), "", reached), 0);
    EXPECT_EQ(::fstatat(reached.get(), "plain", &st, 0), 0);

    // A link on the way, absolute or relative, however it is spelt.
    EXPECT_EQ(openBelow(root.get(), "escape", reached), ELOOP);
    EXPECT_EQ(openBelow(root.get(), "sub/relative", reached), ELOOP);
    EXPECT_EQ(openBelow(root.get(), "./sub//relative/", reached), ELOOP);
    // A file on the way, a missing folder, and climbing out.
    EXPECT_EQ(openBelow(root.get(), "plain/x", reached), ENOTDIR);
    EXPECT_EQ(openBelow(root.get(), "missing/x", reached), ENOENT);
    EXPECT_EQ(openBelow(root.get(), "sub/../../outside", reached), EXDEV);

    // Making missing folders never makes them through a link either.
    EXPECT_EQ(openBelow(root.get(), "escape/made", reached, true), ELOOP);
    EXPECT_FALSE(test::exists(tree.path("outside/made")));
    EXPECT_EQ(openBelow(root.get(), "sub/new/deeper", reached, true), 0);
    EXPECT_TRUE(test::isFolder(tree.path("root/sub/new/deeper")));

    HeldEntry entry;
    ASSERT_EQ(locateBelow(root.get(), tree.path("root"), "sub/inner/file.txt", entry), 0);
    EXPECT_EQ(entry.name, "file.txt");
    EXPECT_EQ(entry.path, tree.path("root/sub/inner/file.txt"));
    EntryStat found;
    ASSERT_EQ(statAt(entry.at(), found), 0);
    EXPECT_EQ(found.type, EntryType::File);
    EXPECT_EQ(found.size, 6);
    // The last component is the entry itself: a link there is reached, not followed.
    ASSERT_EQ(locateBelow(root.get(), tree.path("root"), "escape", entry), 0);
    ASSERT_EQ(statAt(entry.at(), found), 0);
    EXPECT_EQ(found.type, EntryType::Symlink);
    EXPECT_EQ(locateBelow(root.get(), tree.path("root"), "escape/secret.txt", entry), ELOOP);
    EXPECT_EQ(locateBelow(root.get(), tree.path("root"), "sub/..", entry), EINVAL);

    // Another process reaches the same entry through our descriptor.
    ASSERT_EQ(locateBelow(root.get(), tree.path("root"), "sub/inner/file.txt", entry), 0);
    EXPECT_EQ(test::readAll(pathThrough(entry.at())), "inside");
}

TEST_P(PathWalkTest, PathsFarPastPathMaxAreReachedPieceByPiece) {
    TempTree tree;
    // Thirty names of 200 bytes: the whole path is far past PATH_MAX.
    const std::string relative = tree.chain("root", 30, [](int level) {
        std::string name(200, static_cast<char>('a' + level % 26));
        name[0] = static_cast<char>('A' + level % 26);
        return name;
    });
    UniqueFd root;
    ASSERT_EQ(openFolder(tree.path("root"), root), 0);
    ASSERT_GT(relative.size(), std::size_t{PATH_MAX});

    UniqueFd bottom;
    ASSERT_EQ(openBelow(root.get(), relative, bottom), 0);
    const int fd = ::openat(bottom.get(), "deep.txt", O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, "at the bottom", 13), 13);
    ::close(fd);

    HeldEntry entry;
    ASSERT_EQ(locateBelow(root.get(), tree.path("root"), relative + "/deep.txt", entry), 0);
    EntryStat found;
    ASSERT_EQ(statAt(entry.at(), found), 0);
    EXPECT_EQ(found.size, 13);
    // Made below the limit as well, and opened by its whole path.
    UniqueFd made;
    ASSERT_EQ(openBelow(root.get(), relative + "/more/folders", made, true), 0);
    UniqueFd whole;
    ASSERT_EQ(openLongPath(tree.path("root/" + relative + "/deep.txt"), O_RDONLY, whole), 0);
    char text[32] = {};
    EXPECT_EQ(::read(whole.get(), text, sizeof text), 13);
    EXPECT_EQ(std::string(text), "at the bottom");
    EXPECT_EQ(openFolder(tree.path("root/" + relative + "/more/folders"), whole), 0);
}

}  // namespace
}  // namespace qv::platform
