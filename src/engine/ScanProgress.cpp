#include "engine/ScanProgress.h"

#include <algorithm>
#include <chrono>

namespace qv {
namespace {
constexpr double kReportInterval = 0.3;
}

double monotonicClockSeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

void ScanProgress::restart() {
    m_lastReport = m_clock();
    m_readStart = -1;
    m_toRead = 0;
    m_allQueued = false;
    m_read.store(0);
}

void ScanProgress::addToRead(std::int64_t bytes) {
    if (bytes <= 0) return;
    // Reading starts as soon as the first pair is queued: the speed counts from there.
    if (m_readStart < 0) m_readStart = m_clock();
    m_toRead += 2 * bytes;
}

bool ScanProgress::due() {
    const double now = m_clock();
    if (now - m_lastReport < kReportInterval) return false;
    m_lastReport = now;
    return true;
}

ScanFigures ScanProgress::figures(std::uint64_t entries) const {
    ScanFigures f;
    f.entries = entries;
    f.bytesToRead = m_toRead;
    f.bytesRead = std::min(m_read.load(std::memory_order_relaxed), m_toRead);
    if (!m_allQueued || m_toRead == 0) return f;
    f.fraction = static_cast<double>(f.bytesRead) / static_cast<double>(m_toRead);
    const double elapsed = m_clock() - m_readStart;
    if (f.bytesRead > 0 && elapsed > 0) {
        const double speed = static_cast<double>(f.bytesRead) / elapsed;
        f.secondsLeft = static_cast<double>(m_toRead - f.bytesRead) / speed;
    }
    return f;
}

}  // namespace qv
