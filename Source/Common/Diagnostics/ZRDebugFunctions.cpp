// The Debug_ functions and the host's hooks for debugger output and message boxes.
// None of them takes a lock, and each formats into a buffer of its own call, so
// threads may use them at the same time.
#include "Common/Diagnostics/ZRDebugFunctions.h"

#include <cstdarg>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <type_traits>

#include "Common/Core/ZRFormat.h"
#include "Common/Platform/Platform.h"

namespace
{
constexpr std::size_t kOutputBufferSize = 1024;   // Debug_Printf, the assertion report
constexpr std::size_t kDialogTextMax = kOutputBufferSize - 1;

constexpr char kFatalAssertFormat[] = "*** ZORNBRACK ASSERTION ***\nexpression: %s\nfile: %s\nline: %d\n";
constexpr char kDialogBanner[] = "******** ZORNBRACK ASSERTION ********\n";
constexpr char kDialogReportFormat[] = "expression:     ZR_ASSERT( %s )\n\nfile: %s\nline: %d\n";
constexpr char kDialogCaption[] = "ZORNBRACK ASSERTION";
constexpr std::size_t kRuleLength = 88;
constexpr char kDialogQuestion[] = "\n\nDo you want to debug the application?\n";
constexpr char kDialogAnswers[] =
    "\n YES:           Debug or try to continue (if no debugger present) "
    "\n NO:             Try a clean shutdown (might throw more exceptions)"
    "\n CANCEL:     Force the application to exit\n";

// MessageBoxA styles and answers.
constexpr std::uint32_t kMbYesNoCancel = 0x3;
constexpr std::uint32_t kMbTopmost = 0x40000;
constexpr int kIdCancel = 2;
constexpr int kIdYes = 6;
constexpr int kIdNo = 7;

constexpr int kCleanExitStatus = 0;

static_assert(std::is_same<std::uint32_t, unsigned int>::value,
              "the host's message box hook is the platform's handler");

const char* TextOrEmpty(const char* text) { return text != nullptr ? text : ""; }

// printf-style into buffer (size bytes), cut to size - 1 characters, terminated.
void VFormatBounded(char* buffer, std::size_t size, const char* format, va_list args)
{
    const ZRFormat::Result result = ZRFormat::Format(buffer, size - 1, TextOrEmpty(format), args);
    buffer[result.kept] = '\0';
}

void FormatBounded(char* buffer, std::size_t size, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    VFormatBounded(buffer, size, format, args);
    va_end(args);
}

void VDebugPrintf(const char* format, va_list args)
{
    char buffer[kOutputBufferSize];
    VFormatBounded(buffer, sizeof(buffer), format, args);
    ZRPlatform::DebugOutput(buffer);
}

// The dialog text: the report, cut where needed so that the question and the
// answers, framed by two rules, fit the dialog's 1023 characters whole.
std::string DialogText(const char* report)
{
    const std::string rule = "\n" + std::string(kRuleLength, '-');
    const std::string tail = rule + kDialogQuestion + kDialogAnswers + rule + "\n";
    std::string text(report, strnlen(report, kDialogTextMax - tail.size()));
    return text + tail;
}
} // namespace

extern "C" {

void ZR_SetDebugOutputHook(ZRDebugOutputHook pfnHook, void* pUser)
{
    ZRPlatform::DebugOutputSetHook(pfnHook, pUser);
}

void ZR_SetMessageBoxHook(ZRMessageBoxHook pfnHook, void* pUser)
{
    ZRPlatform::MessageBoxSetHandler(pfnHook, pUser);
}

void Debug_Printf(const char* pszFormat, ...)
{
    va_list args;
    va_start(args, pszFormat);
    VDebugPrintf(pszFormat, args);
    va_end(args);
}

void Debug_Warning(const char* pszFormat, ...)
{
    va_list args;
    va_start(args, pszFormat);
    VDebugPrintf(pszFormat, args);
    va_end(args);
}

void Debug_Assert(const char* pszExpression, const char* pszFile, int nLine)
{
    Debug_Printf(kFatalAssertFormat, TextOrEmpty(pszExpression), TextOrEmpty(pszFile), nLine);
    std::abort();
}

bool Alternate_Debug_Assert(const char* pszExpression, const char* pszFile, int nLine)
{
    char report[kOutputBufferSize];
    FormatBounded(report, sizeof(report), kDialogReportFormat, TextOrEmpty(pszExpression),
                  TextOrEmpty(pszFile), nLine);
    ZRPlatform::DebugOutput(kDialogBanner);
    ZRPlatform::DebugOutput(report);

    const std::string text = DialogText(report);
    switch (ZRPlatform::MessageBoxShow(text.c_str(), kDialogCaption, kMbYesNoCancel | kMbTopmost))
    {
    case kIdYes:
        return ZRPlatform::DebuggerPresent();
    case kIdNo:
        std::exit(kCleanExitStatus);
    case kIdCancel:
        ZRPlatform::ProcessExitNow(kCleanExitStatus);
    default:
        return false;
    }
}

void Debug_Exit(int nStatus) { std::exit(nStatus); }

void ZR_DebugBreak(void) { ZRPlatform::DebuggerBreak(); }

} // extern "C"
