// Text functions in the process's multibyte code page. The multibyte work is
// the platform's (the C runtime's _mbs* functions on Windows); what is left
// here are the plain byte functions, formatting and the reverse set search.
#include "Common/Core/ZRStrFunctions.h"

#include "Common/Core/ZRFormat.h"
#include "Common/Platform/Platform.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace
{
constexpr int BITS_PER_BYTE = 8;
constexpr int TRUNCATED = -1;                      // counted formatting ran out of room
// Formatted output never exceeds INT_MAX bytes, so no more need be kept.
constexpr std::size_t kFormatLimit = static_cast<std::size_t>(INT_MAX) + 1;
constexpr std::size_t kSmallFormatBuffer = 1025; // counts up to 1,024 and a spare byte

// The code of the character at p: lead << 8 | trail for a double-byte one.
unsigned int CharCode(const char* p)
{
    const auto lead = static_cast<unsigned char>(p[0]);
    if (STR_IsLeadByte(lead) && p[1] != '\0')
        return (static_cast<unsigned int>(lead) << BITS_PER_BYTE) | static_cast<unsigned char>(p[1]);
    return lead;
}
} // namespace

bool STR_SetCodePage(unsigned int codePage) { return ZRPlatform::MbSetCodePage(codePage); }

unsigned int STR_GetCodePage() { return ZRPlatform::MbGetCodePage(); }

bool STR_IsLeadByte(int c) { return ZRPlatform::MbIsLeadByte(c); }

int STR_strcmp(const char* a, const char* b) { return ZRPlatform::MbCompare(a, b); }

int STR_stricmp(const char* a, const char* b) { return ZRPlatform::MbCompareNoCase(a, b); }

int STR_strcoll(const char* a, const char* b) { return ZRPlatform::MbCollate(a, b); }

int STR_stricoll(const char* a, const char* b) { return ZRPlatform::MbCollateNoCase(a, b); }

int STR_strlen(const char* s) { return static_cast<int>(std::strlen(s)); }

char* STR_strlwr(char* s) { return ZRPlatform::MbLower(s); }
char* STR_strupr(char* s) { return ZRPlatform::MbUpper(s); }

char* STR_strrev(char* s) { return ZRPlatform::MbReverse(s); }

char* STR_strchr(const char* s, unsigned int c) { return ZRPlatform::MbFindChar(s, c); }

char* STR_strrchr(const char* s, unsigned int c) { return ZRPlatform::MbFindLastChar(s, c); }

char* STR_strstr(const char* s, const char* sub) { return ZRPlatform::MbFindText(s, sub); }

char* STR_strpbrk(const char* s, const char* set) { return ZRPlatform::MbFindAnyOf(s, set); }

char* STR_strrpbrk(const char* s, const char* set)
{
    // Tests whole characters from the last one back to the first. The walk starts
    // at the last character's first byte, so in a double-byte code page the trail
    // byte of a final double-byte character is never tested on its own.
    if (*s == '\0')
        return nullptr;
    for (const char* p = STR_strdec(s, s + std::strlen(s)); p != nullptr; p = STR_strdec(s, p))
        if (STR_strchr(set, CharCode(p)) != nullptr)
            return const_cast<char*>(p);
    return nullptr;
}

int STR_sprintf(char* dst, const char* fmt, ...)
{
    va_list args;
    va_start(args, fmt);
    const int result = STR_vsprintf(dst, fmt, args);
    va_end(args);
    return result;
}

int STR_snprintf(char* dst, std::size_t count, const char* fmt, ...)
{
    va_list args;
    va_start(args, fmt);
    const int result = STR_vsnprintf(dst, count, fmt, args);
    va_end(args);
    return result;
}

int STR_vsprintf(char* dst, const char* fmt, va_list args)
{
    // Unbounded: everything the output can hold is kept, and terminated.
    const ZRFormat::Result result = ZRFormat::Format(dst, kFormatLimit, fmt, args);
    dst[result.kept] = '\0';
    return result.length;
}

int STR_vsnprintf(char* dst, std::size_t count, const char* fmt, va_list args)
{
    // The formatter needs one byte past the kept ones for the C library's
    // terminator, where the counted form may keep an output byte. A short count
    // gets a buffer on the stack; a long one is formatted in place, short of its
    // last byte, and only an output that fills it all is formatted once more,
    // into a buffer of count bytes and the spare one.
    const std::size_t room = std::min(count, kFormatLimit);
    ZRFormat::Result result{};
    if (room < kSmallFormatBuffer)
    {
        char small[kSmallFormatBuffer];
        result = ZRFormat::Format(small, room, fmt, args);
        std::memcpy(dst, small, result.kept);
    }
    else
    {
        va_list again;
        va_copy(again, args);
        result = ZRFormat::Format(dst, room - 1, fmt, args);
        if (result.length >= 0 && static_cast<std::size_t>(result.length) >= room)
        {
            const std::unique_ptr<char[]> whole(new char[room + 1]);
            result = ZRFormat::Format(whole.get(), room, fmt, again);
            std::memcpy(dst, whole.get(), result.kept);
        }
        va_end(again);
    }
    if (result.length < 0)
    {
        // What was formatted before the failure, cut and terminated.
        if (count > 0)
            dst[std::min(result.kept, count - 1)] = '\0';
        return result.length;
    }
    const auto length = static_cast<std::size_t>(result.length);
    if (length < count)
        dst[length] = '\0';
    return length <= count ? result.length : TRUNCATED;
}

char* STR_strncpy(char* dst, const char* src, std::size_t count)
{
    return ZRPlatform::MbCopyCounted(dst, src, count);
}

char* STR_strcpy(char* dst, const char* src) { return std::strcpy(dst, src); }

char* STR_strncat(char* dst, const char* src, std::size_t count)
{
    return ZRPlatform::MbAppendCounted(dst, src, count);
}

char* STR_strcat(char* dst, const char* src) { return std::strcat(dst, src); }

char* STR_strinc(const char* p) { return ZRPlatform::MbNext(p); }

char* STR_strdec(const char* start, const char* p) { return ZRPlatform::MbPrevious(start, p); }

long STR_strtol(const char* s, char** end, int base) { return std::strtol(s, end, base); }
unsigned long STR_strtoul(const char* s, char** end, int base) { return std::strtoul(s, end, base); }
double STR_strtod(const char* s, char** end) { return std::strtod(s, end); }

bool STR_isspace(unsigned int c) { return ZRPlatform::MbIsSpace(c); }

char* STR_strtok(char* s, const char* delimiters) { return ZRPlatform::MbTokenize(s, delimiters); }

int STR_sscanf(const char* text, const char* fmt, ...)
{
    va_list args;
    va_start(args, fmt);
    const int result = std::vsscanf(text, fmt, args);
    va_end(args);
    return result;
}
