#include "Common/Diagnostics/ZRProfiler.h"

#include "Common/Core/ZRStrFunctions.h"
#include "Common/Platform/Platform.h"

namespace
{
constexpr double kMillisecondsPerSecond = 1000.0;
constexpr float kPercent = 100.0f;
// The weight of a new frame in the history grows with the frame's length: a
// frame of 1.25 s or more replaces the history outright.
constexpr float kNewWeightPerSecond = 0.8f;
constexpr float kMaxNewWeight = 1.0f;

// Bounded copy of a caller's name: cut to NAME_LENGTH bytes, always terminated.
void CopyName(char* pszDest, const char* pszSource)
{
    STR_strncpy(pszDest, pszSource, CZRProfileData::NAME_LENGTH);
    pszDest[CZRProfileData::NAME_LENGTH] = '\0';
}

float Blend(float fOld, float fOldWeight, float fNew, float fNewWeight)
{
    return fOld * fOldWeight + fNew * fNewWeight;
}
} // namespace

CZRProfiler* ZRGetProfiler() { return CZRProfiler::m_pCurrentProfiler; }

CZRProfiler::CZRProfiler(int nMaxSamples)
    : m_samples(nMaxSamples > 0 ? nMaxSamples : 0),
      m_history(m_samples.size()),
      m_nMaxSamples(static_cast<int>(m_samples.size())),
      m_fFrameStart(0.0f),
      m_fFrameEnd(0.0f),
      m_uTimeOriginMs(ZRPlatform::ClockTickMs()),
      m_uFrameBeginMs(m_uTimeOriginMs)
{
    m_pCurrentProfiler = this;
}

CZRProfiler::CZRProfiler(const CZRProfiler& other) = default;

CZRProfiler& CZRProfiler::operator=(const CZRProfiler& other) = default;

CZRProfiler::~CZRProfiler() { m_pCurrentProfiler = nullptr; }

void CZRProfiler::Begin()
{
    for (sSample& sample : m_samples)
        sample.bValid = false;
    // Counting from the previous Begin keeps this frame's times small (exact in
    // a float) and its start above 0.
    m_uTimeOriginMs = m_uFrameBeginMs;
    m_uFrameBeginMs = ZRPlatform::ClockTickMs();
    m_fFrameStart = SecondsSinceOrigin(m_uFrameBeginMs);
    m_fFrameEnd = 0.0f;
    m_trace.BeginFrame();
}

void CZRProfiler::End() { m_fFrameEnd = GetExactTime(); }

void CZRProfiler::SampleBegin(const char* pszName)
{
    if (pszName == nullptr)
        return;
    m_trace.BeginSection(pszName);
    char szName[CZRProfileData::NAME_LENGTH + 1];
    CopyName(szName, pszName);
    int nFree = 0;
    const int nIndex = FindSample(szName, true, &nFree);
    if (nIndex >= 0)
    {
        sSample& sample = m_samples[nIndex];
        ++sample.nOpenCount;
        ++sample.nInstances;
        sample.fStartTime = GetExactTime();
        return;
    }
    if (nFree >= m_nMaxSamples)
        return;   // no room for another name this frame
    sSample& sample = m_samples[nFree];
    CopyName(sample.szName, szName);
    sample.bValid = true;
    sample.nOpenCount = 1;
    sample.nInstances = 1;
    sample.fAccumulatedTime = 0.0f;
    sample.fChildrenTime = 0.0f;
    sample.fStartTime = GetExactTime();
}

void CZRProfiler::SampleEnd(const char* pszName)
{
    const float fNow = GetExactTime();
    if (pszName == nullptr)
        return;
    m_trace.EndSection(pszName);
    char szName[CZRProfileData::NAME_LENGTH + 1];
    CopyName(szName, pszName);
    const int nIndex = FindSample(szName, false, nullptr);
    if (nIndex < 0)
        return;
    sSample& sample = m_samples[nIndex];
    --sample.nOpenCount;
    int nOpenCount = 0;
    const int nParent = FindParent(&nOpenCount);
    sample.nParentCount = nOpenCount;
    const float fElapsed = fNow - sample.fStartTime;
    if (nParent >= 0)
        m_samples[nParent].fChildrenTime += fElapsed;
    sample.fAccumulatedTime += fElapsed;
}

bool CZRProfiler::GetSampleData(int nIndex, CZRProfileData& data)
{
    if (nIndex < 0 || nIndex >= m_nMaxSamples)
        return false;
    const sSample& sample = m_samples[nIndex];
    if (!sample.bValid || sample.nOpenCount != 0)
        return false;
    const float fOwnTime = sample.fAccumulatedTime - sample.fChildrenTime;
    data.m_fAbsoluteTimePerFrame = sample.fAccumulatedTime;
    UpdateHistoryData(nIndex, fOwnTime / GetElapsedTime() * kPercent);
    CopyName(data.m_szName, sample.szName);
    GetHistoryData(nIndex, data.m_fAverageTimePerFrame, data.m_fMinimumTimePerFrame,
                   data.m_fMaximumTimePerFrame);
    data.m_nNumInstances = sample.nInstances;
    data.m_nNumParents = sample.nParentCount;
    return true;
}

int CZRProfiler::GetNumSamples() const { return m_nMaxSamples; }

float CZRProfiler::GetExactTime() const { return SecondsSinceOrigin(ZRPlatform::ClockTickMs()); }

// Unsigned difference: correct across the clock's wrap at 2^32 ms.
float CZRProfiler::SecondsSinceOrigin(std::uint32_t uTickMs) const
{
    const std::uint32_t uElapsedMs = uTickMs - m_uTimeOriginMs;
    return static_cast<float>(uElapsedMs / kMillisecondsPerSecond);
}

float CZRProfiler::GetElapsedTime() const { return m_fFrameEnd - m_fFrameStart; }

// Slots in use form an unbroken run from slot 0, so the walk stops at the first
// empty one.
int CZRProfiler::FindSample(const char* pszName, bool bIgnoreCase, int* pFree) const
{
    int nIndex = 0;
    for (; nIndex < m_nMaxSamples && m_samples[nIndex].bValid; ++nIndex)
    {
        const char* pszSlotName = m_samples[nIndex].szName;
        if ((bIgnoreCase ? STR_stricmp(pszSlotName, pszName) : STR_strcmp(pszSlotName, pszName)) == 0)
            return nIndex;
    }
    if (pFree != nullptr)
        *pFree = nIndex;
    return -1;
}

// On equal start times the later slot wins.
int CZRProfiler::FindParent(int* pOpenCount) const
{
    int nParent = -1;
    *pOpenCount = 0;
    for (int nIndex = 0; nIndex < m_nMaxSamples && m_samples[nIndex].bValid; ++nIndex)
    {
        const sSample& sample = m_samples[nIndex];
        if (sample.nOpenCount <= 0)
            continue;
        ++*pOpenCount;
        if (nParent < 0 || sample.fStartTime >= m_samples[nParent].fStartTime)
            nParent = nIndex;
    }
    return nParent;
}

// Exponential smoothing whose new weight grows with the frame's length; the
// first report of a slot sets all three values.
void CZRProfiler::UpdateHistoryData(int nIndex, float fPercent)
{
    if (nIndex < 0 || nIndex >= m_nMaxSamples)
        return;
    float fNewWeight = GetElapsedTime() * kNewWeightPerSecond;
    if (fNewWeight > kMaxNewWeight)
        fNewWeight = kMaxNewWeight;
    const float fOldWeight = 1.0f - fNewWeight;
    sHistory& history = m_history[nIndex];
    if (!history.bValid)
    {
        CopyName(history.szName, m_samples[nIndex].szName);
        history.bValid = true;
        history.fAverage = history.fMinimum = history.fMaximum = fPercent;
        return;
    }
    history.fAverage = Blend(history.fAverage, fOldWeight, fPercent, fNewWeight);
    history.fMinimum = fPercent < history.fMinimum
                           ? fPercent
                           : Blend(history.fMinimum, fOldWeight, fPercent, fNewWeight);
    if (history.fMinimum < 0.0f)
        history.fMinimum = 0.0f;
    history.fMaximum = fPercent > history.fMaximum
                           ? fPercent
                           : Blend(history.fMaximum, fOldWeight, fPercent, fNewWeight);
}

void CZRProfiler::GetHistoryData(int nIndex, float& fAverage, float& fMinimum, float& fMaximum)
{
    if (nIndex < 0 || nIndex >= m_nMaxSamples)
        return;
    const sHistory& history = m_history[nIndex];
    fAverage = history.bValid ? history.fAverage : 0.0f;
    fMinimum = history.bValid ? history.fMinimum : 0.0f;
    fMaximum = history.bValid ? history.fMaximum : 0.0f;
}
