#pragma once
// File times in one signed 64-bit number, as the tree and the listings keep them.
//
// Nanoseconds since the epoch reach only from 1677 to 2262, yet a file may
// carry any time its file system can store (a damaged or hostile one, a
// year 2302). So the number is nanoseconds since the epoch for the years
// 1824 to 2116, and beyond that whole seconds, counted on from the edge of
// that stretch: the order of times is kept everywhere, and every time the
// file system can give is kept to the second (to the nanosecond inside the
// stretch). Arithmetic on two such numbers is done here, never directly.

#include <cstdint>

namespace qv::platform {

constexpr std::int64_t kNoTime = INT64_MIN;

namespace filetime {

constexpr std::int64_t kNsPerSecond = 1'000'000'000;
// Seconds on either side of the epoch kept to the nanosecond (about 146 years).
constexpr std::int64_t kExactSeconds = (std::int64_t{1} << 62) / kNsPerSecond;
constexpr std::int64_t kEdge = kExactSeconds * kNsPerSecond;

constexpr std::int64_t floorDiv(std::int64_t a, std::int64_t b) {
    const std::int64_t q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

}  // namespace filetime

// The number for `seconds` and `nanoseconds` (0 to 999,999,999) since the epoch.
constexpr std::int64_t timeFromParts(std::int64_t seconds, std::int64_t nanoseconds) {
    using namespace filetime;
    if (seconds > -kExactSeconds && seconds < kExactSeconds) return seconds * kNsPerSecond + nanoseconds;
    if (seconds >= kExactSeconds)
        return seconds - kExactSeconds >= INT64_MAX - kEdge ? INT64_MAX : kEdge + (seconds - kExactSeconds);
    // Far in the past: kept from kNoTime, which means "no time".
    return seconds + kExactSeconds <= INT64_MIN + 1 + kEdge ? INT64_MIN + 1 : -kEdge + (seconds + kExactSeconds);
}

constexpr std::int64_t timeFromSeconds(std::int64_t seconds) { return timeFromParts(seconds, 0); }

// The whole seconds since the epoch (toward the past) of a time.
constexpr std::int64_t secondsOf(std::int64_t time) {
    using namespace filetime;
    if (time >= kEdge) return kExactSeconds + (time - kEdge);
    if (time <= -kEdge) return -kExactSeconds + (time + kEdge);
    return floorDiv(time, kNsPerSecond);
}

// The nanoseconds past secondsOf(time): 0 for times kept to the second.
constexpr std::int64_t nanosecondsOf(std::int64_t time) {
    using namespace filetime;
    if (time >= kEdge || time <= -kEdge) return 0;
    return time - floorDiv(time, kNsPerSecond) * kNsPerSecond;
}

// a - b in seconds (taken apart first: two far times would overflow a difference of whole seconds).
constexpr double secondsBetween(std::int64_t a, std::int64_t b) {
    return (static_cast<double>(secondsOf(a)) - static_cast<double>(secondsOf(b))) +
           static_cast<double>(nanosecondsOf(a) - nanosecondsOf(b)) / 1e9;
}

}  // namespace qv::platform
