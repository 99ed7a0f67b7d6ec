// Text functions in the process's multibyte code page. With a single-byte code
// page each function is the plain C library function. In Shift-JIS a lead byte
// and the byte after it form one character whose code is lead << 8 | trail; a
// lead byte followed by the terminator stands alone. Searches match only at
// character starts, so a trail byte never matches a single-byte character.
#include "Common/Core/ZRStrFunctions.h"

#include "Common/Core/ZRFormat.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

namespace
{
std::atomic<unsigned int> g_codePage{STR_CODEPAGE_SINGLEBYTE};

// Multibyte code pages other than Shift-JIS (Chinese, Korean, EUC, ISO-2022,
// GB18030, UTF-7/8). They are not supported; every other number is single-byte.
constexpr unsigned int UNSUPPORTED_CODE_PAGES[] = {
    936,   949,   950,   1361,  20000, 20001, 20002, 20003, 20004, 20005, 20261,
    20932, 20936, 20949, 50220, 50221, 50222, 50225, 50227, 50229, 51932, 51936,
    51949, 51950, 52936, 54936, 65000, 65001};

constexpr unsigned char LEAD_LOW_FIRST = 0x81;
constexpr unsigned char LEAD_LOW_LAST = 0x9F;
constexpr unsigned char LEAD_HIGH_FIRST = 0xE0;
constexpr unsigned char LEAD_HIGH_LAST = 0xFC;
constexpr int BITS_PER_BYTE = 8;
constexpr unsigned int SINGLE_BYTE_LIMIT = 0x100; // codes below are single-byte
constexpr int TRUNCATED = -1;                      // counted formatting ran out of room
// Formatted output never exceeds INT_MAX bytes, so no more need be kept.
constexpr std::size_t kFormatLimit = static_cast<std::size_t>(INT_MAX) + 1;
constexpr std::size_t kSmallFormatBuffer = 1025; // counts up to 1,024 and a spare byte

bool IsDoubleByte() { return g_codePage.load(std::memory_order_relaxed) == STR_CODEPAGE_SHIFTJIS; }

unsigned char Byte(const char* p) { return static_cast<unsigned char>(*p); }

bool IsShiftJisLead(unsigned char b)
{
    return (b >= LEAD_LOW_FIRST && b <= LEAD_LOW_LAST) || (b >= LEAD_HIGH_FIRST && b <= LEAD_HIGH_LAST);
}

// Shift-JIS: bytes of the character at p (2 for a lead byte with its trail, else 1).
std::size_t CharSize(const char* p) { return IsShiftJisLead(Byte(p)) && p[1] != '\0' ? 2 : 1; }

// Shift-JIS: code of the character at p.
unsigned int CharCode(const char* p)
{
    return CharSize(p) == 2 ? (static_cast<unsigned int>(Byte(p)) << BITS_PER_BYTE) | Byte(p + 1) : Byte(p);
}

unsigned int AsciiLower(unsigned int c) { return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c; }
unsigned int AsciiUpper(unsigned int c) { return c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c; }
unsigned int LocaleLower(unsigned int c) { return static_cast<unsigned int>(std::tolower(static_cast<int>(c))); }
unsigned int LocaleUpper(unsigned int c) { return static_cast<unsigned int>(std::toupper(static_cast<int>(c))); }
unsigned int Unchanged(unsigned int c) { return c; }

// Compares character by character; fold maps each single-byte code first.
int CompareCodes(const char* a, const char* b, bool doubleByte, unsigned int (*fold)(unsigned int))
{
    for (;;)
    {
        const unsigned int ca = doubleByte ? CharCode(a) : Byte(a);
        const unsigned int cb = doubleByte ? CharCode(b) : Byte(b);
        const unsigned int fa = ca < SINGLE_BYTE_LIMIT ? fold(ca) : ca;
        const unsigned int fb = cb < SINGLE_BYTE_LIMIT ? fold(cb) : cb;
        if (fa != fb)
            return fa < fb ? -1 : 1;
        if (ca == 0)
            return 0;
        a += doubleByte ? CharSize(a) : 1;
        b += doubleByte ? CharSize(b) : 1;
    }
}

// Maps each single-byte character in place; trail bytes are never touched.
char* MapCase(char* s, unsigned int (*singleByteMap)(unsigned int), unsigned int (*shiftJisMap)(unsigned int))
{
    const bool doubleByte = IsDoubleByte();
    for (char* p = s; *p != '\0';)
    {
        const std::size_t size = doubleByte ? CharSize(p) : 1;
        if (size == 1)
            *p = static_cast<char>((doubleByte ? shiftJisMap : singleByteMap)(Byte(p)));
        p += size;
    }
    return s;
}

// Shift-JIS: the first character of s with code c; c = 0 finds the terminator.
char* FindChar(const char* s, unsigned int c)
{
    for (;; s += CharSize(s))
    {
        if (CharCode(s) == c)
            return const_cast<char*>(s);
        if (*s == '\0')
            return nullptr;
    }
}

// Shift-JIS: the first character of s that occurs in set.
char* FindAnyChar(const char* s, const char* set)
{
    for (; *s != '\0'; s += CharSize(s))
        if (FindChar(set, CharCode(s)) != nullptr)
            return const_cast<char*>(s);
    return nullptr;
}

// Shift-JIS: skips the characters at the start of s that occur in set.
char* SkipChars(char* s, const char* set)
{
    while (*s != '\0' && FindChar(set, CharCode(s)) != nullptr)
        s += CharSize(s);
    return s;
}
} // namespace

bool STR_SetCodePage(unsigned int codePage)
{
    if (std::find(std::begin(UNSUPPORTED_CODE_PAGES), std::end(UNSUPPORTED_CODE_PAGES), codePage) !=
        std::end(UNSUPPORTED_CODE_PAGES))
        return false;
    g_codePage.store(codePage, std::memory_order_relaxed);
    return true;
}

unsigned int STR_GetCodePage() { return g_codePage.load(std::memory_order_relaxed); }

bool STR_IsLeadByte(int c) { return IsDoubleByte() && IsShiftJisLead(static_cast<unsigned char>(c)); }

int STR_strcmp(const char* a, const char* b)
{
    return IsDoubleByte() ? CompareCodes(a, b, true, Unchanged) : std::strcmp(a, b);
}

int STR_stricmp(const char* a, const char* b)
{
    return IsDoubleByte() ? CompareCodes(a, b, true, AsciiLower) : CompareCodes(a, b, false, LocaleLower);
}

int STR_strcoll(const char* a, const char* b)
{
    return IsDoubleByte() ? CompareCodes(a, b, true, Unchanged) : std::strcoll(a, b);
}

int STR_stricoll(const char* a, const char* b)
{
    if (IsDoubleByte())
        return CompareCodes(a, b, true, AsciiLower);
    std::string foldedA(a);
    std::string foldedB(b);
    for (std::string* text : {&foldedA, &foldedB})
        for (char& ch : *text)
            ch = static_cast<char>(LocaleLower(static_cast<unsigned char>(ch)));
    return std::strcoll(foldedA.c_str(), foldedB.c_str());
}

int STR_strlen(const char* s) { return static_cast<int>(std::strlen(s)); }

char* STR_strlwr(char* s) { return MapCase(s, LocaleLower, AsciiLower); }
char* STR_strupr(char* s) { return MapCase(s, LocaleUpper, AsciiUpper); }

char* STR_strrev(char* s)
{
    // Swapping the bytes of each double-byte character first makes the plain
    // byte reversal restore their order.
    if (IsDoubleByte())
        for (char* p = s; *p != '\0';)
        {
            const std::size_t size = CharSize(p);
            if (size == 2)
                std::swap(p[0], p[1]);
            p += size;
        }
    std::reverse(s, s + std::strlen(s));
    return s;
}

char* STR_strchr(const char* s, unsigned int c)
{
    return IsDoubleByte() ? FindChar(s, c) : const_cast<char*>(std::strchr(s, static_cast<int>(c)));
}

char* STR_strrchr(const char* s, unsigned int c)
{
    if (!IsDoubleByte())
        return const_cast<char*>(std::strrchr(s, static_cast<int>(c)));
    const char* last = nullptr;
    for (const char* p = s; (p = FindChar(p, c)) != nullptr; p += CharSize(p))
    {
        last = p;
        if (*p == '\0')
            break;
    }
    return const_cast<char*>(last);
}

char* STR_strstr(const char* s, const char* sub)
{
    if (!IsDoubleByte())
        return const_cast<char*>(std::strstr(s, sub));
    const std::size_t subLength = std::strlen(sub);
    if (subLength == 0)
        return const_cast<char*>(s);
    // strncmp stops at the text's end, so the text is never measured first: a
    // search costs time up to its hit, and repeated searches along one text
    // (counting, replacing) stay linear.
    for (; *s != '\0'; s += CharSize(s))
        if (std::strncmp(s, sub, subLength) == 0)
            return const_cast<char*>(s);
    return nullptr;
}

char* STR_strpbrk(const char* s, const char* set)
{
    return IsDoubleByte() ? FindAnyChar(s, set) : const_cast<char*>(std::strpbrk(s, set));
}

char* STR_strrpbrk(const char* s, const char* set)
{
    // Tests whole characters from the last one back to the first. The walk starts
    // at the last character's first byte, so in a double-byte code page the trail
    // byte of a final double-byte character is never tested on its own.
    if (*s == '\0')
        return nullptr;
    const bool doubleByte = IsDoubleByte();
    for (const char* p = STR_strdec(s, s + std::strlen(s)); p != nullptr; p = STR_strdec(s, p))
    {
        const unsigned int c = doubleByte ? CharCode(p) : Byte(p);
        if (STR_strchr(set, c) != nullptr)
            return const_cast<char*>(p);
    }
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
    if (!IsDoubleByte())
        return std::strncpy(dst, src, count);
    std::size_t i = 0;
    while (i < count && src[i] != '\0')
    {
        const std::size_t size = CharSize(src + i);
        if (i + size > count)
            break; // the lead byte of the cut character becomes 0 with the padding
        std::memcpy(dst + i, src + i, size);
        i += size;
    }
    std::memset(dst + i, 0, count - i);
    return dst;
}

char* STR_strcpy(char* dst, const char* src) { return std::strcpy(dst, src); }

char* STR_strncat(char* dst, const char* src, std::size_t count)
{
    if (!IsDoubleByte())
        return std::strncat(dst, src, count);
    char* end = dst + std::strlen(dst);
    // A lone lead byte at the end of dst would take the first appended byte as
    // its trail, so it is dropped.
    const char* last = STR_strdec(dst, end);
    if (last != nullptr && last + 1 == end && IsShiftJisLead(Byte(last)))
        end = const_cast<char*>(last);
    std::size_t appended = 0;
    while (src[appended] != '\0')
    {
        const std::size_t size = CharSize(src + appended);
        if (appended + size > count)
            break;
        appended += size;
    }
    std::memcpy(end, src, appended);
    end[appended] = '\0';
    return dst;
}

char* STR_strcat(char* dst, const char* src) { return std::strcat(dst, src); }

char* STR_strinc(const char* p) { return const_cast<char*>(p + (IsDoubleByte() ? CharSize(p) : 1)); }

char* STR_strdec(const char* start, const char* p)
{
    if (p <= start)
        return nullptr;
    if (!IsDoubleByte())
        return const_cast<char*>(p - 1);
    // A byte that cannot be a lead byte ends a character (as a single byte or as
    // a trail), so the scan for boundaries may begin right after the last such
    // byte before p - 1 instead of at start.
    const char* boundary = start;
    for (const char* q = p - 1; q > start;)
    {
        --q;
        if (!IsShiftJisLead(Byte(q)))
        {
            boundary = q + 1;
            break;
        }
    }
    while (boundary + CharSize(boundary) < p)
        boundary += CharSize(boundary);
    return const_cast<char*>(boundary);
}

long STR_strtol(const char* s, char** end, int base) { return std::strtol(s, end, base); }
unsigned long STR_strtoul(const char* s, char** end, int base) { return std::strtoul(s, end, base); }
double STR_strtod(const char* s, char** end) { return std::strtod(s, end); }

bool STR_isspace(unsigned int c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

char* STR_strtok(char* s, const char* delimiters)
{
    thread_local char* next = nullptr;
    char* token = s != nullptr ? s : next;
    if (token == nullptr)
        return nullptr;
    const bool doubleByte = IsDoubleByte();
    token = doubleByte ? SkipChars(token, delimiters) : token + std::strspn(token, delimiters);
    if (*token == '\0')
    {
        next = nullptr;
        return nullptr;
    }
    char* delimiter = STR_strpbrk(token, delimiters);
    if (delimiter == nullptr)
    {
        next = nullptr;
        return token;
    }
    const std::size_t size = doubleByte ? CharSize(delimiter) : 1;
    std::memset(delimiter, 0, size);
    next = delimiter + size;
    return token;
}

int STR_sscanf(const char* text, const char* fmt, ...)
{
    va_list args;
    va_start(args, fmt);
    const int result = std::vsscanf(text, fmt, args);
    va_end(args);
    return result;
}
