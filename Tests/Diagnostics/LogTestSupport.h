// Shared by the logging and assertion tests: the debugger output and message
// boxes captured through the library's hooks, the expected computer name, and a
// server of the log mail slot that decodes records on its own.
#pragma once

#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

#include "Common/Common.h"

namespace LogTest
{
// Every piece sent to the debugger output while the object lives, piece by piece.
class CDebugCapture
{
public:
    CDebugCapture() { ZR_SetDebugOutputHook(&Hook, this); }
    ~CDebugCapture() { ZR_SetDebugOutputHook(nullptr, nullptr); }
    CDebugCapture(const CDebugCapture&) = delete;
    std::vector<std::string> Take() { return std::exchange(m_pieces, {}); }

private:
    static void Hook(const char* text, void* user) { static_cast<CDebugCapture*>(user)->m_pieces.push_back(text); }
    std::vector<std::string> m_pieces;
};

struct sShownBox
{
    std::string text, caption;
    unsigned int style;
    bool operator==(const sShownBox& o) const
    {
        return std::tie(text, caption, style) == std::tie(o.text, o.caption, o.style);
    }
};
inline std::ostream& operator<<(std::ostream& out, const sShownBox& box)
{
    return out << '"' << box.caption << "\" " << box.style << " \"" << box.text << '"';
}

// Answers every message box with one button and keeps what each showed.
class CMessageBoxAnswer
{
public:
    explicit CMessageBoxAnswer(int answer) : m_answer(answer) { ZR_SetMessageBoxHook(&Hook, this); }
    ~CMessageBoxAnswer() { ZR_SetMessageBoxHook(nullptr, nullptr); }
    CMessageBoxAnswer(const CMessageBoxAnswer&) = delete;
    std::vector<sShownBox> shown;

private:
    static int Hook(const char* text, const char* caption, unsigned int style, void* user)
    {
        auto& self = *static_cast<CMessageBoxAnswer*>(user);
        self.shown.push_back({text, caption, style});
        return self.m_answer;
    }
    const int m_answer;
};

// The computer name as the library reports it on this machine: the host name
// without its domain (Windows keeps it in COMPUTERNAME too).
inline std::string ComputerName()
{
#if defined(_WIN32)
    const char* name = std::getenv("COMPUTERNAME");
    return name != nullptr ? name : "";
#else
    char host[256] = {};
    gethostname(host, sizeof(host) - 1);
    return std::string(host, std::strcspn(host, "."));
#endif
}

// One log record as the mail slot carries it; printed as the file line's fields.
struct sRecord
{
    std::string computer, logName;
    std::uint32_t processId;
    std::int32_t logClass;
    std::string ticks, context, location;
    std::int32_t locationNumber;
    std::string message;
    auto Tied() const
    {
        return std::tie(computer, logName, processId, logClass, ticks, context, location, locationNumber, message);
    }
    bool operator==(const sRecord& o) const { return Tied() == o.Tied(); }
};
inline std::ostream& operator<<(std::ostream& out, const sRecord& r)
{
    const char* bar = " | ";
    return out << r.computer << bar << r.logName << bar << r.processId << bar << r.logClass << bar << r.ticks
               << bar << r.context << bar << r.location << bar << r.locationNumber << bar << r.message;
}

// Reads a record field by field, little-endian, without the library's help;
// false unless the bytes hold exactly one record.
inline bool DecodeRecord(const std::vector<unsigned char>& bytes, sRecord& r)
{
    std::size_t at = 0;
    const auto word = [&](auto& value) {
        if (bytes.size() - at < 4)
            return false;
        std::uint32_t v = 0;
        for (int i = 3; i >= 0; --i)
            v = (v << 8) | bytes[at + i];
        value = static_cast<std::remove_reference_t<decltype(value)>>(v);
        return at += 4, true;
    };
    const auto text = [&](std::string& t) {
        std::uint32_t length = 0;
        if (!word(length) || length > bytes.size() - at)
            return false;
        t.assign(bytes.begin() + at, bytes.begin() + at + length);
        return at += length, true;
    };
    return text(r.computer) && text(r.logName) && word(r.processId) && word(r.logClass) && text(r.ticks) &&
           text(r.context) && text(r.location) && word(r.locationNumber) && text(r.message) && at == bytes.size();
}

// The server end of the log's mail slot. Another test process may serve the
// slot for a while (CTest runs tests in parallel), so creating it is retried for
// a bounded time. Records are told apart by their log name, so records of other
// processes that reach this server are left out.
class CLogSlotServer
{
public:
    CLogSlotServer()
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
        for (;;)
            try
            {
                m_slot.Open("\\\\.\\mailslot\\debug", true);
                return;
            }
            catch (const CMailSlotException&)
            {
                if (std::chrono::steady_clock::now() > deadline)
                    throw;
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
    }

    // The records waiting now whose log name is logName, in the order sent;
    // one of them that does not decode whole fails the test.
    std::vector<sRecord> Take(const std::string& logName)
    {
        std::vector<sRecord> records;
        while (m_slot.AreMessagesWaiting())
        {
            const unsigned long size = m_slot.GetMessageSize();
            if (size > CZRMailSlot::MESSAGE_BUFFER_SIZE)
            {
                ADD_FAILURE() << "a message of " << size << " bytes blocks the log slot";
                break;
            }
            std::vector<unsigned char> bytes(size);
            m_slot.BeginRead();
            m_slot.Read(bytes.data(), static_cast<unsigned long>(bytes.size()));
            m_slot.EndRead();
            sRecord record;
            const bool whole = DecodeRecord(bytes, record);
            const std::string raw(bytes.begin(), bytes.end());
            if (raw.find(logName) == std::string::npos)
                continue;
            EXPECT_TRUE(whole) << raw;
            if (record.logName == logName)
                records.push_back(record);
        }
        return records;
    }

private:
    CZRMailSlot m_slot;
};
} // namespace LogTest
