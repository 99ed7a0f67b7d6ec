// zrdemo: a level streamed in over frames under the library's load guard. The
// level ("Level", the whole range) holds two components with weights: the
// records of records.bin, read from the archive a few per frame, and a
// terrain height map computed a few rows per frame.
#pragma once

#include "Common/File/FileIO.h"

class CZRLoadGuard;

class CStreamingLoader
{
public:
    explicit CStreamingLoader(CZRLoadGuard& guard) : m_guard(guard) {}
    // Ends loading if frames ran out before it finished.
    ~CStreamingLoader();
    CStreamingLoader(const CStreamingLoader&) = delete;
    CStreamingLoader& operator=(const CStreamingLoader&) = delete;

    // One frame's share of the work; nothing once the level is loaded.
    // Throws sStepFailure for a damaged record file.
    void Step();
    bool IsDone() const { return m_phase == ePhase::Done; }
    int GetRecordsLoaded() const { return m_recordsLoaded; }
    // A digest of what was loaded, so the work is observable.
    unsigned GetDigest() const { return m_digest; }

private:
    enum class ePhase
    {
        Start,
        Records,
        Terrain,
        Done
    };

    void StartLevel();
    void StepRecords();
    void StepTerrain();

    CZRLoadGuard& m_guard;
    ePhase m_phase = ePhase::Start;
    CFileIO m_records;
    int m_recordCount = 0;
    int m_recordsLoaded = 0;
    int m_terrainRows = 0;
    unsigned m_digest = 0;
};
