// CZRTimer and CTimer on the seam's frozen clock, so every reading is exact:
// channels and names, pause and set times, frame time and rate, the millisecond
// source, 32-bit millisecond results, the current timer.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "Common/Platform/PlatformSeam.h"
#include "Common/Time/ZRTimer.h"

using namespace ZRPlatform;

namespace
{
constexpr std::uint64_t kFrozenAt = 5000000000;   // 5000 s, in microseconds

struct Timer : ::testing::Test
{
    void SetUp() override { Seam::ClockFreeze(kFrozenAt); }
    void TearDown() override
    {
        Seam::ClockRelease();
        Seam::ClockCounterFails(false);
    }
};

// A running channel 0 named "Game".
struct Running
{
    CZRTimer timer;
    Running() { timer.DefineChannel(0, "Game"), timer.Start(0); }
};

// Plays steps on channel 0 of a new running timer: +x lets x seconds pass;
// P, C, S, s, R, F and U pause, continue, stop, start, reset, enable frame time
// and update; Tx sets the time to x. =x, fx and rx expect the time, frame time
// and rate x, mN the time in milliseconds N.
void Play(const char* steps)
{
    Running r;
    CZRTimer& t = r.timer;
    std::istringstream in(steps);
    for (std::string step; in >> step;)
    {
        const double x = step.size() > 1 ? std::stod(step.substr(1)) : 0.0;
        switch (step[0])
        {
        case '+': Seam::ClockAdvance(static_cast<std::uint64_t>(x * 1000000 + 0.5)); break;
        case 'P': t.Pause(0); break;
        case 'C': t.Continue(0); break;
        case 'S': t.Stop(0); break;
        case 's': t.Start(0); break;
        case 'R': t.Reset(0); break;
        case 'F': t.EnableFrameTime(0); break;
        case 'U': t.Update(0); break;
        case 'T': t.SetTime(0, x); break;
        case '=': EXPECT_EQ(t.GetTime(0), x) << step << " in " << steps; break;
        case 'f': EXPECT_EQ(t.GetFrameTime(0), x) << step << " in " << steps; break;
        case 'r': EXPECT_DOUBLE_EQ(t.GetFPS(0), x) << step << " in " << steps; break;
        case 'm': EXPECT_EQ(t.GetTimeInMs(0), static_cast<unsigned long>(x)) << step << " in " << steps; break;
        default: ADD_FAILURE() << "no step " << step;
        }
    }
}
} // namespace

TEST_F(Timer, ChannelTimesFollowPauseSetTimeResetAndUpdates)
{
    // A second Pause keeps the time of the first; without frame time the frame
    // time is live; Start after Stop begins again at 0.
    Play("+1 P +2 =1 f1 P +1 C +0.5 =1.5 S =0 f0 s +0.0015 =0.0015");
    // Set times and resets take effect at once, also while paused.
    Play("+3 T10 =10 +0.25 =10.25 m10250 P +1 T3 =3 +1 =3 C +0.5 =3.5 P +1 R =0 +1 =0 C +0.125 =0.125");
    // The frame time is frozen between updates; the rate is that of the last
    // frame, 0 when no time or negative time passed.
    Play("F U +0.02 U r50 +0.005 f0.02 =0.025 U U r0 T7.5 f7.5 U T1 U r0");
    // Milliseconds are cut to 32 bits: 2^32 ms + 1204 ms, and -1 ms.
    Play("T4294968.5 m1204 T-0.001 m4294967295");
    // Without a counter the time source is the millisecond clock.
    Seam::ClockFreeze(kFrozenAt);
    Seam::ClockCounterFails(true);
    Play("+0.0015 =0.001 +0.0005 =0.002");
}

TEST_F(Timer, ChannelsAreDefinedOnceFoundByNameAndUpdatedTogether)
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

    // UpdateAll updates the defined and running channels only.
    EXPECT_TRUE(timer.DefineChannel(0, "Game") && timer.DefineChannel(1, "Menu") && timer.DefineChannel(2, "Idle"));
    timer.Start(0), timer.Start(1), timer.Start(3);
    timer.UpdateAll();
    Seam::ClockAdvance(20000);
    timer.UpdateAll();
    EXPECT_DOUBLE_EQ(timer.GetFPS(0) + timer.GetFPS(1), 100.0);
    EXPECT_EQ(timer.GetFPS(2) + timer.GetFPS(3), 0.0);
    EXPECT_EQ(timer.GetTime(2) + timer.GetFrameTime(2) + timer.GetTime(3), 0.0);
    EXPECT_TRUE(timer.IsDefined(2) && !timer.IsDefinedAndRunning(2) && !timer.IsDefinedAndRunning(3));
}

TEST_F(Timer, TheCurrentTimerIsTheLastConstructedAndGoneWithAnyTimer)
{
    EXPECT_EQ(ZRGetTimer(), nullptr);
    {
        Running r;
        EXPECT_EQ(ZRGetTimer(), &r.timer);
        Seam::ClockAdvance(1000000);
        EXPECT_EQ(CTimer::GetCurTime(), 1.0);
        EXPECT_EQ(CTimer::GetCurTimeInMs(), 1000u);
        EXPECT_EQ(r.timer.GetTimeDirect(), 5001.0);
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
        Seam::ClockFreeze((0x100000000ull + 704) * 1000);   // 2^32 ms + 704 ms
        EXPECT_EQ(second.GetTimeInMsDirect(), 704u);
    }
    EXPECT_EQ(ZRGetTimer(), nullptr);
    EXPECT_EQ(CTimer::GetCurTime() + CTimer::GetCurTimeInMs(), 0.0);
}
