// Encoding while the input is still being produced: the thread takes what has
// been appended, adds it to the one copy of the input it keeps, and lets the
// window encoder go as far as it can.

#include "snapshot/lzfse/Lzfse.h"

#include "snapshot/lzfse/MatchFinder.h"

namespace qv::lzfse {

using detail::kLzfseWindow;

StreamEncoder::StreamEncoder() : m_thread([this] { work(); }) {}

StreamEncoder::~StreamEncoder() {
    if (!m_thread.joinable()) return;
    {
        // Unfinished (a recording cancelled, say): what is left is not worth encoding.
        std::lock_guard lock(m_mutex);
        m_abandoned = true;
    }
    m_arrived.notify_one();
    m_thread.join();
}

void StreamEncoder::append(std::string_view piece) {
    {
        std::lock_guard lock(m_mutex);
        m_waiting.append(piece);
    }
    m_arrived.notify_one();
}

std::vector<std::uint8_t> StreamEncoder::finish() {
    {
        std::lock_guard lock(m_mutex);
        m_finishing = true;
    }
    m_arrived.notify_one();
    m_thread.join();
    return detail::completeStream(m_input, std::move(m_blocks));
}

void StreamEncoder::work() {
    std::string taken;
    for (;;) {
        bool final;
        {
            std::unique_lock lock(m_mutex);
            m_arrived.wait(lock, [this] { return m_finishing || m_abandoned || !m_waiting.empty(); });
            if (m_abandoned) return;
            taken.swap(m_waiting);
            final = m_finishing;
        }
        m_input.insert(m_input.end(), taken.begin(), taken.end());
        taken.clear();
        // A short input may end up stored another way: nothing is encoded before it is long enough.
        if (m_input.size() >= detail::kMinLzfseInput) encodeAvailable(final);
        if (final) return;
    }
}

void StreamEncoder::encodeAvailable(bool final) {
    for (;;) {
        if (!m_window) m_window = std::make_unique<detail::LzfseWindowEncoder>(m_blocks);
        const std::size_t available = m_input.size() - m_windowStart;
        // A window is whole once the input runs past it, or at the end.
        const bool whole = final || available >= kLzfseWindow;
        const std::size_t length = available < kLzfseWindow ? available : kLzfseWindow;
        m_window->advance(m_input.data() + m_windowStart, length, whole);
        if (!whole || m_windowStart + length == m_input.size()) return;
        m_windowStart += length;
        m_window.reset();
    }
}

} // namespace qv::lzfse
