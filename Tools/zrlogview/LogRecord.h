// zrlogview: one log entry as the library's logging sends it to a mail slot,
// decoded from the bytes of one message.
//
// Record layout, integers little-endian; a text is a 32-bit signed length n and
// n bytes without terminator (no bytes for n = 0):
//   computer name (text), log name (text), process id (4 bytes, unsigned),
//   class (4 bytes, signed), tick count (text: the digits "%d" prints),
//   context (text), location (text), location number (4 bytes, signed),
//   message (text, at most 255 characters).
// A record fills one message of at most 400 bytes and nothing follows it.
//
// The bytes come from any process of the slot's user: every length is checked
// against what is left before anything is taken, and a record that breaks the
// layout anywhere is refused whole with the field and offset where it broke.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

constexpr std::size_t kMaxRecordSize = 400;
constexpr std::size_t kMaxMessageLength = 255;

struct sLogRecord
{
    std::string computer;
    std::string log;
    std::uint32_t processId = 0;
    std::int32_t logClass = 0;
    std::string tickCount;
    std::string context;
    std::string location;
    std::int32_t locationNumber = 0;
    std::string message;
};

// Where and why a record broke the layout.
struct sRecordDamage
{
    // The field being read ("computer name", ..., "message"), or "record" for
    // the record as a whole (too long, bytes left over).
    const char* field = "";
    // Where the field begins (a text at its length); for the record as a
    // whole, where the bytes too many begin.
    std::size_t offset = 0;
    std::string problem;
};

// Decodes the size bytes at data. False with damage filled in when they are
// no record: fewer bytes than a field needs, a negative length, a length past
// the bytes left, a message over 255 characters, a tick count that is no
// decimal number, bytes after the message, or more than 400 bytes in all.
bool DecodeLogRecord(const unsigned char* data, std::size_t size, sLogRecord& record,
                     sRecordDamage& damage);

// "1 byte", "N bytes".
std::string ByteCount(std::size_t count);

// "FIELD at offset N: PROBLEM".
std::string DescribeDamage(const sRecordDamage& damage);

// The name of a log class ("Warning"), or null for a number without one.
const char* LogClassName(std::int32_t logClass);
