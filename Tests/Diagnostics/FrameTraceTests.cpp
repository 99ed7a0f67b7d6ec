// The profiler's frame trace on the seam's frozen clock: the JSON parsed back by
// Python's json module, with names, nesting, frames and exact durations; the
// ring keeping the last frames and sections; the bounds of Start.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "Common/Diagnostics/ZRProfiler.h"
#include "Common/Platform/PlatformSeam.h"

namespace Seam = ZRPlatform::Seam;
namespace fs = std::filesystem;

namespace
{
constexpr std::uint64_t kMs = 1000;   // microseconds

// Python prints one line per event: name (as ascii), ts, dur, depth, frame,
// and whether pid, tid, ph and cat are as they must be.
const char* const kSummary = R"(import json, sys
trace = json.load(open(sys.argv[1], encoding="ascii"))
assert trace["displayTimeUnit"] == "ms"
for e in trace["traceEvents"]:
    ok = e["ph"] == "X" and e["cat"] == "frame" and e["pid"] == int(sys.argv[2]) and e["tid"] > 0
    print(ascii(e["name"]), e["ts"], e["dur"], e["args"]["depth"], e["args"]["frame"], ok)
)";

class FrameTrace : public ::testing::Test
{
protected:
    void SetUp() override
    {
#if defined(_WIN32)
        if (std::system("python3 -c \"\" 2> NUL") != 0)
            GTEST_SKIP() << "no Python for Windows here to read the trace";
#endif
        Seam::ClockFreeze(1000000 * kMs);
        m_dir = fs::temp_directory_path() / ("zrtrace-" + std::to_string(getpid()));
        fs::create_directories(m_dir);
        std::ofstream(m_dir / "summary.py") << kSummary;
    }
    void TearDown() override
    {
        Seam::ClockRelease();
        fs::remove_all(m_dir);
    }

    // What Python reads in the trace the profiler writes.
    std::string Parsed(const CZRProfiler& profiler)
    {
        const fs::path trace = m_dir / "trace.json", out = m_dir / "out.txt";
        EXPECT_TRUE(profiler.WriteTrace(trace.string().c_str()));
        const std::string command = "python3 " + (m_dir / "summary.py").string() + " " + trace.string() + " " +
                                    std::to_string(getpid()) + " > " + out.string();
        EXPECT_EQ(std::system(command.c_str()), 0) << command;
        std::stringstream text;
        text << std::ifstream(out).rdbuf();
        return text.str();
    }

    fs::path m_dir;
};

void Section(CZRProfiler& profiler, const char* name, int ms)
{
    profiler.SampleBegin(name);
    Seam::ClockAdvance(ms * kMs);
    profiler.SampleEnd(name);
}
} // namespace

TEST_F(FrameTrace, KeepsTheLastFramesWithNestingAndExactTimes)
{
    CZRProfiler profiler(2);
    ASSERT_TRUE(profiler.StartTrace(2));
    profiler.Begin();
    Section(profiler, "Gone", 1);   // three frames back by the end
    profiler.Begin();
    profiler.SampleBegin("Update");
    Seam::ClockAdvance(3 * kMs);
    Section(profiler, "Physics", 2);
    Section(profiler, "AI", 1);     // no slot left: traced all the same
    profiler.SampleEnd("update");   // not the same spelling: ignored
    Seam::ClockAdvance(1 * kMs);
    profiler.SampleEnd("Update");
    profiler.Begin();
    Section(profiler, "q\"\\\x01\xE9", 4);
    profiler.SampleBegin("Open");   // still open: left out
    // Ordered by begin; frames count from the Start (frame 0) up.
    EXPECT_EQ(Parsed(profiler), "'Update' 1000.0 7000.0 0 2 True\n"
                                "'Physics' 4000.0 2000.0 1 2 True\n"
                                "'AI' 6000.0 1000.0 1 2 True\n"
                                "'q\"\\\\\\x01\\xe9' 8000.0 4000.0 0 3 True\n");
}

TEST_F(FrameTrace, TheRingKeepsTheLatestSectionsAndStartChecksItsBounds)
{
    CZRProfiler profiler;
    EXPECT_FALSE(profiler.IsTracing());
    EXPECT_EQ(profiler.GetTrace().ToJson(), "{\"traceEvents\":[],\"displayTimeUnit\":\"ms\"}\n");
    for (auto bounds : {std::make_pair(0, 1), std::make_pair(1, 0), std::make_pair(1001, 1),
                        std::make_pair(1, 4097), std::make_pair(1000, 66)})
        EXPECT_FALSE(profiler.StartTrace(bounds.first, bounds.second)) << bounds.first << " " << bounds.second;
    EXPECT_FALSE(profiler.IsTracing());

    ASSERT_TRUE(profiler.StartTrace(1, 3));
    profiler.Begin();
    for (const char* name : {"a", "b", "c", "d", "e"})
        Section(profiler, name, 1);
    EXPECT_EQ(Parsed(profiler), "'c' 2000.0 1000.0 0 1 True\n"
                                "'d' 3000.0 1000.0 0 1 True\n"
                                "'e' 4000.0 1000.0 0 1 True\n");
    profiler.StopTrace();
    EXPECT_FALSE(profiler.IsTracing());
}
