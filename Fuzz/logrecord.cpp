// Fuzz target: zrlogview's decoder of the log record a mail slot carries.
// Arbitrary bytes must decode or be refused with a damage report that points
// inside the bytes; a record that decodes must encode back to exactly the
// bytes it came from (the layout has no slack).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "LogRecord.h"

namespace
{
void Fail(const char* what)
{
    std::fprintf(stderr, "logrecord fuzz: %s\n", what);
    std::abort();
}

void PutWord(std::string& out, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

void PutText(std::string& out, const std::string& text)
{
    PutWord(out, static_cast<std::uint32_t>(text.size()));
    out += text;
}

std::string Encode(const sLogRecord& r)
{
    std::string out;
    PutText(out, r.computer);
    PutText(out, r.log);
    PutWord(out, r.processId);
    PutWord(out, static_cast<std::uint32_t>(r.logClass));
    PutText(out, r.tickCount);
    PutText(out, r.context);
    PutText(out, r.location);
    PutWord(out, static_cast<std::uint32_t>(r.locationNumber));
    PutText(out, r.message);
    return out;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    sLogRecord record;
    sRecordDamage damage;
    if (DecodeLogRecord(data, size, record, damage))
    {
        if (Encode(record) != std::string(reinterpret_cast<const char*>(data), size))
            Fail("a decoded record does not encode to its bytes");
        LogClassName(record.logClass);
        return 0;
    }
    if (damage.offset > size || damage.problem.empty())
        Fail("damage report out of the record");
    DescribeDamage(damage);
    return 0;
}
