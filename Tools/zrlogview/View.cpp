// zrlogview: serving the slot, and one line per entry that arrives.
#include <chrono>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <string>

#include "Common/Core/ZRException.h"
#include "Common/MailSlot/ZRMailSlot.h"
#include "Common/Time/ZRSyncFunctions.h"
#include "LogRecord.h"
#include "ToolCli.h"
#include "Zrlogview.h"

namespace
{
// How long the viewer sleeps while the slot is empty: the longest an entry
// waits to be shown, and an interruption to be seen.
constexpr unsigned long kPollMs = 50;
constexpr unsigned long kTotalMask = 0xFFFFFFFFUL;

volatile std::sig_atomic_t g_interrupted = 0;

extern "C" void OnInterrupt(int) { g_interrupted = 1; }

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

std::string SlotName(const std::string& name)
{
    if (name.size() >= 2 && IsSeparator(name[0]) && IsSeparator(name[1]))
        return name;
    return "\\\\.\\mailslot\\" + name;
}

char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameNoCase(const std::string& a, const std::string& b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (AsciiLower(a[i]) != AsciiLower(b[i]))
            return false;
    return true;
}

bool Wanted(const sLogRecord& record, const sViewOptions& options)
{
    if (options.classMinSet && record.logClass < options.classMin)
        return false;
    if (options.logs.empty())
        return true;
    for (const std::string& log : options.logs)
        if (SameNoCase(record.log, log))
            return true;
    return false;
}

// The local wall-clock time, hh:mm:ss.mmm.
std::string Now()
{
    using namespace std::chrono;
    const system_clock::time_point now = system_clock::now();
    const time_point<system_clock, seconds> second = floor<seconds>(now);
    const long long millis = duration_cast<milliseconds>(now - second).count();
    const std::time_t clock = system_clock::to_time_t(second);
    const std::tm* local = std::localtime(&clock);
    char text[32] = "??:??:??";
    if (local != nullptr)
        std::strftime(text, sizeof(text), "%H:%M:%S", local);
    return text + std::string(".") + std::to_string(millis + 1000).substr(1);
}

std::string FormatEntry(const std::string& received, const sLogRecord& record,
                        const sViewOptions& options)
{
    auto shown = [&](const std::string& text) {
        return options.ascii ? PrintableAscii(text) : Printable(text);
    };
    std::string line = received + "\t";
    if (options.ticks)
        line += record.tickCount + "\t";
    const char* className = LogClassName(record.logClass);
    line += shown(record.computer) + "\t" + shown(record.log) + "\t" +
            std::to_string(record.processId) + "\t" + std::to_string(record.logClass) +
            (className != nullptr ? std::string(" ") + className : std::string()) + "\t" +
            shown(record.context) + "\t" + shown(record.location) + "\t" +
            std::to_string(record.locationNumber) + "\t" + shown(record.message);
    return line;
}

// Shows a line; a failed write ends the viewer.
bool PrintLine(const std::string& line)
{
    std::fputs((line + "\n").c_str(), stdout);
    return std::fflush(stdout) == 0 && !std::ferror(stdout);
}

class CViewer
{
public:
    CViewer(CZRMailSlot& slot, const sViewOptions& options) : m_slot(slot), m_options(options) {}

    // Takes the next message off the slot. False with the file and problem
    // that end the viewer.
    bool Next(std::string& file, std::string& problem);
    unsigned long GetReported() const { return m_reported; }

private:
    void Damaged(const std::string& received, const std::string& problem);
    bool Skip(std::string& file, std::string& problem);

    CZRMailSlot& m_slot;
    const sViewOptions& m_options;
    unsigned long m_reported = 0;   // messages shown or reported
};

void CViewer::Damaged(const std::string& received, const std::string& problem)
{
    Report(received + ": " + problem);
    ++m_reported;
}

// A message too large for the buffer stays first in the slot until it is
// skipped: BeginRead would receive nothing, for ever.
bool CViewer::Next(std::string& file, std::string& problem)
{
    const std::string received = Now();
    const unsigned long size = m_slot.GetMessageSize();
    if (size == CZRMailSlot::NO_MESSAGE)
        return true;
    if (size > kMaxRecordSize)
    {
        Damaged(received, "a message of " + ByteCount(size) + " skipped (a record has at most " +
                              std::to_string(kMaxRecordSize) + ")");
        return Skip(file, problem);
    }
    const unsigned long before = m_slot.GetTotalBytesRead();
    m_slot.BeginRead();
    const unsigned long length = (m_slot.GetTotalBytesRead() - before) & kTotalMask;
    unsigned char bytes[kMaxRecordSize];
    m_slot.Read(bytes, length);
    m_slot.EndRead();
    if (length == 0 && size != 0)
    {
        // The slot failed to hand the message over and keeps it first.
        Damaged(received, "a message of " + ByteCount(size) + " could not be received");
        return Skip(file, problem);
    }
    sLogRecord record;
    sRecordDamage damage;
    if (!DecodeLogRecord(bytes, length, record, damage))
    {
        Damaged(received, "damaged record of " + ByteCount(length) + ": " + DescribeDamage(damage));
        return true;
    }
    if (!Wanted(record, m_options))
        return true;
    ++m_reported;
    if (PrintLine(FormatEntry(received, record, m_options)))
        return true;
    file = "stdout";
    problem = "write error";
    return false;
}

// Past a message that cannot be read; a slot that keeps it would report it
// again and again, so that ends the viewer.
bool CViewer::Skip(std::string& file, std::string& problem)
{
    if (m_slot.SkipMessage())
        return true;
    file = SlotName(m_options.slot);
    problem = "a message cannot be taken off the slot";
    return false;
}
} // namespace

int ViewLog(const sViewOptions& options)
{
    const std::string name = SlotName(options.slot);
    CZRMailSlot slot;
    try
    {
        slot.Open(name.c_str(), true);
    }
    catch (const CZRException& error)
    {
        return Fail(name, error);
    }
    std::signal(SIGINT, OnInterrupt);
    std::signal(SIGTERM, OnInterrupt);
    CViewer viewer(slot, options);
    std::string file, problem;
    while (g_interrupted == 0 && (options.count == 0 || viewer.GetReported() < options.count))
    {
        if (!slot.AreMessagesWaiting())
            SYNC_Sleep(kPollMs);
        else if (!viewer.Next(file, problem))
            return Fail(file, problem);
    }
    return kExitOk;
}
