// The seam's controllable clock: frozen readings, exact steps, a failing counter,
// and the OS clock back on release.
#include <gtest/gtest.h>

#include "Common/Platform/PlatformSeam.h"

using namespace ZRPlatform;

namespace
{
constexpr std::int64_t kNanosPerSecond = 1000000000;

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
    EXPECT_EQ(ClockFrequency(), kNanosPerSecond);
    EXPECT_EQ(ClockCounter(), 5 * kNanosPerSecond);
    ThreadSleep(2);
    EXPECT_EQ(ClockTickMs(), 5000u) << "frozen";
    Seam::ClockAdvance(1500);
    EXPECT_EQ(ClockCounter(), 5 * kNanosPerSecond + 1500000);
    EXPECT_EQ(ClockTickMs(), 5001u) << "whole milliseconds, cut";
    Seam::ClockCounterFails(true);
    EXPECT_FALSE(ClockHasCounter());
    EXPECT_EQ(ClockCounter() + ClockFrequency(), 0);
    Seam::ClockAdvance(500);
    EXPECT_EQ(ClockTickMs(), 5002u) << "the tick clock goes on";
    Seam::ClockCounterFails(false);
    EXPECT_EQ(ClockCounter(), 5 * kNanosPerSecond + 2000000);
}

TEST_F(ClockSeam, ReleaseReturnsToTheOsClock)
{
    const std::int64_t before = ClockCounter();
    Seam::ClockFreeze(1);
    EXPECT_EQ(ClockCounter(), 1000);
    Seam::ClockRelease();
    Seam::ClockAdvance(5000000);   // no effect on the free-running clock
    const std::int64_t after = ClockCounter();
    EXPECT_GE(after, before);
    EXPECT_LT(after - before, 5 * kNanosPerSecond) << "the step was not applied";
}
