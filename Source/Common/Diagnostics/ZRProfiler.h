// CZRProfiler: an in-game, per-frame code profiler. The host brackets each
// frame with Begin and End and each measured stretch of code with
// SampleBegin(name) and SampleEnd(name); after End it reads slot 0 upwards with
// GetSampleData until that returns false. Samples may nest: the time spent in a
// sample nested directly in another is taken out of the outer one's own time.
// A sample's percent is its own time over the frame time, smoothed over frames.
//
// Guarantees:
// - Slots are fixed at construction; nothing is allocated afterwards. A frame
//   with more distinct names than slots ignores the extra samples.
// - A name is known by its first CZRProfileData::NAME_LENGTH bytes; longer
//   names are cut (never inside a character) before they are stored or compared.
//   SampleBegin matches a name regardless of case, SampleEnd only with the same
//   spelling. A null name is ignored.
// - A slot whose sample is still open, or was ended more often than begun,
//   reports nothing (GetSampleData returns false).
// - Time comes from the millisecond clock: resolution one millisecond. Times are
//   held as float seconds counted from the previous frame's Begin (from
//   construction for the first frame), so every millisecond of a frame is held
//   exactly, however long the machine has been up, and a wrap of the clock
//   inside a frame does no harm.
// - The percent is not guarded: without End a frame ends at 0 and the percent
//   comes out negative; a frame of no length (End in the millisecond of Begin,
//   or no End with Begin in the millisecond of the previous Begin) divides by
//   zero.
//
// Besides the figures, a profiler can record its sections as a timeline for
// Perfetto or chrome://tracing (StartTrace, WriteTrace; see CZRFrameTrace).
// Off, it costs one test per call.
//
// The most recently constructed profiler (a copy excepted) is the current one,
// returned by ZRGetProfiler(); destroying any profiler, a copy included, leaves
// none. A copy has slots and history of its own. Not safe for concurrent use.
#pragma once

#include <cstdint>
#include <vector>

#include "Common/Core/ZRExport.h"
#include "Common/Diagnostics/ZRFrameTrace.h"
#include "Common/Diagnostics/ZRProfileData.h"

class CZRProfiler;

class ZR_COMMON_API CZRProfiler
{
public:
    static constexpr int DEFAULT_MAX_SAMPLES = 50;

    // Becomes the current profiler with nMaxSamples slots (none when negative),
    // every slot and its history empty.
    explicit CZRProfiler(int nMaxSamples = DEFAULT_MAX_SAMPLES);
    // Copies slots, history and frame; does not become the current profiler.
    CZRProfiler(const CZRProfiler& other);
    CZRProfiler& operator=(const CZRProfiler& other);
    // Leaves no current profiler, whichever profiler was current.
    virtual ~CZRProfiler();

    // Starts a frame: every sample slot empty, the frame's start now, its end 0.
    void Begin();
    // The frame's end now.
    void End();

    // Enters the sample of that name, taking the next free slot for a new name.
    void SampleBegin(const char* pszName);
    // Leaves the open sample of exactly that name; its time goes to the sample
    // and, as children time, to the latest begun sample still open.
    void SampleEnd(const char* pszName);

    // False for an index outside the slots, an empty slot or an unbalanced
    // sample. Otherwise adds this frame's percent to the slot's history and
    // fills data. Call once per slot and frame, after End.
    bool GetSampleData(int nIndex, CZRProfileData& data);
    // The number of slots, in use or not.
    int GetNumSamples() const;

    // Records every sample of the last nFrames frames (room for
    // nSamplesPerFrame each) on the high-resolution clock, whatever the slots;
    // false for numbers out of CZRFrameTrace's bounds or without a counter.
    bool StartTrace(int nFrames, int nSamplesPerFrame = 256) { return m_trace.Start(nFrames, nSamplesPerFrame); }
    void StopTrace() { m_trace.Stop(); }
    bool IsTracing() const { return m_trace.IsRecording(); }
    // Chrome trace-event JSON of the recorded frames; false when not written.
    bool WriteTrace(const char* pszFileName) const { return m_trace.Write(pszFileName); }
    const CZRFrameTrace& GetTrace() const { return m_trace; }

private:
    struct sSample
    {
        bool bValid;
        char szName[CZRProfileData::NAME_LENGTH + 1];
        int nInstances;
        int nOpenCount;           // SampleBegin calls not yet matched by SampleEnd
        float fStartTime;         // seconds, latest SampleBegin
        float fAccumulatedTime;   // seconds, nested samples included
        float fChildrenTime;      // seconds, in samples nested directly in it
        int nParentCount;         // samples open when it last ended
    };

    struct sHistory
    {
        bool bValid;
        char szName[CZRProfileData::NAME_LENGTH + 1];
        float fAverage;   // percent of frame time
        float fMinimum;
        float fMaximum;
    };

    float GetExactTime() const;
    float SecondsSinceOrigin(std::uint32_t uTickMs) const;
    float GetElapsedTime() const;
    // The slot index of the valid sample whose name matches, else -1; *pFree
    // receives the first slot after the valid ones (the capacity when full).
    int FindSample(const char* pszName, bool bIgnoreCase, int* pFree) const;
    // The latest begun open sample, else -1; *pOpenCount receives how many are open.
    int FindParent(int* pOpenCount) const;
    void UpdateHistoryData(int nIndex, float fPercent);
    void GetHistoryData(int nIndex, float& fAverage, float& fMinimum, float& fMaximum);

    friend ZR_COMMON_API CZRProfiler* ZRGetProfiler();
    static CZRProfiler* m_pCurrentProfiler;

    std::vector<sSample> m_samples;
    std::vector<sHistory> m_history;
    int m_nMaxSamples;
    float m_fFrameStart;   // seconds
    float m_fFrameEnd;     // seconds; 0 until End
    std::uint32_t m_uTimeOriginMs;   // clock reading that times count from
    std::uint32_t m_uFrameBeginMs;   // clock reading at the latest Begin
    CZRFrameTrace m_trace;
};

// The current profiler, or null. (Declared first as a friend of the class, with
// its export attribute, as Windows compilers want it.)
ZR_COMMON_API CZRProfiler* ZRGetProfiler();
