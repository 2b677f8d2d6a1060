#pragma once
// Reads the files of equal-sized pairs on worker threads while the scan goes
// on listing. Results are stored in the tree only at the end, in the order the
// pairs were queued, so the outcome never depends on which thread was faster.

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace qv {

class KItem;
class KRootItem;

class ContentCheckQueue {
public:
    ContentCheckQueue(KRootItem& root, unsigned workers);
    ~ContentCheckQueue();
    ContentCheckQueue(const ContentCheckQueue&) = delete;
    ContentCheckQueue& operator=(const ContentCheckQueue&) = delete;

    // `right` receives the result of comparing the two files.
    void add(KItem* right, std::string path1, std::string path2);

    // Waits for every queued check, stores each state and marks every folder
    // above a pair that differs as different. Pairs left unread by a
    // cancellation stay not compared.
    void finish();

private:
    struct Check {
        KItem* right;
        std::string path1, path2;
        int state = -1;   // -1 until read
    };
    void work();

    KRootItem& m_root;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<Check*> m_waiting;
    std::vector<std::unique_ptr<Check>> m_checks;
    std::vector<std::thread> m_threads;
    bool m_closing = false;
};

}  // namespace qv
