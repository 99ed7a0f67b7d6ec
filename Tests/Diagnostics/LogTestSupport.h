// Shared by the logging and assertion tests: the debugger output and message
// boxes captured through the library's hooks, the expected computer name, and a
// server of the log mail slot that decodes records on its own.
#pragma once

#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <tuple>
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

    std::vector<std::string> Take()
    {
        std::lock_guard<std::mutex> guard(m_lock);
        return std::exchange(m_pieces, {});
    }

private:
    static void Hook(const char* text, void* user)
    {
        auto& self = *static_cast<CDebugCapture*>(user);
        std::lock_guard<std::mutex> guard(self.m_lock);
        self.m_pieces.push_back(text);
    }
    std::mutex m_lock;
    std::vector<std::string> m_pieces;
};

struct sShownBox
{
    std::string text;
    std::string caption;
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
// without its domain.
inline std::string ComputerName()
{
    char host[256] = {};
    gethostname(host, sizeof(host) - 1);
    return std::string(host, std::strcspn(host, "."));
}

// One log record as the mail slot carries it.
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
        return std::tie(computer, logName, processId, logClass, ticks, context, location,
                        locationNumber, message);
    }
    bool operator==(const sRecord& o) const { return Tied() == o.Tied(); }
};
inline std::ostream& operator<<(std::ostream& out, const sRecord& r)
{
    const char* bar = " | ";
    return out << r.computer << bar << r.logName << bar << r.processId << bar << r.logClass << bar
               << r.ticks << bar << r.context << bar << r.location << bar << r.locationNumber << bar
               << r.message;
}

// Reads a record field by field, little-endian, without the library's help;
// false unless the bytes hold exactly one record.
class CRecordDecoder
{
public:
    explicit CRecordDecoder(const std::vector<unsigned char>& bytes) : m_bytes(bytes) {}

    bool Decode(sRecord& r)
    {
        std::uint32_t logClass = 0, number = 0;
        const bool whole = Text(r.computer) && Text(r.logName) && Word(r.processId) &&
                           Word(logClass) && Text(r.ticks) && Text(r.context) && Text(r.location) &&
                           Word(number) && Text(r.message) && m_at == m_bytes.size();
        r.logClass = static_cast<std::int32_t>(logClass);
        r.locationNumber = static_cast<std::int32_t>(number);
        return whole;
    }

private:
    bool Word(std::uint32_t& value)
    {
        if (m_bytes.size() - m_at < 4)
            return false;
        value = 0;
        for (int i = 3; i >= 0; --i)
            value = (value << 8) | m_bytes[m_at + i];
        m_at += 4;
        return true;
    }
    bool Text(std::string& text)
    {
        std::uint32_t length = 0;
        if (!Word(length) || length > m_bytes.size() - m_at)
            return false;
        text.assign(m_bytes.begin() + m_at, m_bytes.begin() + m_at + length);
        m_at += length;
        return true;
    }

    const std::vector<unsigned char>& m_bytes;
    std::size_t m_at = 0;
};

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
        {
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
            const bool whole = CRecordDecoder(bytes).Decode(record);
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
