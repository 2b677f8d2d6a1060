#pragma once
// How far a comparison run has come, in the figures a user can check: the
// entries processed and, while files are read for their contents, the bytes
// read out of the bytes to read, the share done and the time remaining.
//
// The scan thread queues the reading and asks for reports; the threads that
// read add the bytes they have read, block by block, so a single large file
// moves the figures too.

#include <atomic>
#include <cstdint>
#include <functional>

namespace qv {

struct ScanFigures {
    std::uint64_t entries = 0;
    std::int64_t bytesRead = 0;
    std::int64_t bytesToRead = 0;   // grows while the scan still finds pairs to read
    // Known once every pair to read has been found: before that the amount
    // still grows, and a share or a time would go backwards.
    double fraction = -1;
    double secondsLeft = -1;
};

// Seconds on a clock that never goes back; tests give their own.
using ProgressClock = std::function<double()>;
double monotonicClockSeconds();

class ScanProgress {
public:
    explicit ScanProgress(ProgressClock clock = monotonicClockSeconds) : m_clock(std::move(clock)) {}

    void setClock(ProgressClock clock) { m_clock = std::move(clock); }
    void restart();
    // Scan thread: a pair of files of `bytes` each was queued for reading.
    void addToRead(std::int64_t bytes);
    // Any thread: `bytes` more were read (counted on both files of a pair).
    void addRead(std::int64_t bytes) { m_read.fetch_add(bytes, std::memory_order_relaxed); }
    // Scan thread: the listing is over, nothing more will be queued.
    void allQueued() { m_allQueued = true; }

    // True when a report is due: reports go out at most every 0.3 seconds,
    // so a caller asking often enough keeps them under half a second apart.
    bool due();
    ScanFigures figures(std::uint64_t entries) const;

private:
    ProgressClock m_clock;
    double m_lastReport = 0;
    double m_readStart = -1;
    std::int64_t m_toRead = 0;
    bool m_allQueued = false;
    std::atomic<std::int64_t> m_read{0};
};

}  // namespace qv
