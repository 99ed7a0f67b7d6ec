// The log record decoder: every field of a sound record, every point at which
// a record can be cut, hostile lengths in every text, bytes left over, and a
// record as a mail slot object writes it.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "Common/Common.h"
#include "LogRecord.h"

namespace
{
// A name part of this test process alone, so that runs in parallel do not meet.
long long RunId()
{
    static const long long id = std::chrono::steady_clock::now().time_since_epoch().count();
    return id;
}

using Bytes = std::vector<unsigned char>;

struct sField
{
    const char* name;
    bool text;
};

// The record's fields in order.
const sField kFields[] = {
    {"computer name", true}, {"log name", true}, {"process id", false},
    {"class", false},        {"tick count", true}, {"context", true},
    {"location", true},      {"location number", false}, {"message", true},
};
constexpr std::size_t kFieldCount = sizeof(kFields) / sizeof(kFields[0]);

void AppendWord(Bytes& bytes, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes.push_back(static_cast<unsigned char>(value >> (8 * i)));
}

// Builds a record field by field and remembers where each field begins.
struct sBuilder
{
    Bytes bytes;
    std::vector<std::size_t> starts;

    sBuilder& Word(std::uint32_t value)
    {
        starts.push_back(bytes.size());
        AppendWord(bytes, value);
        return *this;
    }
    sBuilder& Text(const std::string& text)
    {
        return Stated(static_cast<std::uint32_t>(text.size()), text);
    }
    // A length that need not match the bytes after it.
    sBuilder& Stated(std::uint32_t length, const std::string& text)
    {
        Word(length);
        bytes.insert(bytes.end(), text.begin(), text.end());
        return *this;
    }
};

// A sound record; with an index, the text there has the stated length and the
// bytes text, which need not agree.
sBuilder Sample(std::size_t index = kFieldCount, std::uint32_t length = 0,
                const std::string& text = "")
{
    const char* texts[] = {"HOST", "Game", nullptr, nullptr, "-12345", "Renderer",
                           "Render.cpp", nullptr, "texture \"wall\"\tmissing"};
    const std::uint32_t words[] = {0, 0, 0xFFFFFFFEu, 0xFFFFFFFFu, 0, 0, 0, 0x80000000u, 0};
    sBuilder record;
    for (std::size_t i = 0; i < kFieldCount; ++i)
    {
        if (i == index)
            record.Stated(length, text);
        else if (kFields[i].text)
            record.Text(texts[i]);
        else
            record.Word(words[i]);
    }
    return record;
}

sRecordDamage DamageOf(const Bytes& bytes)
{
    sLogRecord record;
    sRecordDamage damage;
    EXPECT_FALSE(DecodeLogRecord(bytes.data(), bytes.size(), record, damage));
    return damage;
}

std::string SlotName(const std::string& leaf)
{
    return "\\\\.\\mailslot\\zrtest\\" + std::to_string(RunId()) + "\\" + leaf;
}
} // namespace

TEST(LogRecord, ASoundRecordGivesEveryFieldAndSignsAsWritten)
{
    const Bytes bytes = Sample().bytes;
    sLogRecord record;
    sRecordDamage damage;
    ASSERT_TRUE(DecodeLogRecord(bytes.data(), bytes.size(), record, damage))
        << DescribeDamage(damage);
    EXPECT_EQ(record.computer, "HOST");
    EXPECT_EQ(record.log, "Game");
    EXPECT_EQ(record.processId, 0xFFFFFFFEu);
    EXPECT_EQ(record.logClass, -1);
    EXPECT_EQ(record.tickCount, "-12345");
    EXPECT_EQ(record.context, "Renderer");
    EXPECT_EQ(record.location, "Render.cpp");
    EXPECT_EQ(record.locationNumber, INT32_MIN);
    EXPECT_EQ(record.message, "texture \"wall\"\tmissing");

    // Empty texts are their lengths alone; the smallest record.
    const sBuilder empty =
        sBuilder().Text("").Text("").Word(1).Word(2).Text("0").Text("").Text("").Word(3).Text("");
    ASSERT_TRUE(DecodeLogRecord(empty.bytes.data(), empty.bytes.size(), record, damage));
    EXPECT_EQ(record.computer + record.log + record.context + record.location + record.message, "");
    EXPECT_EQ(record.processId, 1u);
    EXPECT_EQ(record.logClass, 2);
    EXPECT_EQ(record.locationNumber, 3);
}

TEST(LogRecord, EveryCutNamesTheFieldItBreaksAndWhereThatBegins)
{
    const sBuilder sample = Sample();
    std::size_t field = 0;
    for (std::size_t size = 0; size < sample.bytes.size(); ++size)
    {
        while (field + 1 < kFieldCount && sample.starts[field + 1] <= size)
            ++field;
        const Bytes cut(sample.bytes.begin(), sample.bytes.begin() + size);
        const sRecordDamage damage = DamageOf(cut);
        const std::size_t start = sample.starts[field];
        EXPECT_STREQ(damage.field, kFields[field].name) << size;
        EXPECT_EQ(damage.offset, start) << size;
        const std::size_t left = size - start;
        const std::size_t end =
            field + 1 < kFieldCount ? sample.starts[field + 1] : sample.bytes.size();
        // Cut inside a word or a text's length, or inside a text's bytes.
        const std::string problem =
            left < 4 ? "4 bytes needed, " + std::to_string(left) + " left"
                     : "length " + std::to_string(end - start - 4) + ", " + ByteCount(left - 4) +
                           " left";
        EXPECT_EQ(damage.problem, problem) << size;
    }
    EXPECT_EQ(field, kFieldCount - 1);
}

TEST(LogRecord, HostileLengthsInEveryTextAreRefusedBeforeUse)
{
    for (std::size_t index = 0; index < kFieldCount; ++index)
    {
        if (!kFields[index].text)
            continue;
        const sBuilder sound = Sample(index, 2, "ab");
        const std::size_t start = sound.starts[index];
        const std::size_t left = sound.bytes.size() - start - 4;
        const auto justTooLong = static_cast<std::uint32_t>(left + 1);
        for (const std::uint32_t length :
             {0xFFFFFFFFu, 0x80000000u, 0x7FFFFFFFu, 401u, justTooLong})
        {
            const sRecordDamage damage = DamageOf(Sample(index, length, "ab").bytes);
            EXPECT_STREQ(damage.field, kFields[index].name) << length;
            EXPECT_EQ(damage.offset, start) << length;
            const std::string problem =
                length >= 0x80000000u
                    ? "negative length " + std::to_string(static_cast<std::int32_t>(length))
                    : "length " + std::to_string(length) + ", " + ByteCount(left) + " left";
            EXPECT_EQ(damage.problem, problem) << kFields[index].name << " " << length;
        }
    }
}

TEST(LogRecord, TheMessageHoldsAtMost255CharactersAndTheRecord400Bytes)
{
    const std::string longest(kMaxMessageLength, 'm');
    sBuilder record = Sample(8, kMaxMessageLength, longest);
    sLogRecord decoded;
    sRecordDamage damage;
    EXPECT_TRUE(DecodeLogRecord(record.bytes.data(), record.bytes.size(), decoded, damage));
    EXPECT_EQ(decoded.message, longest);

    record = Sample(8, kMaxMessageLength + 1, longest + "m");
    damage = DamageOf(record.bytes);
    EXPECT_EQ(DescribeDamage(damage),
              "message at offset " + std::to_string(record.starts[8]) + ": length 256 is over 255");

    // 400 bytes are a record; 401 are refused before any field is read.
    const std::size_t rest = Sample(0, 0, "").bytes.size();
    const std::string computer(kMaxRecordSize - rest, 'c');
    record = Sample(0, static_cast<std::uint32_t>(computer.size()), computer);
    ASSERT_EQ(record.bytes.size(), kMaxRecordSize);
    EXPECT_TRUE(DecodeLogRecord(record.bytes.data(), record.bytes.size(), decoded, damage));
    EXPECT_EQ(decoded.computer, computer);
    record = Sample(0, static_cast<std::uint32_t>(computer.size() + 1), computer + "c");
    EXPECT_EQ(DescribeDamage(DamageOf(record.bytes)),
              "record at offset 400: 401 bytes, more than 400");
}

TEST(LogRecord, BytesLeftOverAreDamage)
{
    Bytes bytes = Sample().bytes;
    const std::size_t end = bytes.size();
    for (int extra = 1; extra <= 4; ++extra)
    {
        bytes.push_back(0);
        EXPECT_EQ(DescribeDamage(DamageOf(bytes)),
                  "record at offset " + std::to_string(end) + ": " + std::to_string(extra) +
                      (extra == 1 ? " byte" : " bytes") + " left over after the message");
    }
}

TEST(LogRecord, TheTickCountIsWhatPercentDPrints)
{
    for (const char* good : {"0", "-2147483648", "2147483647", "86400000"})
    {
        const std::string text = good;
        const sBuilder record = Sample(4, static_cast<std::uint32_t>(text.size()), text);
        sLogRecord decoded;
        sRecordDamage damage;
        EXPECT_TRUE(DecodeLogRecord(record.bytes.data(), record.bytes.size(), decoded, damage))
            << good;
        EXPECT_EQ(decoded.tickCount, good);
    }
    for (const char* bad : {"", "-", "+1", "12a", " 1", "1 ", "12345678901"})
    {
        const std::string text = bad;
        const sBuilder record = Sample(4, static_cast<std::uint32_t>(text.size()), text);
        const std::string where = std::to_string(record.starts[4]);
        EXPECT_EQ(DescribeDamage(DamageOf(record.bytes)),
                  "tick count at offset " + where + ": no decimal number")
            << text;
    }
    const std::string nul("1\0", 2);
    EXPECT_EQ(DamageOf(Sample(4, 2, nul).bytes).problem, "no decimal number");
}

// Each byte in turn set to values that flip signs and lengths: the record
// decodes or its damage lies within it, and nothing is read past its end
// (which the sanitizer builds check).
TEST(LogRecord, AnyByteChangedDecodesOrIsDamagedWithinTheRecord)
{
    const Bytes sample = Sample().bytes;
    int damaged = 0;
    for (std::size_t at = 0; at < sample.size(); ++at)
    {
        for (const unsigned char value : {0x00, 0x01, 0x7F, 0x80, 0xFF})
        {
            Bytes bytes = sample;
            bytes[at] = value;
            sLogRecord record;
            sRecordDamage damage;
            if (DecodeLogRecord(bytes.data(), bytes.size(), record, damage))
                continue;
            ++damaged;
            EXPECT_LE(damage.offset, bytes.size()) << at << " " << int(value);
            EXPECT_FALSE(damage.problem.empty());
        }
    }
    EXPECT_GT(damaged, 0);
}

TEST(LogRecord, ClassNamesAndByteCounts)
{
    const char* names[] = {"Game Message", "Dump",  "Info",           "Message",           "Note",
                           "Warning",      "Error", "Critical Error", "Catastrophic Error"};
    for (std::int32_t logClass = 0; logClass < 9; ++logClass)
        EXPECT_STREQ(LogClassName(logClass), names[logClass]);
    for (std::int32_t logClass : {-1, 9, INT32_MIN, INT32_MAX})
        EXPECT_EQ(LogClassName(logClass), nullptr) << logClass;
    EXPECT_EQ(ByteCount(0) + ", " + ByteCount(1) + ", " + ByteCount(2), "0 bytes, 1 byte, 2 bytes");
}

// Texts written as CZRString and integers as their 4 bytes, received whole.
TEST(LogRecord, ARecordAsAMailSlotObjectWritesItDecodes)
{
    const std::string name = SlotName("record");
    CZRMailSlot server, client;
    ASSERT_TRUE(server.Open(name.c_str(), true) && client.Open(name.c_str(), false));
    const unsigned char pid[4] = {0x39, 0x30, 0, 0};              // 12345
    const unsigned char logClass[4] = {6, 0, 0, 0};
    const unsigned char line[4] = {0xFE, 0xFF, 0xFF, 0xFF};       // -2
    client.BeginWrite();
    client.Write(CZRString("PC")), client.Write(CZRString("Net"));
    client.Write(pid, 4), client.Write(logClass, 4);
    client.Write(CZRString("99")), client.Write(CZRString()), client.Write(CZRString("Socket.cpp"));
    client.Write(line, 4), client.Write(CZRString("lost"));
    client.EndWrite();

    server.BeginRead();
    const unsigned long size = server.GetTotalBytesRead();
    Bytes bytes(size);
    server.Read(bytes.data(), size);
    sLogRecord record;
    sRecordDamage damage;
    ASSERT_TRUE(DecodeLogRecord(bytes.data(), size, record, damage)) << DescribeDamage(damage);
    EXPECT_EQ(record.computer + "|" + record.log + "|" + record.tickCount + "|" + record.context +
                  "|" + record.location + "|" + record.message,
              "PC|Net|99||Socket.cpp|lost");
    EXPECT_EQ(record.processId, 12345u);
    EXPECT_EQ(record.logClass, 6);
    EXPECT_EQ(record.locationNumber, -2);
}
