#include "Property/PropertyTestSupport.h"

namespace
{
const char* const kUnknown = "Unkown Property Type";
constexpr int kSameType = 0;

// Type, integer slot, float slot and text slot in one comparable string.
std::string Slots(const CZRProperty& p)
{
    return std::string(1, char(p.GetType())) + " " + std::to_string(p.GetInt()) + " " +
           std::to_string(p.GetFloat()) + " [" + Text(p.GetString()) + "]";
}

// Tables keep properties in arrays and retype them in place: a copy would apply
// the copy rules (an unknown type would arrive as PROPTYPE_EMPTY).
void Retype(CZRProperty& p, int type)
{
    if (type != kSameType)
        p.SetType(static_cast<ePropType>(type));
}

} // namespace

TEST(ZRProperty, ConstructorsStoreOneKindFromTheClearedState)
{
    ResourceHooks hooks;
    EXPECT_EQ(Slots(CZRProperty()), "- 0 0.000000 []");
    EXPECT_EQ(Slots(CZRProperty(-3)), "i -3 0.000000 []");
    EXPECT_EQ(Slots(CZRProperty(static_cast<long>(0x100000007LL))), "l 7 0.000000 []");   // the low 32 bits
    EXPECT_EQ(Slots(CZRProperty(4294967295UL)), "L -1 0.000000 []");
    EXPECT_EQ(Slots(CZRProperty(true)), "b 1 0.000000 []");
    EXPECT_EQ(Slots(CZRProperty(2.5f)), "f 0 2.500000 []");
    EXPECT_EQ(Slots(CZRProperty(static_cast<const char*>(nullptr))), "s 0 0.000000 []");
    EXPECT_EQ(Slots(CZRProperty(reinterpret_cast<const char*>(12))), "S 12 0.000000 [twelve]");
    EXPECT_EQ(Slots(CZRProperty(reinterpret_cast<const char*>(13))), "s 0 0.000000 []");
    EXPECT_EQ(Slots(CZRProperty(CZRStringId(17))), "S 17 0.000000 [Hello]");
    EXPECT_EQ(Slots(CZRProperty(CZRString(CZRStringId(12)))), "S 12 0.000000 [twelve]");
    EXPECT_EQ(CZRProperty(4294967295UL).GetUnsignedLong(), 4294967295UL);
    EXPECT_EQ(CZRProperty(-1).GetLong(), -1L);
    EXPECT_EQ(Text(CZRProperty("a\\b").operator CZRPath()), "a\\b");
}

TEST(ZRProperty, SlotsAreIndependentAndOnlySetFormatOrLoadingChangesTheFormat)
{
    CZRProperty p(5), target(9);
    p.SetFormat("%x");
    p = 2.5f;
    EXPECT_EQ(Slots(p), "f 5 2.500000 []");
    p = CZRString("t");
    p.Empty();
    EXPECT_EQ(Slots(p) + Text(p.GetFormat()), "- 0 0.000000 []%x");
    target = CZRProperty();   // no value: the type only
    EXPECT_EQ(Slots(target), "- 9 0.000000 []");
}

// The source's type decides what is copied; the target's format and other
// slots stay. A resource text is loaded afresh, not copied.
TEST(ZRProperty, CopyingCarriesTypeAndValueButNeverTheFormat)
{
    ResourceHooks hooks;
    struct { CZRProperty source; int retype; const char* expected; } cases[] = {
        {CZRProperty(7), kSameType, "i 7 9.000000 [keep]"},
        {CZRProperty(5), PROPTYPE_BOOL, "b 1 9.000000 [keep]"},
        {CZRProperty(1.5f), kSameType, "f 0 1.500000 [keep]"},
        {CZRProperty(4), 'z', "- 0 9.000000 [keep]"},
        {CZRProperty(CZRStringId(12)), kSameType, "S 12 9.000000 [zwei]"},
        {CZRProperty(CZRStringId(17)), PROPTYPE_STRING, "S 17 9.000000 [Hello]"},   // text with id
        {CZRProperty("x"), kSameType, "s 0 9.000000 [x]"},
    };
    ResourceHooks::Texts()[12] = "zwei";
    for (auto& c : cases)
    {
        Retype(c.source, c.retype);
        CZRProperty target("keep");
        target.Set(9.0f);
        target.SetFormat("<%s>");
        target = c.source;
        EXPECT_EQ(Slots(target) + Text(target.GetFormat()), c.expected + std::string("<%s>"));
    }
    CZRProperty formatted(3);
    formatted.SetFormat("%x");
    EXPECT_TRUE(CZRProperty(formatted).GetFormat().IsEmpty());
}

TEST(ZRProperty, AResourceTextThatDidNotLoadIsLoadedOnFirstUseEvenWhenConst)
{
    const CZRProperty p(CZRStringId(12));   // no hook yet: no text
    ResourceHooks hooks;
    EXPECT_EQ(Text(p.GetString()), "twelve");
}

TEST(ZRProperty, FormatsThatFitTheKindAreUsedOthersGiveTheDefault)
{
    ResourceHooks hooks;
    struct { CZRProperty value; int retype; const char* format; const char* expected; } cases[] = {
        {CZRProperty(), kSameType, "", kUnknown},
        {CZRProperty(1), 'z', "%d", kUnknown},
        {CZRProperty(7), PROPTYPE_BOOL, "", "1"},
        {CZRProperty(1.0f), kSameType, "", "1.00"},
        {CZRProperty(4294967295UL), kSameType, "", "-1"},
        {CZRProperty(CZRStringId(12)), kSameType, "", "twelve"},
        {CZRProperty(255), kSameType, "%x", "ff"},
        {CZRProperty("abc"), kSameType, "[%s]", "[abc]"},
        {CZRProperty(CZRStringId(17)), kSameType, "%-3.2s!", "He !"},
        {CZRProperty(2.5f), kSameType, "%+08.3f", "+002.500"},
        {CZRProperty(7), PROPTYPE_BOOL, "<%d>", "<1>"},
        {CZRProperty(-1), kSameType, "%lu", "4294967295"},   // as a 32-bit long shows it
        {CZRProperty(300), kSameType, "%hhd %%", "44 %"},
        // Hostile or unfitting formats give the kind's default.
        {CZRProperty(7), kSameType, "%s", "7"},
        {CZRProperty(7), kSameType, "%n", "7"},
        {CZRProperty(7), kSameType, "%*d", "7"},
        {CZRProperty(7), kSameType, "%d%d", "7"},
        {CZRProperty(7), kSameType, "%", "7"},
        {CZRProperty(7), kSameType, "%99999999d", "7"},
        {CZRProperty(7), kSameType, "%.1024d", "7"},
        {CZRProperty(7), kSameType, "%lld", "7"},
        {CZRProperty(7), kSameType, "%5%", "7"},
        {CZRProperty(65), kSameType, "%lc", "65"},
        {CZRProperty("abc"), kSameType, "%ls", "abc"},
        {CZRProperty("abc"), kSameType, "%d", "abc"},
        {CZRProperty(2.5f), kSameType, "%Lf", "2.50"},
    };
    for (auto& c : cases)
    {
        Retype(c.value, c.retype);
        c.value.SetFormat(c.format);
        EXPECT_EQ(Text(c.value.AsFormattedString()), c.expected) << c.format;
    }
    CZRProperty wide(7);   // the widest field accepted
    wide.SetFormat("%1023d");
    EXPECT_EQ(wide.AsFormattedString().GetLength(), 1023);
}

TEST(ZRProperty, StoresItsExactBytesAndLoadsThemBackOverOtherSlots)
{
    ResourceHooks hooks;
    struct { CZRProperty property; int retype; Bytes bytes; const char* loaded; } cases[] = {
        {CZRProperty(7), kSameType, {0x69, 0, 0, 0, 7, 0, 0, 0, 0, 0, 0, 0}, "i 7 0.000000 [old]"},
        {CZRProperty(true), kSameType, {0x62, 0, 0, 0, 1, 0, 0, 0, 0}, "b 1 0.000000 [old]"},
        {CZRProperty(), kSameType, {0x2D, 0, 0, 0, 0, 0, 0, 0}, "- 0 0.000000 [old]"},
        {CZRProperty("ab"), kSameType, {0x73, 0, 0, 0, 2, 0, 0, 0, 'a', 'b', 0, 0, 0, 0},
         "s 0 0.000000 [ab]"},
        {CZRProperty(CZRStringId(12)), kSameType, {0x53, 0, 0, 0, 12, 0, 0, 0, 0, 0, 0, 0},
         "S 12 0.000000 [twelve]"},
        // A text equal to its resource is stored as the reference.
        {CZRProperty(CZRStringId(17)), PROPTYPE_STRING,
         {0x73, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 17, 0, 0, 0, 0, 0, 0, 0}, "S 17 0.000000 [Hello]"},
        {CZRProperty(2), PROPTYPE_BOOL, {0x62, 0, 0, 0, 1, 0, 0, 0, 0}, "b 1 0.000000 [old]"},
    };
    for (auto& c : cases)
    {
        Retype(c.property, c.retype);
        EXPECT_EQ(Store(c.property), c.bytes);
        CZRProperty loaded("old");
        loaded.SetFormat("%x");
        EXPECT_EQ(Load(loaded, c.bytes), c.bytes.size());
        EXPECT_EQ(Slots(loaded) + Text(loaded.GetFormat()), c.loaded);
    }
    CZRProperty two, hex(255);   // a loaded bool keeps its byte as stored
    Load(two, Bytes{0x62, 0, 0, 0, 2, 0, 0, 0, 0});
    EXPECT_EQ(Slots(two), "b 2 0.000000 []");
    hex.SetFormat("%x");
    EXPECT_EQ(Store(hex), (Le32('i') + Le32(255) + Le32(2) + Bytes{'%', 'x'}));
}

// Every kind, with a format, through the data stream (format kept) and through
// CFileIO (format dropped). An unknown code stores its type alone.
TEST(ZRProperty, EveryKindRoundTripsThroughBothLayouts)
{
    ResourceHooks hooks;
    std::vector<CZRProperty> kinds = {CZRProperty(),     CZRProperty(-5),   CZRProperty(7L),  CZRProperty(4294967295UL),
                                      CZRProperty(true), CZRProperty(-1.5f), CZRProperty(""), CZRProperty("text"),
                                      CZRProperty(CZRStringId(12)), CZRProperty(3)};
    kinds.back().SetType(static_cast<ePropType>(0x07));   // no copy after this
    for (CZRProperty& property : kinds)
    {
        property.SetFormat("<%s>");
        CZRProperty viaStream, viaFile;
        Load(viaStream, Store(property));
        EXPECT_TRUE(ReadFile(viaFile, WriteFile(property)));
        const bool known = property.GetType() != 0x07;
        EXPECT_EQ(Slots(viaStream) + Text(viaStream.GetFormat()),
                  (known ? Slots(property) : "\x07 0 0.000000 []") + "<%s>");
        EXPECT_EQ(Slots(viaFile) + Text(viaFile.GetFormat()),
                  known ? Slots(property) : "- 0 0.000000 []");
    }
    CZRProperty seven(7);
    EXPECT_EQ(WriteFile(seven), Le32('i') + Le32(7));
    EXPECT_FALSE(seven.Write(nullptr) || seven.Read(nullptr));
}

TEST(ZRProperty, ReadUnderstandsTheOlderCodesAndChangesNothingOnFailure)
{
    const char* const same = "f 4 9.000000 [old]";
    const std::vector<std::tuple<Bytes, bool, std::string>> cases = {
        {Le32(1) + Le32(7), true, "b 1 9.000000 [old]"},
        {Le32(1) + Le32(0), true, "b 0 9.000000 [old]"},
        {Le32(2) + Le32(5), true, "i 5 9.000000 [old]"},
        {Le32(3) + Le32(6), true, "l 6 9.000000 [old]"},
        {Le32(4) + Le32(0x40000000), true, "f 4 2.000000 [old]"},
        {Le32(5) + Le32(2) + Bytes{'a', 'b'}, true, "s 4 9.000000 [ab]"},
        {Le32('b') + Bytes{2}, true, "b 2 9.000000 [old]"},
        {Le32(255), true, same}, {Le32(6), true, same}, {Le32(31), true, same},
        {Le32(0x169), true, same}, {Le32(1), false, same}, {Le32(2), false, same},
        {Le32('s') + Le32(5) + Bytes{'a', 'b'}, false, same}, {Bytes(), false, same},
    };
    for (const auto& [bytes, result, expected] : cases)
    {
        CZRProperty p("old");
        p = 4;
        p = 9.0f;
        EXPECT_EQ(ReadFile(p, bytes), result) << expected;
        EXPECT_EQ(Slots(p), expected);
    }
}

TEST(ZRProperty, ATruncatedStreamThrowsTheStreamsExceptionAfterSettingTheType)
{
    CZRProperty text("abc");
    text.SetFormat("%s");
    ExpectEveryTruncationThrows<CZRProperty>(Store(text), [](const CZRProperty& p, std::size_t n) {
        EXPECT_EQ(p.GetType(), n < 4 ? PROPTYPE_EMPTY : PROPTYPE_STRING) << n;
    });
}
