#include "Common/Diagnostics/ZRDebugStatisticsPage.h"

#include <limits>

#include "Common/Diagnostics/ZRDebugStatistics.h"

namespace
{
constexpr const char* kLabelEnd = ":\n\n";
constexpr const char* kFocusMarker = "> ";
constexpr const char* kIndent = "  ";
// The table holds lSlot + 1 entries, which must be countable.
constexpr long kSlotLimit = std::numeric_limits<long>::max();
} // namespace

CZRDebugStatisticsPage::CZRDebugStatisticsPage(const char* pszName)
    : CZRDebugStatisticsControl(pszName, nullptr)
{
    CZRDebugStatistics::AddControl(this);
}

CZRDebugStatisticsPage::~CZRDebugStatisticsPage()
{
    CZRDebugStatistics::RemoveControl(this);
    while (!GetChildren().IsEmpty())
    {
        CZRDebugStatisticsControl* pChild = GetChildren()[GetChildren().GetCount() - 1];
        // A child listed twice is removed everywhere and deleted once.
        while (GetChildren().Find(pChild) >= 0)
            RemoveChild(pChild);
        delete pChild;
    }
}

void CZRDebugStatisticsPage::SetValueFromString(const CZRString& str)
{
    if (CZRDebugStatisticsControl* pControl = GetCurrentControl())
        pControl->SetValueFromString(str);
}

int CZRDebugStatisticsPage::Print(char*& pszBuffer, int& nSize)
{
    if (pszBuffer == nullptr || nSize <= 0)
        return 0;
    int nWritten = PrintText(pszBuffer, nSize, GetLabel());
    nWritten += PrintText(pszBuffer, nSize, kLabelEnd);
    // The count is read on every step: a child's Print may change the list.
    for (long lIndex = 0; lIndex < GetChildren().GetCount(); ++lIndex)
    {
        CZRDebugStatisticsControl* pChild = GetChildren()[lIndex];
        if (pChild == nullptr)
            continue;
        nWritten += PrintText(pszBuffer, nSize, lIndex == GetFocus() ? kFocusMarker : kIndent);
        nWritten += PrintControl(*pChild, pszBuffer, nSize);
    }
    return nWritten;
}

void CZRDebugStatisticsPage::OccupySlot(long lSlot, CZRDebugStatisticsControl* pControl)
{
    if (lSlot < 0 || lSlot >= kSlotLimit)
        return;
    if (lSlot >= m_oSlots.GetCount())
        m_oSlots.SetCount(lSlot + 1);
    m_oSlots[lSlot] = pControl;
}

CZRDebugStatisticsControl* CZRDebugStatisticsPage::GetSlot(long lSlot) const
{
    return m_oSlots.IsValidIndex(lSlot) ? m_oSlots[lSlot] : nullptr;
}

bool CZRDebugStatisticsPage::IsSlotFree(long lSlot) const { return GetSlot(lSlot) == nullptr; }
