#include "Loader.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "Common/Core/ZRException.h"
#include "Common/Diagnostics/ZRLoadGuard.h"
#include "Records.h"
#include "Zrdemo.h"

namespace
{
constexpr char kMountedRecords[] = "records.bin";
constexpr int kMaxRecords = 4096;
constexpr int kRecordsPerFrame = 8;
constexpr int kTerrainRows = 16;
constexpr int kTerrainColumns = 64;
constexpr int kRowsPerFrame = 4;
constexpr float kRecordsWeight = 0.6f;
constexpr float kTerrainWeight = 0.4f;

unsigned Mix(unsigned digest, unsigned value)
{
    return (digest ^ value) * 16777619u;
}

unsigned MixFloat(unsigned digest, float value)
{
    unsigned bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    return Mix(digest, bits);
}
} // namespace

CStreamingLoader::~CStreamingLoader()
{
    if (m_phase != ePhase::Done && m_phase != ePhase::Start)
        m_guard.EndLoading();
}

void CStreamingLoader::Step()
{
    switch (m_phase)
    {
    case ePhase::Start:
        StartLevel();
        break;
    case ePhase::Records:
        StepRecords();
        break;
    case ePhase::Terrain:
        StepTerrain();
        break;
    case ePhase::Done:
        break;
    }
}

void CStreamingLoader::StartLevel()
{
    m_guard.BeginLoading();
    m_guard.BeginLoadComponent(1.0f, "Level");
    m_guard.BeginLoadComponent(kRecordsWeight, "Records");
    try
    {
        m_records.Open(kMountedRecords, FILEMODE_READ);
    }
    catch (const CZRException& error)
    {
        ThrowStep(kStepFrames, kMountedRecords, Describe(error));
    }
    if (!m_records.Read(m_recordCount) || m_recordCount < 1 || m_recordCount > kMaxRecords)
        ThrowStep(kStepFrames, kMountedRecords,
                  "damaged record file: count " + std::to_string(m_recordCount));
    m_phase = ePhase::Records;
    StepRecords();
}

void CStreamingLoader::StepRecords()
{
    const int batch = std::min(kRecordsPerFrame, m_recordCount - m_recordsLoaded);
    for (int i = 0; i < batch; ++i, ++m_recordsLoaded)
    {
        sRecord record;
        if (!ReadRecord(m_records, record))
            ThrowStep(kStepFrames, kMountedRecords,
                      "damaged record " + std::to_string(m_recordsLoaded + 1) + " of " +
                          std::to_string(m_recordCount));
        m_digest =
            MixFloat(MixFloat(Mix(m_digest, static_cast<unsigned>(record.id)), record.position.x),
                     record.weight);
    }
    m_guard.LoadComponentCompleted(static_cast<float>(batch) / m_recordCount, nullptr);
    if (m_recordsLoaded < m_recordCount)
        return;
    m_records.Close();
    m_guard.EndLoadComponent();
    m_guard.BeginLoadComponent(kTerrainWeight, "Terrain");
    m_phase = ePhase::Terrain;
}

// A height map of a few octaves of integer noise, kRowsPerFrame rows at a time.
void CStreamingLoader::StepTerrain()
{
    for (int row = 0; row < kRowsPerFrame && m_terrainRows < kTerrainRows; ++row, ++m_terrainRows)
        for (int column = 0; column < kTerrainColumns; ++column)
        {
            unsigned height = 0;
            for (unsigned octave = 1; octave <= 4; ++octave)
                height +=
                    Mix(static_cast<unsigned>(m_terrainRows * 131 + column) * octave, octave) >>
                    (24 + octave);
            m_digest = Mix(m_digest, height);
        }
    m_guard.LoadComponentCompleted(static_cast<float>(kRowsPerFrame) / kTerrainRows, nullptr);
    if (m_terrainRows < kTerrainRows)
        return;
    m_guard.EndLoadComponent();
    m_guard.EndLoadComponent();
    m_guard.EndLoading();
    m_phase = ePhase::Done;
}
