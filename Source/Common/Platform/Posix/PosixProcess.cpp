// Process services of the POSIX backend: process id and exit, the machine's name,
// debugger output and presence, and message boxes on a terminal. Only code for POSIX goes here.
#include <limits.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include "Common/Platform/Posix/PosixObjects.h"
#include "Common/Platform/PlatformNames.h"

namespace ZRPlatform
{
namespace Posix
{
namespace
{
using Names::AsciiLower;
using Names::AsciiLowerCopy;
using Names::CompareNoCase;
using Names::IsSeparator;

constexpr char kStatusFile[] = "/proc/self/status";
constexpr char kTracerField[] = "TracerPid:";
constexpr char kDefaultCaption[] = "Error";   // MessageBoxA's caption for null

// Windows button ids.
constexpr int kIdOk = 1;
constexpr int kIdCancel = 2;
constexpr int kIdAbort = 3;
constexpr int kIdRetry = 4;
constexpr int kIdIgnore = 5;
constexpr int kIdYes = 6;
constexpr int kIdNo = 7;
constexpr int kIdTryAgain = 10;
constexpr int kIdContinue = 11;

constexpr std::uint32_t kButtonSetMask = 0x0F;       // MB_TYPEMASK
constexpr std::uint32_t kDefaultButtonMask = 0xF00;  // MB_DEFMASK
constexpr int kDefaultButtonShift = 8;
constexpr int kMaxButtons = 3;

struct Button
{
    int id;
    char key;            // typed on the terminal to choose it
    const char* label;   // shows the key in brackets
};

constexpr Button kOk{kIdOk, 'o', "[O]K"};
constexpr Button kCancel{kIdCancel, 'c', "[C]ancel"};
constexpr Button kAbort{kIdAbort, 'a', "[A]bort"};
constexpr Button kRetry{kIdRetry, 'r', "[R]etry"};
constexpr Button kIgnore{kIdIgnore, 'i', "[I]gnore"};
constexpr Button kYes{kIdYes, 'y', "[Y]es"};
constexpr Button kNo{kIdNo, 'n', "[N]o"};
constexpr Button kTryAgain{kIdTryAgain, 't', "[T]ry again"};
constexpr Button kContinue{kIdContinue, 'n', "Co[n]tinue"};

struct ButtonSet
{
    int count;
    Button buttons[kMaxButtons];
};

// Indexed by the MB_ button bits: MB_OK, MB_OKCANCEL, MB_ABORTRETRYIGNORE,
// MB_YESNOCANCEL, MB_YESNO, MB_RETRYCANCEL, MB_CANCELTRYCONTINUE.
constexpr ButtonSet kButtonSets[] = {
    {1, {kOk}},
    {2, {kOk, kCancel}},
    {3, {kAbort, kRetry, kIgnore}},
    {3, {kYes, kNo, kCancel}},
    {2, {kYes, kNo}},
    {2, {kRetry, kCancel}},
    {3, {kCancel, kTryAgain, kContinue}},
};
constexpr std::uint32_t kButtonSetCount = sizeof(kButtonSets) / sizeof(kButtonSets[0]);

std::atomic<MessageBoxHandler> g_messageBoxHandler{nullptr};
std::mutex g_terminalLock;   // one default message box at a time

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

// The answer without a user: Cancel where there is one (what Escape gives on
// Windows), otherwise the first button (OK for MB_OK).
int UnattendedAnswer(const ButtonSet& set)
{
    for (int i = 0; i < set.count; ++i)
        if (set.buttons[i].id == kIdCancel)
            return kIdCancel;
    return set.buttons[0].id;
}

// One line from standard input; false at end of input.
bool ReadAnswerLine(std::string& line)
{
    line.clear();
    char c;
    for (;;)
    {
        const ssize_t n = read(STDIN_FILENO, &c, 1);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return !line.empty();
        if (c == '\n')
            return true;
        line += c;
    }
}

// Asks until a button's key is typed; an empty line takes the default button
// (MB_DEFBUTTONn), end of input the unattended answer.
int AskOnTerminal(const ButtonSet& set, std::uint32_t style)
{
    std::uint32_t defaultIndex = (style & kDefaultButtonMask) >> kDefaultButtonShift;
    if (defaultIndex >= static_cast<std::uint32_t>(set.count))
        defaultIndex = 0;
    std::string prompt;
    for (int i = 0; i < set.count; ++i)
        prompt += std::string(i == 0 ? "" : " / ") + set.buttons[i].label;
    prompt += "? ";
    std::string line;
    for (;;)
    {
        WriteText(STDERR_FILENO, prompt);
        if (!ReadAnswerLine(line))
            return UnattendedAnswer(set);
        const std::size_t first = line.find_first_not_of(" \t\r");
        if (first == std::string::npos)
            return set.buttons[defaultIndex].id;
        for (int i = 0; i < set.count; ++i)
            if (AsciiLower(line[first]) == set.buttons[i].key)
                return set.buttons[i].id;
    }
}

int DefaultMessageBox(const char* text, const char* caption, std::uint32_t style)
{
    const std::uint32_t setIndex = style & kButtonSetMask;
    if (setIndex >= kButtonSetCount)
    {
        SetLastError(Error::InvalidArgument);
        return 0;   // MessageBoxA fails with 0 for an unknown button set
    }
    const ButtonSet& set = kButtonSets[setIndex];
    std::lock_guard<std::mutex> guard(g_terminalLock);
    WriteText(STDERR_FILENO, std::string("\n") + (caption != nullptr ? caption : kDefaultCaption) +
                                 "\n" + (text != nullptr ? text : "") + "\n");
    if (isatty(STDIN_FILENO) != 1)
        return UnattendedAnswer(set);
    return AskOnTerminal(set, style);
}

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
void DebugOutput(const char* text)
{
    if (text != nullptr)
        WriteAll(STDERR_FILENO, text, std::strlen(text));
}

bool DebuggerPresent()
{
    std::ifstream status(kStatusFile);
    std::string line;
    while (std::getline(status, line))
        if (line.compare(0, sizeof(kTracerField) - 1, kTracerField) == 0)
            return std::strtol(line.c_str() + sizeof(kTracerField) - 1, nullptr, 10) != 0;
    return false;
}

int MessageBoxShow(const char* text, const char* caption, std::uint32_t style)
{
    const MessageBoxHandler handler = g_messageBoxHandler.load();
    return handler != nullptr ? handler(text, caption, style)
                              : DefaultMessageBox(text, caption, style);
}

void MessageBoxSetHandler(MessageBoxHandler handler) { g_messageBoxHandler.store(handler); }

} // namespace ZRPlatform
