// Listing folders ahead on a second thread must not change anything a scan
// produces: the same tree, states, order and totals, and the same folders
// queued for sizing, as the scan that lists everything itself.

#include "cli/TreeWriter.h"
#include "engine/ViewFilter.h"
#include "snapshot/SnapshotRecording.h"
#include "support/FaultyFileSystem.h"
#include "support/ScanHarness.h"
#include "support/TempTree.h"
#include "support/TreePairGenerator.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <random>
#include <thread>

namespace qv::test {
namespace {

constexpr std::int64_t kSecond = 1'000'000'000LL;

// The tree as the command writes it, in pieces of `rowsPerPiece` rows.
std::string treeJson(ScanRun& run, std::size_t rowsPerPiece) {
    char* text = nullptr;
    std::size_t length = 0;
    std::FILE* out = ::open_memstream(&text, &length);
    {
        ViewFilter view(*run.root, kFilterOff);
        TreeWriter writer(out, view, rowsPerPiece);
        writer.writeJson(*run.root);
    }
    std::fclose(out);
    std::string result(text, length);
    std::free(text);
    return result;
}

// The tree as the command writes it, plus what the scan queued for sizing.
// Written in pieces of a few rows on helper threads, it must read the same:
// a row's path at a piece's start comes from the rows above it.
std::string describe(ScanRun& run) {
    std::string result = treeJson(run, TreeWriter::kRowsPerPiece);
    EXPECT_EQ(treeJson(run, 3), result);
    for (const SizeRequest& r : run.scanner->iToCalcFolders) result += "\nsize " + std::to_string(r.side) + " " + r.path;
    result += "\nfilter " + std::to_string(run.scanner->iAnyFilterOn);
    return result;
}

struct Variant {
    ScanOptions options;
    RootSetup setup;
};

// Returns how many listings the parallel scan took from the helper.
std::uint64_t expectSameScan(const std::string& left, const std::string& right, Variant v,
                             platform::FileSystem* fs = nullptr) {
    v.setup.listingAhead = false;
    auto sequential = scanFolders(left, right, v.options, v.setup, fs);
    EXPECT_EQ(sequential->scanner->iListedAhead, 0u);
    v.setup.listingAhead = true;
    auto parallel = scanFolders(left, right, v.options, v.setup, fs);
    const std::string expected = describe(*sequential);
    EXPECT_GT(expected.size(), 50u);
    EXPECT_EQ(describe(*parallel), expected);
    EXPECT_EQ(parallel->scanner->iProcessedLeftFiles, sequential->scanner->iProcessedLeftFiles);
    return parallel->scanner->iListedAhead;
}

// Two overlapping trees that differ in the ways pairing tells apart: sizes,
// dates, one-sided entries, a file facing a folder, names differing in case
// or in Unicode form, hidden names, links.
void randomTrees(unsigned seed, TempTree& left, TempTree& right) {
    std::mt19937 random(seed);
    auto chance = [&](int percent) { return static_cast<int>(random() % 100) < percent; };
    static const char* const kNames[] = {"a", "B", "b.txt", "B.TXT", "c.md", "c.txt", "d", ".hidden",
                                         "e f", "caf\xC3\xA9", "cafe\xCC\x81", "Zeta", "link"};
    std::function<void(const std::string&, int)> fill = [&](const std::string& folder, int depth) {
        for (const char* name : kNames) {
            if (!chance(45)) continue;
            const std::string path = folder.empty() ? name : folder + "/" + name;
            const int where = static_cast<int>(random() % 10);   // 0-6 both, 7 left, 8 right, 9 crossed kinds
            const bool onLeft = where != 8, onRight = where != 7;
            if (std::string(name) == "link") {
                if (onLeft) left.link(path, chance(50) ? "a" : "missing");
                if (onRight) right.link(path, chance(70) ? "a" : "elsewhere");
                continue;
            }
            const bool folderHere = depth < 3 && chance(35);
            if (where == 9) {
                (folderHere ? left : right).file(path + "/inner", 3);
                (folderHere ? right : left).file(path, 4);
                continue;
            }
            if (folderHere) {
                if (onLeft) left.folder(path);
                if (onRight) right.folder(path);
                fill(path, depth + 1);
                continue;
            }
            const std::size_t size = random() % 20;
            const std::int64_t time = kBaseTimeNs + static_cast<std::int64_t>(random() % 3) * kSecond;
            if (onLeft) left.file(path, size, 'x', kBaseTimeNs);
            if (onRight) right.file(path, chance(80) ? size : size + 1, chance(50) ? 'x' : 'y', chance(70) ? kBaseTimeNs : time);
        }
    };
    fill("", 0);
    // Folder contents on one side only, below a pair.
    left.file("deep/one/two/three/leaf", 2);
    right.file("deep/one/other/leaf", 2);
}

Variant variantFor(unsigned seed) {
    Variant v;
    v.options.iIncludeHidden = seed % 2 == 0;
    v.options.iIgnoreSubfolders = seed % 7 == 3;
    v.options.iCalculateSameCompare = seed % 3 != 0;
    v.setup.ignoreExt = seed % 4 == 1;
    v.setup.contents = seed % 5 < 2;
    v.setup.contentWorkers = seed % 2;
    return v;
}

TEST(ParallelListingTest, RandomTreesScanTheSameWithAndWithoutListingAhead) {
    for (unsigned seed = 1; seed <= 16; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        TempTree left, right;
        randomTrees(seed, left, right);
        expectSameScan(left.root(), right.root(), variantFor(seed));
    }
}

// The sync property test's trees: links, attributes, kinds facing each other,
// one-sided trees, names no shell likes; compared in each way that changes
// what the scan reads or where it descends.
Variant propertyVariantFor(unsigned seed) {
    Variant v = variantFor(seed);
    v.setup.contents = seed % 3 == 0;
    v.setup.attributes = seed % 4 == 2;
    v.setup.tags = seed % 5 == 4;
    v.setup.resolveAliases = seed % 6 == 5;
    v.setup.ignoreDate = seed % 8 == 7;
    return v;
}

TEST(ParallelListingTest, RealFoldersScanTheSame) {
    // System folders of thousands of entries, against themselves and against each other.
    for (const char* folder : {"/usr/include", "/usr/share/doc"}) {
        SCOPED_TRACE(folder);
        // Hundreds of folder pairs: the helper must have served some of them.
        EXPECT_GT(expectSameScan(folder, folder, {}), 0u);
    }
    expectSameScan("/usr/share/doc", "/usr/share/man", {});
}

// The real file system, but each listing takes a different while and comes
// in a shuffled order (the same order for a folder every time, so that both
// scans see the same folders), and examining one entry takes a while too.
class SlowShuffledFileSystem final : public platform::FileSystem {
public:
    SlowShuffledFileSystem(int maxListingMicroseconds = 3000, int examinationMicroseconds = 300)
        : m_listing(maxListingMicroseconds), m_examination(examinationMicroseconds) {}

    void listFolder(const std::string& path, platform::Listing& out, unsigned fields) override {
        const std::size_t seed = std::hash<std::string>()(path);
        if (m_listing) std::this_thread::sleep_for(std::chrono::microseconds(seed % m_listing));
        platform::systemFileSystem().listFolder(path, out, fields);
        std::mt19937 random(static_cast<unsigned>(seed));
        std::shuffle(out.entries.begin(), out.entries.end(), random);
    }
    // Only the scan examines single entries: slow, they let the helper get ahead of it.
    int statPath(const std::string& path, bool followLinks, platform::EntryStat& out, unsigned fields) override {
        std::this_thread::sleep_for(std::chrono::microseconds(m_examination));
        return platform::systemFileSystem().statPath(path, followLinks, out, fields);
    }
    int readLink(const std::string& path, std::string& target) override {
        return platform::systemFileSystem().readLink(path, target);
    }

private:
    int m_listing, m_examination;
};

TEST(ParallelListingTest, PropertyTestTreesScanTheSameWithAndWithoutListingAhead) {
    SlowShuffledFileSystem slowToExamine(0, 1000);
    std::uint64_t listedAhead = 0;
    for (unsigned seed = 1; seed <= 24; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        TempTree tree;
        TreePairGenerator(seed, tree, {}).build();
        expectSameScan(tree.path("L"), tree.path("R"), propertyVariantFor(seed));
        listedAhead += expectSameScan(tree.path("L"), tree.path("R"), propertyVariantFor(seed), &slowToExamine);
    }
    // With the scan slowed down, the helper must have served it.
    EXPECT_GT(listedAhead, 24u);
}

TEST(ParallelListingTest, SlowListingsInAnyOrderScanTheSame) {
    SlowShuffledFileSystem fs;
    for (unsigned seed = 30; seed <= 35; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        TempTree left, right;
        randomTrees(seed, left, right);
        expectSameScan(left.root(), right.root(), variantFor(seed), &fs);
        TempTree tree;
        TreePairGenerator(seed, tree, {}).build();
        expectSameScan(tree.path("L"), tree.path("R"), propertyVariantFor(seed), &fs);
    }
}

// The live side of a comparison with a snapshot is listed ahead, folders
// below folders, while the snapshot is read; on either side of the pair.
TEST(ParallelListingTest, ALiveSideListedWhileASnapshotIsReadScansTheSame) {
    SlowShuffledFileSystem slowToList(2000, 0);
    std::uint64_t listedAhead = 0;
    for (unsigned seed = 40; seed <= 45; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        TempTree left, right, store;
        randomTrees(seed, left, right);
        for (auto [tree, name] : {std::pair{&left, "left.qvss"}, std::pair{&right, "right.qvss"}}) {
            SnapshotRecording recording;
            ASSERT_TRUE(recording.record(tree->root(), seed % 2 == 0, nullptr));
            ASSERT_EQ(recording.save(store.path(name), false), 0);
        }
        Variant v = variantFor(seed);
        v.options.iIgnoreSubfolders = false;
        expectSameScan(store.path("left.qvss"), right.root(), v);
        listedAhead += expectSameScan(store.path("left.qvss"), right.root(), v, &slowToList);
        listedAhead += expectSameScan(left.root(), store.path("right.qvss"), v, &slowToList);
    }
    // Slow listings keep the scan waiting for what the helper began: it served some.
    EXPECT_GT(listedAhead, 0u);
}

TEST(ParallelListingTest, AFolderThatCannotBeListedIsReportedAsByTheScanItself) {
    TempTree left, right;
    randomTrees(3, left, right);
    left.file("shut/x", 1);
    right.file("shut/x", 1);
    FaultyFileSystem fs;
    fs.failListing(right.path("shut"), EACCES);
    Variant v;
    v.setup.listingAhead = true;
    auto run = scanFolders(left.root(), right.root(), v.options, v.setup, &fs);
    ASSERT_TRUE(run->node("shut"));
    EXPECT_TRUE(run->node("shut")->iAError2);
    EXPECT_EQ(run->node("shut")->iState, kStateNoEntry);
    expectSameScan(left.root(), right.root(), v, &fs);
}

}  // namespace
}  // namespace qv::test
