#include "Common/Diagnostics/ZRLoadGuard.h"

#include <algorithm>

namespace
{
// The resource-number form of a name carries the resource in its low 16 bits.
constexpr long kNameIdMask = 0xFFFF;
constexpr float kTopLevelScale = 1.0f;
constexpr float kTopLevelRangeEnd = 1.0f;

const char* NeverNull(const char* pszText) { return pszText != nullptr ? pszText : ""; }
} // namespace

CZRLoadGuard* CZRLoadGuard::Instance() { return &m_instance; }

CZRLoadGuard::CZRLoadGuard()
    : m_fProgress(0.0f), m_fScale(kTopLevelScale), m_fRangeEnd(kTopLevelRangeEnd), m_nDepth(0)
{
    Reset();
}

CZRLoadGuard::CZRLoadGuard(const CZRLoadGuard& other) = default;

CZRLoadGuard& CZRLoadGuard::operator=(const CZRLoadGuard& other) = default;

CZRLoadGuard::~CZRLoadGuard() = default;

void CZRLoadGuard::OnBeginLoading()
{
    if (HasWatches())
        Notify(&IZRLoadGuardWatch::OnBeginLoading);
}

void CZRLoadGuard::OnLoadProgress(float fProgress, const char* /*pszComponent*/)
{
    // The callers pass the current name anyway; the guard's own copy outlives
    // whatever the watches do with theirs.
    const CZRString strName(m_strComponentName);
    Notify(&IZRLoadGuardWatch::OnLoadProgress, fProgress, NeverNull(strName));
}

void CZRLoadGuard::OnEndLoading()
{
    if (HasWatches())
        Notify(&IZRLoadGuardWatch::OnEndLoading);
}

void CZRLoadGuard::RegisterWatch(IZRLoadGuardWatch* pWatch) { m_watches.push_back(pWatch); }

void CZRLoadGuard::UnregisterWatch(IZRLoadGuardWatch* pWatch)
{
    const auto it = std::find(m_watches.begin(), m_watches.end(), pWatch);
    if (it != m_watches.end())
        m_watches.erase(it);
}

void CZRLoadGuard::BeginLoading()
{
    Reset();
    OnBeginLoading();
}

void CZRLoadGuard::BeginLoadComponent(float fWeight, long lNameId)
{
    const CZRString strName(CZRStringId(lNameId & kNameIdMask));
    BeginLoadComponent(fWeight, static_cast<const char*>(strName));
}

void CZRLoadGuard::BeginLoadComponent(float fWeight, const char* pszName)
{
    SetComponentName(pszName);
    Push(m_fScale, m_fRangeEnd);
    m_fScale = fWeight * m_fScale;
    m_fRangeEnd = m_fProgress + m_fScale;
    ++m_nDepth;
}

void CZRLoadGuard::LoadComponentCompleted(float fFraction, long lNameId)
{
    const CZRString strName(CZRStringId(lNameId & kNameIdMask));
    LoadComponentCompleted(fFraction, static_cast<const char*>(strName));
}

void CZRLoadGuard::LoadComponentCompleted(float fFraction, const char* pszName)
{
    SetComponentName(pszName);
    m_fProgress += fFraction * m_fScale;
    if (!(m_fProgress < m_fRangeEnd))
        m_fProgress = m_fRangeEnd;
    OnLoadProgress(m_fProgress, NeverNull(m_strComponentName));
}

void CZRLoadGuard::EndLoadComponent()
{
    --m_nDepth;
    m_fProgress = m_fRangeEnd;
    OnLoadProgress(m_fProgress, NeverNull(m_strComponentName));
    Pop(m_fScale, m_fRangeEnd);
}

void CZRLoadGuard::EndLoading() { OnEndLoading(); }

float CZRLoadGuard::GetProgress() const { return m_fProgress; }

bool CZRLoadGuard::HasWatches() const { return !m_watches.empty(); }

// The range stack is left alone: a new load starts at top level whatever an
// unbalanced earlier one left there.
void CZRLoadGuard::Reset()
{
    m_fProgress = 0.0f;
    m_fScale = kTopLevelScale;
    m_fRangeEnd = kTopLevelRangeEnd;
    m_nDepth = 0;
}

void CZRLoadGuard::Push(float fScale, float fRangeEnd) { m_rangeStack.push_back({fScale, fRangeEnd}); }

void CZRLoadGuard::Pop(float& fScale, float& fRangeEnd)
{
    if (m_rangeStack.empty())
        return;
    fScale = m_rangeStack.back().fScale;
    fRangeEnd = m_rangeStack.back().fRangeEnd;
    m_rangeStack.pop_back();
}

void CZRLoadGuard::SetComponentName(const char* pszName)
{
    if (pszName != nullptr)
        m_strComponentName = pszName;
}

// A snapshot keeps the walk valid while watches change the list; the check
// before each call keeps a watch unregistered meanwhile (perhaps destroyed)
// from being called.
template <class... TArgs, class... TValues>
void CZRLoadGuard::Notify(void (IZRLoadGuardWatch::*pfnNotify)(TArgs...), TValues... values)
{
    const std::vector<IZRLoadGuardWatch*> watches(m_watches);
    for (IZRLoadGuardWatch* pWatch : watches)
    {
        if (std::find(m_watches.begin(), m_watches.end(), pWatch) != m_watches.end())
            (pWatch->*pfnNotify)(values...);
    }
}
