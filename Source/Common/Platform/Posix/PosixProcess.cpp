// Process services of the POSIX backend: process id and exit, the machine's name,
// debugger output, presence and break, and the default message box on standard
// error. Only code for POSIX goes here.
#include <limits.h>
#include <signal.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include "Common/Platform/Posix/PosixObjects.h"
#include "Common/Platform/PlatformBackend.h"

namespace ZRPlatform
{
namespace Posix
{
namespace
{
constexpr char kStatusFile[] = "/proc/self/status";
constexpr char kTracerField[] = "TracerPid:";
constexpr char kDefaultCaption[] = "Error";   // MessageBoxA's caption for null

// Windows button ids, the first button of each set.
constexpr int kIdOk = 1;
constexpr int kIdCancel = 2;
constexpr int kIdAbort = 3;
constexpr int kIdRetry = 4;
constexpr int kIdYes = 6;

constexpr std::uint32_t kButtonSetMask = 0x0F;   // MB_TYPEMASK

// Indexed by the MB_ button bits: MB_OK, MB_OKCANCEL, MB_ABORTRETRYIGNORE,
// MB_YESNOCANCEL, MB_YESNO, MB_RETRYCANCEL, MB_CANCELTRYCONTINUE.
constexpr int kFirstButtons[] = {kIdOk, kIdOk, kIdAbort, kIdYes, kIdYes, kIdRetry, kIdCancel};
constexpr std::uint32_t kButtonSetCount = sizeof(kFirstButtons) / sizeof(kFirstButtons[0]);

std::mutex g_messageBoxLock;   // one default message box at a time, never interleaved

void WriteAll(int fd, const char* text, std::size_t size)
{
    while (size > 0)
    {
        const ssize_t n = write(fd, text, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        text += n;
        size -= static_cast<std::size_t>(n);
    }
}

void WriteText(int fd, const std::string& text) { WriteAll(fd, text.data(), text.size()); }

} // namespace
} // namespace Posix

using namespace Posix;

std::uint32_t ProcessCurrentId() { return static_cast<std::uint32_t>(getpid()); }

// The OS keeps the low 8 bits of code as the exit status.
void ProcessExitNow(std::uint32_t code) { _exit(static_cast<int>(code)); }

// The host name without a domain part, as the Windows computer name has none.
bool ComputerName(char* buffer, std::size_t size)
{
    char host[HOST_NAME_MAX + 1] = {};
    if (gethostname(host, sizeof(host) - 1) != 0 || host[0] == '\0')
    {
        utsname system{};
        if (uname(&system) != 0)
        {
            SetLastErrorFromErrno(errno);
            return false;
        }
        std::snprintf(host, sizeof(host), "%s", system.nodename);
    }
    const std::string name(host, std::strcspn(host, "."));
    if (buffer == nullptr || name.size() >= size)
    {
        SetLastError(Error::InvalidArgument);
        return false;
    }
    std::memcpy(buffer, name.c_str(), name.size() + 1);
    return true;
}

// Linux has no debugger channel; a debugger attached to the process sees stderr.
void Backend::DebugWrite(const char* text) { WriteAll(STDERR_FILENO, text, std::strlen(text)); }

bool DebuggerPresent()
{
    std::ifstream status(kStatusFile);
    std::string line;
    while (std::getline(status, line))
        if (line.compare(0, sizeof(kTracerField) - 1, kTracerField) == 0)
            return std::strtol(line.c_str() + sizeof(kTracerField) - 1, nullptr, 10) != 0;
    return false;
}

void DebuggerBreak() { raise(SIGTRAP); }

// Never reads standard input, even from a terminal: an unattended run must not
// block in a box that nobody answers.
int Backend::MessageBoxDefault(const char* text, const char* caption, std::uint32_t style)
{
    const std::uint32_t setIndex = style & kButtonSetMask;
    if (setIndex >= kButtonSetCount)
    {
        SetLastError(Error::InvalidArgument);
        return 0;   // MessageBoxA fails with 0 for an unknown button set
    }
    std::lock_guard<std::mutex> guard(g_messageBoxLock);
    WriteText(STDERR_FILENO, std::string("\n") + (caption != nullptr ? caption : kDefaultCaption) +
                                 "\n" + (text != nullptr ? text : "") + "\n");
    return kFirstButtons[setIndex];
}

} // namespace ZRPlatform
