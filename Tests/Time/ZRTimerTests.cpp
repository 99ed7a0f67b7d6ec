// CZRTimer and CTimer on the seam's frozen clock, so every reading is exact:
// channels and names, pause and set times, frame time and rate, the millisecond
// source, 32-bit millisecond results, the current timer; time events on the
// library's timer thread.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "Common/Platform/PlatformSeam.h"
#include "Common/Time/ZRSemaphore.h"
#include "Common/Time/ZRTimer.h"
#include "Time/SyncTestSupport.h"

using namespace ZRPlatform;

namespace
{
constexpr std::uint64_t kFrozenAt = 5000000000;   // 5000 s, in microseconds
constexpr std::uint64_t kMs = 1000;               // microseconds
constexpr std::uint64_t kSecond = 1000 * kMs;

struct Timer : ::testing::Test
{
    void SetUp() override { Seam::ClockFreeze(kFrozenAt); }
    void TearDown() override
    {
        Seam::ClockRelease();
        Seam::ClockCounterFails(false);
    }
    static void Advance(std::uint64_t microseconds) { Seam::ClockAdvance(microseconds); }
};

// A running channel 0 named "Game".
struct Running
{
    CZRTimer timer;
    Running()
    {
        timer.DefineChannel(0, "Game");
        timer.Start(0);
    }
};
} // namespace

TEST_F(Timer, ChannelsAreDefinedOnceAndFoundByNameRegardlessOfCase)
{
    CZRTimer timer;
    EXPECT_EQ(timer.GetNumChannels(), 4);
    EXPECT_FALSE(timer.DefineChannel(4, "x") || timer.DefineChannel(-1, "x"));
    EXPECT_FALSE(timer.UndefineChannel(4) || timer.UndefineChannel(-1));
    EXPECT_TRUE(timer.DefineChannel(1, "Physics") && timer.DefineChannel(3, "physics"));
    EXPECT_FALSE(timer.DefineChannel(1, "Other"));
    EXPECT_STREQ(timer.GetChannelName(1), "Physics");
    EXPECT_EQ(timer.GetChannelByName("PHYSICS"), 1) << "the lowest match";
    EXPECT_TRUE(timer.UndefineChannel(1) && timer.UndefineChannel(1));
    EXPECT_STREQ(timer.GetChannelName(1), "");
    EXPECT_EQ(timer.GetChannelByName("physics"), 3);
    EXPECT_TRUE(timer.UndefineChannel(3));
    EXPECT_EQ(timer.GetChannelByName("Physics"), -1) << "an undefined channel's name is gone";
    EXPECT_EQ(timer.GetChannelByName(""), -1);

    EXPECT_TRUE(timer.DefineChannel(2, "Idle"));
    Advance(kSecond);
    timer.Update(2);
    EXPECT_EQ(timer.GetTime(2), 0.0);
    EXPECT_EQ(timer.GetFrameTime(2), 0.0);
    EXPECT_EQ(timer.GetFPS(2), 0.0);
    EXPECT_TRUE(timer.IsDefined(2) && !timer.IsDefinedAndRunning(2));
}

TEST_F(Timer, PauseHoldsTheTimeAndContinueGoesOnFromIt)
{
    Running r;
    Advance(kSecond);
    r.timer.Pause(0);
    Advance(2 * kSecond);
    EXPECT_EQ(r.timer.GetTime(0), 1.0);
    r.timer.Pause(0);   // must not move the pause reference
    Advance(kSecond);
    r.timer.Continue(0);
    EXPECT_FALSE(r.timer.IsPaused(0));
    Advance(kSecond / 2);
    EXPECT_EQ(r.timer.GetTime(0), 1.5) << "4.5 s since Start, 3 s of them paused";
    r.timer.Stop(0);
    EXPECT_EQ(r.timer.GetTime(0), 0.0);
    r.timer.Start(0);
    Advance(kSecond / 4);
    EXPECT_EQ(r.timer.GetTime(0), 0.25) << "Start after Stop begins again at 0";
}

TEST_F(Timer, SetTimeAndResetTakeEffectAtOnceAlsoWhilePaused)
{
    Running r;
    Advance(3 * kSecond);
    r.timer.SetTime(0, 10.0);
    EXPECT_EQ(r.timer.GetTime(0), 10.0);
    Advance(250 * kMs);
    EXPECT_EQ(r.timer.GetTime(0), 10.25);
    EXPECT_EQ(r.timer.GetTimeInMs(0), 10250u);

    r.timer.Pause(0);
    Advance(kSecond);
    r.timer.SetTime(0, 3.0);
    EXPECT_EQ(r.timer.GetTime(0), 3.0);
    Advance(kSecond);
    EXPECT_EQ(r.timer.GetTime(0), 3.0);
    r.timer.Continue(0);
    Advance(kSecond / 2);
    EXPECT_EQ(r.timer.GetTime(0), 3.5);
    r.timer.Pause(0);
    Advance(kSecond);
    r.timer.Reset(0);
    EXPECT_EQ(r.timer.GetTime(0), 0.0);
    Advance(kSecond);
    EXPECT_EQ(r.timer.GetTime(0), 0.0);
    r.timer.Continue(0);
    Advance(kSecond / 8);
    EXPECT_EQ(r.timer.GetTime(0), 0.125);
}

TEST_F(Timer, UpdatesFreezeTheFrameTimeAndGiveTheRateOfTheLastFrame)
{
    Running r;
    r.timer.DefineChannel(1, "Stopped");
    r.timer.DefineChannel(2, "Menu");
    r.timer.Start(2);
    r.timer.EnableFrameTime(0);
    r.timer.UpdateAll();
    Advance(20 * kMs);
    r.timer.UpdateAll();
    EXPECT_DOUBLE_EQ(r.timer.GetFPS(0), 50.0);
    EXPECT_DOUBLE_EQ(r.timer.GetFPS(2), 50.0);
    EXPECT_EQ(r.timer.GetFPS(1), 0.0);
    Advance(5 * kMs);
    EXPECT_EQ(r.timer.GetFrameTime(0), 0.02) << "frozen between updates";
    EXPECT_EQ(r.timer.GetTime(0), 0.025);
    EXPECT_EQ(r.timer.GetFrameTime(2), 0.025) << "frame time not enabled: live";
    r.timer.Update(0);
    r.timer.Update(0);
    EXPECT_EQ(r.timer.GetFPS(0), 0.0) << "no time between the updates";
    r.timer.SetTime(0, 7.5);
    EXPECT_EQ(r.timer.GetFrameTime(0), 7.5);
    r.timer.Update(0);
    r.timer.SetTime(0, 1.0);
    r.timer.Update(0);
    EXPECT_EQ(r.timer.GetFPS(0), 0.0) << "time went back";
}

TEST_F(Timer, WithoutACounterTimeMovesInWholeMilliseconds)
{
    Seam::ClockCounterFails(true);
    Running r;
    EXPECT_EQ(r.timer.GetTimeDirect(), 5000.0);
    Advance(1500);
    EXPECT_EQ(r.timer.GetTime(0), 0.001);
    Advance(500);
    EXPECT_EQ(r.timer.GetTime(0), 0.002);
    Seam::ClockCounterFails(false);
    Running highResolution;
    Advance(1500);
    EXPECT_EQ(highResolution.timer.GetTime(0), 0.0015);
}

TEST_F(Timer, MillisecondResultsAreCutTo32Bits)
{
    Running r;
    r.timer.SetTime(0, 4294968.5);   // 2^32 ms + 1204 ms
    EXPECT_EQ(r.timer.GetTimeInMs(0), 1204u);
    r.timer.SetTime(0, -0.001);
    EXPECT_EQ(r.timer.GetTimeInMs(0), 0xFFFFFFFFu);
    Seam::ClockFreeze((0x100000000ull + 704) * kMs);   // 4294968 s
    EXPECT_EQ(r.timer.GetTimeInMsDirect(), 704u);
}

TEST_F(Timer, TheCurrentTimerIsTheLastConstructedAndGoneWithAnyTimer)
{
    EXPECT_EQ(ZRGetTimer(), nullptr);
    {
        Running r;
        EXPECT_EQ(ZRGetTimer(), &r.timer);
        Advance(kSecond);
        EXPECT_EQ(CTimer::GetCurTime(), 1.0);
        EXPECT_EQ(CTimer::GetCurTimeInMs(), 1000u);
        {
            CZRTimer copy(r.timer);
            EXPECT_EQ(ZRGetTimer(), &r.timer) << "a copy does not become current";
            EXPECT_STREQ(copy.GetChannelName(0), "Game");
            EXPECT_EQ(copy.GetTime(0), 1.0);
            copy.Stop(0);
            EXPECT_TRUE(r.timer.IsRunning(0));
        }
        EXPECT_EQ(ZRGetTimer(), nullptr) << "the copy's destructor cleared it";
        CZRTimer second;
        EXPECT_EQ(ZRGetTimer(), &second);
    }
    EXPECT_EQ(ZRGetTimer(), nullptr);
    EXPECT_EQ(CTimer::GetCurTime(), 0.0);
    EXPECT_EQ(CTimer::GetCurTimeInMs(), 0u);
}

TEST(TimerRealClock, ARunningChannelFollowsTheClock)
{
    Running r;
    const auto before = SyncTest::Clock::now();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const double elapsed = r.timer.GetTime(0);
    const std::chrono::duration<double> outside = SyncTest::Clock::now() - before;
    EXPECT_GE(elapsed, 0.02);
    EXPECT_LE(elapsed, outside.count() + 0.001);
}
