// CZRDebugStatistics: the statistics console, all static. It holds the pages
// (top-level controls, in the order registered) and which one is shown, the
// command line being typed, and the registered interpreter. The host feeds it
// keys (ProcessInput) and has it render into a character buffer (Print), which
// the host draws with its own font:
//
//     > command_          the command line ("> _" while it is empty)
//                         an empty line
//     Page:               the shown page's label
//                         an empty line
//       control line      one line per child, "> " instead of the two
//     > focused line      blanks before the focused one
//
// Rendering writes only inside the buffer given and terminates nothing. Used
// from one thread at a time (the host's frame loop).
#pragma once

#include "Common/Core/ZRExport.h"
#include "Common/Core/ZRString.h"

class CZRDebugStatisticsControl;
class IZRDebugStatisticsInterpreter;

class ZR_COMMON_API CZRDebugStatistics
{
public:
    // The key codes of ProcessInput. Codes from KEY_FIRST_CHARACTER up type the
    // code's low byte; the host maps its keyboard onto these.
    enum eKey
    {
        KEY_PREVIOUS_PAGE = 1,
        KEY_NEXT_PAGE = 2,
        KEY_FOCUS_PREVIOUS = 3,
        KEY_FOCUS_NEXT = 4,
        KEY_EXECUTE = 5,
        KEY_BACKSPACE = 8,
        KEY_FIRST_CHARACTER = 32,
    };
    // The most characters the command line holds; further typing is ignored.
    static constexpr long MAX_COMMAND_LENGTH = 64;

    // Empties the command line.
    static void Initialize();
    // Appends a page; the first one registered (while none is shown) is shown.
    static void AddControl(CZRDebugStatisticsControl* pControl);
    // Unregisters; when it was the shown page, the one before it is shown (none
    // after removing the first). Removing an earlier page keeps the shown index,
    // which then names the next page, or none past the end.
    static void RemoveControl(CZRDebugStatisticsControl* pControl);
    // The first registered control whose HasLabel(pszLabel) is true, or null.
    static CZRDebugStatisticsControl* FindControl(const char* pszLabel);
    // The shown page, or null.
    static CZRDebugStatisticsControl* GetCurrentControl();
    static bool IsVisible();
    // Renders the console into at most nSize characters and returns how many it
    // wrote; 0 when invisible, for a null buffer or a size of 0 or less.
    static int Print(char* pszBuffer, int nSize);
    // Handles one key: a code of eKey or a character; any other is ignored.
    static void ProcessInput(int nKey);

    // Whether Print renders anything; set by the host. Initially true.
    static bool m_bStatisticsVisible;
    // Set by the host for its own use; the console does not read it. Initially true.
    static bool m_bStatisticsEditable;

private:
    friend class IZRDebugStatisticsInterpreter;

    // The interpreter first; when there is none or it declines, the shown page
    // takes the command as a value.
    static void Execute(const CZRString& strCommand);
    static void RegisterInterpreter(IZRDebugStatisticsInterpreter* pInterpreter);
    static void UnregisterInterpreter(IZRDebugStatisticsInterpreter* pInterpreter);

    static void ShowPreviousPage();
    static void ShowNextPage();
    static void TypeCharacter(char ch);
    static void DeleteLastCharacter();

    // Index of the shown page; -1 for none.
    static long m_lCurrentControl;
    static IZRDebugStatisticsInterpreter* m_pInterpreter;
};
