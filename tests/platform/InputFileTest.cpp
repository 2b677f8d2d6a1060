// Inputs and content comparison meet FIFOs, devices, folders and sparse
// files: nothing may block, read without end or read what it need not.

#include "platform/FileSystem.h"
#include "platform/InputFile.h"
#include "support/TempTree.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace qv::test {
namespace {

using platform::ContentResult;
using platform::InputProblem;

// Bytes this process has read through read(2) and pread(2) so far.
std::int64_t bytesReadSoFar() {
    std::ifstream io("/proc/self/io");
    std::string key;
    std::int64_t value = 0;
    while (io >> key >> value)
        if (key == "rchar:") return value;
    return -1;
}

// Writes `data` at `offset`, leaving the rest of the file as it is (holes stay holes).
void writeAt(const std::string& path, std::int64_t offset, const std::string& data) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::pwrite(fd, data.data(), data.size(), offset), static_cast<ssize_t>(data.size()));
    ::close(fd);
}

ContentResult compare(const std::string& a, const std::string& b) {
    return platform::systemFileSystem().compareContents(a, b, platform::PairKinds::Unseen, nullptr, {});
}

TEST(InputFileTest, OnlyRegularFilesAreReadAndEachKindHasItsCeiling) {
    TempTree t;
    t.fileWithText("rules.json", "{\"version\":1}");
    t.folder("folder.qvss");
    ASSERT_EQ(::mkfifo(t.path("pipe").c_str(), 0600), 0);
    t.link("link", t.path("rules.json"));

    std::string out;
    EXPECT_TRUE(platform::readInputFile(t.path("rules.json"), 100, out).ok());
    EXPECT_EQ(out, "{\"version\":1}");
    EXPECT_TRUE(platform::readInputFile(t.path("link"), 100, out).ok());
    EXPECT_EQ(platform::readInputFile(t.path("link"), 100, out, false).problem, InputProblem::CannotOpen);

    // None of these may block or read without end.
    EXPECT_EQ(platform::readInputFile(t.path("pipe"), 100, out).problem, InputProblem::NotRegularFile);
    EXPECT_EQ(platform::readInputFile("/dev/zero", 100, out).problem, InputProblem::NotRegularFile);
    EXPECT_EQ(platform::readInputFile(t.path("folder.qvss"), 100, out).problem, InputProblem::NotRegularFile);
    EXPECT_EQ(platform::readInputFile(t.path("rules.json"), 5, out).problem, InputProblem::TooLarge);
    EXPECT_TRUE(out.empty());
    const platform::InputStatus missing = platform::readInputFile(t.path("none"), 100, out);
    EXPECT_EQ(missing.problem, InputProblem::CannotOpen);
    EXPECT_EQ(missing.error, ENOENT);
}

TEST(InputFileTest, SpecialFilesCompareByKindWithoutBeingRead) {
    TempTree t;
    for (const char* name : {"fifo1", "fifo2"}) ASSERT_EQ(::mkfifo(t.path(name).c_str(), 0600), 0);
    t.file("empty");
    t.link("zero1", "/dev/zero");
    t.link("zero2", "/dev/zero");
    t.link("null", "/dev/null");
    // Opening a FIFO for reading waits for a writer, and /dev/zero never ends.
    EXPECT_EQ(compare(t.path("fifo1"), t.path("fifo2")), ContentResult::Equal);
    EXPECT_EQ(compare(t.path("fifo1"), t.path("empty")), ContentResult::Different);
    EXPECT_EQ(compare(t.path("empty"), t.path("fifo2")), ContentResult::Different);
    EXPECT_EQ(compare(t.path("zero1"), t.path("zero2")), ContentResult::Equal);
    EXPECT_EQ(compare(t.path("zero1"), t.path("null")), ContentResult::Different);
    EXPECT_EQ(compare(t.path("zero1"), t.path("fifo1")), ContentResult::Different);
}

TEST(InputFileTest, SparseFilesAreComparedByTheirDataOnly) {
    TempTree t;
    constexpr std::int64_t kSize = std::int64_t{8} << 30;   // 8 GiB, nearly all holes
    const std::string block(1 << 20, 'd');
    for (const char* name : {"a", "b", "c", "d", "e"}) {
        t.file(name);
        t.truncate(name, kSize);
        writeAt(t.path(name), 0, block);
        writeAt(t.path(name), std::int64_t{3} << 30, block);
        writeAt(t.path(name), kSize - static_cast<std::int64_t>(block.size()), block);
    }
    writeAt(t.path("c"), kSize - 1, "e");                        // the very last byte differs
    writeAt(t.path("d"), std::int64_t{5} << 30, std::string(4096, '\0'));   // zeros written where "a" has a hole
    writeAt(t.path("e"), std::int64_t{6} << 30, "x");            // data where "a" has a hole

    const int probe = ::open(t.path("a").c_str(), O_RDONLY | O_CLOEXEC);
    const off_t firstHole = ::lseek(probe, 0, SEEK_HOLE);
    ::close(probe);
    if (firstHole >= kSize) GTEST_SKIP() << "the file system here keeps no holes";

    const std::int64_t before = bytesReadSoFar();
    ASSERT_GE(before, 0);
    EXPECT_EQ(compare(t.path("a"), t.path("b")), ContentResult::Equal);
    EXPECT_EQ(compare(t.path("a"), t.path("c")), ContentResult::Different);
    EXPECT_EQ(compare(t.path("a"), t.path("d")), ContentResult::Equal);
    EXPECT_EQ(compare(t.path("e"), t.path("a")), ContentResult::Different);
    // Four comparisons of 8 GiB each read about their few megabytes of data.
    EXPECT_LT(bytesReadSoFar() - before, std::int64_t{256} << 20);
}

TEST(InputFileTest, AFolderWhereAFileWasListedCannotBeRead) {
    TempTree t;
    t.file("file", 3);
    t.folder("folder");
    EXPECT_EQ(compare(t.path("file"), t.path("folder")), ContentResult::ReadFailed);
    EXPECT_EQ(compare(t.path("file"), t.path("gone")), ContentResult::CannotOpen);
}

// Files that change while they are compared, or since they were listed, are
// never found equal to their partner and never read as another kind.
TEST(InputFileTest, FilesChangedWhileReadOrSinceListedAreNotTakenForEqual) {
    TempTree t;
    const std::string data(300 * 1024, 'x');   // two blocks: the change lands before the last one
    for (const char* name : {"a", "b", "grows", "shrinks"}) t.fileWithText(name, data);
    t.file("empty");
    t.folder("listedAsFile");
    ASSERT_EQ(::mkfifo(t.path("fifo").c_str(), 0600), 0);

    auto compareChanging = [&](const std::string& other, platform::PairKinds kinds, auto change) {
        bool changed = false;
        return platform::systemFileSystem().compareContents(t.path("a"), t.path(other), kinds, nullptr,
                                                            [&](std::int64_t) {
                                                                if (!changed) change();
                                                                changed = true;
                                                            });
    };
    for (platform::PairKinds kinds : {platform::PairKinds::Unseen, platform::PairKinds::ListedAsFiles}) {
        t.fileWithText("grows", data);
        t.fileWithText("shrinks", data);
        EXPECT_EQ(compareChanging("b", kinds, [] {}), ContentResult::Equal);
        EXPECT_EQ(compareChanging("grows", kinds, [&] { writeAt(t.path("grows"), std::int64_t(data.size()), "!"); }),
                  ContentResult::Different);
        EXPECT_EQ(compareChanging("shrinks", kinds, [&] { t.truncate("shrinks", std::int64_t(data.size()) - 1); }),
                  ContentResult::Different);
    }
    // Listed as files and now something else: judged as what stands there, and a FIFO is not waited on.
    const auto listed = [&](const std::string& x, const std::string& y) {
        return platform::systemFileSystem().compareContents(x, y, platform::PairKinds::ListedAsFiles, nullptr, {});
    };
    EXPECT_EQ(listed(t.path("a"), t.path("listedAsFile")), ContentResult::ReadFailed);
    EXPECT_EQ(listed(t.path("empty"), t.path("fifo")), ContentResult::Different);
    // A file that says it is empty and is not (the kernel's own files do).
    EXPECT_EQ(listed(t.path("empty"), "/proc/self/status"), ContentResult::Different);
    EXPECT_EQ(listed("/proc/self/status", t.path("empty")), ContentResult::Different);
}

}  // namespace
}  // namespace qv::test
