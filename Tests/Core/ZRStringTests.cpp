#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cwchar>
#include <iterator>
#include <string>

#include "Common/Core/ZRStrFunctions.h"
#include "Common/Core/ZRString.h"
#include "Core/AddressSpaceCap.h"

namespace
{
constexpr long kTwelve = 12;    // resource "twelve"
constexpr long kFormatId = 7;   // resource "%d of %s"
const std::string kNoBuffer = "null cap 0 lock 0";
bool LoadTestResource(long id, CZRString& text)
{
    const char* found = id == kTwelve ? "twelve" : id == kFormatId ? "%d of %s" : nullptr;
    if (found != nullptr)
        text = found;
    return found != nullptr;
}

// Installs the test hooks for one scope and always removes them again.
struct HookGuard
{
    explicit HookGuard(bool withIdentity = true)
    {
        s_pfnLoadString = LoadTestResource;
        s_pfnIsStringIdentical = !withIdentity ? nullptr : +[](long id, const CZRString& text) {
            CZRString current;
            return LoadTestResource(id, current) && text.Compare(current) == 0;
        };
    }
    ~HookGuard() { s_pfnLoadString = nullptr, s_pfnIsStringIdentical = nullptr; }
};

// The text (a zero byte shown as \0) with capacity, lock count and any string id.
std::string State(const CZRString& s)
{
    const sStringData* d = s.GetData();
    std::string text = d->pszBuffer != nullptr ? "\"" : "null";
    for (long i = 0; i < d->nLength; ++i)
        text += d->pszBuffer[i] != '\0' ? std::string(1, d->pszBuffer[i]) : "\\0";
    return text + (d->pszBuffer != nullptr ? "\" cap " : " cap ") + std::to_string(d->nCapacity) + " lock " +
           std::to_string(d->nLockCount) + (d->nStringId != -1 ? " id " + std::to_string(d->nStringId) : "");
}

// The text with its length, zero bytes included.
std::string Text(const CZRString& s) { return std::string(s.GetString(), static_cast<std::size_t>(s.GetLength())); }

// The state of text held in a buffer of exactly its size.
std::string Exact(const std::string& text) { return '"' + text + "\" cap " + std::to_string(text.size()) + " lock 1"; }

CZRString WithZero(const char* a, const char* b)
{
    CZRString s(a);
    s += '\0';
    s += b;
    return s;
}
} // namespace

TEST(ZRString, DefaultHasNoBufferAndFindsNothing)
{
    CZRString s;
    EXPECT_EQ(State(s), kNoBuffer);
    EXPECT_EQ(s.GetLength() + s.GetStringId(), -1);
    EXPECT_EQ(s.Compare("") + s.CompareNoCase(nullptr) + s.Collate(nullptr), 0);
    EXPECT_LT(s.CollateNoCase("a"), 0);
    EXPECT_EQ(s.Find('a') + s.Find("a") + s.ReverseFind('a') + s.FindOneOf("a") + s.ReverseFindOneOf("a"), -5);
    s.MakeUpper();
    s.MakeReverse();
    s.TrimLeft();
    s = '\0';
    s = CZRString();
    for (const CZRString& t : {s, s + s, CZRString('x', 0)})
        EXPECT_EQ(State(t), kNoBuffer);
}

TEST(ZRString, BufferGrowsExactlyAndNeverShrinks)
{
    CZRString s("abc");
    const char* buffer = s.GetString();
    s.Empty();
    EXPECT_EQ(State(s), "\"\" cap 3 lock 1");
    s = "xy";
    s += "z";
    EXPECT_EQ(s.GetString(), buffer);
    s += "12";
    EXPECT_EQ(State(s), Exact("xyz12"));
    s = "a";
    s = static_cast<const char*>(nullptr);
    EXPECT_EQ(State(s), "\"\" cap 5 lock 1");
    s = 'A';
    s += '\0';
    EXPECT_EQ(State(s), "\"A\\0\" cap 5 lock 1");
    EXPECT_EQ(State(CZRString('x', 3)), Exact("xxx"));

    CZRString twice("ab");
    twice += twice;   // grows
    EXPECT_EQ(State(twice), Exact("abab"));
    twice = "ab";
    buffer = twice.GetString();
    twice += twice;   // fits
    EXPECT_EQ(State(twice), Exact("abab"));
    EXPECT_EQ(twice.GetString(), buffer);
}

TEST(ZRString, StringIdSurvivesUntilTheBufferIsReplaced)
{
    HookGuard hooks;
    CZRString s{CZRStringId(kTwelve)};
    s = "six";
    s += "ab";
    s.Empty();
    EXPECT_EQ(State(s), "\"\" cap 6 lock 1 id 12");
    for (const CZRString& copy : {s, s.Left(10)})   // whole copies keep it
        EXPECT_EQ(State(copy), "null cap 0 lock 0 id 12");

    s = "twelve";
    for (const CZRString& whole : {s.Left(6), s.Right(6), s.Mid(0)})
        EXPECT_EQ(whole.GetStringId(), kTwelve);
    CZRString grown(s), appended(s), replaced(s), buffered(s);
    grown = "seventeen";
    appended += "!";
    replaced.Replace("e", "ee");
    buffered.GetBuffer(6);
    for (const CZRString& t : {s.Left(2), s + "", grown, appended, replaced, buffered})
        EXPECT_FALSE(t.HasStringId()) << State(t);
    CZRString fitting(s);
    fitting.GetBuffer(5);   // room for 6 bytes fits: buffer and id stay
    fitting.ReleaseBuffer(2);
    EXPECT_EQ(State(fitting), "\"tw\" cap 6 lock 1 id 12");
}

TEST(ZRString, ConcatenationAndExtraction)
{
    const CZRString ab("ab"), abc("abc");
    const CZRString results[] = {ab + ab, ab + "c", ab + static_cast<const char*>(nullptr),
                                 ab + 'c', 'c' + ab, abc.Left(0), abc.Right(0), abc.Left(10),
                                 abc.Right(10), abc.Right(2), abc.Mid(-3, 2), abc.Mid(1),
                                 abc.Mid(5), abc.Mid(1, -1), abc.Mid(2, 9), abc.Mid(-3),
                                 abc.Mid(INT_MIN), abc.Mid(INT_MIN, INT_MAX)};
    const std::string expected[] = {Exact("abab"), Exact("abc"), Exact("ab"), Exact("abc"), Exact("cab"),
                                    kNoBuffer, kNoBuffer, Exact("abc"), Exact("abc"), Exact("bc"), Exact("ab"),
                                    Exact("bc"), kNoBuffer, kNoBuffer, Exact("c"), Exact("abc"),
                                    Exact("abc"), Exact("abc")};
    for (size_t i = 0; i < std::size(results); ++i)
        EXPECT_EQ(State(results[i]), expected[i]) << i;
    EXPECT_NE(abc.Mid(0, 3).GetString(), abc.GetString());
}

TEST(ZRString, SearchTable)
{
    const CZRString s("abca");
    CZRString emptied("x");
    emptied.Empty();
    const int found[] = {s.Find(""), s.Find(static_cast<const char*>(nullptr)), s.Find("c", 4),
                         s.Find("c", 5), s.Find('c', -5), s.Find('a', 1), s.Find('c', 4),
                         s.Find("ca", -2), s.Find("b", 2), s.ReverseFind('a'), s.FindOneOf("cb"),
                         s.FindOneOf(nullptr), s.ReverseFindOneOf("ab"), s.ReverseFindOneOf("b"),
                         emptied.Find('\0'), emptied.ReverseFind('\0')};
    const int expected[] = {-1, -1, -1, -1, 2, 3, -1, 2, -1, 3, 1, -1, 3, 1, -1, -1};
    for (size_t i = 0; i < std::size(found); ++i)
        EXPECT_EQ(found[i], expected[i]) << i;
}

// In place when the result fits, else into a buffer of exactly the result's size;
// every zero-separated segment is searched.
TEST(ZRString, ReplaceSubstringTable)
{
    const struct
    {
        CZRString text;
        const char *from, *to;
        int count;
        std::string state;
    } cases[] = {
        {"aaa", "aa", "b", 1, "\"ba\" cap 3 lock 1"},          {"banana", "a", nullptr, 3, "\"bnn\" cap 6 lock 1"},
        {"banana", "an", "AN", 2, Exact("bANANa")},            {"a-a", "a", "xyz", 2, Exact("xyz-xyz")},
        {"abc", "", "x", 0, Exact("abc")},                     {"abc", nullptr, "x", 0, Exact("abc")},
        {"abc", "z", "y", 0, Exact("abc")},                    {"abab", "ab", "ba", 2, Exact("baba")},
        {WithZero("ab", "ab"), "a", "xy", 2, "\"xyb\\0xyb\" cap 7 lock 1"},
        {WithZero("ab", "ab"), "ab", "Z", 2, "\"Z\\0Z\" cap 5 lock 1"},
    };
    for (const auto& c : cases)
    {
        CZRString s(c.text);
        EXPECT_EQ(s.Replace(c.from, c.to), c.count) << c.state;
        EXPECT_EQ(State(s), c.state);
    }
    CZRString roomy("0123456789");
    roomy = "a-a";
    const char* buffer = roomy.GetString();
    EXPECT_EQ(roomy.Replace("a", "xyz"), 2);   // grows inside the existing buffer
    EXPECT_EQ(roomy.GetString(), buffer);
    EXPECT_EQ(roomy.Replace('x', 'x'), 0);
    EXPECT_EQ(roomy.Replace('x', 'o'), 2);
    EXPECT_EQ(State(roomy), "\"oyz-oyz\" cap 10 lock 1");
}

TEST(ZRString, ReplaceUnderRaisedLockCountUsesFreshBuffer)
{
    const struct { const char *from, *to, *result; int count; } cases[] = {
        {"a", "o", "bonono", 3}, {"an", "", "ba", 2}, {"a", "xyz", "bxyznxyznxyz", 3}};
    for (const auto& c : cases)
    {
        CZRString s("banana");
        const char* locked = s.GetBuffer(3);   // large enough: text kept
        EXPECT_EQ(s.GetData()->nLockCount, 2);
        EXPECT_EQ(s.Replace(c.from, c.to), c.count);
        EXPECT_NE(s.GetString(), locked);
        EXPECT_EQ(State(s), Exact(c.result));
        s.ReleaseBuffer();
        EXPECT_STREQ(s.GetString(), c.result);
    }
}

TEST(ZRString, GetBufferAndReleaseBuffer)
{
    CZRString s("abc");
    char* p = s.GetBuffer(10);   // too small: replaced, length 11 until released
    EXPECT_EQ(s.GetLength(), 11);
    STR_strcpy(p, "hello");
    s.ReleaseBuffer(-1);
    EXPECT_EQ(State(s), "\"hello\" cap 11 lock 1");
    EXPECT_EQ(s.GetBuffer(2), p);   // fits: text and length kept
    EXPECT_EQ(s.GetLength(), 5);
    s.ReleaseBuffer(3);
    EXPECT_EQ(State(s), "\"hel\" cap 11 lock 1");
}

TEST(ZRString, FormatCutsAt1023Bytes)
{
    CZRString s;
    s.Format("%s-%d-%c", "x", 42, 'z');
    EXPECT_EQ(State(s), Exact("x-42-z"));
    for (int width : {1022, 1023, 1024, 2000})
    {
        s.Format("%*d", width, 7);
        EXPECT_EQ(std::string(s), std::string(std::min(width, 1023) - 1, ' ') + (width <= 1023 ? "7" : " "));
    }
    s.Format(static_cast<const char*>(nullptr));
    EXPECT_EQ(State(s), "\"\" cap 1023 lock 1");
}

TEST(ZRString, FormatCostsWhatItKeeps)
{
    AddressSpaceCap cap;
    CZRString s;
    s.Format("%*d", 2000000000, 1);
    EXPECT_EQ(Text(s), std::string(1023, ' '));
    s.Format("%2000000000d", 1);
    EXPECT_EQ(Text(s), std::string(1023, ' '));
    s.Format("%.2000000000f", 1.5);
    EXPECT_EQ(Text(s), "1.5" + std::string(1020, '0'));
    s.Format("%-2000000000s", "abc");
    EXPECT_EQ(State(s), Exact("abc" + std::string(1020, ' ')));
}

TEST(ZRString, FormatKeepsWhatCameBeforeAFailure)
{
    CZRString s;
    s.Format("ab%lc", static_cast<wint_t>(0x100)); // no multibyte form in the C locale
    EXPECT_EQ(Text(s), "ab");
    // A width past INT_MAX fails where the C library says so (glibc); other C
    // libraries read it their own way, and the text is what theirs makes.
    const std::string hugeWidth = "ab%3000000000d";
    char reference[16] = {};
    const bool fails = std::snprintf(reference, sizeof reference, hugeWidth.c_str(), 1) < 0;
    s.Format(hugeWidth.c_str(), 1);
    EXPECT_EQ(Text(s), fails ? std::string("ab") : std::string(reference));
    s.Format("%.1022s%", std::string(1500, 'x').c_str());
    EXPECT_EQ(Text(s), std::string(1022, 'x'));
    s.Format("%s%*d%*d", "kept", 2000000000, 1, 2000000000, 2); // more than INT_MAX bytes
    EXPECT_EQ(Text(s), "kept" + std::string(1019, ' '));
}

TEST(ZRString, ResourceHooks)
{
    CZRString s("keep");
    s = reinterpret_cast<const char*>(kTwelve);   // no hook: emptied only
    EXPECT_TRUE(s.IsEmpty());
    EXPECT_FALSE(s.LoadStringResource(kTwelve));
    {
        HookGuard hooks(false);
        s = reinterpret_cast<const char*>(kTwelve);
        EXPECT_EQ(State(s), "\"twelve\" cap 6 lock 1 id 12");
        EXPECT_FALSE(s.IsIdenticalToStringResource());   // no identity hook
    }
    s = reinterpret_cast<const char*>(0xFFFF);   // unknown: emptied, the id stays
    EXPECT_EQ(State(s), "\"\" cap 6 lock 1 id 12");

    HookGuard hooks;
    EXPECT_FALSE(s.IsIdenticalToStringResource());   // "" is not "twelve"
    s = CZRStringId(kTwelve);
    EXPECT_TRUE(s.IsIdenticalToStringResource());
    EXPECT_FALSE(CZRString("twelve").IsIdenticalToStringResource());
    EXPECT_FALSE(s.LoadStringResource(99));   // no such resource
    EXPECT_EQ(State(s), "\"\" cap 6 lock 1");
    s.Format(kFormatId, 3, "five");
    EXPECT_EQ(std::string(s), "3 of five");
    s.Format(99L, 3);
    EXPECT_TRUE(s.IsEmpty());
}

TEST(ZRString, ConversionsAndComparisons)
{
    for (const char* text : {"1", "true", "TRUE", "tRuE"})
        EXPECT_TRUE(CZRString(text).ToBool()) << text;
    for (const char* text : {"", "01", "yes", "0", "2", "true "})
        EXPECT_FALSE(CZRString(text).ToBool()) << text;
    EXPECT_EQ(std::make_pair(CZRString("ff").ToInt(16), CZRString("").ToInt(10)), std::make_pair(255, 0));
    EXPECT_EQ(std::make_pair(CZRString("-12x").ToLong(), CZRString("4294967295").ToUint()), std::make_pair(-12L, 4294967295u));
    EXPECT_EQ(CZRString("2.5").ToFloat(), 2.5f);

    CZRString s("Abc");
    EXPECT_TRUE(s.Compare("abc") < 0 && s.CompareNoCase("aBC") == 0 && s.Compare(nullptr) > 0);
    s.SetAt(0, '\xFF');
    EXPECT_EQ(s[0], 255);
    s.MakeUpper();
    s.MakeReverse();
    EXPECT_EQ(std::string(s), "CB\xFF");
}

// "\x82\x61" is one character in Shift-JIS and two in the single-byte code page.
TEST(ZRString, DoubleByteCharactersStayWhole)
{
    for (unsigned int codePage : {STR_CODEPAGE_SINGLEBYTE, STR_CODEPAGE_SHIFTJIS})
    {
        ASSERT_TRUE(STR_SetCodePage(codePage));
        const bool dbcs = codePage == STR_CODEPAGE_SHIFTJIS;
        CZRString s("\x82\x61" "a"), twice("\x82\x82"), trimmed = WithZero(" \t\n \x82\x61 ", "c");
        EXPECT_EQ(s.Find('a'), dbcs ? 2 : 1);
        s.MakeReverse();
        EXPECT_EQ(std::string(s), dbcs ? "a\x82\x61" : "aa\x82");
        EXPECT_EQ(twice.Replace('\x82', 'X'), dbcs ? 1 : 2);
        EXPECT_EQ(std::string(twice), dbcs ? "X\x82" : "XX");
        trimmed.TrimLeft();
        EXPECT_EQ(State(trimmed), "\"\x82\x61 \\0c\" cap 9 lock 1");
        STR_SetCodePage(STR_CODEPAGE_SINGLEBYTE);
    }
}
