#include "platform/Trash.h"
#include "support/FileChecks.h"
#include "support/ScopedEnv.h"
#include "support/TempTree.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <regex>
#include <set>

namespace qv::platform {
namespace {

using qv::test::readAll;
using qv::test::exists;
using qv::test::namesIn;
using qv::test::ScopedCwd;
using qv::test::ScopedEnv;

using test::TempTree;

unsigned modeOf(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

const std::regex kInfo(R"(\[Trash Info\]\nPath=([^\n]*)\nDeletionDate=\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\n)");

std::string recordedPath(const std::string& infoFile) {
    std::smatch match;
    const std::string text = readAll(infoFile);
    return std::regex_match(text, match, kInfo) ? match[1].str() : "<malformed: " + text + ">";
}

TEST(Trash, HomeTrashIsMadeWhereTheDataHomeSays) {
    TempTree tree;
    tree.folder("home");
    tree.folder("data");
    tree.folder("cwd");
    tree.fileWithText("work/a b%é.txt", "first");
    tree.fileWithText("work/sub/a b%é.txt", "second");
    tree.fileWithText("work/sub/inner/x", "in a folder");
    ScopedEnv home("HOME", tree.path("home"));
    ScopedEnv data("XDG_DATA_HOME", tree.path("data"));
    ScopedCwd cwd(tree.path("cwd"));

    std::string first, second, folder;
    ASSERT_EQ(moveToTrash(tree.path("work/a b%é.txt"), &first), 0);
    ASSERT_EQ(moveToTrash(tree.path("work/sub/a b%é.txt"), &second), 0);
    ASSERT_EQ(moveToTrash(tree.path("work/sub/inner"), &folder), 0);

    const std::string trash = tree.path("data/Trash");
    EXPECT_EQ(modeOf(trash), 0700u);
    EXPECT_EQ(modeOf(trash + "/files"), 0700u);
    EXPECT_EQ(modeOf(trash + "/info"), 0700u);
    EXPECT_EQ(first, trash + "/files/a b%é.txt");
    EXPECT_NE(second, first);
    EXPECT_EQ(second.rfind(trash + "/files/", 0), 0u) << second;
    EXPECT_EQ(readAll(first), "first");
    EXPECT_EQ(readAll(second), "second");
    EXPECT_EQ(readAll(folder + "/x"), "in a folder");
    EXPECT_FALSE(exists(tree.path("work/a b%é.txt")));
    EXPECT_EQ(namesIn(tree.path("work/sub")), std::set<std::string>{});
    EXPECT_EQ(namesIn(tree.path("cwd")), std::set<std::string>{});
    EXPECT_EQ(namesIn(tree.path("home")), std::set<std::string>{});

    const std::string firstName = first.substr(first.rfind('/') + 1);
    const std::string secondName = second.substr(second.rfind('/') + 1);
    EXPECT_EQ(namesIn(trash + "/info"),
              (std::set<std::string>{firstName + ".trashinfo", secondName + ".trashinfo", "inner.trashinfo"}));
    EXPECT_EQ(recordedPath(trash + "/info/" + firstName + ".trashinfo"),
              tree.path("work/a%20b%25%C3%A9.txt"));
    EXPECT_EQ(recordedPath(trash + "/info/" + secondName + ".trashinfo"),
              tree.path("work/sub/a%20b%25%C3%A9.txt"));

    // A relative path is taken from the current folder, which receives nothing.
    tree.fileWithText("cwd/rel.txt", "relative");
    std::string third;
    ASSERT_EQ(moveToTrash("rel.txt", &third), 0);
    EXPECT_EQ(third, trash + "/files/rel.txt");
    EXPECT_EQ(recordedPath(trash + "/info/rel.txt.trashinfo"), tree.path("cwd/rel.txt"));
    EXPECT_EQ(namesIn(tree.path("cwd")), std::set<std::string>{});

    EXPECT_EQ(moveToTrash(tree.path("work/missing")), ENOENT);
    EXPECT_EQ(namesIn(trash + "/info").size(), 4u);
}

TEST(Trash, WithoutDataHomeTheTrashGoesUnderAnEmptyHome) {
    TempTree tree;
    tree.folder("home");
    tree.folder("cwd");
    tree.fileWithText("work/doc.txt", "text");
    ScopedEnv home("HOME", tree.path("home"));
    ScopedEnv data("XDG_DATA_HOME", std::nullopt);
    ScopedCwd cwd(tree.path("cwd"));

    std::string trashed;
    ASSERT_EQ(moveToTrash(tree.path("work/doc.txt"), &trashed), 0);
    EXPECT_EQ(trashed, tree.path("home/.local/share/Trash/files/doc.txt"));
    EXPECT_EQ(readAll(trashed), "text");
    EXPECT_EQ(modeOf(tree.path("home/.local/share/Trash/info")), 0700u);
    EXPECT_EQ(recordedPath(tree.path("home/.local/share/Trash/info/doc.txt.trashinfo")), tree.path("work/doc.txt"));
    EXPECT_EQ(namesIn(tree.path("cwd")), std::set<std::string>{});
}

// A data home blocked by a file leaves no home trash, and the entry must not
// slip into a trash at the top of its volume instead.
TEST(Trash, BlockedDataHomeRefusesAndLeavesTheEntry) {
    TempTree tree;
    tree.fileWithText("blocker", "a file where a folder should be");
    tree.fileWithText("work/doc.txt", "keep");
    ScopedEnv home("HOME", tree.path("home"));
    ScopedEnv data("XDG_DATA_HOME", tree.path("blocker/share"));
    const std::string volumeTrash = "/.Trash-" + std::to_string(::getuid());
    const bool volumeTrashExisted = exists(volumeTrash);
    EXPECT_EQ(moveToTrash(tree.path("work/doc.txt")), ENOTDIR);
    EXPECT_EQ(readAll(tree.path("work/doc.txt")), "keep");
    EXPECT_EQ(exists(volumeTrash), volumeTrashExisted);
}

// Another mount gets its own trash at its top: the entry is never copied
// across file systems.
TEST(Trash, EntriesOnAnotherMountGoToThatVolumesTrash) {
    struct stat shm {}, tmp {};
    TempTree tree;
    if (::stat("/dev/shm", &shm) != 0 || ::stat(tree.root().c_str(), &tmp) != 0 || shm.st_dev == tmp.st_dev ||
        ::access("/dev/shm", W_OK) != 0)
        GTEST_SKIP() << "no second writable mount at /dev/shm";
    tree.folder("home");
    ScopedEnv home("HOME", tree.path("home"));
    ScopedEnv data("XDG_DATA_HOME", tree.path("home/data"));

    const std::string volumeTrash = "/dev/shm/.Trash-" + std::to_string(::getuid());
    const bool trashExisted = exists(volumeTrash);
    char folderTemplate[] = "/dev/shm/qvtrash-XXXXXX";
    ASSERT_NE(::mkdtemp(folderTemplate), nullptr);
    const std::string folder = folderTemplate;
    const std::string name = folder.substr(folder.rfind('/') + 1);
    std::ofstream(folder + "/note.txt") << "on another volume";

    std::string trashed;
    ASSERT_EQ(moveToTrash(folder, &trashed), 0);
    EXPECT_EQ(trashed.rfind(volumeTrash + "/files/", 0), 0u) << trashed;
    EXPECT_EQ(readAll(trashed + "/note.txt"), "on another volume");
    EXPECT_FALSE(exists(folder));
    EXPECT_FALSE(exists(tree.path("home/data/Trash")));
    const std::string info = volumeTrash + "/info/" + trashed.substr(trashed.rfind('/') + 1) + ".trashinfo";
    EXPECT_EQ(recordedPath(info), name);   // relative to the volume's top

    EXPECT_EQ(removePermanently(trashed), 0);
    ::unlink(info.c_str());
    if (!trashExisted) {
        EXPECT_EQ(removePermanently(volumeTrash), 0);
    }
}

TEST(RemovePermanently, NeverFollowsLinks) {
    TempTree tree;
    tree.fileWithText("outside/precious.txt", "keep me");
    tree.fileWithText("victim/a/b/c.txt", "c");
    tree.fileWithText("victim/top.txt", "t");
    tree.link("victim/a/to-folder", tree.path("outside"));
    tree.link("victim/a/b/to-file", "../../../outside/precious.txt");
    tree.link("victim/dangling", "nowhere");
    tree.link("lonely-link", tree.path("outside"));

    EXPECT_EQ(removePermanently(tree.path("victim")), 0);
    EXPECT_FALSE(exists(tree.path("victim")));
    EXPECT_EQ(removePermanently(tree.path("lonely-link")), 0);
    EXPECT_FALSE(exists(tree.path("lonely-link")));
    EXPECT_EQ(namesIn(tree.path("outside")), std::set<std::string>{"precious.txt"});
    EXPECT_EQ(readAll(tree.path("outside/precious.txt")), "keep me");
    EXPECT_EQ(removePermanently(tree.path("victim")), ENOENT);
}

}  // namespace
}  // namespace qv::platform
