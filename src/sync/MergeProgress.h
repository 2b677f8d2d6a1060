#pragma once
// The progress of an execution as the user sees it: bytes done against the
// weighted amount of work, the copying speed and the time remaining,
// recomputed at most five times a second.

#include <QString>

#include <cstdint>

namespace qv {

class MergeProgress {
public:
    // `totalWork` is the weighted amount of work (bytes to copy, plus a fixed
    // weight per delete); `startSeconds` the monotonic time the run started.
    MergeProgress(double totalWork, double startSeconds) : iTotalCopySize(totalWork), iCopyStartTime(startSeconds) {}

    // Takes a report of the bytes done. Returns true when the speed and the
    // time remaining were recomputed.
    bool SetProgressValue(std::uint64_t bytesCopied, double nowSeconds);
    // Time spent waiting for the user does not count against the speed.
    void addPause(double seconds) { iCopyStartTime += seconds; }

    std::uint64_t bytesCopied() const { return iBytesCopied; }
    double fraction() const { return iTotalCopySize > 0 ? double(iBytesCopied) / iTotalCopySize : 0.0; }
    double speed() const { return m_speed; }            // bytes per second
    double remaining() const { return m_remaining; }    // seconds, -1 when unknown
    double total() const { return iTotalCopySize; }

    static QString FormattedSpeed(double bytesPerSecond);
    static QString FormattedTimeRemaining(double seconds);

private:
    std::uint64_t iBytesCopied = 0;
    double iTotalCopySize;
    double iCopyStartTime;
    std::uint32_t iProgressTrans = 0;
    double iLastProgUpdateTime = -1;
    double m_speed = 0;
    double m_remaining = -1;
};

}  // namespace qv
