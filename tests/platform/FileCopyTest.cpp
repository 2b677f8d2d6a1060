#include "platform/ExtendedAttributes.h"
#include "platform/FileCopy.h"
#include "platform/OwnTemporaries.h"
#include "support/FaultyCopyIo.h"
#include "support/FileChecks.h"
#include "support/TempTree.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <functional>
#include <set>
#include <vector>

namespace qv::platform {
namespace {

using qv::test::readAll;
using qv::test::exists;
using qv::test::namesIn;
using qv::test::linkTarget;
using qv::test::FaultyIo;

using test::kBaseTimeNs;
using test::TempTree;

constexpr std::int64_t kOddTimeNs = kBaseTimeNs + 123'456'789;

// Bytes that differ from offset to offset, so a chunk written at the wrong place shows.
std::string patterned(std::size_t size, unsigned seed) {
    std::string text(size, '\0');
    std::uint32_t x = seed * 2654435761u + 1;
    for (auto& c : text) {
        x = x * 1103515245u + 12345u;
        c = static_cast<char>(x >> 24);
    }
    return text;
}

struct stat lstatOf(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
    return st;
}

std::int64_t mtimeNs(const struct stat& st) { return st.st_mtim.tv_sec * 1'000'000'000LL + st.st_mtim.tv_nsec; }

// Describes a tree (types, modes, times, contents, link targets,
// attributes) so two trees can be compared as one string.
void describe(const std::string& path, const std::string& name, std::string& out) {
    const struct stat st = lstatOf(path);
    out += name + " mode=" + std::to_string(st.st_mode) + " mtime=" + std::to_string(mtimeNs(st));
    if (S_ISLNK(st.st_mode)) {
        out += " -> " + linkTarget(path) + "\n";
        return;
    }
    AttributeMap attributes;
    EXPECT_EQ(readUserAttributes(path, false, attributes), 0);
    for (const auto& [key, value] : attributes) out += " " + key + "=" + value;
    if (S_ISREG(st.st_mode)) out += " data=" + readAll(path);
    out += "\n";
    if (S_ISDIR(st.st_mode))
        for (const auto& child : namesIn(path)) describe(path + "/" + child, name + "/" + child, out);
}

std::string describe(const std::string& path) {
    std::string out;
    describe(path, "", out);
    return out;
}

// A folder's entries without the folder's own times, which any temporary
// made and removed in it changes.
std::string describeContents(const std::string& folder) {
    std::string out;
    for (const auto& child : namesIn(folder)) describe(folder + "/" + child, child, out);
    return out;
}

TEST(FileCopy, CarriesContentsModeOwnerTimesAndAttributes) {
    TempTree tree;
    const std::string data = patterned(3'000'001, 1);
    tree.fileWithText("src/a.bin", data, kOddTimeNs);
    ASSERT_EQ(::chmod(tree.path("src/a.bin").c_str(), 0640), 0);
    ASSERT_EQ(::chown(tree.path("src/a.bin").c_str(), 1234, 5678), 0);
    tree.setAttribute("src/a.bin", "user.note", std::string("bin\0ary", 7));
    tree.setTags("src/a.bin", "Red,Work");
    tree.setTime("src/a.bin", kOddTimeNs);
    tree.folder("dst");

    std::vector<std::int64_t> reports;
    CopyOptions options;
    options.progress = [&](std::int64_t done) { reports.push_back(done); };
    ASSERT_EQ(copyFileWithAttributes(tree.path("src/a.bin"), tree.path("dst/a.bin"), false, options), 0);

    EXPECT_EQ(describe(tree.path("dst/a.bin")), describe(tree.path("src/a.bin")));
    const struct stat copied = lstatOf(tree.path("dst/a.bin"));
    EXPECT_EQ(copied.st_mode & 07777, 0640u);
    EXPECT_EQ(mtimeNs(copied), kOddTimeNs);
    EXPECT_EQ(copied.st_uid, 1234u);
    EXPECT_EQ(copied.st_gid, 5678u);
    ASSERT_FALSE(reports.empty());
    EXPECT_TRUE(std::is_sorted(reports.begin(), reports.end()));
    EXPECT_EQ(reports.back(), static_cast<std::int64_t>(data.size()));
    EXPECT_EQ(namesIn(tree.path("dst")), std::set<std::string>{"a.bin"});

    // The read/write path, taken across file systems, gives the same file;
    // and a replaced file takes the source's mode rather than keeping its own.
    tree.fileWithText("dst/b.bin", "old");
    ASSERT_EQ(::chmod(tree.path("dst/b.bin").c_str(), 0600), 0);
    FaultyIo io;
    io.refuseCopyRange = true;
    options.io = &io;
    ASSERT_EQ(copyFileWithAttributes(tree.path("src/a.bin"), tree.path("dst/b.bin"), true, options), 0);
    EXPECT_EQ(describe(tree.path("dst/b.bin")), describe(tree.path("src/a.bin")));
    EXPECT_EQ(io.written, static_cast<std::int64_t>(data.size()));
}

TEST(FileCopy, SymbolicLinksAreCopiedAsLinks) {
    TempTree tree;
    tree.fileWithText("src/target.txt", "pointed at");
    tree.link("src/good", "target.txt");
    tree.link("src/dangling", "../nowhere/missing");
    tree.setTime("src/good", kOddTimeNs);
    tree.setTime("src/dangling", kOddTimeNs + 1);
    tree.folder("dst");

    for (const std::string name : {"good", "dangling"}) {
        ASSERT_EQ(copyItem(tree.path("src/" + name), tree.path("dst/" + name), false), 0) << name;
        const struct stat st = lstatOf(tree.path("dst/" + name));
        EXPECT_TRUE(S_ISLNK(st.st_mode)) << name;
        EXPECT_EQ(linkTarget(tree.path("dst/" + name)), linkTarget(tree.path("src/" + name)));
        EXPECT_EQ(mtimeNs(st), mtimeNs(lstatOf(tree.path("src/" + name))));
    }
    // A link replaces a file without following anything, and the file
    // copy refuses a link instead of copying what it points to.
    tree.fileWithText("dst/plain", "plain");
    ASSERT_EQ(copyItem(tree.path("src/good"), tree.path("dst/plain"), false), EEXIST);
    ASSERT_EQ(copyItem(tree.path("src/good"), tree.path("dst/plain"), true), 0);
    EXPECT_EQ(linkTarget(tree.path("dst/plain")), "target.txt");
    EXPECT_EQ(copyFileWithAttributes(tree.path("src/good"), tree.path("dst/other"), false), ELOOP);
    EXPECT_EQ(readAll(tree.path("src/target.txt")), "pointed at");
    EXPECT_EQ(namesIn(tree.path("dst")), (std::set<std::string>{"dangling", "good", "plain"}));
}

TEST(FileCopy, FolderTreesKeepTheirShapeAndMetadata) {
    TempTree tree;
    tree.fileWithText("src/top/a.txt", "alpha", kOddTimeNs);
    tree.fileWithText("src/top/sub/b.txt", patterned(70'000, 2), kBaseTimeNs + 7);
    tree.folder("src/top/empty");
    tree.link("src/top/sub/up", "../a.txt");
    tree.setAttribute("src/top/sub", "user.colour", "green");
    ASSERT_EQ(::chmod(tree.path("src/top/sub").c_str(), 0750), 0);
    ASSERT_EQ(::chmod(tree.path("src/top").c_str(), 0555), 0);
    tree.setTime("src/top/sub", kOddTimeNs + 2);
    tree.setTime("src/top/empty", kOddTimeNs + 3);
    tree.setTime("src/top", kOddTimeNs + 4);
    tree.folder("dst");

    std::int64_t last = 0;
    CopyOptions options;
    options.progress = [&](std::int64_t done) { last = done; };
    ASSERT_EQ(copyItem(tree.path("src/top"), tree.path("dst/top"), false, options), 0);
    EXPECT_EQ(describe(tree.path("dst/top")), describe(tree.path("src/top")));
    EXPECT_EQ(last, 5 + 70'000);
    EXPECT_EQ(namesIn(tree.path("dst")), std::set<std::string>{"top"});

    // Merging into an existing folder replaces what both hold and keeps the rest.
    ASSERT_EQ(::chmod(tree.path("dst/top").c_str(), 0755), 0);
    tree.fileWithText("dst/top/a.txt", "stale");
    tree.fileWithText("dst/top/only-here.txt", "kept");
    ASSERT_EQ(copyItem(tree.path("src/top"), tree.path("dst/top"), true), 0);
    EXPECT_EQ(readAll(tree.path("dst/top/a.txt")), "alpha");
    EXPECT_EQ(readAll(tree.path("dst/top/only-here.txt")), "kept");
    EXPECT_EQ(mtimeNs(lstatOf(tree.path("dst/top"))), kOddTimeNs + 4);
    EXPECT_EQ(lstatOf(tree.path("dst/top")).st_mode & 07777, 0555u);
}

TEST(FileCopy, AnExistingEntryIsKeptWithoutReplace) {
    TempTree tree;
    tree.fileWithText("src/f", "new");
    tree.folder("src/d/inner");
    tree.fileWithText("dst/f", "old");
    tree.fileWithText("dst/d", "a file where the folder would go");
    tree.fileWithText("dst/g/keep", "keep");
    const std::string before = describeContents(tree.path("dst"));

    EXPECT_EQ(copyFileWithAttributes(tree.path("src/f"), tree.path("dst/f"), false), EEXIST);
    EXPECT_EQ(copyItem(tree.path("src/f"), tree.path("dst/f"), false), EEXIST);
    EXPECT_EQ(copyItem(tree.path("src/d"), tree.path("dst/d"), false), EEXIST);
    EXPECT_EQ(copyItem(tree.path("src/f"), tree.path("dst/g"), false), EEXIST);
    // The file copy alone never puts a file where a folder stands.
    EXPECT_EQ(copyFileWithAttributes(tree.path("src/f"), tree.path("dst/g"), true), EISDIR);
    EXPECT_EQ(describeContents(tree.path("dst")), before);
    // Nor does a folder go into itself.
    EXPECT_EQ(copyItem(tree.path("src"), tree.path("src/d/inner/again"), true), EINVAL);
    EXPECT_FALSE(exists(tree.path("src/d/inner/again")));
}

TEST(FileCopy, AnEntryOfTheOtherKindIsReplaced) {
    TempTree tree;
    tree.fileWithText("src/item", "now a file", kOddTimeNs);
    tree.fileWithText("src/tree/x.txt", "x");
    tree.link("src/tree/l", "x.txt");
    tree.fileWithText("dst/item/deep/old.txt", "was a folder");
    tree.fileWithText("dst/tree", "was a file");
    tree.fileWithText("elsewhere/keep.txt", "outside");
    tree.link("dst/linked", "../elsewhere");
    tree.folder("src/linked");
    tree.fileWithText("src/linked/in.txt", "in");

    ASSERT_EQ(copyItem(tree.path("src/item"), tree.path("dst/item"), true), 0);
    ASSERT_EQ(copyItem(tree.path("src/tree"), tree.path("dst/tree"), true), 0);
    // A link to a folder is not a folder: it is replaced, and what it pointed to stays.
    ASSERT_EQ(copyItem(tree.path("src/linked"), tree.path("dst/linked"), true), 0);

    EXPECT_EQ(describe(tree.path("dst/item")), describe(tree.path("src/item")));
    EXPECT_EQ(describe(tree.path("dst/tree")), describe(tree.path("src/tree")));
    EXPECT_EQ(describe(tree.path("dst/linked")), describe(tree.path("src/linked")));
    EXPECT_EQ(namesIn(tree.path("elsewhere")), std::set<std::string>{"keep.txt"});
    EXPECT_EQ(namesIn(tree.path("dst")), (std::set<std::string>{"item", "linked", "tree"}));
}

TEST(FileCopy, AFailedSwapOfKindsLosesNothing) {
    TempTree tree;
    tree.fileWithText("src/item", "the new file");
    tree.fileWithText("src/tree/x.txt", "x");
    tree.fileWithText("dst/item/old.txt", "old folder content");
    tree.fileWithText("dst/tree", "old file");
    const std::string before = describeContents(tree.path("dst"));
    const std::string item = tree.path("dst/item"), treePath = tree.path("dst/tree");

    FaultyIo io;
    CopyOptions options;
    options.io = &io;
    // The exchange itself is refused.
    io.renameError = [](const std::string&, const std::string&, unsigned flags) {
        return flags & RENAME_EXCHANGE ? EIO : 0;
    };
    EXPECT_EQ(copyItem(tree.path("src/item"), item, true, options), EIO);
    EXPECT_EQ(copyItem(tree.path("src/tree"), treePath, true, options), EIO);
    EXPECT_EQ(describeContents(tree.path("dst")), before);
    EXPECT_EQ(namesIn(tree.path("dst")), (std::set<std::string>{"item", "tree"}));

    // No exchange on this file system, and the copy cannot move in once
    // the old entry is aside: the old entry goes back.
    bool oldMovedAside = false;
    int refused = 0;
    io.renameError = [&](const std::string& from, const std::string& to, unsigned flags) {
        if (flags & RENAME_EXCHANGE) return EINVAL;
        if (from == "item" || from == "tree") {
            oldMovedAside = true;
        } else if ((to == "item" || to == "tree") && oldMovedAside) {
            oldMovedAside = false;   // the move back is let through
            ++refused;
            return ENOSPC;
        }
        return 0;
    };
    EXPECT_EQ(copyItem(tree.path("src/item"), item, true, options), ENOSPC);
    EXPECT_EQ(copyItem(tree.path("src/tree"), treePath, true, options), ENOSPC);
    EXPECT_EQ(refused, 2);
    EXPECT_EQ(describeContents(tree.path("dst")), before);
    EXPECT_EQ(namesIn(tree.path("dst")), (std::set<std::string>{"item", "tree"}));

    // The same path succeeds when nothing fails, leaving nothing aside.
    io.renameError = [](const std::string&, const std::string&, unsigned flags) {
        return flags & RENAME_EXCHANGE ? EINVAL : 0;
    };
    ASSERT_EQ(copyItem(tree.path("src/item"), item, true, options), 0);
    ASSERT_EQ(copyItem(tree.path("src/tree"), treePath, true, options), 0);
    EXPECT_EQ(describe(item), describe(tree.path("src/item")));
    EXPECT_EQ(describe(treePath), describe(tree.path("src/tree")));
    EXPECT_EQ(namesIn(tree.path("dst")), (std::set<std::string>{"item", "tree"}));
}

TEST(FileCopy, AFullDiskHalfWayKeepsTheOldDestination) {
    TempTree tree;
    tree.fileWithText("src/big.bin", patterned(20'000'000, 3));
    tree.fileWithText("src/tree/one.bin", patterned(20'000'000, 4));
    tree.fileWithText("src/tree/two.bin", patterned(20'000'000, 5));
    const std::string old = patterned(12'345, 6);
    tree.fileWithText("dst/big.bin", old);

    for (const bool rangeCopy : {true, false}) {
        FaultyIo io;
        io.refuseCopyRange = !rangeCopy;
        io.failDataAfter = 9'000'000;
        CopyOptions options;
        options.io = &io;
        EXPECT_EQ(copyFileWithAttributes(tree.path("src/big.bin"), tree.path("dst/big.bin"), true, options), ENOSPC);
        EXPECT_GT(io.written, 0);
        EXPECT_EQ(readAll(tree.path("dst/big.bin")), old);
        EXPECT_EQ(namesIn(tree.path("dst")), std::set<std::string>{"big.bin"});

        // A tree that runs out of room in its second file does not appear at all.
        io.written = 0;
        io.failDataAfter = 30'000'000;
        EXPECT_EQ(copyItem(tree.path("src/tree"), tree.path("dst/tree"), false, options), ENOSPC);
        EXPECT_EQ(namesIn(tree.path("dst")), std::set<std::string>{"big.bin"});
    }
}

TEST(FileCopy, ARefusedRenameKeepsTheOldDestination) {
    TempTree tree;
    tree.fileWithText("src/f", patterned(100'000, 7));
    tree.link("src/l", "somewhere");
    tree.fileWithText("dst/f", "old file");
    tree.fileWithText("dst/l", "old entry under the link's name");
    const std::string before = describeContents(tree.path("dst"));

    FaultyIo io;
    io.renameError = [](const std::string&, const std::string&, unsigned) { return EIO; };
    CopyOptions options;
    options.io = &io;
    EXPECT_EQ(copyFileWithAttributes(tree.path("src/f"), tree.path("dst/f"), true, options), EIO);
    EXPECT_EQ(copyItem(tree.path("src/l"), tree.path("dst/l"), true, options), EIO);
    EXPECT_EQ(copyItem(tree.path("src"), tree.path("dst/new"), true, options), EIO);
    EXPECT_EQ(describeContents(tree.path("dst")), before);
}

TEST(FileCopy, CancellingStopsMidFileAndKeepsTheOldDestination) {
    TempTree tree;
    tree.fileWithText("src/big.bin", patterned(40'000'000, 8));
    tree.fileWithText("dst/big.bin", "old");

    std::atomic<bool> cancelled{false};
    std::vector<std::int64_t> reports;
    CopyOptions options;
    options.cancelled = &cancelled;
    options.progress = [&](std::int64_t done) {
        reports.push_back(done);
        cancelled = true;
    };
    EXPECT_EQ(copyFileWithAttributes(tree.path("src/big.bin"), tree.path("dst/big.bin"), true, options), ECANCELED);
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_LT(reports[0], 40'000'000);
    EXPECT_EQ(readAll(tree.path("dst/big.bin")), "old");
    EXPECT_EQ(namesIn(tree.path("dst")), std::set<std::string>{"big.bin"});

    // Already cancelled: not even a new tree's folder appears.
    EXPECT_EQ(copyItem(tree.path("src"), tree.path("dst/copy"), false, options), ECANCELED);
    EXPECT_EQ(namesIn(tree.path("dst")), std::set<std::string>{"big.bin"});
}

// Only what this program can prove it made goes: our name, our mark, and
// no writer holding its lock. A user's file goes nowhere, whatever its name.
TEST(FileCopy, OnlyTemporariesProvablyOursAreSwept) {
    TempTree tree;
    tree.fileWithText("src/f", "new");
    const std::string killed = tree.deadTemporary("dst", "half");
    const std::string empty = tree.deadTemporary("dst", "");
    const std::string busy = tree.deadTemporary("dst", "being written");
    const std::string lookalike = platform::temporaryName();
    tree.fileWithText("dst/" + lookalike, "a user's file that happens to have our form");
    tree.fileWithText("dst/.qvwrite-notes", "a user's notes");
    tree.fileWithText("dst/.qvwrite-ab12CD", "a file of an older writer, unmarked");
    const int held = ::open(tree.path("dst/" + busy).c_str(), O_RDONLY);
    ASSERT_GE(held, 0);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);

    ASSERT_EQ(copyItem(tree.path("src/f"), tree.path("dst/f"), false), 0);
    ::close(held);
    EXPECT_EQ(namesIn(tree.path("dst")),
              (std::set<std::string>{busy, lookalike, ".qvwrite-notes", ".qvwrite-ab12CD", "f"}));
    EXPECT_FALSE(tree.exists("dst/" + killed));
    EXPECT_FALSE(tree.exists("dst/" + empty));
    // The copy itself carries no mark.
    AttributeMap attributes;
    ASSERT_EQ(readUserAttributes(tree.path("dst/f"), false, attributes), 0);
    EXPECT_TRUE(attributes.empty());
}

TEST(FileCopy, SparseFilesKeepSizeAndHoles) {
    TempTree tree;
    constexpr std::int64_t kSize = 2LL << 30;
    const std::string head = patterned(65'536, 9);
    tree.fileWithText("src/disk.img", head);
    {
        const int fd = ::open(tree.path("src/disk.img").c_str(), O_WRONLY);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::pwrite(fd, "tail", 4, kSize - 4), 4);
        ::close(fd);
    }
    tree.folder("dst");
    std::int64_t last = 0;
    CopyOptions options;
    options.progress = [&](std::int64_t done) { last = done; };
    ASSERT_EQ(copyFileWithAttributes(tree.path("src/disk.img"), tree.path("dst/disk.img"), false, options), 0);

    const struct stat st = lstatOf(tree.path("dst/disk.img"));
    EXPECT_EQ(st.st_size, kSize);
    EXPECT_EQ(last, kSize);
    EXPECT_LT(st.st_blocks * 512, 16LL << 20) << "the holes were written out";
    const int fd = ::open(tree.path("dst/disk.img").c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    std::string buffer(head.size(), '\0');
    EXPECT_EQ(::pread(fd, buffer.data(), buffer.size(), 0), static_cast<ssize_t>(buffer.size()));
    EXPECT_EQ(buffer, head);
    char middle[8] = {1, 1, 1, 1, 1, 1, 1, 1}, tail[4] = {};
    EXPECT_EQ(::pread(fd, middle, sizeof middle, kSize / 2), 8);
    EXPECT_EQ(std::string(middle, 8), std::string(8, '\0'));
    EXPECT_EQ(::pread(fd, tail, 4, kSize - 4), 4);
    EXPECT_EQ(std::string(tail, 4), "tail");
    ::close(fd);
}

}  // namespace
}  // namespace qv::platform
