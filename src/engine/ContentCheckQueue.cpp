#include "engine/ContentCheckQueue.h"

#include "engine/KRootItem.h"
#include "engine/ScanProgress.h"

#include <algorithm>
#include <chrono>

namespace qv {

ContentCheckQueue::ContentCheckQueue(KRootItem& root, unsigned workers, ScanProgress* progress)
    : m_root(root), m_progress(progress) {
    for (unsigned i = 0; i < workers; ++i) m_threads.emplace_back([this] { work(); });
}

ContentCheckQueue::~ContentCheckQueue() {
    {
        std::lock_guard lock(m_mutex);
        m_closing = true;
    }
    m_wake.notify_all();
    for (std::thread& t : m_threads)
        if (t.joinable()) t.join();
}

void ContentCheckQueue::add(KItem* right, std::string path1, std::string path2, platform::PairKinds kinds,
                            std::int64_t bytes) {
    auto check = std::make_unique<Check>(Check{right, std::move(path1), std::move(path2), kinds, bytes});
    if (m_progress) m_progress->addToRead(bytes);
    bool wake = false;
    {
        std::lock_guard lock(m_mutex);
        m_waiting.push_back(check.get());
        m_checks.push_back(std::move(check));
        ++m_unread;
        wake = m_waiting.size() >= kWakeBatch || bytes >= kWakeBytes;
    }
    if (wake) m_wake.notify_one();
}

void ContentCheckQueue::work() {
    std::vector<Check*> taken;
    for (;;) {
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return m_closing || !m_waiting.empty(); });
            if (m_waiting.empty()) return;
            // Several at a time: small files are read faster than the queue's lock changes hands.
            const std::size_t count = std::min(m_waiting.size(), kTakeBatch);
            taken.assign(m_waiting.begin(), m_waiting.begin() + static_cast<std::ptrdiff_t>(count));
            m_waiting.erase(m_waiting.begin(), m_waiting.begin() + static_cast<std::ptrdiff_t>(count));
        }
        for (Check* check : taken)
            if (!m_root.cancelled()) read(*check, {});
        {
            std::lock_guard lock(m_mutex);
            m_unread -= taken.size();
        }
        m_checked.notify_all();
    }
}

void ContentCheckQueue::read(Check& check, const std::function<void()>& tick) {
    if (!m_progress || check.bytes <= 0) {
        check.state = KItem::CompareFile(check.path1, check.path2, m_root, check.kinds);
        return;
    }
    std::int64_t counted = 0;
    auto progress = [&](std::int64_t compared) {
        // Both files of the pair are read; a file grown since it was listed counts as listed.
        const std::int64_t now = std::min(compared, check.bytes);
        m_progress->addRead(2 * (now - counted));
        counted = now;
        if (tick) tick();
    };
    check.state = KItem::CompareFile(check.path1, check.path2, m_root, check.kinds, progress);
    // A pair found different early is done all the same.
    m_progress->addRead(2 * (check.bytes - counted));
}

void ContentCheckQueue::finish(const std::function<void()>& tick) {
    {
        std::unique_lock lock(m_mutex);
        m_closing = true;
        m_wake.notify_all();
        while (!m_threads.empty() && m_unread > 0) {
            m_checked.wait_for(lock, std::chrono::milliseconds(100));
            if (!tick) continue;
            lock.unlock();
            tick();
            lock.lock();
        }
    }
    for (std::thread& t : m_threads)
        if (t.joinable()) t.join();
    // Without workers (or after a cancellation) nothing may be left unread silently.
    for (const auto& check : m_checks)
        if (check->state < 0 && !m_root.cancelled()) read(*check, tick);

    for (const auto& check : m_checks) {
        KItem* right = check->right;
        right->iState = check->state < 0 ? kStateNotCompared : check->state;
        if (right->iState == kStateEqual) continue;
        // The folders above were folded as if the pair were equal.
        const int mark = right->iState == kStateNotCompared ? kStateNotCompared : kStateDifferent;
        for (KItem* up = right->iParent(); up; up = up->iParent())
            if (up->iState == kStateEqual || up->iState == kStateTagsDiffer) up->iState = mark;
    }
    m_checks.clear();
}

}  // namespace qv
