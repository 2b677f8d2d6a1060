#pragma once
// Lists folders on threads of their own ahead of the scan that needs them, so
// that listing (reading folders and examining entries) runs on a second core
// while the scan pairs what it already has.
//
// The scan asks for the folders of a level in the order it will visit them;
// the newest batch is served first, which follows the scan's depth-first
// descent. A folder the scan reaches before its listing began is listed by
// the scan itself: nothing waits for the helper except a listing under way.
// Listings are handed over whole, so the tree never depends on the timing.

#include "platform/FileSystem.h"

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

namespace qv::platform {

class ListingPrefetcher {
public:
    struct Folder {
        int side = 0;   // 1 left, 2 right
        std::string path;
    };

    // Lists through `left` and `right` (nullptr: that side is never listed
    // ahead), reading `fields`, on `threads` threads; stops when `cancelled`
    // is set. At most `maxReady` listings wait to be taken.
    static constexpr std::size_t kMaxReady = 1024;
    ListingPrefetcher(FileSystem* left, FileSystem* right, unsigned fields, const std::atomic<bool>* cancelled,
                      std::size_t maxReady = kMaxReady, unsigned threads = 1);
    ~ListingPrefetcher();
    ListingPrefetcher(const ListingPrefetcher&) = delete;
    ListingPrefetcher& operator=(const ListingPrefetcher&) = delete;

    // Asks for these folders, the first one first, ahead of earlier requests.
    void request(const std::vector<Folder>& folders);
    // Asks for `root` and, as each folder below it is listed, for its
    // subfolders, depth first: for a side the scan will walk whole, or cannot
    // begin yet (its partner is a snapshot still being read). The side's
    // listings waiting to be taken are held to `entries` entries instead of
    // to a number of listings: past that, no subfolders are asked for. The
    // default holds a tree of a quarter of a million entries whole.
    // With `mirrorRoot`, each subfolder found is also asked for below
    // `mirrorRoot` on the other side, at the same relative path: there the
    // scan's partner most often stands, and the scan need not ask for it
    // only once it gets there.
    static constexpr std::size_t kTreeEntries = 250'000;
    void requestTree(int side, const std::string& root, std::size_t entries = kTreeEntries,
                     const std::string& mirrorRoot = {});
    // Moves the listing of a requested folder into `out`, waiting while it is
    // being made. False when it was not requested or not begun: the caller
    // lists it itself (and it is no longer listed ahead).
    bool take(int side, const std::string& path, Listing& out);

private:
    enum class Stage { Waiting, Listing, Ready };
    struct Slot {
        Stage stage = Stage::Waiting;
        Listing listing;
    };
    static std::string keyOf(int side, const std::string& path);
    FileSystem* fsFor(int side) const { return side == 1 ? m_left : m_right; }
    void work();
    bool stopping() const;
    // The walked side's and the mirror's listings are held to a number of
    // entries: a mirrored folder that does not exist holds none.
    bool heldByEntries(int side) const { return side == m_treeSide || side == m_mirrorSide; }
    // Under the lock: the subfolders of a folder of requestTree's side just listed.
    void requestSubfolders(const std::string& key, const Listing& listing);

    FileSystem* m_left;
    FileSystem* m_right;
    unsigned m_fields;
    const std::atomic<bool>* m_cancelled;
    std::size_t m_maxReady;

    std::mutex m_mutex;
    std::condition_variable m_work;    // a request came, a listing was taken, or closing
    std::condition_variable m_ready;   // a listing was finished
    std::vector<std::string> m_next;   // keys to list, the next at the back
    std::unordered_map<std::string, Slot> m_slots;
    std::vector<Listing> m_spare;   // buffers handed back by the scan, reused
    std::size_t m_readyCount = 0;
    int m_treeSide = 0;              // the side requestTree descends, 0 for none
    std::string m_treeRoot;          // the folder it descends from
    std::string m_mirrorRoot;        // the other side's folder its subfolders are mirrored below, or none
    int m_mirrorSide = 0;            // that side, 0 for none
    std::size_t m_treeLimit = 0;     // entries its listings (and the mirror's) may hold while they wait
    std::size_t m_treeHeld = 0;      // entries they hold
    bool m_closing = false;
    std::vector<std::thread> m_threads;
};

}  // namespace qv::platform
