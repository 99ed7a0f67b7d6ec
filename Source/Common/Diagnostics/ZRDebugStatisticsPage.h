// CZRDebugStatisticsPage: one page of the statistics console, a top-level
// control that lists its children one per line under its label. A page
// registers itself with CZRDebugStatistics when constructed and unregisters when
// destroyed. It owns its children: they must come from new, and its destructor
// deletes each of them once (a child deleted earlier must first be removed with
// RemoveChild).
//
// Slots let code that runs every frame create a control once: the slot number is
// the caller's fixed name for it (see ZRDebugSeparator). Slots do not order
// anything; the page prints its children in the order they were added.
//
// A page cannot be copied: it owns its children, which cannot be copied.
#pragma once

#include "Common/Core/ZRExport.h"
#include "Common/Diagnostics/STLList.h"
#include "Common/Diagnostics/ZRDebugStatisticsControl.h"

class ZR_COMMON_API CZRDebugStatisticsPage : public CZRDebugStatisticsControl
{
public:
    // Labelled pszName (none when null), no parent, no slots; registered.
    explicit CZRDebugStatisticsPage(const char* pszName = nullptr);
    CZRDebugStatisticsPage(const CZRDebugStatisticsPage&) = delete;
    CZRDebugStatisticsPage& operator=(const CZRDebugStatisticsPage&) = delete;
    // Unregisters, then removes and deletes the children, last first.
    ~CZRDebugStatisticsPage() override;

    // Hands the text to the focused child, if there is one.
    void SetValueFromString(const CZRString& str) override;
    // "Label:\n\n", then per non-null child "> " (focused) or "  " and what the
    // child prints. Nothing when nSize is 0.
    int Print(char*& pszBuffer, int& nSize) override;

    // Puts pControl in slot lSlot, growing the table with free slots as needed.
    // A negative slot, which no table can hold, is ignored.
    virtual void OccupySlot(long lSlot, CZRDebugStatisticsControl* pControl);
    // The control in the slot; null for a free slot or one outside the table.
    virtual CZRDebugStatisticsControl* GetSlot(long lSlot) const;
    // True for a null entry or a slot outside the table (negative ones too).
    virtual bool IsSlotFree(long lSlot) const;

private:
    CSTLList<CZRDebugStatisticsControl*> m_oSlots;
};
