#include "engine/ContentCheckQueue.h"

#include "engine/KRootItem.h"

namespace qv {

ContentCheckQueue::ContentCheckQueue(KRootItem& root, unsigned workers) : m_root(root) {
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

void ContentCheckQueue::add(KItem* right, std::string path1, std::string path2) {
    auto check = std::make_unique<Check>(Check{right, std::move(path1), std::move(path2)});
    {
        std::lock_guard lock(m_mutex);
        m_waiting.push_back(check.get());
        m_checks.push_back(std::move(check));
    }
    m_wake.notify_one();
}

void ContentCheckQueue::work() {
    for (;;) {
        Check* check;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return m_closing || !m_waiting.empty(); });
            if (m_waiting.empty()) return;
            check = m_waiting.front();
            m_waiting.pop_front();
        }
        if (!m_root.cancelled()) check->state = KItem::CompareFile(check->path1, check->path2, m_root);
    }
}

void ContentCheckQueue::finish() {
    {
        std::lock_guard lock(m_mutex);
        m_closing = true;
    }
    m_wake.notify_all();
    for (std::thread& t : m_threads)
        if (t.joinable()) t.join();
    // Without workers (or after a cancellation) nothing may be left unread silently.
    for (const auto& check : m_checks)
        if (check->state < 0 && !m_root.cancelled()) check->state = KItem::CompareFile(check->path1, check->path2, m_root);

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
