// CZRProfiler on the seam's frozen clock, so every time is an exact number of
// milliseconds: nesting and own time, counts and depth, smoothing over frames,
// slots, unbalanced samples, names, the current profiler.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "Common/Diagnostics/ZRProfiler.h"
#include "Common/Platform/PlatformSeam.h"

using namespace ZRPlatform;

namespace
{
constexpr std::uint64_t kMs = 1000;                  // microseconds
constexpr std::uint64_t kFrozenAt = 5000000 * kMs;   // 5000 s

struct Profiler : ::testing::Test
{
    void SetUp() override { Seam::ClockFreeze(kFrozenAt); }
    void TearDown() override { Seam::ClockRelease(); }
};

// One step of a frame: begin or end a sample, or let ms pass.
struct Step
{
    char op;
    const char* name;
    int ms;
};
Step B(const char* name) { return {'b', name, 0}; }
Step E(const char* name) { return {'e', name, 0}; }
Step W(int ms) { return {'w', nullptr, ms}; }

void RunFrame(CZRProfiler& profiler, const std::vector<Step>& steps)
{
    profiler.Begin();
    for (const Step& step : steps)
    {
        if (step.op == 'b')
            profiler.SampleBegin(step.name);
        else if (step.op == 'e')
            profiler.SampleEnd(step.name);
        else
            Seam::ClockAdvance(step.ms * kMs);
    }
    profiler.End();
}

// "name average/minimum/maximum absolute-ms xinstances dparents" for slot 0
// upwards until GetSampleData refuses, joined by "; ".
std::string Report(CZRProfiler& profiler)
{
    std::string report;
    CZRProfileData d;
    for (int i = 0; profiler.GetSampleData(i, d); ++i)
    {
        char line[400];
        std::snprintf(line, sizeof(line), "%s%s %.2f/%.2f/%.2f %ldms x%d d%d", i ? "; " : "",
                      d.GetName(), d.GetAverageTimePerFrame(), d.GetMinimumTimePerFrame(),
                      d.GetMaximumTimePerFrame(), std::lround(d.GetAbsoluteTimePerFrame() * 1000),
                      d.GetNumInstances(), d.GetNumParents());
        report += line;
    }
    return report;
}
} // namespace

TEST_F(Profiler, OwnTimeExcludesDirectChildrenAndCountsAndDepthAreReportedAcrossTheClockWrap)
{
    struct Case
    {
        std::vector<Step> frame;
        const char* report;
        std::uint64_t startMs = kFrozenAt / kMs;
    } cases[] = {
        {{W(2), B("Outer"), W(3), B("Inner"), W(4), E("Inner"), W(3), E("Outer"), W(8)},
         "Outer 30.00/30.00/30.00 10ms x1 d0; Inner 20.00/20.00/20.00 4ms x1 d1"},
        // Three entries add up; Begin ignores case, the first spelling stays.
        {{B("Ai"), W(2), E("Ai"), B("AI"), W(3), E("Ai"), W(10), B("ai"), W(5), E("Ai")},
         "Ai 50.00/50.00/50.00 10ms x3 d0"},
        // A grandchild's time counts only for its own parent.
        {{B("Outer"), W(1), B("A"), W(1), B("G"), W(3), E("G"), W(1), E("A"), W(2), B("B"), W(4),
          E("B"), W(3), E("Outer"), W(5)},
         "Outer 30.00/30.00/30.00 15ms x1 d0; A 10.00/10.00/10.00 5ms x1 d1; "
         "G 15.00/15.00/15.00 3ms x1 d2; B 20.00/20.00/20.00 4ms x1 d1"},
        // Equal start times: the later slot is the parent.
        {{B("Outer"), B("Mid"), W(2), B("In"), W(3), E("In"), W(1), E("Mid"), W(4), E("Outer")},
         "Outer 40.00/40.00/40.00 10ms x1 d0; Mid 30.00/30.00/30.00 6ms x1 d1; "
         "In 30.00/30.00/30.00 3ms x1 d2"},
        // 32-bit milliseconds wrap during the frame.
        {{W(2), B("Wrap"), W(10), E("Wrap"), W(8)}, "Wrap 50.00/50.00/50.00 10ms x1 d0", 0x100000000ull - 7},
    };
    for (const Case& c : cases)
    {
        Seam::ClockFreeze(c.startMs * kMs);
        CZRProfiler profiler;
        RunFrame(profiler, c.frame);
        EXPECT_EQ(Report(profiler), c.report);
    }
}

TEST_F(Profiler, HistoryIsSmoothedWithAWeightThatGrowsWithTheFrameTime)
{
    // A 500 ms frame weighs 0.4 against 0.6 for the history; 1250 ms and more
    // weigh 1. History belongs to the slot, whatever the name.
    struct Frame
    {
        const char* name;
        int ownMs, frameMs;
        const char* report;
    } frames[] = {
        {"Draw", 100, 500, "Draw 20.00/20.00/20.00 100ms x1 d0"},
        {"Draw", 250, 500, "Draw 32.00/32.00/50.00 250ms x1 d0"},   // a new maximum as it is
        {"Draw", 50, 500, "Draw 23.20/10.00/34.00 50ms x1 d0"},     // a new minimum as it is
        {"Other", 400, 2000, "Other 20.00/20.00/20.00 400ms x1 d0"},
        {"Other", 125, 1250, "Other 10.00/10.00/10.00 125ms x1 d0"},
    };
    CZRProfiler profiler;
    for (const Frame& f : frames)
    {
        RunFrame(profiler, {B(f.name), W(f.ownMs), E(f.name), W(f.frameMs - f.ownMs)});
        EXPECT_EQ(Report(profiler), f.report);
    }
    // Without End the frame ends at 0, 1.25 s before it starts: -51.2 percent at
    // weight -1, so 10 * 2 + -51.2 * -1; the minimum stops at 0.
    profiler.Begin();
    profiler.SampleBegin("Other");
    Seam::ClockAdvance(640 * kMs);
    profiler.SampleEnd("Other");
    EXPECT_EQ(Report(profiler), "Other 71.20/0.00/71.20 640ms x1 d0");
}

TEST_F(Profiler, SlotsRunOutAndUnbalancedSamplesReportNothing)
{
    CZRProfiler profiler(3);
    EXPECT_EQ(profiler.GetNumSamples(), 3);
    RunFrame(profiler, {B("Physics"), W(1), E("physics"), B("Open"), B("Twice"), E("Twice"),
                        E("Twice"), B("NoRoom"), W(1), E("NoRoom"), E("Unknown"), E(nullptr),
                        B(nullptr)});
    CZRProfileData data;
    for (int i = -1; i <= 3; ++i)
        EXPECT_FALSE(profiler.GetSampleData(i, data)) << i;

    const std::string longName(300, 'n');
    const std::string otherTail = longName.substr(0, 255) + "tail";
    RunFrame(profiler, {B(longName.c_str()), W(1), E(otherTail.c_str()), B(otherTail.c_str()),
                        E(longName.c_str())});
    EXPECT_EQ(Report(profiler), longName.substr(0, 255) + " 100.00/100.00/100.00 1ms x2 d0")
        << "Begin frees every slot; a name is known by its first 255 bytes";

    CZRProfiler none(-1);
    RunFrame(none, {B("A"), E("A")});
    EXPECT_EQ(none.GetNumSamples(), 0);
    EXPECT_EQ(Report(none), "");
}

TEST_F(Profiler, TheLatestConstructedProfilerIsCurrentUntilAnyIsDestroyed)
{
    CZRProfiler first;
    {
        CZRProfiler second(1);
        RunFrame(second, {B("A"), W(1), E("A"), W(1)});
        const CZRProfiler copy(second);
        EXPECT_EQ(ZRGetProfiler(), &second) << "a copy does not become current";
        first = copy;
        EXPECT_EQ(Report(first), "A 50.00/50.00/50.00 1ms x1 d0");
    }
    EXPECT_EQ(ZRGetProfiler(), nullptr);
}
