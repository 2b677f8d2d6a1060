#include "engine/ScanProgress.h"
#include "support/ScanHarness.h"
#include "support/TempTree.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace qv::test {
namespace {

// A clock the test moves by hand, in milliseconds.
struct FakeClock {
    std::atomic<std::int64_t> ms{0};
    void advance(double seconds) { ms.fetch_add(static_cast<std::int64_t>(seconds * 1000)); }
    ProgressClock clock() {
        return [this] { return static_cast<double>(ms.load()) / 1000.0; };
    }
};

TEST(ScanProgressTest, ShareAndTimeLeftFollowTheBytesReadAndAppearOnceEveryPairIsKnown) {
    FakeClock time;
    ScanProgress progress(time.clock());
    progress.restart();
    progress.addToRead(500);   // a pair: 1000 bytes to read in all
    time.advance(1.0);
    progress.addRead(250);

    ScanFigures f = progress.figures(7);
    EXPECT_EQ(f.entries, 7u);
    EXPECT_EQ(f.bytesRead, 250);
    EXPECT_EQ(f.bytesToRead, 1000);
    // More pairs may still be found: no share, no time.
    EXPECT_LT(f.fraction, 0);
    EXPECT_LT(f.secondsLeft, 0);

    progress.allQueued();
    f = progress.figures(7);
    EXPECT_DOUBLE_EQ(f.fraction, 0.25);
    EXPECT_DOUBLE_EQ(f.secondsLeft, 3.0);   // 250 bytes a second, 750 to go
}

TEST(ScanProgressTest, ReportsAreDueAtMostEveryThreeTenthsOfASecond) {
    FakeClock time;
    ScanProgress progress(time.clock());
    progress.restart();
    time.advance(0.2);
    EXPECT_FALSE(progress.due());
    time.advance(0.1);
    EXPECT_TRUE(progress.due());
    time.advance(0.1);
    EXPECT_FALSE(progress.due());
    time.advance(0.25);
    EXPECT_TRUE(progress.due());
}

// The real file system, except that comparing the large pair takes fake
// time: each block read moves the clock on by 0.2 seconds.
class SlowReadingFileSystem final : public platform::FileSystem {
public:
    SlowReadingFileSystem(FakeClock& time, std::int64_t blocks, std::int64_t blockSize, bool sleep)
        : m_time(time), m_blocks(blocks), m_blockSize(blockSize), m_sleep(sleep) {}

    void listFolder(const std::string& path, platform::Listing& out, unsigned fields) override {
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
        if (!a.ends_with("/big.bin")) return FileSystem::compareContents(a, b, kinds, cancelled, progress);
        for (std::int64_t i = 1; i <= m_blocks; ++i) {
            if (m_sleep) std::this_thread::sleep_for(std::chrono::milliseconds(20));
            m_time.advance(0.2);
            if (progress) progress(i * m_blockSize);
        }
        return platform::ContentResult::Equal;
    }

private:
    FakeClock& m_time;
    std::int64_t m_blocks, m_blockSize;
    bool m_sleep;
};

// A large pair and a few small ones, compared by contents through the slow file system.
class LargeFilePair : public ::testing::Test {
protected:
    static constexpr std::int64_t kBlocks = 20, kBlock = 50 << 20;
    TempTree left, right;
    FakeClock time;

    std::unique_ptr<ScanRun> scanWithContents(unsigned workers) {
        for (TempTree* side : {&left, &right}) {
            side->file("big.bin");
            side->truncate("big.bin", kBlocks * kBlock);
            for (int i = 0; i < 5; ++i) side->file("small/f" + std::to_string(i), 100);
        }
        SlowReadingFileSystem fs(time, kBlocks, kBlock, workers > 0);
        RootSetup setup;
        setup.contents = true;
        setup.contentWorkers = workers;
        setup.clock = time.clock();
        return scanFolders(left.root(), right.root(), {}, setup, &fs);
    }
    // The reports made while the large pair was half read, once every pair to read was known.
    static std::vector<std::size_t> insideTheLargeFile(const ScanRun& run) {
        std::vector<std::size_t> inside;
        const std::int64_t smallBytes = 2 * 5 * 100;
        for (std::size_t i = 0; i < run.observer.figures.size(); ++i) {
            const ScanFigures& f = run.observer.figures[i];
            if (f.fraction >= 0 && f.bytesRead > smallBytes && f.bytesRead < f.bytesToRead) inside.push_back(i);
        }
        return inside;
    }
};

class LargeFileProgressTest : public LargeFilePair, public ::testing::WithParamInterface<unsigned> {};

TEST_P(LargeFileProgressTest, BytesShareAndTimeLeftMoveWhileOneLargeFileIsRead) {
    auto run = scanWithContents(GetParam());
    EXPECT_EQ(run->node("big.bin")->iState, kStateEqual);
    const auto& figures = run->observer.figures;
    const std::vector<std::size_t> inside = insideTheLargeFile(*run);
    ASSERT_GE(inside.size(), GetParam() > 0 ? 1u : 5u);

    const std::int64_t total = 2 * (kBlocks * kBlock + 5 * 100);
    for (std::size_t k = 0; k < inside.size(); ++k) {
        const ScanFigures& f = figures[inside[k]];
        EXPECT_EQ(f.bytesToRead, total);
        EXPECT_GT(f.entries, 0u);
        EXPECT_GT(f.fraction, 0);
        EXPECT_LT(f.fraction, 1);
        EXPECT_GT(f.secondsLeft, 0);
        if (k == 0) continue;
        const ScanFigures& before = figures[inside[k - 1]];
        EXPECT_GT(f.bytesRead, before.bytesRead);
        EXPECT_LT(f.secondsLeft, before.secondsLeft);
    }
}

// Read on the scan thread, the timing is the fake clock's alone (workers are timed by the real one).
TEST_F(LargeFilePair, ReportsComeAtLeastEveryHalfSecondWhileTheScanThreadReads) {
    auto run = scanWithContents(0);
    const std::vector<std::size_t> inside = insideTheLargeFile(*run);
    ASSERT_FALSE(inside.empty());
    const auto& times = run->observer.reportTimes;
    // The pair takes 4 fake seconds: from its first report to its last, no gap over half a second.
    EXPECT_GE(times[inside.back()] - times[inside.front()], 3.0);
    for (std::size_t k = 1; k < inside.size(); ++k)
        EXPECT_LE(times[inside[k]] - times[inside[k - 1]], 0.5) << "report " << k;
}

INSTANTIATE_TEST_SUITE_P(ReadOnTheScanThreadOrOnWorkers, LargeFileProgressTest, ::testing::Values(0u, 2u));

}  // namespace
}  // namespace qv::test
