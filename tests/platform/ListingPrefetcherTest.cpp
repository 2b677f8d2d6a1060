// Folders listed ahead of a scan, below one another: each listing is handed
// to the folder it belongs to, and the walk stops while too much waits.

#include "platform/ListingPrefetcher.h"
#include "support/TempTree.h"

#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <set>
#include <thread>

namespace qv::test {
namespace {

// The real file system, keeping the folders it was asked to list.
class RecordingFileSystem final : public platform::FileSystem {
public:
    void listFolder(const std::string& path, platform::Listing& out, unsigned fields) override {
        platform::systemFileSystem().listFolder(path, out, fields);
        std::lock_guard lock(m_mutex);
        m_listed.insert(path);
    }
    int statPath(const std::string& path, bool follow, platform::EntryStat& out, unsigned fields) override {
        return platform::systemFileSystem().statPath(path, follow, out, fields);
    }
    int readLink(const std::string& path, std::string& target) override {
        return platform::systemFileSystem().readLink(path, target);
    }
    std::set<std::string> listed() {
        std::lock_guard lock(m_mutex);
        return m_listed;
    }

private:
    std::mutex m_mutex;
    std::set<std::string> m_listed;
};

// The folders listed once `count` of them are (or after 20 s), and a moment
// later, so that one listed past them shows too.
std::set<std::string> whenListed(RecordingFileSystem& fs, std::size_t count) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (fs.listed().size() < count && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    return fs.listed();
}

std::set<std::string> namesIn(const platform::Listing& listing) {
    std::set<std::string> names;
    for (const platform::ListedEntry& e : listing.entries) names.insert(std::string(listing.name(e)));
    return names;
}

TEST(ListingPrefetcherTest, ATreeIsListedFolderByFolderAndEachListingGoesToItsFolder) {
    TempTree t;
    for (const char* file : {"a/b/c/one", "a/b/two", "a/d/three", "e/four", "e/f/g/five", "six"}) t.file(file, 1);
    const std::vector<std::pair<std::string, std::set<std::string>>> folders = {
        {"", {"a", "e", "six"}}, {"a", {"b", "d"}}, {"a/b", {"c", "two"}}, {"a/b/c", {"one"}},
        {"a/d", {"three"}},      {"e", {"four", "f"}}, {"e/f", {"g"}},        {"e/f/g", {"five"}}};
    const auto pathOf = [&](const std::string& folder) { return folder.empty() ? t.root() : t.path(folder); };

    // One thread or two, sharing the walk.
    for (const unsigned threads : {1u, 2u}) {
        SCOPED_TRACE(threads);
        RecordingFileSystem fs;
        platform::ListingPrefetcher prefetcher(&fs, nullptr, platform::kStatBasic, nullptr,
                                               platform::ListingPrefetcher::kMaxReady, threads);
        prefetcher.requestTree(1, t.root(), 1000);
        EXPECT_EQ(whenListed(fs, folders.size()).size(), folders.size());
        for (const auto& [folder, names] : folders) {
            SCOPED_TRACE(folder);
            platform::Listing listing;
            ASSERT_TRUE(prefetcher.take(1, pathOf(folder), listing));
            EXPECT_EQ(namesIn(listing), names);
        }
        // Asked for once: the scan lists what it takes no more.
        platform::Listing again;
        EXPECT_FALSE(prefetcher.take(1, t.path("a"), again));

        // Listings of five entries at most wait to be taken: the top folder's three
        // let its two subfolders be asked for, whose four more end the walk.
        RecordingFileSystem small;
        platform::ListingPrefetcher held(&small, nullptr, platform::kStatBasic, nullptr,
                                         platform::ListingPrefetcher::kMaxReady, threads);
        held.requestTree(1, t.root(), 5);
        EXPECT_EQ(whenListed(small, 3), (std::set<std::string>{t.root(), t.path("a"), t.path("e")}));
    }
}

TEST(ListingPrefetcherTest, EachSubfolderIsAlsoAskedForAtTheSamePlaceOnTheMirroredSide) {
    TempTree left, right;
    for (const char* file : {"a/b/one", "a/two", "c/three"}) left.file(file, 1);
    for (const char* file : {"a/b/uno", "a/dos"}) right.file(file, 1);   // no "c" on the right

    RecordingFileSystem fs;
    platform::ListingPrefetcher prefetcher(&fs, &fs, platform::kStatBasic, nullptr,
                                           platform::ListingPrefetcher::kMaxReady, 2);
    prefetcher.requestTree(1, left.root(), 1000, right.root());
    // The left tree, and the right side's folders where the left ones are,
    // "c" too, which the right side lacks.
    EXPECT_EQ(whenListed(fs, 7), (std::set<std::string>{left.root(), left.path("a"), left.path("a/b"), left.path("c"),
                                                         right.path("a"), right.path("a/b"), right.path("c")}));
    for (const auto& [folder, names] : std::vector<std::pair<std::string, std::set<std::string>>>{
             {"a/b", {"uno"}}, {"a", {"b", "dos"}}}) {
        SCOPED_TRACE(folder);
        platform::Listing listing;
        ASSERT_TRUE(prefetcher.take(2, right.path(folder), listing));
        EXPECT_EQ(namesIn(listing), names);
    }
}

}  // namespace
}  // namespace qv::test
