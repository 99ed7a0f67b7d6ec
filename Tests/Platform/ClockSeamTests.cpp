// The seam's controllable clock: frozen readings, exact steps, a failing counter,
// and the OS clock back on release.
#include <gtest/gtest.h>

#include "Common/Platform/PlatformSeam.h"

using namespace ZRPlatform;

namespace
{
constexpr std::int64_t kMicrosPerSecond = 1000000;

// Frozen microseconds as counter ticks at the counter's own rate, cut.
std::int64_t Ticks(std::int64_t micros)
{
    const std::int64_t rate = ClockFrequency();
    return micros / kMicrosPerSecond * rate + micros % kMicrosPerSecond * rate / kMicrosPerSecond;
}

struct ClockSeam : ::testing::Test
{
    void TearDown() override
    {
        Seam::ClockRelease();
        Seam::ClockCounterFails(false);
    }
};
} // namespace

TEST_F(ClockSeam, FrozenClocksMoveOnlyByExactStepsAndAFailingCounterReadsZero)
{
    Seam::ClockFreeze(5000000);   // 5 s, in microseconds
    EXPECT_TRUE(ClockHasCounter());
    EXPECT_GT(ClockFrequency(), 0);
    EXPECT_EQ(ClockCounter(), Ticks(5000000));
    ThreadSleep(2);
    EXPECT_EQ(ClockTickMs(), 5000u) << "frozen";
    Seam::ClockAdvance(1500);
    EXPECT_EQ(ClockCounter(), Ticks(5001500));
    EXPECT_EQ(ClockTickMs(), 5001u) << "whole milliseconds, cut";
    Seam::ClockCounterFails(true);
    EXPECT_FALSE(ClockHasCounter());
    EXPECT_EQ(ClockCounter() + ClockFrequency(), 0);
    Seam::ClockAdvance(500);
    EXPECT_EQ(ClockTickMs(), 5002u) << "the tick clock goes on";
    Seam::ClockCounterFails(false);
    EXPECT_EQ(ClockCounter(), Ticks(5002000));
}

TEST_F(ClockSeam, ReleaseReturnsToTheOsClock)
{
    const std::int64_t before = ClockCounter();
    Seam::ClockFreeze(1);
    EXPECT_EQ(ClockCounter(), Ticks(1));
    Seam::ClockRelease();
    Seam::ClockAdvance(5000000);   // no effect on the free-running clock
    const std::int64_t after = ClockCounter();
    EXPECT_GE(after, before);
    EXPECT_LT(after - before, Ticks(5000000)) << "the step was not applied";
}
