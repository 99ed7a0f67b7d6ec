// The cost of a profiler sample (SampleBegin + SampleEnd, nested two deep as a
// game's would be) with the frame trace off and on. Recording must cost no
// more than twice the sample without it.
#include <benchmark/benchmark.h>

#include "Common/Diagnostics/ZRProfiler.h"

namespace
{
constexpr int kSamplesPerFrame = 64;
const char* const kNames[] = {"Update", "Physics", "AI", "Pathfinding", "Render", "Shadows", "Audio", "Net"};

void BM_ProfilerSample(benchmark::State& state, bool trace)
{
    CZRProfiler profiler(16);
    if (trace && !profiler.StartTrace(30, kSamplesPerFrame))
    {
        state.SkipWithError("no high-resolution counter");
        return;
    }
    int n = 0;
    for (auto _ : state)
    {
        if (n % kSamplesPerFrame == 0)
            profiler.Begin();
        const char* outer = kNames[n % 4];
        const char* inner = kNames[4 + n % 4];
        profiler.SampleBegin(outer);
        profiler.SampleBegin(inner);
        profiler.SampleEnd(inner);
        profiler.SampleEnd(outer);
        n += 2;
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * 2);
}
} // namespace

BENCHMARK_CAPTURE(BM_ProfilerSample, off, false);
BENCHMARK_CAPTURE(BM_ProfilerSample, on, true);

BENCHMARK_MAIN();
