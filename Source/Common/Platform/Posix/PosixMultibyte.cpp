// Multibyte text where the OS has no code pages: the library's own engine. Code
// page 0 and the single-byte pages are the C library's byte functions; 932 is
// Shift-JIS, whose lead bytes are 0x81-0x9F and 0xE0-0xFC. There, case mapping
// touches single-byte ASCII letters only, collation is by character code, and
// the ideographic space (0x8140) is a space. Other double-byte pages are refused.
#include "Common/Platform/Platform.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstring>
#include <iterator>
#include <string>

namespace ZRPlatform
{
namespace
{
constexpr unsigned int kSingleByte = 0;
constexpr unsigned int kShiftJis = 932;
std::atomic<unsigned int> g_codePage{kSingleByte};

// Multibyte code pages other than Shift-JIS (Chinese, Korean, EUC, ISO-2022,
// GB18030, UTF-7/8). Every other number is taken as single-byte.
constexpr unsigned int kRefusedCodePages[] = {
    936,   949,   950,   1361,  20000, 20001, 20002, 20003, 20004, 20005, 20261,
    20932, 20936, 20949, 50220, 50221, 50222, 50225, 50227, 50229, 51932, 51936,
    51949, 51950, 52936, 54936, 65000, 65001};

constexpr unsigned char kLeadLowFirst = 0x81;
constexpr unsigned char kLeadLowLast = 0x9F;
constexpr unsigned char kLeadHighFirst = 0xE0;
constexpr unsigned char kLeadHighLast = 0xFC;
constexpr unsigned int kIdeographicSpace = 0x8140;
constexpr int kBitsPerByte = 8;
constexpr unsigned int kSingleByteLimit = 0x100; // codes below are single-byte

bool IsDoubleByte() { return g_codePage.load(std::memory_order_relaxed) == kShiftJis; }

unsigned char Byte(const char* p) { return static_cast<unsigned char>(*p); }

bool IsShiftJisLead(unsigned char b)
{
    return (b >= kLeadLowFirst && b <= kLeadLowLast) || (b >= kLeadHighFirst && b <= kLeadHighLast);
}

// Shift-JIS: bytes of the character at p (2 for a lead byte with its trail, else 1).
std::size_t CharSize(const char* p) { return IsShiftJisLead(Byte(p)) && p[1] != '\0' ? 2 : 1; }

// Shift-JIS: code of the character at p.
unsigned int CharCode(const char* p)
{
    return CharSize(p) == 2 ? (static_cast<unsigned int>(Byte(p)) << kBitsPerByte) | Byte(p + 1) : Byte(p);
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
        const unsigned int fa = ca < kSingleByteLimit ? fold(ca) : ca;
        const unsigned int fb = cb < kSingleByteLimit ? fold(cb) : cb;
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

// Shift-JIS: skips the characters at the start of s that occur in set.
char* SkipChars(char* s, const char* set)
{
    while (*s != '\0' && FindChar(set, CharCode(s)) != nullptr)
        s += CharSize(s);
    return s;
}
} // namespace

bool MbSetCodePage(unsigned int codePage)
{
    if (std::find(std::begin(kRefusedCodePages), std::end(kRefusedCodePages), codePage) !=
        std::end(kRefusedCodePages))
        return false;
    g_codePage.store(codePage, std::memory_order_relaxed);
    return true;
}

unsigned int MbGetCodePage() { return g_codePage.load(std::memory_order_relaxed); }

bool MbIsLeadByte(int c) { return IsDoubleByte() && IsShiftJisLead(static_cast<unsigned char>(c)); }

int MbCompare(const char* a, const char* b)
{
    return IsDoubleByte() ? CompareCodes(a, b, true, Unchanged) : std::strcmp(a, b);
}

int MbCompareNoCase(const char* a, const char* b)
{
    return IsDoubleByte() ? CompareCodes(a, b, true, AsciiLower) : CompareCodes(a, b, false, LocaleLower);
}

int MbCollate(const char* a, const char* b)
{
    return IsDoubleByte() ? CompareCodes(a, b, true, Unchanged) : std::strcoll(a, b);
}

int MbCollateNoCase(const char* a, const char* b)
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

char* MbLower(char* s) { return MapCase(s, LocaleLower, AsciiLower); }
char* MbUpper(char* s) { return MapCase(s, LocaleUpper, AsciiUpper); }

char* MbReverse(char* s)
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

char* MbFindChar(const char* s, unsigned int c)
{
    return IsDoubleByte() ? FindChar(s, c) : const_cast<char*>(std::strchr(s, static_cast<int>(c)));
}

char* MbFindLastChar(const char* s, unsigned int c)
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

char* MbFindText(const char* s, const char* sub)
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

char* MbFindAnyOf(const char* s, const char* set)
{
    if (!IsDoubleByte())
        return const_cast<char*>(std::strpbrk(s, set));
    for (; *s != '\0'; s += CharSize(s))
        if (FindChar(set, CharCode(s)) != nullptr)
            return const_cast<char*>(s);
    return nullptr;
}

char* MbCopyCounted(char* dst, const char* src, std::size_t count)
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

char* MbAppendCounted(char* dst, const char* src, std::size_t count)
{
    if (!IsDoubleByte())
        return std::strncat(dst, src, count);
    char* end = dst + std::strlen(dst);
    // A lone lead byte at the end of dst would take the first appended byte as
    // its trail, so it is dropped.
    const char* last = MbPrevious(dst, end);
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

char* MbNext(const char* p) { return const_cast<char*>(p + (IsDoubleByte() ? CharSize(p) : 1)); }

char* MbPrevious(const char* start, const char* p)
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

bool MbIsSpace(unsigned int c)
{
    return c == ' ' || (c >= '\t' && c <= '\r') || (IsDoubleByte() && c == kIdeographicSpace);
}

char* MbTokenize(char* s, const char* delimiters)
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
    char* delimiter = MbFindAnyOf(token, delimiters);
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

} // namespace ZRPlatform
