#include "Common/Diagnostics/ZRDebugStatistics.h"

#include "Common/Diagnostics/DebugStatisticsState.h"
#include "Common/Diagnostics/ZRDebugStatisticsControl.h"
#include "Common/Diagnostics/ZRDebugStatisticsInterpreter.h"

namespace
{
constexpr const char* kPrompt = "> ";
constexpr const char* kCursorLineEnd = "_\n\n";
constexpr long kNoPage = -1;
constexpr int kLowByteMask = 0xFF;

CSTLList<CZRDebugStatisticsControl*>& Controls() { return GetDebugStatisticsControls(); }
CZRString& EntryBuffer() { return GetDebugStatisticsEntryBuffer(); }
} // namespace

void CZRDebugStatistics::Initialize() { EntryBuffer().Empty(); }

void CZRDebugStatistics::AddControl(CZRDebugStatisticsControl* pControl)
{
    const long lIndex = Controls().Add(pControl);
    if (m_lCurrentControl == kNoPage)
        m_lCurrentControl = lIndex;
}

void CZRDebugStatistics::RemoveControl(CZRDebugStatisticsControl* pControl)
{
    const long lIndex = Controls().Find(pControl);
    if (lIndex < 0)
        return;
    if (m_lCurrentControl == lIndex)
        m_lCurrentControl = lIndex - 1;
    Controls().RemoveAt(lIndex);
}

CZRDebugStatisticsControl* CZRDebugStatistics::FindControl(const char* pszLabel)
{
    for (long lIndex = 0; lIndex < Controls().GetCount(); ++lIndex)
    {
        CZRDebugStatisticsControl* pControl = Controls()[lIndex];
        if (pControl != nullptr && pControl->HasLabel(pszLabel))
            return pControl;
    }
    return nullptr;
}

CZRDebugStatisticsControl* CZRDebugStatistics::GetCurrentControl()
{
    return Controls().IsValidIndex(m_lCurrentControl) ? Controls()[m_lCurrentControl] : nullptr;
}

bool CZRDebugStatistics::IsVisible() { return m_bStatisticsVisible; }

int CZRDebugStatistics::Print(char* pszBuffer, int nSize)
{
    if (!IsVisible() || pszBuffer == nullptr || nSize <= 0)
        return 0;
    int nWritten = CZRDebugStatisticsControl::PrintText(pszBuffer, nSize, kPrompt);
    nWritten += CZRDebugStatisticsControl::PrintText(pszBuffer, nSize, EntryBuffer().GetString());
    nWritten += CZRDebugStatisticsControl::PrintText(pszBuffer, nSize, kCursorLineEnd);
    if (CZRDebugStatisticsControl* pPage = GetCurrentControl())
        nWritten += CZRDebugStatisticsControl::PrintControl(*pPage, pszBuffer, nSize);
    return nWritten;
}

void CZRDebugStatistics::ProcessInput(int nKey)
{
    CZRDebugStatisticsControl* pPage = GetCurrentControl();
    switch (nKey)
    {
    case KEY_PREVIOUS_PAGE:
        ShowPreviousPage();
        break;
    case KEY_NEXT_PAGE:
        ShowNextPage();
        break;
    case KEY_FOCUS_PREVIOUS:
        if (pPage != nullptr)
            pPage->FocusPreviousChild();
        break;
    case KEY_FOCUS_NEXT:
        if (pPage != nullptr)
            pPage->FocusNextChild();
        break;
    case KEY_EXECUTE:
    {
        // A copy: the command may change the console, its command line included.
        const CZRString strCommand(EntryBuffer());
        Execute(strCommand);
        EntryBuffer().Empty();
        break;
    }
    case KEY_BACKSPACE:
        DeleteLastCharacter();
        break;
    default:
        if (nKey >= KEY_FIRST_CHARACTER)
            TypeCharacter(static_cast<char>(nKey & kLowByteMask));
        break;
    }
}

void CZRDebugStatistics::Execute(const CZRString& strCommand)
{
    if (m_pInterpreter != nullptr && m_pInterpreter->Interpret(strCommand))
        return;
    if (CZRDebugStatisticsControl* pPage = GetCurrentControl())
        pPage->SetValueFromString(strCommand);
}

void CZRDebugStatistics::RegisterInterpreter(IZRDebugStatisticsInterpreter* pInterpreter)
{
    if (m_pInterpreter == nullptr)
        m_pInterpreter = pInterpreter;
}

void CZRDebugStatistics::UnregisterInterpreter(IZRDebugStatisticsInterpreter* pInterpreter)
{
    if (m_pInterpreter == pInterpreter)
        m_pInterpreter = nullptr;
}

void CZRDebugStatistics::ShowPreviousPage()
{
    --m_lCurrentControl;
    if (m_lCurrentControl < 0)
        m_lCurrentControl = Controls().GetCount() - 1;
}

void CZRDebugStatistics::ShowNextPage()
{
    ++m_lCurrentControl;
    if (m_lCurrentControl >= Controls().GetCount())
        m_lCurrentControl = 0;
}

void CZRDebugStatistics::TypeCharacter(char ch)
{
    if (EntryBuffer().GetLength() < MAX_COMMAND_LENGTH)
        EntryBuffer() += ch;
}

void CZRDebugStatistics::DeleteLastCharacter()
{
    const long lLength = EntryBuffer().GetLength();
    if (lLength > 0)
        EntryBuffer() = EntryBuffer().Left(static_cast<int>(lLength - 1));
}
