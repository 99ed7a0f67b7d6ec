// zrlogview: decoding a log record, every length checked before use.
#include "LogRecord.h"

namespace
{
constexpr std::size_t kIntegerSize = 4;
// "%d" prints at most 10 digits and a sign.
constexpr std::size_t kMaxTickDigits = 10;

const char* const kClassNames[] = {
    "Game Message", "Dump",    "Info",           "Message",           "Note",
    "Warning",      "Error",   "Critical Error", "Catastrophic Error",
};

// Takes fields off the record in order; the first problem stops it.
class CRecordReader
{
public:
    CRecordReader(const unsigned char* data, std::size_t size, sRecordDamage& damage)
        : m_data(data), m_size(size), m_damage(damage)
    {
    }

    bool Unsigned(const char* field, std::uint32_t& value)
    {
        m_fieldStart = m_cursor;
        return Word(field, value);
    }

    // Two's complement, converted explicitly: the 4 bytes whatever int's width.
    bool Signed(const char* field, std::int32_t& value)
    {
        std::uint32_t word = 0;
        if (!Unsigned(field, word))
            return false;
        value = word <= 0x7FFFFFFFu ? static_cast<std::int32_t>(word)
                                    : -static_cast<std::int32_t>(~word) - 1;
        return true;
    }

    bool Text(const char* field, std::string& text, std::size_t maxLength = kMaxRecordSize)
    {
        m_fieldStart = m_cursor;
        std::uint32_t word = 0;
        if (!Word(field, word))
            return false;
        if (word > 0x7FFFFFFFu)
            return Fail(field, "negative length " +
                                   std::to_string(-static_cast<std::int64_t>(~word) - 1));
        if (word > Left())
            return Fail(field,
                        "length " + std::to_string(word) + ", " + ByteCount(Left()) + " left");
        if (word > maxLength)
            return Fail(field, "length " + std::to_string(word) + " is over " +
                                   std::to_string(maxLength));
        text.assign(reinterpret_cast<const char*>(m_data + m_cursor), word);
        m_cursor += word;
        return true;
    }

    bool End()
    {
        if (Left() == 0)
            return true;
        m_fieldStart = m_cursor;
        return Fail("record", ByteCount(Left()) + " left over after the message");
    }

    bool Fail(const char* field, const std::string& problem)
    {
        m_damage.field = field;
        m_damage.offset = m_fieldStart;
        m_damage.problem = problem;
        return false;
    }

private:
    std::size_t Left() const { return m_size - m_cursor; }

    bool Word(const char* field, std::uint32_t& value)
    {
        if (Left() < kIntegerSize)
            return Fail(field, std::to_string(kIntegerSize) + " bytes needed, " +
                                   std::to_string(Left()) + " left");
        value = 0;
        for (std::size_t i = 0; i < kIntegerSize; ++i)
            value |= static_cast<std::uint32_t>(m_data[m_cursor + i]) << (8 * i);
        m_cursor += kIntegerSize;
        return true;
    }

    const unsigned char* m_data;
    std::size_t m_size;
    sRecordDamage& m_damage;
    std::size_t m_cursor = 0;
    std::size_t m_fieldStart = 0;
};

bool IsTickCount(const std::string& text)
{
    const std::size_t sign = !text.empty() && text[0] == '-' ? 1 : 0;
    if (text.size() == sign || text.size() - sign > kMaxTickDigits)
        return false;
    for (std::size_t i = sign; i < text.size(); ++i)
        if (text[i] < '0' || text[i] > '9')
            return false;
    return true;
}
} // namespace

bool DecodeLogRecord(const unsigned char* data, std::size_t size, sLogRecord& record,
                     sRecordDamage& damage)
{
    if (size > kMaxRecordSize)
    {
        damage.field = "record";
        damage.offset = kMaxRecordSize;
        damage.problem = ByteCount(size) + ", more than " + std::to_string(kMaxRecordSize);
        return false;
    }
    CRecordReader reader(data, size, damage);
    if (!reader.Text("computer name", record.computer) || !reader.Text("log name", record.log) ||
        !reader.Unsigned("process id", record.processId) ||
        !reader.Signed("class", record.logClass) ||
        !reader.Text("tick count", record.tickCount))
        return false;
    if (!IsTickCount(record.tickCount))
        return reader.Fail("tick count", "no decimal number");
    return reader.Text("context", record.context) && reader.Text("location", record.location) &&
           reader.Signed("location number", record.locationNumber) &&
           reader.Text("message", record.message, kMaxMessageLength) && reader.End();
}

std::string ByteCount(std::size_t count)
{
    return std::to_string(count) + (count == 1 ? " byte" : " bytes");
}

std::string DescribeDamage(const sRecordDamage& damage)
{
    return std::string(damage.field) + " at offset " + std::to_string(damage.offset) + ": " +
           damage.problem;
}

const char* LogClassName(std::int32_t logClass)
{
    const std::int32_t count = sizeof(kClassNames) / sizeof(kClassNames[0]);
    return logClass >= 0 && logClass < count ? kClassNames[logClass] : nullptr;
}
