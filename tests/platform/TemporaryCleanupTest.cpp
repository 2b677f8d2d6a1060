// The start-up clean-up of the temporary folder: only this user's regular
// files named "quorvane-…" go to the trash, at any depth; links are never
// followed, files in use stay, and what lands in a trash inside the folder
// is not picked up again.

#include "platform/TemporaryCleanup.h"
#include "support/ScopedEnv.h"
#include "support/TempTree.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

namespace qv::test {
namespace {

bool present(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

TEST(TemporaryCleanupTest, OnlyOwnRegularFilesOfThePrefixGoAndNoLinkIsFollowed) {
    TempTree temporary, outside, home;
    ScopedEnv data("XDG_DATA_HOME", home.path("data"));
    temporary.fileWithText("quorvane-dif-1", "a");
    temporary.fileWithText("deep/er/quorvane-dif-2", "b");
    temporary.fileWithText("other-3", "c");
    temporary.fileWithText("Quorvane-4", "d");
    temporary.folder("quorvane-folder");
    temporary.fileWithText("quorvane-folder/kept", "e");
    outside.fileWithText("quorvane-target", "f");
    outside.fileWithText("inner/quorvane-inner", "g");
    temporary.link("quorvane-link", outside.path("quorvane-target"));
    temporary.link("into", outside.path("inner"));
    ASSERT_EQ(::mkfifo(temporary.path("quorvane-fifo").c_str(), 0600), 0);
    temporary.fileWithText("quorvane-busy", "h");
    const int busy = ::open(temporary.path("quorvane-busy").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(busy, 0);
    platform::markInUse(busy);

    EXPECT_EQ(platform::trashOwnTemporaries(temporary.root(), "quorvane-"), 2);
    ::close(busy);

    EXPECT_FALSE(present(temporary.path("quorvane-dif-1")));
    EXPECT_FALSE(present(temporary.path("deep/er/quorvane-dif-2")));
    const std::string trash = home.path("data/Trash");
    EXPECT_EQ(home.contents("data/Trash/files/quorvane-dif-1"), "a");
    EXPECT_EQ(home.contents("data/Trash/files/quorvane-dif-2"), "b");
    EXPECT_TRUE(present(trash + "/info/quorvane-dif-2.trashinfo"));
    for (const char* kept : {"other-3", "Quorvane-4", "quorvane-folder/kept", "quorvane-link", "into",
                             "quorvane-fifo", "quorvane-busy"})
        EXPECT_TRUE(present(temporary.path(kept))) << kept;
    EXPECT_EQ(outside.contents("quorvane-target"), "f");
    EXPECT_EQ(outside.contents("inner/quorvane-inner"), "g");

    // Released, the file is no longer in use and goes on the next start.
    EXPECT_EQ(platform::trashOwnTemporaries(temporary.root(), "quorvane-"), 1);
    EXPECT_FALSE(present(temporary.path("quorvane-busy")));
    EXPECT_EQ(platform::trashOwnTemporaries(temporary.path("missing"), "quorvane-"), 0);
}

TEST(TemporaryCleanupTest, ATrashInsideTheFolderIsNotWalked) {
    TempTree temporary;
    // The user's trash lives inside the folder being cleaned (a home under /tmp in a test or a live session).
    ScopedEnv data("XDG_DATA_HOME", temporary.path("home/data"));
    temporary.folder("home/data");
    temporary.fileWithText("quorvane-x", "x");
    EXPECT_EQ(platform::trashOwnTemporaries(temporary.root(), "quorvane-"), 1);
    EXPECT_TRUE(present(temporary.path("home/data/Trash/files/quorvane-x")));
    EXPECT_EQ(platform::trashOwnTemporaries(temporary.root(), "quorvane-"), 0);
    EXPECT_TRUE(present(temporary.path("home/data/Trash/files/quorvane-x")));
    // Nothing is trashed a second time under a new name.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(temporary.path("home/data/Trash/files")),
                            std::filesystem::directory_iterator()), 1);
}

}  // namespace
}  // namespace qv::test
