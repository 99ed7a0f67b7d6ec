#include "Common/Diagnostics/ZRDebugStatisticsControl.h"

#include <cstdint>
#include <cstring>

#include "Common/Core/ZRStrFunctions.h"

namespace
{
constexpr long kNoFocus = -1;

const char* TextOrEmpty(const char* pszText) { return pszText != nullptr ? pszText : ""; }

// How far a control moved the cursor, kept between 0 and nSize. Compared as
// addresses, so a pointer moved anywhere at all is measured without fault.
int ClampedAdvance(const char* pszFrom, const char* pszTo, int nSize)
{
    const std::uintptr_t from = reinterpret_cast<std::uintptr_t>(pszFrom);
    const std::uintptr_t to = reinterpret_cast<std::uintptr_t>(pszTo);
    if (to < from)
        return 0;
    const std::uintptr_t advance = to - from;
    return advance > static_cast<std::uintptr_t>(nSize) ? nSize : static_cast<int>(advance);
}
} // namespace

CZRDebugStatisticsControl::CZRDebugStatisticsControl(const char* pszLabel,
                                                     CZRDebugStatisticsControl* pParent)
    : m_pParent(pParent), m_lFocus(kNoFocus)
{
    if (pszLabel != nullptr)
        m_strLabel = pszLabel;
}

CZRDebugStatisticsControl::CZRDebugStatisticsControl(const CZRDebugStatisticsControl& other) = default;

CZRDebugStatisticsControl&
CZRDebugStatisticsControl::operator=(const CZRDebugStatisticsControl& other) = default;

CZRDebugStatisticsControl::~CZRDebugStatisticsControl() = default;

const char* CZRDebugStatisticsControl::GetLabel() const { return TextOrEmpty(m_strLabel.GetString()); }

void CZRDebugStatisticsControl::SetLabel(const char* pszLabel) { m_strLabel = pszLabel; }

bool CZRDebugStatisticsControl::HasLabel(const char* pszLabel)
{
    return STR_strcmp(GetLabel(), TextOrEmpty(pszLabel)) == 0;
}

void CZRDebugStatisticsControl::SetValueFromString(const CZRString&) {}

int CZRDebugStatisticsControl::Print(char*&, int&) { return 0; }

void CZRDebugStatisticsControl::AddChild(CZRDebugStatisticsControl* pChild)
{
    const long lIndex = m_oChildren.Add(pChild);
    if (m_lFocus == kNoFocus)
        m_lFocus = lIndex;
}

void CZRDebugStatisticsControl::RemoveChild(CZRDebugStatisticsControl* pChild)
{
    const long lIndex = m_oChildren.Find(pChild);
    if (lIndex < 0)
        return;
    if (m_lFocus == lIndex)
        m_lFocus = lIndex - 1;
    m_oChildren.RemoveAt(lIndex);
}

CZRDebugStatisticsControl* CZRDebugStatisticsControl::GetCurrentControl() const
{
    return m_oChildren.IsValidIndex(m_lFocus) ? m_oChildren[m_lFocus] : nullptr;
}

CZRDebugStatisticsControl* CZRDebugStatisticsControl::GetParent() const { return m_pParent; }

void CZRDebugStatisticsControl::FocusNextChild()
{
    ++m_lFocus;
    if (m_lFocus >= m_oChildren.GetCount())
        m_lFocus = 0;
}

void CZRDebugStatisticsControl::FocusPreviousChild()
{
    --m_lFocus;
    if (m_lFocus < 0)
        m_lFocus = m_oChildren.GetCount() - 1;
}

bool CZRDebugStatisticsControl::CanEdit() const { return false; }

const CSTLList<CZRDebugStatisticsControl*>& CZRDebugStatisticsControl::GetChildren() const
{
    return m_oChildren;
}

long CZRDebugStatisticsControl::GetFocus() const { return m_lFocus; }

int CZRDebugStatisticsControl::PrintText(char*& pszBuffer, int& nSize, const char* pszText)
{
    if (pszBuffer == nullptr || nSize <= 0 || pszText == nullptr)
        return 0;
    const void* pEnd = std::memchr(pszText, '\0', static_cast<std::size_t>(nSize));
    const int nWritten = pEnd != nullptr ? static_cast<int>(static_cast<const char*>(pEnd) - pszText)
                                         : nSize;
    std::memcpy(pszBuffer, pszText, static_cast<std::size_t>(nWritten));
    pszBuffer += nWritten;
    nSize -= nWritten;
    return nWritten;
}

int CZRDebugStatisticsControl::PrintControl(CZRDebugStatisticsControl& control, char*& pszBuffer,
                                            int& nSize)
{
    if (pszBuffer == nullptr || nSize <= 0)
        return 0;
    char* pszCursor = pszBuffer;
    int nLeft = nSize;
    control.Print(pszCursor, nLeft);
    const int nWritten = ClampedAdvance(pszBuffer, pszCursor, nSize);
    pszBuffer += nWritten;
    nSize -= nWritten;
    return nWritten;
}
