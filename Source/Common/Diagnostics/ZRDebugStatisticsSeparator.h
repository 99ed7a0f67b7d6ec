// CZRDebugStatisticsSeparator: a line of hyphens between the controls of a page,
// with the label in it when it has one: "-- Label --\n", or "--------\n".
// It cannot be edited.
#pragma once

#include "Common/Core/ZRExport.h"
#include "Common/Diagnostics/ZRDebugStatisticsControl.h"

class CZRDebugStatisticsPage;

class ZR_COMMON_API CZRDebugStatisticsSeparator : public CZRDebugStatisticsControl
{
public:
    // No label; the parent is pParent.
    explicit CZRDebugStatisticsSeparator(CZRDebugStatisticsControl* pParent = nullptr);
    CZRDebugStatisticsSeparator(const CZRDebugStatisticsSeparator& other);
    CZRDebugStatisticsSeparator& operator=(const CZRDebugStatisticsSeparator& other);
    ~CZRDebugStatisticsSeparator() override;

    int Print(char*& pszBuffer, int& nSize) override;
    bool CanEdit() const override;
};

// Adds a separator to page in slot lSlot, labelled pszLabel (none when null),
// unless the slot is taken already; so it can be called every frame. A negative
// slot is never taken: every call with one adds a separator.
ZR_COMMON_API void ZRDebugSeparator(CZRDebugStatisticsPage& page, long lSlot,
                                    const char* pszLabel = nullptr);
