// The Debug_ functions: formatted debugger output, assertion reports, process
// exit, the ZR_ASSERT macro, and the hooks through which a host, a tool or a
// test receives the debugger output and answers message boxes.
#pragma once

#include "Common/Core/ZRExport.h"

extern "C" {

// Receives every text sent to the debugger output (by the Debug_ functions and
// the log function), as it stands, instead of the debugger or standard error.
typedef void (*ZRDebugOutputHook)(const char* pszText, void* pUser);
// Shows a message box in the host's own way and returns the Windows id of the
// button chosen (IDOK 1, IDCANCEL 2, IDYES 6, IDNO 7); uStyle holds the
// Windows MB_ bits (0x40 information icon, 0x3 Yes/No/Cancel, 0x40000 on top).
typedef int (*ZRMessageBoxHook)(const char* pszText, const char* pszCaption, unsigned int uStyle,
                                void* pUser);

// Installs the hook, or with null restores the default output (the debugger,
// standard error where none is attached). pUser is passed to every call. A call
// already under way on another thread may still reach the previous hook.
ZR_COMMON_API void ZR_SetDebugOutputHook(ZRDebugOutputHook pfnHook, void* pUser);
// Installs the hook, or with null restores the system's message box. Without a
// display the default writes caption and text to standard error and answers
// with the first button at once (OK, or Yes for the assertion dialog).
ZR_COMMON_API void ZR_SetMessageBoxHook(ZRMessageBoxHook pfnHook, void* pUser);

// Formats printf-style into 1024 bytes (at most 1023 characters are kept) and
// sends the text to the debugger output; nothing is added.
ZR_COMMON_API void Debug_Printf(const char* pszFormat, ...);
// The same as Debug_Printf.
ZR_COMMON_API void Debug_Warning(const char* pszFormat, ...);

// Sends "*** ZORNBRACK ASSERTION ***\nexpression: E\nfile: F\nline: L\n" to
// the debugger output and aborts the process.
[[noreturn]] ZR_COMMON_API void Debug_Assert(const char* pszExpression, const char* pszFile,
                                             int nLine);

// Sends "******** ZORNBRACK ASSERTION ********\n" and the report
// "expression:     ZR_ASSERT( E )\n\nfile: F\nline: L\n" to the debugger output,
// then asks in a message box captioned "ZORNBRACK ASSERTION" (Yes/No/Cancel,
// on top) whether to debug. Yes returns true with a debugger attached, so that
// the caller breaks, and false without one, so that the program continues; No
// ends the process with exit(0) (exit handlers and static destructors run);
// Cancel ends it at once with status 0. The dialog text is the report followed
// by the question and the three answers, 1023 characters at most: a report too
// long for the room left by them is cut, so the question always shows whole.
ZR_COMMON_API bool Alternate_Debug_Assert(const char* pszExpression, const char* pszFile,
                                          int nLine);

// Ends the process through exit(): exit handlers and static destructors run.
[[noreturn]] ZR_COMMON_API void Debug_Exit(int nStatus);

// Stops in an attached debugger; without one the process ends as on an
// unhandled breakpoint. What ZR_ASSERT calls when the dialog asks to debug.
ZR_COMMON_API void ZR_DebugBreak(void);

} // extern "C"

// ZR_ASSERT(condition): when the condition is false, shows the assertion
// dialog (Alternate_Debug_Assert with the condition's text, file and line) and
// breaks into the debugger when it says so. Like assert, it is compiled away
// where NDEBUG is defined: the condition is then checked for syntax only and
// never evaluated.
#if defined(NDEBUG)
#  define ZR_ASSERT(...) ((void)sizeof(!(__VA_ARGS__)))
#else
#  define ZR_ASSERT(...)                                                                   \
      ((__VA_ARGS__) ? (void)0                                                             \
                     : (Alternate_Debug_Assert(#__VA_ARGS__, __FILE__, __LINE__) ? ZR_DebugBreak() \
                                                                                  : (void)0))
#endif
