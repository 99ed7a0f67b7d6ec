#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <string>

#include "Common/Core/ZRStrFunctions.h"
#include "Common/Core/ZRString.h"

namespace
{
constexpr long kTwelve = 12;    // resource "twelve"
constexpr long kFormatId = 7;   // resource "%d of %s"
constexpr long kMissingId = 99; // no such resource
long g_lastLoadedId = 0;

bool LoadTestResource(long id, CZRString& text)
{
    g_lastLoadedId = id;
    const char* found = id == kTwelve ? "twelve" : id == kFormatId ? "%d of %s" : nullptr;
    if (found != nullptr)
        text = found;
    return found != nullptr;
}

bool IsTestResource(long id, const CZRString& text)
{
    CZRString current;
    return LoadTestResource(id, current) && text.Compare(current) == 0;
}

// Installs the test hooks for one scope and always removes them again.
struct HookGuard
{
    explicit HookGuard(bool withIdentity = true)
    {
        s_pfnLoadString = LoadTestResource;
        s_pfnIsStringIdentical = withIdentity ? IsTestResource : nullptr;
    }
    ~HookGuard()
    {
        s_pfnLoadString = nullptr;
        s_pfnIsStringIdentical = nullptr;
    }
};

struct CodePageGuard
{
    explicit CodePageGuard(unsigned int codePage) { EXPECT_TRUE(STR_SetCodePage(codePage)); }
    ~CodePageGuard() { STR_SetCodePage(STR_CODEPAGE_SINGLEBYTE); }
};

// All bytes of the text, embedded zeros included.
std::string Bytes(const CZRString& s)
{
    return s.GetString() != nullptr ? std::string(s.GetString(), s.GetLength()) : std::string();
}

int Capacity(const CZRString& s) { return s.GetData()->nCapacity; }

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
    const sStringData* d = s.GetData();
    EXPECT_EQ(d->nLockCount + d->nLength + d->nCapacity, 0);
    EXPECT_EQ(d->nStringId, -1);
    EXPECT_TRUE(s.IsEmpty());
    EXPECT_EQ(static_cast<const char*>(s), nullptr);
    EXPECT_EQ(s.Compare("") + s.CompareNoCase(nullptr) + s.Collate(nullptr), 0);
    EXPECT_LT(s.CollateNoCase("a"), 0);
    EXPECT_EQ(s.Find('a') + s.Find("a") + s.ReverseFind('a') + s.FindOneOf("a") +
                  s.ReverseFindOneOf("a"), -5);
    s.MakeUpper();
    s.MakeReverse();
    s.TrimLeft();
    s = '\0';
    s = CZRString();
    EXPECT_EQ(s.GetString(), nullptr);
    EXPECT_EQ((s + s).GetString(), nullptr);
    EXPECT_EQ(CZRString('x', 0).GetString(), nullptr);
}

TEST(ZRString, BufferGrowsExactlyAndNeverShrinks)
{
    CZRString s("abc");
    const char* buffer = s.GetString();
    s.Empty();
    EXPECT_EQ(s.GetString(), buffer);
    EXPECT_STREQ(s.GetString(), "");
    EXPECT_EQ(Capacity(s), 3);
    s = "xy";
    s += "z";
    EXPECT_EQ(s.GetString(), buffer);
    s += "12";
    EXPECT_EQ(Bytes(s), "xyz12");
    EXPECT_EQ(Capacity(s), 5);
    s = "a";
    s = static_cast<const char*>(nullptr);
    EXPECT_EQ(Capacity(s), 5);
    EXPECT_EQ(s.GetData()->nLockCount, 1);

    EXPECT_EQ(Bytes(CZRString('x', 3)), "xxx");
    s = 'A';
    s += '\0';
    EXPECT_EQ(Bytes(s), std::string("A\0", 2));
    CZRString twice("ab");
    twice += twice; // grows
    EXPECT_EQ(Bytes(twice), "abab");
    twice = "ab";
    buffer = twice.GetString();
    twice += twice; // fits
    EXPECT_EQ(Bytes(twice), "abab");
    EXPECT_EQ(twice.GetString(), buffer);
    EXPECT_EQ(Capacity(twice), 4);
}

TEST(ZRString, StringIdSurvivesUntilTheBufferIsReplaced)
{
    HookGuard hooks;
    CZRString s{CZRStringId(kTwelve)}; // "twelve", capacity 6
    s = "six";
    s += "ab";
    s.Empty();
    const CZRString copy(s);
    EXPECT_EQ(s.GetStringId(), kTwelve);
    EXPECT_EQ(copy.GetStringId(), kTwelve);
    EXPECT_EQ(s.Left(10).GetStringId(), kTwelve); // a whole copy

    s = "twelve";
    CZRString grown(s), appended(s), replaced(s), buffered(s);
    grown = "seventeen";
    appended += "!";
    replaced.Replace("e", "ee");
    buffered.GetBuffer(6);
    EXPECT_FALSE(s.Left(2).HasStringId());
    EXPECT_FALSE((s + "").HasStringId());
    for (const CZRString* t : {&grown, &appended, &replaced, &buffered})
        EXPECT_FALSE(t->HasStringId());
}

TEST(ZRString, ConcatenationAndExtraction)
{
    const CZRString ab("ab"), abc("abc");
    const CZRString results[] = {ab + ab, ab + "c", ab + static_cast<const char*>(nullptr),
                                 ab + 'c', 'c' + ab, abc.Left(0), abc.Right(0), abc.Left(10),
                                 abc.Right(10), abc.Right(2), abc.Mid(-3, 2), abc.Mid(1),
                                 abc.Mid(5), abc.Mid(1, -1), abc.Mid(2, 9), abc.Mid(-3)};
    const char* expected[] = {"abab", "abc", "ab", "abc", "cab", "", "", "abc",
                              "abc", "bc", "ab", "bc", "", "", "c", "abc"};
    for (size_t i = 0; i < std::size(results); ++i)
    {
        EXPECT_EQ(Bytes(results[i]), expected[i]) << i;
        EXPECT_EQ(Capacity(results[i]), results[i].GetLength()) << i;
    }
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

TEST(ZRString, ReplaceSubstringTable)
{
    const struct
    {
        const char *text, *from, *to;
        int count;
        const char* expected;
    } cases[] = {
        {"aaa", "aa", "b", 1, "ba"},         {"banana", "a", nullptr, 3, "bnn"},
        {"banana", "an", "AN", 2, "bANANa"}, {"a-a", "a", "xyz", 2, "xyz-xyz"},
        {"abc", "", "x", 0, "abc"},          {"abc", nullptr, "x", 0, "abc"},
        {"abc", "z", "y", 0, "abc"},         {"abab", "ab", "ba", 2, "baba"},
    };
    for (const auto& c : cases)
    {
        CZRString s(c.text);
        EXPECT_EQ(s.Replace(c.from, c.to), c.count) << c.text;
        EXPECT_EQ(Bytes(s), c.expected);
        EXPECT_EQ(Capacity(s), std::max<long>(STR_strlen(c.text), s.GetLength()));
    }
    CZRString roomy("0123456789");
    roomy = "a-a";
    const char* buffer = roomy.GetString();
    EXPECT_EQ(roomy.Replace("a", "xyz"), 2); // grows inside the existing buffer
    EXPECT_EQ(Bytes(roomy), "xyz-xyz");
    EXPECT_EQ(roomy.GetString(), buffer);
    EXPECT_EQ(roomy.Replace('x', 'x'), 0);
    EXPECT_EQ(roomy.Replace('x', 'o'), 2);
    EXPECT_EQ(Bytes(roomy), "oyz-oyz");
}

TEST(ZRString, ReplaceSearchesEveryZeroSeparatedSegment)
{
    CZRString grow = WithZero("ab", "ab"), shrink = WithZero("ab", "ab");
    EXPECT_EQ(grow.Replace("a", "xy"), 2);
    EXPECT_EQ(Bytes(grow), std::string("xyb\0xyb", 7));
    EXPECT_EQ(Capacity(grow), 7);
    EXPECT_EQ(shrink.Replace("ab", "Z"), 2);
    EXPECT_EQ(Bytes(shrink), std::string("Z\0Z", 3));
    EXPECT_EQ(Capacity(shrink), 5);
}

TEST(ZRString, ReplaceUnderRaisedLockCountUsesFreshBuffer)
{
    const char* cases[][3] = {{"a", "o", "bonono"}, {"an", "", "ba"}, {"a", "xyz", "bxyznxyznxyz"}};
    for (const auto& c : cases)
    {
        CZRString s("banana");
        const char* locked = s.GetBuffer(3); // large enough: text kept
        EXPECT_EQ(s.GetData()->nLockCount, 2);
        EXPECT_EQ(s.Replace(c[0], c[1]), c[0][1] == '\0' ? 3 : 2);
        EXPECT_NE(s.GetString(), locked);
        EXPECT_EQ(s.GetData()->nLockCount, 1);
        EXPECT_EQ(Capacity(s), STR_strlen(c[2]));
        s.ReleaseBuffer();
        EXPECT_EQ(Bytes(s), c[2]);
    }
}

TEST(ZRString, GetBufferAndReleaseBuffer)
{
    CZRString s("abc");
    char* p = s.GetBuffer(10);
    EXPECT_EQ(Capacity(s), 11);
    EXPECT_EQ(s.GetLength(), 11);
    STR_strcpy(p, "hello");
    s.ReleaseBuffer(-1);
    EXPECT_EQ(Bytes(s), "hello");
    EXPECT_EQ(s.GetBuffer(2), p); // fits: text and length kept
    EXPECT_EQ(s.GetLength(), 5);
    s.ReleaseBuffer(3);
    EXPECT_EQ(Bytes(s), "hel");
    EXPECT_EQ(s.GetData()->nLockCount, 1);
}

TEST(ZRString, FormatCutsAt1023Bytes)
{
    CZRString s;
    s.Format("%s-%d-%c", "x", 42, 'z');
    EXPECT_EQ(Bytes(s), "x-42-z");
    for (int width : {1022, 1023, 1024, 2000})
    {
        s.Format("%*d", width, 7);
        const bool whole = width <= 1023;
        EXPECT_EQ(Bytes(s), std::string(std::min(width, 1023) - 1, ' ') + (whole ? "7" : " "));
    }
    s.Format(static_cast<const char*>(nullptr));
    EXPECT_TRUE(s.IsEmpty());
    EXPECT_NE(s.GetString(), nullptr);
}

TEST(ZRString, ResourceHooks)
{
    CZRString s("keep");
    s = reinterpret_cast<const char*>(kTwelve); // no hook: emptied only
    EXPECT_TRUE(s.IsEmpty());
    EXPECT_FALSE(s.LoadStringResource(kTwelve));
    {
        HookGuard hooks(false);
        s = reinterpret_cast<const char*>(kTwelve);
        EXPECT_EQ(g_lastLoadedId, kTwelve);
        EXPECT_FALSE(s.IsIdenticalToStringResource()); // no identity hook
    }
    EXPECT_EQ(Bytes(s), "twelve");
    s = reinterpret_cast<const char*>(0xFFFF);
    EXPECT_TRUE(s.IsEmpty());
    EXPECT_EQ(s.GetStringId(), kTwelve);

    HookGuard hooks;
    EXPECT_FALSE(s.IsIdenticalToStringResource()); // "" is not "twelve"
    s = CZRStringId(kTwelve);
    EXPECT_TRUE(s.IsIdenticalToStringResource());
    EXPECT_FALSE(CZRString("twelve").IsIdenticalToStringResource());
    EXPECT_FALSE(s.LoadStringResource(kMissingId));
    EXPECT_TRUE(s.IsEmpty());
    EXPECT_FALSE(s.HasStringId());
    s.Format(kFormatId, 3, "five");
    EXPECT_EQ(Bytes(s), "3 of five");
    s.Format(kMissingId, 3);
    EXPECT_TRUE(s.IsEmpty());
}

TEST(ZRString, ConversionsAndComparisons)
{
    for (const char* text : {"1", "true", "TRUE", "tRuE"})
        EXPECT_TRUE(CZRString(text).ToBool()) << text;
    for (const char* text : {"", "01", "yes", "0", "2", "true "})
        EXPECT_FALSE(CZRString(text).ToBool()) << text;
    EXPECT_EQ(CZRString("ff").ToInt(16), 255);
    EXPECT_EQ(CZRString("").ToInt(10), 0);
    EXPECT_EQ(CZRString("-12x").ToLong(), -12);
    EXPECT_EQ(CZRString("4294967295").ToUint(), 4294967295u);
    EXPECT_EQ(CZRString("2.5").ToFloat(), 2.5f);

    CZRString s("Abc");
    EXPECT_LT(s.Compare("abc"), 0);
    EXPECT_EQ(s.CompareNoCase("aBC"), 0);
    EXPECT_GT(s.Compare(nullptr), 0);
    s.SetAt(0, '\xFF');
    EXPECT_EQ(s[0], 255);
    s.MakeUpper();
    s.MakeReverse();
    EXPECT_EQ(Bytes(s), "CB\xFF");
}

TEST(ZRString, DoubleByteCharactersStayWhole)
{
    // "\x82\x61" is one character in code page 932 and two in code page 0.
    const char* const mixed = "\x82\x61" "a";
    for (unsigned int codePage : {STR_CODEPAGE_SINGLEBYTE, STR_CODEPAGE_SHIFTJIS})
    {
        CodePageGuard guard(codePage);
        const bool dbcs = codePage == STR_CODEPAGE_SHIFTJIS;
        CZRString s(mixed), twice("\x82\x82"), sub(mixed);
        EXPECT_EQ(s.Find('a'), dbcs ? 2 : 1);
        EXPECT_EQ(s.Find("a"), dbcs ? 2 : 1);
        s.MakeReverse();
        EXPECT_EQ(Bytes(s), dbcs ? "a\x82\x61" : "aa\x82");
        EXPECT_EQ(twice.Replace('\x82', 'X'), dbcs ? 1 : 2);
        EXPECT_EQ(Bytes(twice), dbcs ? "X\x82" : "XX");
        EXPECT_EQ(sub.Replace("a", "b"), dbcs ? 1 : 2);

        CZRString trimmed = WithZero(" \t\n \x82\x61 ", "c");
        trimmed.TrimLeft();
        EXPECT_EQ(Bytes(trimmed), std::string("\x82\x61 \0c", 5));
        EXPECT_EQ(Capacity(trimmed), 9);
    }
}
