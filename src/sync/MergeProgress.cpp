#include "sync/MergeProgress.h"

#include "base/Messages.h"

#include <cmath>

namespace qv {

namespace {
constexpr double kUpdateInterval = 0.2;
}

bool MergeProgress::SetProgressValue(std::uint64_t bytesCopied, double now) {
    iBytesCopied = bytesCopied;
    // Every fourth report is left out, and the figures change at most five
    // times a second, so that they stay readable.
    if (++iProgressTrans % 4 == 0) return false;
    if (iLastProgUpdateTime >= 0 && now - iLastProgUpdateTime < kUpdateInterval) return false;
    iLastProgUpdateTime = now;
    if (double(bytesCopied) > iTotalCopySize) iTotalCopySize = double(bytesCopied);
    const double elapsed = now - iCopyStartTime;
    m_speed = elapsed > 0 ? double(bytesCopied) / elapsed : 0;
    m_remaining = m_speed > 0 ? (iTotalCopySize - double(bytesCopied)) / m_speed : -1;
    return true;
}

QString MergeProgress::FormattedSpeed(double s) {
    if (s >= 1073741824.0) return QString::asprintf("%.2f GB/s", s / 1073741824.0);
    if (s >= 1048576.0) return QString::asprintf("%.2f MB/s", s / 1048576.0);
    if (s >= 1024.0) return QString::asprintf("%.0f kB/s", s / 1024.0);
    return QString::asprintf("%.0f B/s", s);
}

QString MergeProgress::FormattedTimeRemaining(double seconds) {
    if (seconds < 0) return QStringLiteral("00:00 ") + Messages::text("minStr");
    const auto s = static_cast<long>(std::llround(seconds));
    if (s < 3600) return QString::asprintf("%02ld:%02ld ", s / 60, s % 60) + Messages::text("minStr");
    return QString::asprintf("%ld:%02ld:%02ld ", s / 3600, (s / 60) % 60, s % 60) + Messages::text("hrsStr");
}

}  // namespace qv
