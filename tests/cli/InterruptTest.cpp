// SIGTERM, SIGINT and SIGHUP end a run within a second with 143, 130 or 129,
// whatever it is doing: reading one large file, waiting on a file system
// that does not answer, sizing folders after the scan.
//
// Each case runs the command's own comparison run in a child process (a
// death test) on a file system that is slow or stuck on purpose; the child
// signals itself once the run is where the case wants it, and leaves with 99
// if the run is still going a second and a half later.

#include "cli/CommandLine.h"
#include "cli/CompareRun.h"
#include "cli/InterruptWatcher.h"
#include "support/ScopedEnv.h"
#include "support/TempTree.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <thread>
#include <unistd.h>

namespace qv::test {
namespace {

constexpr int kGaveUp = 99;

// The real file system, except that listing one folder never returns, and
// reading files is slow: a pause after every block compared.
class StuckFileSystem final : public platform::FileSystem {
public:
    std::string stuckFolder;
    std::chrono::milliseconds pausePerBlock{0};
    std::atomic<bool> reached{false};   // the run is where the test wants it

    void listFolder(const std::string& path, platform::Listing& out, unsigned fields) override {
        if (path == stuckFolder) {
            reached = true;
            for (;;) ::pause();   // a mount that stopped answering
        }
        platform::systemFileSystem().listFolder(path, out, fields);
    }
    int statPath(const std::string& path, bool followLinks, platform::EntryStat& out, unsigned fields) override {
        return platform::systemFileSystem().statPath(path, followLinks, out, fields);
    }
    int readLink(const std::string& path, std::string& target) override {
        return platform::systemFileSystem().readLink(path, target);
    }
    platform::ContentResult compareContents(const std::string& a, const std::string& b, platform::PairKinds kinds,
                                            const std::atomic<bool>* cancelled,
                                            const platform::ContentProgress& progress) override {
        return FileSystem::compareContents(a, b, kinds, cancelled, [&](std::int64_t done) {
            reached = true;
            std::this_thread::sleep_for(pausePerBlock);
            if (progress) progress(done);
        });
    }
};

// Runs `compare LEFT RIGHT [options]` as the command does, sends `signal` to
// this process once the file system says the moment has come, and leaves
// with the run's status.
[[noreturn]] void compareAndSignal(StuckFileSystem& fs, const std::vector<std::string>& args, int signal,
                                   const std::string& configHome) {
    ScopedEnv config("XDG_CONFIG_HOME", configHome);
    installInterruptHandling();
    std::thread([&fs, signal] {
        while (!fs.reached) std::this_thread::sleep_for(std::chrono::milliseconds(5));
        ::kill(::getpid(), signal);
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        ::_exit(kGaveUp);
    }).detach();
    CompareRun run(*QCoreApplication::instance(), "compare", fs);
    CLI::App command;
    run.addOptions(command);
    std::vector<std::string> reversed(args.rbegin(), args.rend());   // CLI11 takes the last first
    command.parse(reversed);
    ::_exit(run.run());
}

class InterruptTest : public ::testing::Test {
protected:
    void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }

    TempTree left, right, config;
};

TEST_F(InterruptTest, SigtermEndsAScanBlockedOnAFileSystemThatDoesNotAnswer) {
    left.file("sub/a", 1);
    right.file("sub/a", 1);
    StuckFileSystem fs;
    fs.stuckFolder = right.path("sub");
    EXPECT_EXIT(compareAndSignal(fs, {left.root(), right.root()}, SIGTERM, config.root()),
                ::testing::ExitedWithCode(128 + SIGTERM), "");
}

TEST_F(InterruptTest, SigintEndsAComparisonInsideOneLargeFile) {
    left.file("big", 16 << 20, 'x');
    right.file("big", 16 << 20, 'x');
    StuckFileSystem fs;
    fs.pausePerBlock = std::chrono::milliseconds(100);   // 64 blocks: six seconds to read whole
    EXPECT_EXIT(compareAndSignal(fs, {left.root(), right.root(), "--set", "optCmpContents=true"}, SIGINT,
                                 config.root()),
                ::testing::ExitedWithCode(128 + SIGINT), "");
}

TEST_F(InterruptTest, SighupEndsASizePassStuckOnAOneSidedFolder) {
    left.file("only/x", 1);
    right.folder("other");
    StuckFileSystem fs;
    fs.stuckFolder = left.path("only");   // never listed by the scan, only by the size pass
    EXPECT_EXIT(compareAndSignal(fs, {left.root(), right.root()}, SIGHUP, config.root()),
                ::testing::ExitedWithCode(128 + SIGHUP), "");
}

TEST_F(InterruptTest, ASignalWithoutAWatchingRunEndsTheProcessWithItsStatus) {
    EXPECT_EXIT(
        {
            installInterruptHandling();
            ::kill(::getpid(), SIGHUP);
            ::_exit(kGaveUp);
        },
        ::testing::ExitedWithCode(128 + SIGHUP), "");
}

}  // namespace
}  // namespace qv::test
