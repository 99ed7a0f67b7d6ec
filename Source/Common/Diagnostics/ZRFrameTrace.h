// CZRFrameTrace: the sections a profiler measured in its last frames, kept as
// a timeline that Perfetto and chrome://tracing open (Chrome trace-event JSON).
//
// Guarantees:
// - Off (the default) it holds no memory and every call returns at once.
// - Start allocates one ring of sections; recording then allocates nothing. When
//   the ring is full the oldest section gives way.
// - Times come from the high-resolution counter, in microseconds since Start.
//   A section records its name (cut to NAME_LENGTH bytes), begin and end, the
//   frame it began in, how many sections were open around it, and the thread.
// - EndSection closes the innermost open section of exactly that name; an end
//   with no such section, or for a section the ring has since reused, is
//   ignored. Sections open when written are left out.
// - The JSON is valid whatever the names hold: quotes, backslashes, control
//   characters and bytes from 0x80 are escaped (the latter as \u00XX).
// Not safe for concurrent use; copies have rings of their own.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Common/Core/ZRExport.h"

class ZR_COMMON_API CZRFrameTrace
{
public:
    static constexpr int NAME_LENGTH = 63;
    // A section begun while this many are open is not recorded, and the next
    // end of any name is taken as its end.
    static constexpr int MAX_DEPTH = 64;
    // Bounds of Start, so that a ring stays a few megabytes at most.
    static constexpr int MAX_FRAMES = 1000;
    static constexpr int MAX_SECTIONS_PER_FRAME = 4096;
    static constexpr long long MAX_SECTIONS = 1 << 16;

    // Records the sections of the last nFrames frames, room for
    // nSectionsPerFrame each; false (and off) for numbers outside the bounds.
    // Restarting clears what was recorded.
    bool Start(int nFrames, int nSectionsPerFrame);
    // Frees the ring; recording stops.
    void Stop();
    bool IsRecording() const { return !m_sections.empty(); }

    // A new frame begins now; sections still open stay in the frame they began in.
    void BeginFrame()
    {
        if (IsRecording())
            ++m_frame;
    }
    void BeginSection(const char* pszName)
    {
        if (IsRecording() && pszName != nullptr)
            Open(pszName);
    }
    void EndSection(const char* pszName)
    {
        if (IsRecording() && pszName != nullptr)
            Close(pszName);
    }

    // The complete sections of the last frames as Chrome trace-event JSON:
    // {"traceEvents":[{"name":..,"ph":"X","ts":..,"dur":..,"pid":..,"tid":..,
    // "args":{"frame":..,"depth":..}},...],"displayTimeUnit":"ms"}, oldest first.
    std::string ToJson() const;
    // Writes ToJson() to the file through the library's file functions; false
    // when it cannot be written.
    bool Write(const char* pszFileName) const;

private:
    struct sSection
    {
        char szName[NAME_LENGTH + 1];
        std::int64_t nBegin;   // counter ticks since the origin
        std::int64_t nEnd;     // -1 while open
        std::uint64_t uSerial; // which use of the ring slot this is
        std::uint32_t uFrame;
        std::uint32_t uDepth;
        std::uint32_t uThread;
    };
    struct sOpen
    {
        std::uint32_t uSlot;
        std::uint64_t uSerial;
    };

    void Open(const char* pszName);
    void Close(const char* pszName);
    std::int64_t Now() const;
    void AppendSection(std::string& json, const sSection& section, unsigned uProcess) const;

    std::vector<sSection> m_sections;
    std::uint64_t m_uNextSerial = 0;   // sections begun since Start
    std::uint32_t m_frame = 0;
    std::uint32_t m_uFramesKept = 0;
    std::int64_t m_nOrigin = 0;
    std::int64_t m_nFrequency = 0;
    sOpen m_open[MAX_DEPTH] = {};
    int m_nOpen = 0;
    int m_nUnrecorded = 0;   // sections begun beyond MAX_DEPTH, still open
};
