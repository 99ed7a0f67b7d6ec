// The log function. One entry gathers its fields once (computer name, process
// id, tick count, message) and hands the same values to each sink asked for, in
// the fixed order debugger, file, mail slot, message box, all under the log
// lock. A sink's failure is reported on the debugger output and never stops the
// sinks after it.
#include "Common/Diagnostics/ZRLog.h"

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <string>

#include "Common/Core/ZRFormat.h"
#include "Common/Core/ZRLittleEndian.h"
#include "Common/Core/ZRString.h"
#include "Common/Diagnostics/ZRDebugFunctions.h"
#include "Common/Diagnostics/ZRLogObjects.h"
#include "Common/Platform/Platform.h"
#include "Common/Time/ZRLockGuard.h"

namespace
{
constexpr std::size_t kMessageBufferSize = 256;          // 255 characters kept
constexpr std::size_t kComputerNameBufferSize = 260;     // what the system is asked for
constexpr std::size_t kComputerNameMax = 256;            // what an entry keeps
constexpr std::size_t kNumberTextSize = 12;              // "%d" of any 32-bit value
constexpr std::size_t kRecordIntegerSize = 4;

constexpr char kLogFileExtension[] = ".log";
constexpr char kFieldSeparator[] = " | ";
constexpr char kLineEnd[] = "\r\n";
constexpr char kLogMailSlotName[] = "\\\\*\\mailslot\\debug";
constexpr char kLineFeed[] = "\n";
constexpr char kFileFailure[] = "Error while writing to log file. Hard disk full?\n";
constexpr char kMailSlotFailure[] =
    "bool _ZR_Log_Fn(): Could not write to mailslot. Please check your network connection and "
    "settings!";

constexpr std::uint32_t kMbIconInformation = 0x40;
constexpr int kCatastrophicExitStatus = 0;

// Message box captions, indexed by log class.
constexpr const char* kClassNames[] = {
    "Game Message", "Dump",  "Info",           "Message",           "Note",
    "Warning",      "Error", "Critical Error", "Catastrophic Error",
};
constexpr int kClassCount = static_cast<int>(sizeof(kClassNames) / sizeof(kClassNames[0]));
constexpr char kUnknownClassName[] = "Unkown class";

// The fields of one entry, each gathered once.
struct sLogEntry
{
    const char* location;
    const char* logName;
    const char* context;
    int locationNumber;
    int logClass;
    char computerName[kComputerNameBufferSize];
    std::uint32_t processId;
    char ticks[kNumberTextSize];
    char message[kMessageBufferSize];
};

const char* TextOrEmpty(const char* text) { return text != nullptr ? text : ""; }

const char* ClassName(int logClass)
{
    return logClass >= 0 && logClass < kClassCount ? kClassNames[logClass] : kUnknownClassName;
}

void FormatDecimal(char (&text)[kNumberTextSize], std::int32_t value)
{
    std::snprintf(text, sizeof(text), "%d", static_cast<int>(value));
}

std::string Decimal(std::int32_t value)
{
    char text[kNumberTextSize];
    FormatDecimal(text, value);
    return text;
}

// Empty when the system cannot tell the name (or it is too long to be read).
void ReadComputerName(char (&name)[kComputerNameBufferSize])
{
    if (!ZRPlatform::ComputerName(name, sizeof(name)))
        name[0] = '\0';
    name[kComputerNameMax] = '\0';
}

void FormatMessage(char (&message)[kMessageBufferSize], const char* format, va_list args)
{
    const ZRFormat::Result result =
        ZRFormat::Format(message, sizeof(message) - 1, TextOrEmpty(format), args);
    message[result.kept] = '\0';
}

void CloseQuietly(CFileIO& file)
{
    try
    {
        if (file.IsOpened())
            file.Close();
    }
    catch (...)
    {
        // Nothing more can be done for this entry; the next one opens afresh.
    }
}

// Opens "<log name>.log" for appending, writes the line, flushes and closes, so
// nothing stays buffered between entries. A failed open is not checked: the
// first write then throws, which takes the failure path with everything else.
void WriteFileLine(CFileIO& file, const sLogEntry& entry)
{
    try
    {
        if (!file.IsOpened())
            file.Open((std::string(entry.logName) + kLogFileExtension).c_str(), FILEMODE_APPEND);
        const std::string processId = Decimal(static_cast<std::int32_t>(entry.processId));
        const std::string logClass = Decimal(entry.logClass);
        const std::string locationNumber = Decimal(entry.locationNumber);
        const char* const fields[] = {entry.computerName, entry.logName,   processId.c_str(),
                                      logClass.c_str(),   entry.ticks,     entry.context,
                                      entry.location,     locationNumber.c_str(), entry.message};
        bool written = true;
        for (std::size_t i = 0; i < sizeof(fields) / sizeof(fields[0]); ++i)
        {
            if (i > 0)
                written = written && file.WriteConstAscii(CZRString(kFieldSeparator));
            written = written && file.WriteConstAscii(CZRString(fields[i]));
        }
        written = written && file.WriteConstAscii(CZRString(kLineEnd));
        written = file.Flush() && written;
        file.Close();
        if (!written)
            ZRPlatform::DebugOutput(kFileFailure);
    }
    catch (...)
    {
        ZRPlatform::DebugOutput(kFileFailure);
        CloseQuietly(file);
    }
}

void WriteRecordInteger(CZRMailSlot& slot, std::uint32_t value)
{
    unsigned char bytes[kRecordIntegerSize];
    ZRLittleEndian::Encode(value, bytes, sizeof(bytes));
    slot.Write(bytes, sizeof(bytes));
}

// One message; a record beyond the slot's 400 bytes makes a Write throw before
// anything is sent. A failed open leaves the slot closed, so the next entry
// tries again.
void SendRecord(CZRMailSlot& slot, const sLogEntry& entry)
{
    try
    {
        if (!slot.IsOpened())
            slot.Open(kLogMailSlotName, false);
        if (!slot.IsOpened())
            return;
        slot.BeginWrite();
        slot.Write(CZRString(entry.computerName));
        slot.Write(CZRString(entry.logName));
        WriteRecordInteger(slot, entry.processId);
        WriteRecordInteger(slot, static_cast<std::uint32_t>(entry.logClass));
        slot.Write(CZRString(entry.ticks));
        slot.Write(CZRString(entry.context));
        slot.Write(CZRString(entry.location));
        WriteRecordInteger(slot, static_cast<std::uint32_t>(entry.locationNumber));
        slot.Write(CZRString(entry.message));
        slot.EndWrite();
    }
    catch (...)
    {
        ZRPlatform::DebugOutput(kMailSlotFailure);
        ZRPlatform::DebugOutput(kLineFeed);
    }
}
} // namespace

extern "C" bool _ZR_Log_Fn(const char* pszLocation, const char* pszLogName, const char* pszContext,
                           int nLocationNumber, int /*nIgnored*/, unsigned long dwSinks, int nClass,
                           const char* pszFormat, ...)
{
    sLogObjects& log = GetLogObjects();
    CZRLockGuard guard(log.lock);

    sLogEntry entry;
    entry.location = TextOrEmpty(pszLocation);
    entry.logName = TextOrEmpty(pszLogName);
    entry.context = TextOrEmpty(pszContext);
    entry.locationNumber = nLocationNumber;
    entry.logClass = nClass;
    ReadComputerName(entry.computerName);
    entry.processId = ZRPlatform::ProcessCurrentId();
    FormatDecimal(entry.ticks, static_cast<std::int32_t>(ZRPlatform::ClockTickMs()));
    va_list args;
    va_start(args, pszFormat);
    FormatMessage(entry.message, pszFormat, args);
    va_end(args);

    if (dwSinks & LOG_TO_DEBUGGER)
    {
        ZRPlatform::DebugOutput(entry.message);
        ZRPlatform::DebugOutput(kLineFeed);
    }
    if (dwSinks & LOG_TO_FILE)
        WriteFileLine(log.file, entry);
    if (dwSinks & LOG_TO_MAILSLOT)
        SendRecord(log.mailSlot, entry);
    if (dwSinks & LOG_TO_MESSAGEBOX)
    {
        ZRPlatform::MessageBoxShow(entry.message, ClassName(nClass), kMbIconInformation);
        if (nClass == LOG_CLASS_CATASTROPHIC_ERROR)
            Debug_Exit(kCatastrophicExitStatus);
    }
    return true;
}
