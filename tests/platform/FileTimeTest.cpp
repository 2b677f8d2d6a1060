#include "platform/FileTime.h"

#include <gtest/gtest.h>

#include <vector>

namespace qv::platform {
namespace {

constexpr std::int64_t kYear = 31'556'952;   // seconds in an average Gregorian year

TEST(FileTimeTest, EveryTimeAFileSystemCanStoreKeepsItsSecondsAndItsOrder) {
    struct Moment {
        std::int64_t seconds, nanoseconds;
    };
    // From the far past to the far future, across both edges of the nanosecond stretch.
    const std::vector<Moment> moments = {
        {INT64_MIN / 2, 0},
        {-300 * kYear, 0},                              // 1670: before nanoseconds since 1970 reach
        {-filetime::kExactSeconds - 1, 0},
        {-filetime::kExactSeconds, 0},
        {-filetime::kExactSeconds + 1, 999'999'999},
        {-1, 500'000'000},
        {0, 0},
        {1'600'000'000, 123'456'789},
        {filetime::kExactSeconds - 1, 999'999'999},
        {filetime::kExactSeconds, 0},
        {10'476'907'200, 0},                            // 2302
        {INT64_MAX / 4, 0},
    };
    std::int64_t previous = kNoTime;
    for (const Moment& m : moments) {
        const std::int64_t t = timeFromParts(m.seconds, m.nanoseconds);
        SCOPED_TRACE(m.seconds);
        EXPECT_NE(t, kNoTime);
        EXPECT_GT(t, previous);
        EXPECT_EQ(secondsOf(t), m.seconds);
        const bool exact = m.seconds > -filetime::kExactSeconds && m.seconds < filetime::kExactSeconds;
        EXPECT_EQ(nanosecondsOf(t), exact ? m.nanoseconds : 0);
        previous = t;
    }
}

TEST(FileTimeTest, InsideTheStretchTimesAreNanosecondsSinceTheEpoch) {
    EXPECT_EQ(timeFromParts(1'600'000'000, 5), 1'600'000'000'000'000'005LL);
    EXPECT_EQ(timeFromParts(-2, 500'000'000), -1'500'000'000LL);
    EXPECT_EQ(secondsOf(-1'500'000'000LL), -2);
    EXPECT_EQ(nanosecondsOf(-1'500'000'000LL), 500'000'000);
}

TEST(FileTimeTest, DifferencesAreInSecondsWhereverTheTimesLie) {
    EXPECT_DOUBLE_EQ(secondsBetween(timeFromParts(10, 700'000'000), timeFromParts(10, 100'000'000)), 0.6);
    EXPECT_DOUBLE_EQ(secondsBetween(timeFromSeconds(10'476'907'200), timeFromSeconds(10'476'907'199)), 1.0);
    EXPECT_DOUBLE_EQ(secondsBetween(timeFromSeconds(10'476'907'200), timeFromSeconds(0)), 10'476'907'200.0);
    EXPECT_DOUBLE_EQ(secondsBetween(timeFromSeconds(-300 * kYear), timeFromSeconds(300 * kYear)), -600.0 * kYear);
    // The extremes saturate instead of overflowing, and never read as "no time".
    EXPECT_EQ(timeFromSeconds(INT64_MAX), INT64_MAX);
    EXPECT_EQ(timeFromSeconds(INT64_MIN), INT64_MIN + 1);
    EXPECT_GT(secondsBetween(timeFromSeconds(INT64_MAX), timeFromSeconds(INT64_MIN)), 0.0);
}

}  // namespace
}  // namespace qv::platform
