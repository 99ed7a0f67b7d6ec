// printf-style formatting that keeps a bounded prefix of its output.
//
// The output is what the C library's vsnprintf produces, but padding and digits
// that fall past the kept prefix are counted instead of produced, so a call
// costs in proportion to what it keeps (plus the format and the text of its
// string arguments), however large a width or precision the format asks for.
// Internal to the library: STR_ and CZRString formatting are built on it.
#pragma once

#include <cstdarg>
#include <cstddef>

namespace ZRFormat
{
struct Result
{
    // Bytes of the whole output; -1 when formatting failed, with errno telling
    // why, as the C library does: EOVERFLOW for output past INT_MAX bytes or a
    // number in the format beyond INT_MAX, EINVAL for a format that ends inside
    // a conversion, EILSEQ for a wide character without a multibyte form.
    int length;
    // Bytes stored at the start of the buffer: the first bytes of the output, or
    // after a failure what was formatted before it, never more than room.
    std::size_t kept;
};

// Formats fmt with args, storing at most room bytes of output at buffer. The
// buffer must hold room + 1 bytes; the byte after the kept ones may be
// overwritten, and nothing is terminated.
Result Format(char* buffer, std::size_t room, const char* fmt, va_list args);
} // namespace ZRFormat
