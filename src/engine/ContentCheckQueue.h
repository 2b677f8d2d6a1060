#pragma once
// Reads the files of equal-sized pairs on worker threads while the scan goes
// on listing. Results are stored in the tree only at the end, in the order the
// pairs were queued, so the outcome never depends on which thread was faster.

#include "platform/FileSystem.h"

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace qv {

class KItem;
class KRootItem;
class ScanProgress;

class ContentCheckQueue {
public:
    // `progress`, when given, is told the bytes to read and the bytes read.
    ContentCheckQueue(KRootItem& root, unsigned workers, ScanProgress* progress = nullptr);
    ~ContentCheckQueue();
    ContentCheckQueue(const ContentCheckQueue&) = delete;
    ContentCheckQueue& operator=(const ContentCheckQueue&) = delete;

    // `right` receives the result of comparing the two files; `bytes` is
    // their size when their contents are read, else 0.
    void add(KItem* right, std::string path1, std::string path2, platform::PairKinds kinds, std::int64_t bytes = 0);

    // Waits for every queued check, stores each state and marks every folder
    // above a pair that differs as different. Pairs left unread by a
    // cancellation stay not compared. `tick` is called at least every 0.1
    // seconds while files are read (after each block when read here).
    void finish(const std::function<void()>& tick = {});

private:
    struct Check {
        KItem* right;
        std::string path1, path2;
        platform::PairKinds kinds;
        std::int64_t bytes = 0;
        int state = -1;   // -1 until read
    };
    void work();
    void read(Check& check, const std::function<void()>& tick);

    // Small files are read faster than they are listed: a sleeping worker is
    // woken for a handful of them, or for one large one, not for each.
    static constexpr std::size_t kWakeBatch = 16;
    static constexpr std::int64_t kWakeBytes = std::int64_t(1) << 20;
    // A worker takes at most this many at once, so that one large file among
    // them holds back only a few small ones from the other worker.
    static constexpr std::size_t kTakeBatch = 8;

    KRootItem& m_root;
    ScanProgress* m_progress;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_checked;   // a worker finished a check
    std::size_t m_unread = 0;            // checks queued and not yet finished by a worker
    std::deque<Check*> m_waiting;
    std::vector<std::unique_ptr<Check>> m_checks;
    std::vector<std::thread> m_threads;
    bool m_closing = false;
};

}  // namespace qv
