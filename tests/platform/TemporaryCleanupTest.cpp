// The start-up clean-up of the temporary folder: only this user's regular
// files of our temporaries' exact form, directly in the folder, go to the
// trash; the user's own files there stay whatever they are called, links
// are never followed and files in use stay.

#include "platform/TemporaryCleanup.h"
#include "support/ScopedEnv.h"
#include "support/TempTree.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qv::test {
namespace {

TEST(TemporaryCleanupTest, TheFormOfOurTemporariesIsWhatTheirTemplateMakes) {
    TempTree temporary;
    std::string path = temporary.path(platform::temporaryFolderTemplate("dif"));
    const int fd = ::mkstemp(path.data());
    ASSERT_GE(fd, 0);
    ::close(fd);
    EXPECT_TRUE(platform::isOwnTemporaryName(path.substr(path.rfind('/') + 1))) << path;
    for (const char* name : {"quorvane-mime.xml", "quorvane-notes.txt", "quorvane-compare-dolphin.desktop",
                             "quorvane-dif-abc", "quorvane-dif-abcdefg", "quorvane--abcdef", "quorvane-Dif-abcdef",
                             "Quorvane-dif-abcdef", "quorvane-dif-abc.ef", "quorvane-"})
        EXPECT_FALSE(platform::isOwnTemporaryName(name)) << name;
}

TEST(TemporaryCleanupTest, OnlyOwnTemporariesDirectlyInTheFolderGoAndNoLinkIsFollowed) {
    TempTree temporary, outside, home;
    ScopedEnv data("XDG_DATA_HOME", home.path("data"));
    temporary.fileWithText("quorvane-dif-a1B2c3", "a");
    // A user's work kept under the temporary folder, named like ours or not.
    temporary.fileWithText("checkout/resources/quorvane-dif-x1y2z3", "b");
    temporary.fileWithText("quorvane-notes.txt", "c");
    temporary.folder("quorvane-dir-abcdef");
    outside.fileWithText("target", "d");
    temporary.link("quorvane-lnk-abcdef", outside.path("target"));
    ASSERT_EQ(::mkfifo(temporary.path("quorvane-fif-abcdef").c_str(), 0600), 0);
    temporary.fileWithText("quorvane-dif-busy12", "e");
    const int busy = ::open(temporary.path("quorvane-dif-busy12").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(busy, 0);
    platform::markInUse(busy);

    EXPECT_EQ(platform::trashOwnTemporaries(temporary.root()), 1);
    ::close(busy);

    EXPECT_FALSE(temporary.exists("quorvane-dif-a1B2c3"));
    EXPECT_EQ(home.contents("data/Trash/files/quorvane-dif-a1B2c3"), "a");
    EXPECT_TRUE(home.exists("data/Trash/info/quorvane-dif-a1B2c3.trashinfo"));
    for (const char* kept : {"checkout/resources/quorvane-dif-x1y2z3", "quorvane-notes.txt", "quorvane-dir-abcdef",
                             "quorvane-lnk-abcdef", "quorvane-fif-abcdef", "quorvane-dif-busy12"})
        EXPECT_TRUE(temporary.exists(kept)) << kept;
    EXPECT_EQ(outside.contents("target"), "d");

    // Released, the file is no longer in use and goes on the next start.
    EXPECT_EQ(platform::trashOwnTemporaries(temporary.root()), 1);
    EXPECT_FALSE(temporary.exists("quorvane-dif-busy12"));
    EXPECT_EQ(platform::trashOwnTemporaries(temporary.path("missing")), 0);
}

}  // namespace
}  // namespace qv::test
