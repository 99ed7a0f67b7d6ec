// CZRDebugStatisticsControl: one entry of the statistics console, and the base
// of every control the host shows there. A control has a label, a parent (given
// at construction; the parent is not told) and an ordered list of children with
// one of them focused. It references its children and never deletes them (a
// page does, see CZRDebugStatisticsPage).
//
// Host controls override Print to write their line(s), ending each with "\n",
// and SetValueFromString to take a value typed on the console's command line.
// Print writes through a buffer pointer and a remaining size that it advances
// and decreases, never past the size, terminates nothing and returns the number
// of characters written; PrintText does that for a piece of text.
#pragma once

#include "Common/Core/ZRExport.h"
#include "Common/Core/ZRString.h"
#include "Common/Diagnostics/STLList.h"

class ZR_COMMON_API CZRDebugStatisticsControl
{
public:
    // No children, no focus; the label is pszLabel, if not null.
    CZRDebugStatisticsControl(const char* pszLabel = nullptr,
                              CZRDebugStatisticsControl* pParent = nullptr);
    // Copies the parent, the child pointers (not the children), focus and label.
    CZRDebugStatisticsControl(const CZRDebugStatisticsControl& other);
    CZRDebugStatisticsControl& operator=(const CZRDebugStatisticsControl& other);
    // Leaves the children alone.
    virtual ~CZRDebugStatisticsControl();

    // The label's characters; "" for a control without a label.
    virtual const char* GetLabel() const;
    virtual void SetLabel(const char* pszLabel);
    // Exact comparison, letter case included; null counts as "".
    virtual bool HasLabel(const char* pszLabel);
    // Base: does nothing.
    virtual void SetValueFromString(const CZRString& str);
    // Base: writes nothing and returns 0.
    virtual int Print(char*& pszBuffer, int& nSize);
    // Appends; the first child added to a control without focus gets the focus.
    virtual void AddChild(CZRDebugStatisticsControl* pChild);
    // Takes the child out of the list without deleting it. A focused child
    // passes the focus to the one before it (-1, none, for the first); removing
    // an earlier child keeps the focused index.
    virtual void RemoveChild(CZRDebugStatisticsControl* pChild);
    // The focused child; null when the focus is outside the list.
    virtual CZRDebugStatisticsControl* GetCurrentControl() const;
    virtual CZRDebugStatisticsControl* GetParent() const;
    // Focus + 1, wrapping to the first child past the last.
    virtual void FocusNextChild();
    // Focus - 1, wrapping to the last child below the first.
    virtual void FocusPreviousChild();
    // Base: false.
    virtual bool CanEdit() const;

    // The child list in display order, and the focused index (-1 for none).
    const CSTLList<CZRDebugStatisticsControl*>& GetChildren() const;
    long GetFocus() const;

    // Writes pszText up to its terminator (null writes nothing), cut to nSize;
    // advances pszBuffer and decreases nSize by the characters written and
    // returns their number. A null buffer or a size of 0 or less takes nothing.
    static int PrintText(char*& pszBuffer, int& nSize, const char* pszText);
    // Calls control.Print and advances pszBuffer and nSize by what it wrote,
    // counted from where it left the pointer and kept inside the buffer, so a
    // control that miscounts cannot move the position out of the buffer.
    static int PrintControl(CZRDebugStatisticsControl& control, char*& pszBuffer, int& nSize);

private:
    CZRDebugStatisticsControl* m_pParent;
    CSTLList<CZRDebugStatisticsControl*> m_oChildren;
    long m_lFocus;
    CZRString m_strLabel;
};
