// Process services of the Windows backend: process id and exit, the computer
// name from the registry, debugger output, presence and break, and the message
// box. Only code for Windows goes here.
//
// The message box without a handler: a modal MessageBoxA when a user can answer
// it, that is when the process runs on a visible window station (an
// interactive desktop) and the environment does not say ZR_UNATTENDED. A box
// asked to stay on top (MB_TOPMOST, the assertion dialog) is owned by the
// desktop window, which is brought to the foreground first. Otherwise (a
// service, a build machine, a test run) the caption and the text go to
// standard error and the first button of the set answers, so nothing blocks.
#include <cstring>
#include <mutex>
#include <string>

#include "Common/Platform/PlatformBackend.h"
#include "Common/Platform/Win32/Win32Sys.h"

namespace ZRPlatform
{
namespace Win32
{
namespace
{
constexpr char kComputerNameKey[] = "SYSTEM\\CurrentControlSet\\Control\\ComputerName\\ComputerName";
constexpr char kComputerNameValue[] = "ComputerName";
constexpr std::size_t kMaxComputerName = 256;
constexpr char kUnattendedVariable[] = "ZR_UNATTENDED";
constexpr char kDefaultCaption[] = "Error";   // MessageBoxA's caption for null

// Windows button ids, the first button of each set.
constexpr int kIdOk = IDOK;
constexpr int kIdCancel = IDCANCEL;
constexpr int kIdAbort = IDABORT;
constexpr int kIdRetry = IDRETRY;
constexpr int kIdYes = IDYES;

constexpr std::uint32_t kButtonSetMask = MB_TYPEMASK;

// Indexed by the MB_ button bits: MB_OK, MB_OKCANCEL, MB_ABORTRETRYIGNORE,
// MB_YESNOCANCEL, MB_YESNO, MB_RETRYCANCEL, MB_CANCELTRYCONTINUE.
constexpr int kFirstButtons[] = {kIdOk, kIdOk, kIdAbort, kIdYes, kIdYes, kIdRetry, kIdCancel};
constexpr std::uint32_t kButtonSetCount = sizeof(kFirstButtons) / sizeof(kFirstButtons[0]);

std::mutex g_messageBoxLock;   // one unattended box at a time, never interleaved

void WriteStandardError(const std::string& text)
{
    const HANDLE error = ::GetStdHandle(STD_ERROR_HANDLE);
    const char* bytes = text.data();
    std::size_t left = text.size();
    while (left > 0 && error != nullptr && error != INVALID_HANDLE_VALUE)
    {
        DWORD put = 0;
        if (!::WriteFile(error, bytes, static_cast<DWORD>(left), &put, nullptr) || put == 0)
            return;
        bytes += put;
        left -= put;
    }
}

bool UserCanAnswer()
{
    if (::GetEnvironmentVariableA(kUnattendedVariable, nullptr, 0) != 0)
        return false;
    USEROBJECTFLAGS flags{};
    const HWINSTA station = ::GetProcessWindowStation();
    return station != nullptr &&
           ::GetUserObjectInformationA(station, UOI_FLAGS, &flags, sizeof(flags), nullptr) &&
           (flags.dwFlags & WSF_VISIBLE) != 0;
}

int ShowWindowsBox(const char* text, const char* caption, std::uint32_t style)
{
    HWND owner = nullptr;
    if (style & MB_TOPMOST)
    {
        owner = ::GetDesktopWindow();
        ::SetForegroundWindow(owner);
    }
    const int answer = ::MessageBoxA(owner, text, caption, style);
    if (answer == 0)
        SetLastErrorFromOs();
    return answer;
}
} // namespace
} // namespace Win32

using namespace Win32;

std::uint32_t ProcessCurrentId() { return ::GetCurrentProcessId(); }

// TerminateProcess rather than ExitProcess: no DLL (this library included) is
// told that the process detaches, so no static destructor or atexit handler
// runs, as with _exit elsewhere. It returns only if it failed for the
// process itself, where ending is all that is left.
void ProcessExitNow(std::uint32_t code)
{
    ::TerminateProcess(::GetCurrentProcess(), code);
    ::ExitProcess(code);
}

bool ComputerName(char* buffer, std::size_t size)
{
    HKEY key = nullptr;
    LONG status = ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kComputerNameKey, 0, KEY_QUERY_VALUE, &key);
    if (status != ERROR_SUCCESS)
    {
        SetLastErrorFrom(static_cast<DWORD>(status));
        return false;
    }
    char name[kMaxComputerName + 1] = {};
    DWORD type = 0;
    DWORD length = kMaxComputerName;   // one byte stays for the terminator
    status = ::RegQueryValueExA(key, kComputerNameValue, nullptr, &type,
                                reinterpret_cast<BYTE*>(name), &length);
    ::RegCloseKey(key);
    if (status != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ))
    {
        SetLastErrorFrom(static_cast<DWORD>(status != ERROR_SUCCESS ? status : ERROR_INVALID_DATA));
        return false;
    }
    const std::size_t used = std::strlen(name);   // the value may or may not end in NUL
    if (buffer == nullptr || used >= size)
    {
        SetLastError(Error::InvalidArgument);
        return false;
    }
    std::memcpy(buffer, name, used + 1);
    return true;
}

void Backend::DebugWrite(const char* text)
{
    if (::IsDebuggerPresent())
        ::OutputDebugStringA(text);
    else
        WriteStandardError(text);
}

bool DebuggerPresent() { return ::IsDebuggerPresent() != FALSE; }

void DebuggerBreak() { ::DebugBreak(); }

int Backend::MessageBoxDefault(const char* text, const char* caption, std::uint32_t style)
{
    const std::uint32_t setIndex = style & kButtonSetMask;
    if (setIndex >= kButtonSetCount)
    {
        SetLastError(Error::InvalidArgument);
        return 0;   // MessageBoxA fails with 0 for an unknown button set
    }
    if (UserCanAnswer())
        return ShowWindowsBox(text, caption, style);
    std::lock_guard<std::mutex> guard(g_messageBoxLock);
    WriteStandardError(std::string("\n") + (caption != nullptr ? caption : kDefaultCaption) + "\n" +
                       (text != nullptr ? text : "") + "\n");
    return kFirstButtons[setIndex];
}

} // namespace ZRPlatform
