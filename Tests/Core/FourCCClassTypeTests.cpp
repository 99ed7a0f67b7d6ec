#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "Common/Core/ZRClassType.h"
#include "Common/Core/ZRFourCC.h"

TEST(FourCC, NumbersAndTextsGiveTheExpectedCode)
{
    CZRFourCC fromFourCC, reversed("RIFF"), set("abcd");
    fromFourCC.FromFourCC(0x44434241ul);
    reversed.Reverse();
    set.SetAt(3, '\xE9');
    const std::tuple<CZRFourCC, const char*, unsigned long> cases[] = {
        {CZRFourCC(0x41424344ul), "ABCD", 0x44434241ul},
        {CZRFourCC(static_cast<unsigned long>(0x741424344ull)), "ABCD", 0x44434241ul}, // high bits dropped
        {CZRFourCC("RIFF"), "RIFF", 0x46464952ul},
        {reversed, "FFIR", 0x52494646ul},
        {CZRFourCC("WAV\xE9"), "WAV\xE9", 0xE9564157ul},
        {CZRFourCC("fmt data"), "fmt ", 0x20746D66ul}, // only four bytes
        {fromFourCC, "ABCD", 0x44434241ul},
        {set, "abc\xE9", 0xE9636261ul},
    };
    for (const auto& [code, text, number] : cases)
    {
        EXPECT_STREQ(text, code.ToString());
        EXPECT_STREQ(text, static_cast<const char*>(code));
        EXPECT_EQ(number, code.ToDword()) << text;
        EXPECT_EQ(number, static_cast<unsigned long>(code)) << text;
    }
}

TEST(FourCC, ComparisonAndEmptiness)
{
    CZRFourCC code("abcd"), assigned, zeros(std::string(4, '\0').c_str());
    EXPECT_TRUE(code.Compare(CZRFourCC(0x61626364ul)) && !code.Compare(CZRFourCC("abce")));
    EXPECT_TRUE(assigned.IsEmpty() && zeros.IsEmpty());
    assigned = code;
    EXPECT_TRUE(assigned.Compare(code) && !assigned.IsEmpty());
    zeros.SetAt(3, 1);
    EXPECT_EQ(std::make_pair('\1', 0x01000000ul), std::make_pair(zeros.GetAt(3), zeros.ToDword()));
    EXPECT_FALSE(zeros.IsEmpty());
}

TEST(ClassType, ChainNamesAndDerivationByIdentity)
{
    const CZRClassType a("A"), b("B", a), c("C", b), copyOfB(b);
    CZRClassType assigned("X");
    assigned = c;
    EXPECT_STREQ("A/", a.GetFullName().GetString());
    EXPECT_STREQ("A/B/", copyOfB.GetFullName().GetString());
    EXPECT_STREQ("A/B/C/", c.GetFullName().GetString());
    EXPECT_STREQ("A/B/C/", assigned.GetFullName().GetString());
    EXPECT_EQ(&b, &c.GetParentType());
    EXPECT_STREQ("C", static_cast<const char*>(c));
    EXPECT_EQ(0, b.operator const CZRString&().Compare("B"));
    EXPECT_EQ(0, b.operator CZRString().Compare("B"));

    const std::tuple<const CZRClassType&, const CZRClassType&, bool> cases[] = {
        {c, a, true},        {c, b, true},         {c, c, true},       {a, c, false},
        {b, c, false},       {c, copyOfB, false},  {copyOfB, a, true}, {copyOfB, b, false},
        {assigned, b, true}, {assigned, c, false},
    };
    for (const auto& [type, base, derived] : cases)
        EXPECT_EQ(derived, type.IsDerivedFrom(base)) << type.GetName() << " / " << base.GetName();
}
