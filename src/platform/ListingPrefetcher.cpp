#include "platform/ListingPrefetcher.h"

#include <algorithm>
#include <string_view>

namespace qv::platform {
namespace {
constexpr std::size_t kSpareBuffers = 16;

// `path` (a key) followed by `below`, a name or relative path, with one slash between.
std::string joined(std::string path, std::string_view below) {
    if (below.starts_with('/')) below.remove_prefix(1);
    if (path.back() != '/') path += '/';
    path.append(below);
    return path;
}
}

ListingPrefetcher::ListingPrefetcher(FileSystem* left, FileSystem* right, unsigned fields,
                                     const std::atomic<bool>* cancelled, std::size_t maxReady, unsigned threads)
    : m_left(left), m_right(right), m_fields(fields), m_cancelled(cancelled), m_maxReady(maxReady) {
    for (unsigned i = 0; i < std::max(threads, 1u); ++i) m_threads.emplace_back([this] { work(); });
}

ListingPrefetcher::~ListingPrefetcher() {
    {
        std::lock_guard lock(m_mutex);
        m_closing = true;
    }
    m_work.notify_all();
    for (std::thread& t : m_threads) t.join();
}

std::string ListingPrefetcher::keyOf(int side, const std::string& path) {
    std::string key;
    key.reserve(path.size() + 1);
    key.push_back(static_cast<char>('0' + side));
    key += path;
    return key;
}

bool ListingPrefetcher::stopping() const {
    return m_closing || (m_cancelled && m_cancelled->load(std::memory_order_relaxed));
}

void ListingPrefetcher::request(const std::vector<Folder>& folders) {
    {
        std::lock_guard lock(m_mutex);
        // Pushed last to first, so the batch's first folder is at the back, served next.
        for (auto it = folders.rbegin(); it != folders.rend(); ++it) {
            if (!fsFor(it->side)) continue;
            std::string key = keyOf(it->side, it->path);
            if (!m_slots.try_emplace(key).second) continue;
            m_next.push_back(std::move(key));
        }
    }
    m_work.notify_one();
}

void ListingPrefetcher::requestTree(int side, const std::string& root, std::size_t entries,
                                    const std::string& mirrorRoot) {
    {
        std::lock_guard lock(m_mutex);
        m_treeSide = side;
        m_treeLimit = entries;
        m_treeRoot = root;
        m_mirrorRoot = fsFor(3 - side) ? mirrorRoot : std::string();
        m_mirrorSide = m_mirrorRoot.empty() ? 0 : 3 - side;
    }
    request({{side, root}});
}

void ListingPrefetcher::requestSubfolders(const std::string& key, const Listing& listing) {
    if (m_treeHeld >= m_treeLimit) return;
    const std::size_t before = m_next.size();
    for (const ListedEntry& e : listing.entries) {
        if (e.stat.type != EntryType::Folder) continue;
        std::string child = joined(key, listing.name(e));
        if (!m_slots.try_emplace(child).second) continue;
        if (!m_mirrorRoot.empty()) {
            // The same path below the other side's root.
            std::string mirror = joined(keyOf(3 - m_treeSide, m_mirrorRoot),
                                        std::string_view(child).substr(1 + m_treeRoot.size()));
            if (m_slots.try_emplace(mirror).second) m_next.push_back(std::move(mirror));
        }
        m_next.push_back(std::move(child));
    }
    // The first subfolder is served first: depth first, as the scan descends.
    std::reverse(m_next.begin() + static_cast<std::ptrdiff_t>(before), m_next.end());
}

bool ListingPrefetcher::take(int side, const std::string& path, Listing& out) {
    std::unique_lock lock(m_mutex);
    if (m_slots.empty()) return false;
    auto it = m_slots.find(keyOf(side, path));
    if (it == m_slots.end()) return false;
    if (it->second.stage == Stage::Waiting) {
        // Not begun: the caller is quicker listing it than waiting for it.
        m_slots.erase(it);
        return false;
    }
    const std::string key = it->first;
    m_ready.wait(lock, [&] { return m_slots.at(key).stage == Stage::Ready; });
    it = m_slots.find(key);
    std::swap(out, it->second.listing);
    if (m_spare.size() < kSpareBuffers) m_spare.push_back(std::move(it->second.listing));
    m_slots.erase(it);
    if (heldByEntries(side)) m_treeHeld -= out.entries.size();
    else --m_readyCount;
    lock.unlock();
    m_work.notify_one();
    return true;
}

void ListingPrefetcher::work() {
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_work.wait(lock, [this] { return stopping() || (!m_next.empty() && m_readyCount < m_maxReady); });
        if (stopping()) break;
        const std::string key = std::move(m_next.back());
        m_next.pop_back();
        auto it = m_slots.find(key);
        if (it == m_slots.end() || it->second.stage != Stage::Waiting) continue;   // taken over by the scan
        it->second.stage = Stage::Listing;
        Listing listing;
        if (!m_spare.empty()) {
            listing = std::move(m_spare.back());
            m_spare.pop_back();
        }
        lock.unlock();
        fsFor(key[0] - '0')->listFolder(key.substr(1), listing, m_fields);
        lock.lock();
        // A slot being listed is never erased: the scan waits for it instead.
        Slot& slot = m_slots.at(key);
        slot.listing = std::move(listing);
        slot.stage = Stage::Ready;
        const int side = key[0] - '0';
        if (heldByEntries(side)) {
            // The tree's listings are held to an entry count of their own, not to the number of listings.
            m_treeHeld += slot.listing.entries.size();
            if (side == m_treeSide) requestSubfolders(key, slot.listing);
            // Another thread may be idle for want of a folder.
            if (!m_next.empty()) m_work.notify_one();
        } else {
            ++m_readyCount;
        }
        m_ready.notify_all();
    }
    // A scan waiting for a listing under way is released: it was finished above.
    m_ready.notify_all();
}

}  // namespace qv::platform
