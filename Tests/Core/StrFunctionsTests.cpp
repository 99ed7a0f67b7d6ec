#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <numeric>
#include <string>
#include <thread>
#include <vector>

#include "Common/Core/ZRStrFunctions.h"
#include "Core/AddressSpaceCap.h"
#include "Support/RunsUnderWine.h"

// Shift-JIS samples: "\x95\x5C" has a backslash trail byte, "\x83\x41" and
// "\x83\x61" ASCII-letter trail bytes; "\xB1" and "\xDF" are half-width katakana.
namespace
{
constexpr unsigned int SB = STR_CODEPAGE_SINGLEBYTE;
constexpr unsigned int SJ = STR_CODEPAGE_SHIFTJIS;

// Selects a code page for one scope and restores the single-byte default.
struct CodePageScope
{
    explicit CodePageScope(unsigned int codePage) { EXPECT_TRUE(STR_SetCodePage(codePage)); }
    ~CodePageScope() { STR_SetCodePage(SB); }
};

int IndexIn(const char* s, const char* p) { return p == nullptr ? -1 : static_cast<int>(p - s); }

template <std::size_t N> std::string Bytes(const char (&text)[N]) { return std::string(text, N - 1); }
} // namespace

TEST(StrFunctions, CodePageSelection)
{
#if defined(_WIN32)
    // The C runtime's code page (it starts as the system's ANSI code page, which
    // the runtime's locale calls may change): every page the system knows.
    CodePageScope scope(1252);
    EXPECT_FALSE(STR_SetCodePage(12345));
    EXPECT_EQ(STR_GetCodePage(), 1252u);
    EXPECT_FALSE(STR_IsLeadByte(0x81));
    EXPECT_TRUE(STR_SetCodePage(936));
    EXPECT_TRUE(STR_IsLeadByte(0x81) && STR_IsLeadByte(0xFE) && !STR_IsLeadByte(0x80));
#else
    EXPECT_EQ(STR_GetCodePage(), SB);
    CodePageScope scope(1252);
    EXPECT_FALSE(STR_SetCodePage(936) || STR_SetCodePage(949) || STR_SetCodePage(950));
    EXPECT_EQ(STR_GetCodePage(), 1252u);
    EXPECT_FALSE(STR_IsLeadByte(0x81));
#endif
    EXPECT_TRUE(STR_SetCodePage(SJ));
    EXPECT_TRUE(STR_IsLeadByte(0x81) && STR_IsLeadByte(0x9F) && STR_IsLeadByte(0xE0) && STR_IsLeadByte(0xFC));
    EXPECT_FALSE(STR_IsLeadByte(0x80) || STR_IsLeadByte(0xA0) || STR_IsLeadByte(0xDF) || STR_IsLeadByte(0xFD));
}

TEST(StrFunctions, SteppingFindsCharacterBoundaries)
{
    const std::pair<const char*, std::vector<int>> cases[] = {
        {"a\x95\x5C" "b\x83", {0, 1, 3, 4}}, // a lead byte before the terminator stands alone
        {"\x81\x81\x81\x81\x81", {0, 2, 4}},
        {"a\x81\x81\x81\x81" "b", {0, 1, 3, 5}},
    };
    for (const auto& [text, sjisStarts] : cases)
        for (unsigned int codePage : {SJ, SB})
        {
            CodePageScope scope(codePage);
            std::vector<int> starts = sjisStarts, forward, backward;
            if (codePage == SB)
            {
                starts.resize(std::strlen(text));
                std::iota(starts.begin(), starts.end(), 0);
            }
            for (const char* p = text; *p != '\0'; p = STR_strinc(p))
                forward.push_back(IndexIn(text, p));
            for (const char* p = text + std::strlen(text); (p = STR_strdec(text, p)) != nullptr;)
                backward.insert(backward.begin(), IndexIn(text, p));
            EXPECT_EQ(forward, starts) << text << " in " << codePage;
            EXPECT_EQ(backward, starts) << text << " in " << codePage;
        }
    CodePageScope scope(SJ);
    const char* text = "a\x95\x5C";
    EXPECT_EQ(STR_strdec(text, text), nullptr);
    EXPECT_EQ(IndexIn(text, STR_strdec(text, text + 2)), 1); // from inside a character
}

TEST(StrFunctions, SearchesMatchOnlyWholeCharacters)
{
    // Wine's _mbsstr is the byte search strstr; Windows' matches at character starts.
    struct Case { const char* text; char* (*search)(const char*); int sjis; int single; bool bytesUnderWine = false; };
    const Case cases[] = {
        {"\x95\x5C\\", [](const char* s) { return STR_strchr(s, '\\'); }, 2, 1},
        {"\x95\x5C\\", [](const char* s) { return STR_strchr(s, 0x955C); }, 0, 1},
        {"ab", [](const char* s) { return STR_strchr(s, 0); }, 2, 2},
        {"A\x83\x41", [](const char* s) { return STR_strrchr(s, 'A'); }, 0, 2},
        {"\x83\x41\x83\x41", [](const char* s) { return STR_strrchr(s, 0x8341); }, 2, 3},
        {"\x83\x41" "A", [](const char* s) { return STR_strstr(s, "A"); }, 2, 1, true},
        {"\x83\x41\x83", [](const char* s) { return STR_strstr(s, "\x41\x83"); }, -1, 1, true},
        {"ab", [](const char* s) { return STR_strstr(s, ""); }, 0, 0},
        {"\x83\x41z", [](const char* s) { return STR_strpbrk(s, "Az"); }, 2, 1},
        {"x\x95\x5C", [](const char* s) { return STR_strrpbrk(s, "\\/"); }, -1, 2},
        {"d\\\x95\x5C", [](const char* s) { return STR_strrpbrk(s, "\\/"); }, 1, 3},
        {"/abc", [](const char* s) { return STR_strrpbrk(s, "\\/"); }, 0, 0},
        {"a/b/c", [](const char* s) { return STR_strrpbrk(s, "\\/"); }, 3, 3},
        {"", [](const char* s) { return STR_strrpbrk(s, "\\/"); }, -1, -1},
        {"\x83\x41" "a", [](const char* s) { return STR_strrpbrk(s, "\x83\x41"); }, 0, 1},
    };
    for (const Case& c : cases)
        for (unsigned int codePage : {SJ, SB})
        {
            if (c.bytesUnderWine && codePage == SJ && RunsUnderWine())
                continue;
            CodePageScope scope(codePage);
            EXPECT_EQ(IndexIn(c.text, c.search(c.text)), codePage == SJ ? c.sjis : c.single)
                << '"' << c.text << "\" in " << codePage;
        }
}

// Replace and Find walk a text by repeated searches; under Shift-JIS each search
// must walk the text only up to its hit, or a walk is quadratic: 2,000,000 hits
// would then take hours and the test would not end within the suite's time
// limit, instead of well under a second. (The single-byte code page searches
// with the C library's strstr, which AddressSanitizer makes measure the whole
// text on every call, so it is left to the C library.)
TEST(StrFunctions, RepeatedSearchesAlongATextStayLinear)
{
    constexpr std::size_t kHits = 2000000;
    const std::string text(kHits, 'a');
    CodePageScope scope(SJ);
    std::size_t hits = 0;
    for (const char* p = STR_strstr(text.c_str(), "a"); p != nullptr; p = STR_strstr(p + 1, "a"))
        ++hits;
    EXPECT_EQ(hits, kHits);
}

TEST(StrFunctions, InPlaceChangesKeepCharactersWhole)
{
    struct Case { char* (*change)(char*); const char* text; const char* sjis; const char* single; };
    const Case cases[] = {
        {STR_strupr, "aB\x83\x61\xB1z", "AB\x83\x61\xB1Z", "AB\x83\x41\xB1Z"},
        {STR_strlwr, "Ab\x83\x41\xB1Z", "ab\x83\x41\xB1z", "ab\x83\x61\xB1z"},
        {STR_strrev, "ab\x95\x5C" "c", "c\x95\x5C" "ba", "c\x5C\x95" "ba"},
    };
    for (const Case& c : cases)
        for (unsigned int codePage : {SJ, SB})
        {
            CodePageScope scope(codePage);
            std::string text = c.text;
            EXPECT_EQ(c.change(text.data()), text.data());
            EXPECT_EQ(text, codePage == SJ ? c.sjis : c.single) << c.text << " in " << codePage;
        }
}

TEST(StrFunctions, CountedCopyAndAppendCutWholeCharacters)
{
    // Wine's _mbsnbcat keeps the lead byte of a character cut by the count.
    struct Case { unsigned int codePage; void (*write)(char*); std::string expected; bool cutUnderWine = false; };
    const Case cases[] = {
        {SB, [](char* d) { STR_strncpy(d, "abcdef", 4); }, Bytes("abcd####")},
        {SB, [](char* d) { STR_strncpy(d, "ab", 4); }, Bytes("ab\0\0####")},
        {SB, [](char* d) { STR_strncpy(d, "a\x95\x5C", 2); }, Bytes("a\x95######")},
        {SJ, [](char* d) { STR_strncpy(d, "a\x95\x5C", 2); }, Bytes("a\0######")},
        {SJ, [](char* d) { STR_strncpy(d, "a\x95\x5C", 5); }, Bytes("a\x95\x5C\0\0###")},
        {SB, [](char* d) { STR_strncat(STR_strcpy(d, "x"), "a\x95\x5C", 2); }, Bytes("xa\x95\0####")},
        {SJ, [](char* d) { STR_strncat(STR_strcpy(d, "x"), "a\x95\x5C", 2); }, Bytes("xa\0#####"), true},
        {SJ, [](char* d) { STR_strncat(STR_strcpy(d, "x"), "a\x95\x5C" "b", 3); }, Bytes("xa\x95\x5C\0###")},
        {SJ, [](char* d) { STR_strncat(STR_strcpy(d, "x\x95"), "b", 1); }, Bytes("xb\0#####")}, // lone lead dropped
        {SJ, [](char* d) { STR_strncat(STR_strcpy(d, "x\x95\x5C"), "b", 1); }, Bytes("x\x95\x5C" "b\0###")},
    };
    for (const Case& c : cases)
    {
        if (c.cutUnderWine && RunsUnderWine())
            continue;
        CodePageScope scope(c.codePage);
        char dst[] = "########";
        c.write(dst);
        EXPECT_EQ(std::string(dst, 8), c.expected) << c.expected << " in " << c.codePage;
    }
}

TEST(StrFunctions, ComparisonOrder)
{
    // Double-byte collation is the locale's on Windows; elsewhere it is by code.
    struct Case { int (*compare)(const char*, const char*); const char* a; const char* b; int sjis; int single; bool collates = false; };
    constexpr bool kLocaleCollation =
#if defined(_WIN32)
        true;
#else
        false;
#endif
    const Case cases[] = {
        {STR_strcmp, "\x81\x40", "\xDF", +1, -1}, // double-byte codes sort after all single bytes
        {STR_strcoll, "\x81\x40", "\xDF", +1, -1, true},
        {STR_strcmp, "\x83\x41", "\x83\x42", -1, -1},
        {STR_strcmp, "a", "ab", -1, -1},
        {STR_stricmp, "AbC", "aBc", 0, 0},
        {STR_stricoll, "ABC", "abd", -1, -1, true},
        {STR_stricmp, "\x83\x41", "\x83\x61", -1, 0}, // trail bytes keep their case
        {STR_stricoll, "\x83\x41", "\x83\x61", -1, 0, true},
        {STR_stricmp, "_", "A", -1, -1}, // case folds to lower case
    };
    for (const Case& c : cases)
        for (unsigned int codePage : {SJ, SB})
        {
            if (c.collates && codePage == SJ && kLocaleCollation)
                continue;
            CodePageScope scope(codePage);
            const int expected = codePage == SJ ? c.sjis : c.single;
            const int forward = c.compare(c.a, c.b), backward = c.compare(c.b, c.a);
            EXPECT_EQ((forward > 0) - (forward < 0), expected) << c.a << " vs " << c.b << " in " << codePage;
            EXPECT_EQ((backward > 0) - (backward < 0), -expected) << c.b << " vs " << c.a << " in " << codePage;
        }
}

TEST(StrFunctions, TokenizerNeverSplitsCharacters)
{
    struct Case { unsigned int codePage; const char* text; const char* delimiters; std::vector<std::string> tokens; };
    const Case cases[] = {
        {SJ, "\\a\x83\x5C" "b\\\\c\\", "\\", {"a\x83\x5C" "b", "c"}},
        {SB, "\\a\x83\x5C" "b\\\\c\\", "\\", {"a\x83", "b", "c"}},
        {SJ, "x\x81\x40y\x81\x40", "\x81\x40", {"x", "y"}},
        {SJ, "  ", " ", {}},
    };
    for (const Case& c : cases)
    {
        CodePageScope scope(c.codePage);
        std::string text = c.text;
        std::vector<std::string> tokens;
        for (char* t = STR_strtok(text.data(), c.delimiters); t != nullptr; t = STR_strtok(nullptr, c.delimiters))
            tokens.emplace_back(t);
        EXPECT_EQ(tokens, c.tokens) << c.text;
    }
    // The position between calls belongs to the calling thread.
    char mine[] = "a b c";
    ASSERT_STREQ(STR_strtok(mine, " "), "a");
    std::thread([] {
        char theirs[] = "x y";
        EXPECT_STREQ(STR_strtok(theirs, " "), "x");
        EXPECT_STREQ(STR_strtok(nullptr, " "), "y");
        EXPECT_EQ(STR_strtok(nullptr, " "), nullptr);
    }).join();
    EXPECT_STREQ(STR_strtok(nullptr, " "), "b");
}

TEST(StrFunctions, CountedFormattingTerminatesOnlyWhenShorter)
{
    const std::pair<std::size_t, std::string> cases[] = {
        {10, Bytes("hello\0####")}, {6, Bytes("hello\0####")}, {5, Bytes("hello#####")},
        {3, Bytes("hel#######")}, {0, Bytes("##########")}};
    for (const auto& [count, expected] : cases)
    {
        char dst[] = "##########";
        const int result = STR_snprintf(dst, count, "%s%c", "hell", 'o');
        EXPECT_EQ(result < 0 ? -1 : result, count >= 5 ? 5 : -1) << count;
        EXPECT_EQ(std::string(dst, 10), expected) << count;
    }
    const std::string longText(2000, 'z');
    std::vector<char> dst(1100, '#');
    EXPECT_LT(STR_snprintf(dst.data(), 1024, "<%s>", longText.c_str()), 0);
    EXPECT_EQ(std::string(dst.data(), 1025), "<" + longText.substr(0, 1023) + '#');
}

// Each row formats the same arguments with the counted form and with the C
// library's snprintf into a buffer large enough for all of it. Some rows are
// malformed on purpose.
#if defined(__GNUC__)
#pragma GCC diagnostic ignored "-Wformat"
#pragma GCC diagnostic ignored "-Wformat-extra-args"
#if !defined(__clang__)
#pragma GCC diagnostic ignored "-Wformat-truncation"
#endif
#endif
#define FORMAT_ROW(...)                                                                                      \
    {[](char* dst, std::size_t count) { return STR_snprintf(dst, count, __VA_ARGS__); },                     \
     [](char* dst, std::size_t count) { return std::snprintf(dst, count, __VA_ARGS__); }, #__VA_ARGS__}

TEST(StrFunctions, CountedFormattingKeepsWhatTheCLibraryProduces)
{
    struct Row
    {
        int (*ours)(char*, std::size_t);
        int (*reference)(char*, std::size_t);
        const char* text;
    };
    static char text[] = "text";
    static wchar_t wide[] = L"wide";
    const Row rows[] = {
        FORMAT_ROW("%d|%i|%5d|%-5d|%05d|%+d|% d|%.3d|%8.3d|%-08.3d", 42, -7, 3, 3, -3, 4, 5, 6, -7, 8),
        FORMAT_ROW("%u|%o|%#o|%x|%#X|%#10.4x|%-#10x|%b|%#B|%.0d", 7u, 8u, 8u, 255u, 255u, 255u, 1u, 5u, 5u, 0),
        FORMAT_ROW("%hhd|%hd|%ld|%lld|%jd|%zu|%td|%Ld", 300, 70000, -1L, 1LL << 40, INTMAX_MIN, SIZE_MAX,
                   PTRDIFF_MAX, 1LL << 50),
        FORMAT_ROW("%f|%.0f|%#.0f|%10.3f|%-10.2f|%+010.1f|%.20f", 1.5, 2.5, 2.0, -3.14159, 1e10, -0.25, 0.1),
        FORMAT_ROW("%e|%.3E|%g|%G|%#g|%.10g|%a|%.2A|%Lf|%Le", 12345.678, 1e-300, 1e-5, 1e20, 3.0, 1.0 / 3,
                   1.0, -0.5, 1.5L, 1e4000L),
        FORMAT_ROW("%f|%5.1f|%-6e|%010g|%F|%E", 1.0 / 0.0, -1.0 / 0.0, 0.0 / 0.0, -1.0 / 0.0, 1.0 / 0.0, -0.0),
        FORMAT_ROW("%s|%10s|%-10s|%.2s|%10.2s|%s|%.3s|%c|%-3c|%ls|%6.2ls|%lc", text, text, text, text, text,
                   static_cast<char*>(nullptr), static_cast<char*>(nullptr), 'c', 'd', wide, wide, L'w'),
        FORMAT_ROW("%p|%20p|%-20p|%p|%%|%5%|%*d|%-*d|%.*f|%*.*s|%0*d", static_cast<void*>(text),
                   static_cast<void*>(text), static_cast<void*>(text), nullptr, 4, 1, -4, 2, 2, 3.14159, 6, 2,
                   text, 5, -5),
        FORMAT_ROW("%y|%hhy|%-*.*y|%5|%.-3d|%0$d|%lm", 4, 5, 6),
        FORMAT_ROW("%3$s %1$d %2$*1$d|%1$-*4$d|", 3, 8, text, 6),
        FORMAT_ROW("fails at a lone percent%"), FORMAT_ROW("%s|%lc|", text, static_cast<wint_t>(0x100)),
        // Widths and precisions large enough that padding and zeros are counted.
        FORMAT_ROW("%5000d|%-4097.4200x|%0*.*f|%.5000e|%#.4100g|%.4100g|%#-4500.4100G|%.5000a", 1, 255u, 4500,
                   4200, -2.5, 1.5, 3.0, 3.0, 1e-7, 1.0),
        FORMAT_ROW("%*s|%-5000s|%*.2ls|%4097c|%-4200p|%4500%|%.17000Lf|%04500Le|%-*f", 4500, text, text, -4200,
                   wide, 'c', static_cast<void*>(text), 1.5L, -1.0L, -4400, 1.0 / 0.0),
        FORMAT_ROW("%2$*1$d|%3$-*1$s|%1$0*4$x|", -4500, 7, text, 4300),
        FORMAT_ROW("%y|%0*f|%0*a|%.*Ld|%-9000.4500f|", -4300, 2.5, -4300, 1.0, 5000, 3, 0.5)};
    for (const Row& row : rows)
    {
        std::vector<char> expected(80000, '#');
        const int length = row.reference(expected.data(), expected.size());
        // Counts around the stack buffer's size, and the exact length.
        const std::size_t exact = length > 0 ? static_cast<std::size_t>(length) : 0;
        for (std::size_t count : std::initializer_list<std::size_t>{0, 1, 7, 30, 200, 1024, 1025, 22000, exact})
        {
            std::vector<char> dst(count + 10, '#');
            const int result = row.ours(dst.data(), count);
            if (length >= 0 && static_cast<std::size_t>(length) > count)
                EXPECT_LT(result, 0) << row.text << " count " << count;
            else
                EXPECT_EQ(result, length) << row.text << " count " << count;
            if (length < 0 && count > 0)
            {
                // What was formatted before the failure, cut and terminated.
                const std::size_t kept = std::min(count - 1, std::strlen(expected.data()));
                std::string want(expected.data(), kept);
                want += '\0';
                want.resize(count + 10, '#');
                EXPECT_EQ(std::string(dst.data(), dst.size()), want) << row.text << " count " << count;
            }
            if (length >= 0)
            {
                // Terminated only when shorter than count; bytes past count untouched.
                const std::size_t kept = std::min(count, static_cast<std::size_t>(length) + 1);
                std::string want(expected.data(), kept);
                want.resize(count + 10, '#');
                EXPECT_EQ(std::string(dst.data(), dst.size()), want) << row.text << " count " << count;
            }
        }
    }
}

TEST(StrFunctions, CountedFormattingCostsWhatItKeeps)
{
    constexpr int kHuge = 2000000000;
    // The first 1,024 bytes: text, then fill.
    const auto lead = [](const std::string& text, char fill) { return text + std::string(1024 - text.size(), fill); };
    AddressSpaceCap cap;
    std::vector<char> dst(1100);
    const auto kept = [&] { return std::string(dst.data(), 1025); };
    int length = 0;
    const auto check = [&](int result, const std::string& first, long long expected, const char* what) {
        EXPECT_LT(result, 0) << what;
        EXPECT_EQ(kept(), first + '#') << what;
        EXPECT_EQ(length, expected) << what;
        std::fill(dst.begin(), dst.end(), '#');
    };
    std::fill(dst.begin(), dst.end(), '#');
    check(STR_snprintf(dst.data(), 1024, "%*d%n", kHuge, 1, &length), lead("", ' '), kHuge, "*d");
    check(STR_snprintf(dst.data(), 1024, "%2000000000d%n", 1, &length), lead("", ' '), kHuge, "2000000000d");
    check(STR_snprintf(dst.data(), 1024, "%-2000000000s%n", "abc", &length), lead("abc", ' '), kHuge, "-s");
    check(STR_snprintf(dst.data(), 1024, "%.2000000000f%n", 1.5, &length), lead("1.5", '0'), kHuge + 2LL, ".f");
    check(STR_snprintf(dst.data(), 1024, "%0*d%n", kHuge, -42, &length), lead("-", '0'), kHuge, "0*d");
    check(STR_snprintf(dst.data(), 1024, "%#.*x%n", kHuge, 255, &length), lead("0x", '0'), kHuge + 2LL, "#.*x");
    check(STR_snprintf(dst.data(), 1024, "%.*e%n", kHuge, 1.5, &length), lead("1.5", '0'), kHuge + 6LL, ".*e");

    // Past INT_MAX bytes the C library fails; what was kept stays, terminated.
    errno = 0;
    EXPECT_LT(STR_snprintf(dst.data(), 1024, "%*d%*d", kHuge, 1, kHuge, 2), 0);
    EXPECT_EQ(errno, EOVERFLOW);
    EXPECT_EQ(kept(), std::string(1023, ' ') + '\0' + '#');
}

TEST(StrFunctions, ScanningAndSpaces)
{
    int number = 0;
    char word[8] = {};
    EXPECT_EQ(STR_sscanf("-42 word", "%d %7s", &number, word), 2);
    EXPECT_EQ(number, -42);
    EXPECT_STREQ(word, "word");
    for (unsigned int c : {0x20u, 0x09u, 0x0Du})
        EXPECT_TRUE(STR_isspace(c)) << c;
    for (unsigned int c : {0x08u, 0x0Eu})
        EXPECT_FALSE(STR_isspace(c)) << c;
#if !defined(_WIN32) // there single bytes past ASCII are classified by the runtime's locale
    EXPECT_FALSE(STR_isspace(0xA0));
#endif
    CodePageScope scope(SJ);
    EXPECT_TRUE(STR_isspace(0x8140) && STR_isspace(' ')); // the ideographic space
    EXPECT_FALSE(STR_isspace(0x8141) || STR_isspace(0xA0));
}
