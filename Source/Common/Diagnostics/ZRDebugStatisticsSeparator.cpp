#include "Common/Diagnostics/ZRDebugStatisticsSeparator.h"

#include "Common/Diagnostics/ZRDebugStatisticsPage.h"

namespace
{
constexpr const char* kPlainLine = "--------\n";
constexpr const char* kLabelOpen = "-- ";
constexpr const char* kLabelClose = " --\n";
} // namespace

CZRDebugStatisticsSeparator::CZRDebugStatisticsSeparator(CZRDebugStatisticsControl* pParent)
    : CZRDebugStatisticsControl(nullptr, pParent)
{
}

CZRDebugStatisticsSeparator::CZRDebugStatisticsSeparator(const CZRDebugStatisticsSeparator& other) =
    default;

CZRDebugStatisticsSeparator&
CZRDebugStatisticsSeparator::operator=(const CZRDebugStatisticsSeparator& other) = default;

CZRDebugStatisticsSeparator::~CZRDebugStatisticsSeparator() = default;

int CZRDebugStatisticsSeparator::Print(char*& pszBuffer, int& nSize)
{
    const char* pszLabel = GetLabel();
    if (*pszLabel == '\0')
        return PrintText(pszBuffer, nSize, kPlainLine);
    int nWritten = PrintText(pszBuffer, nSize, kLabelOpen);
    nWritten += PrintText(pszBuffer, nSize, pszLabel);
    nWritten += PrintText(pszBuffer, nSize, kLabelClose);
    return nWritten;
}

bool CZRDebugStatisticsSeparator::CanEdit() const { return false; }

void ZRDebugSeparator(CZRDebugStatisticsPage& page, long lSlot, const char* pszLabel)
{
    if (!page.IsSlotFree(lSlot))
        return;
    CZRDebugStatisticsSeparator* pSeparator = new CZRDebugStatisticsSeparator(&page);
    page.AddChild(pSeparator);
    page.OccupySlot(lSlot, pSeparator);
    if (pszLabel != nullptr)
        pSeparator->SetLabel(pszLabel);
}
