// zrdemo, step 5: a game loop of a number of frames. Each frame runs nested
// profiler samples around a small deterministic computation, streams a share
// of the level in under the load guard, and is paced to a fixed length so
// that the profiler's millisecond clock sees plausible shares.
#include <chrono>
#include <cstdio>
#include <thread>

#include "Common/Core/ZRException.h"
#include "Common/Diagnostics/ZRLoadGuard.h"
#include "Common/Diagnostics/ZRLoadGuardWatch.h"
#include "Common/Diagnostics/ZRProfiler.h"
#include "Common/Time/ZRTimer.h"
#include "Loader.h"
#include "Zrdemo.h"

namespace
{
constexpr double kFrameSeconds = 0.010;
constexpr int kMaxSamples = 16;
constexpr int kQuarters = 4;

// Hears the load guard; prints each quarter of progress reached.
class CProgressWatch : public IZRLoadGuardWatch
{
public:
    CProgressWatch(CZRLoadGuard& guard, bool print) : m_guard(guard), m_print(print)
    {
        m_guard.RegisterWatch(this);
    }
    ~CProgressWatch() { m_guard.UnregisterWatch(this); }
    CProgressWatch(const CProgressWatch&) = delete;
    CProgressWatch& operator=(const CProgressWatch&) = delete;

    void OnBeginLoading() override { m_shownQuarter = 0; }
    void OnLoadProgress(float progress, const char* component) override
    {
        ++m_moves;
        m_progress = progress;
        m_component = component;
        const int quarter = static_cast<int>(progress * kQuarters + 1e-4f);
        if (m_print && quarter > m_shownQuarter)
            std::printf("      loading %3d%% %s\n", quarter * 100 / kQuarters,
                        Printable(component).c_str());
        m_shownQuarter = quarter > m_shownQuarter ? quarter : m_shownQuarter;
    }
    void OnEndLoading() override {}

    int m_moves = 0;
    float m_progress = 0;
    std::string m_component;

private:
    CZRLoadGuard& m_guard;
    bool m_print;
    int m_shownQuarter = 0;
};

class CSample
{
public:
    CSample(CZRProfiler& profiler, const char* name) : m_profiler(profiler), m_name(name)
    {
        m_profiler.SampleBegin(m_name);
    }
    ~CSample() { m_profiler.SampleEnd(m_name); }
    CSample(const CSample&) = delete;
    CSample& operator=(const CSample&) = delete;

private:
    CZRProfiler& m_profiler;
    const char* m_name;
};

// Simulated work: a chain of multiply-and-shift steps the compiler cannot skip.
unsigned Work(unsigned state, int rounds)
{
    for (int i = 0; i < rounds; ++i)
        state = (state ^ (state >> 13)) * 2654435761u + static_cast<unsigned>(i);
    return state;
}

unsigned SimulateFrame(CZRProfiler& profiler, CStreamingLoader& loader, unsigned state)
{
    {
        CSample update(profiler, "Update");
        {
            CSample physics(profiler, "Physics");
            state = Work(state, 900000);
        }
        CSample ai(profiler, "AI");
        state = Work(state, 300000);
        CSample path(profiler, "Pathfinding");
        state = Work(state, 600000);
    }
    {
        CSample loading(profiler, "Loading"); // every frame, so slots keep their order
        loader.Step();
    }
    CSample render(profiler, "Render");
    state = Work(state, 750000);
    CSample shadows(profiler, "Shadows");
    return Work(state, 450000);
}

void WaitForFrameEnd(const CZRTimer& timer, double frameStart)
{
    const double left = kFrameSeconds - (timer.GetTime(0) - frameStart);
    if (left > 0)
        std::this_thread::sleep_for(std::chrono::duration<double>(left));
}

std::vector<sSampleRow> ReadSamples(CZRProfiler& profiler)
{
    std::vector<sSampleRow> rows;
    CZRProfileData data;
    for (int i = 0; i < profiler.GetNumSamples(); ++i)
        if (profiler.GetSampleData(i, data))
            rows.push_back({data.GetName(), data.GetAverageTimePerFrame(),
                            data.GetMinimumTimePerFrame(), data.GetMaximumTimePerFrame(),
                            data.GetAbsoluteTimePerFrame(), data.GetNumInstances(),
                            data.GetNumParents()});
    return rows;
}
} // namespace

sFrameReport RunFrames(const sDemoOptions& options)
{
    CZRLoadGuard& guard = *CZRLoadGuard::Instance();
    CProgressWatch watch(guard, !options.quiet);
    CStreamingLoader loader(guard);
    CZRProfiler profiler(kMaxSamples);
    const bool tracing = profiler.StartTrace(kTraceFrames);   // false only without a counter
    CZRTimer timer;
    timer.DefineChannel(0, "frames");
    timer.Start(0);
    sFrameReport report;
    unsigned state = 1;
    for (; report.frames < options.frames; ++report.frames)
    {
        const double frameStart = timer.GetTime(0);
        profiler.Begin();
        state = SimulateFrame(profiler, loader, state);
        WaitForFrameEnd(timer, frameStart);
        profiler.End();
        report.samples = ReadSamples(profiler);
    }
    report.seconds = timer.GetTime(0);
    if (tracing && !profiler.WriteTrace(kTraceFile))
        ThrowStep(kStepFrames, kTraceFile, "cannot write the trace" + CauseSuffix());
    report.progress = guard.GetProgress();
    report.component = watch.m_component;
    report.progressMoves = watch.m_moves;
    report.recordsLoaded = loader.GetRecordsLoaded();
    report.checksum = state ^ loader.GetDigest();
    char summary[160];
    std::snprintf(
        summary, sizeof summary,
        "%d frames in %.2f s, level %.0f%% loaded (%d records), %zu samples, checksum %08x",
        report.frames, report.seconds, report.progress * 100.0f, report.recordsLoaded,
        report.samples.size(), report.checksum);
    StepDone(kStepFrames, summary, options);
    return report;
}
