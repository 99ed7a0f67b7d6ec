#include <gtest/gtest.h>

#include <string>

#include "Common/Core/ZRClassType.h"
#include "Common/Core/ZRFourCC.h"

TEST(FourCC, NumbersAndTextsGiveTheExpectedCode)
{
    struct Case
    {
        const char* what;
        CZRFourCC code;
        const char* text;
        unsigned long number;
    };
    CZRFourCC fromFourCC, reversed("RIFF");
    fromFourCC.FromFourCC(0x44434241ul);
    reversed.Reverse();
    const Case cases[] = {
        {"number", CZRFourCC(0x41424344ul), "ABCD", 0x44434241ul},
        {"high bits dropped", CZRFourCC(0x741424344ul), "ABCD", 0x44434241ul},
        {"text", CZRFourCC("RIFF"), "RIFF", 0x46464952ul},
        {"reversed", reversed, "FFIR", 0x52494646ul},
        {"high byte", CZRFourCC("WAV\xE9"), "WAV\xE9", 0xE9564157ul},
        {"only four bytes", CZRFourCC("fmt data"), "fmt ", 0x20746D66ul},
        {"unchanged number", fromFourCC, "ABCD", 0x44434241ul},
    };
    for (const Case& c : cases)
    {
        EXPECT_STREQ(c.text, c.code.ToString()) << c.what;
        EXPECT_STREQ(c.text, static_cast<const char*>(c.code)) << c.what;
        EXPECT_EQ(c.number, c.code.ToDword()) << c.what;
        EXPECT_EQ(c.number, static_cast<unsigned long>(c.code)) << c.what;
    }
}

TEST(FourCC, CharactersComparisonAndEmptiness)
{
    CZRFourCC code("abcd");
    EXPECT_TRUE(code.Compare(CZRFourCC(0x61626364ul)));
    EXPECT_FALSE(code.Compare(CZRFourCC("abce")));
    EXPECT_EQ('c', code.GetAt(2));
    code.SetAt(3, '\xE9');
    EXPECT_EQ(0xE9636261ul, code.ToDword());
    EXPECT_EQ(0, code.ToString()[4]);

    CZRFourCC copy(code), assigned;
    EXPECT_TRUE(assigned.IsEmpty());
    assigned = copy;
    EXPECT_STREQ("abc\xE9", assigned.ToString());
    EXPECT_FALSE(assigned.IsEmpty());

    CZRFourCC zeros(std::string(4, '\0').c_str());
    EXPECT_TRUE(zeros.IsEmpty());
    zeros.SetAt(3, 1);
    EXPECT_FALSE(zeros.IsEmpty());
    EXPECT_EQ(0x01000000ul, zeros.ToDword());
}

TEST(ClassType, ChainNamesAndDerivationByIdentity)
{
    const CZRClassType a("A");
    const CZRClassType b("B", a);
    const CZRClassType c("C", b);
    EXPECT_EQ(0, c.GetFullName().Compare("A/B/C/"));
    EXPECT_EQ(0, a.GetFullName().Compare("A/"));
    EXPECT_EQ(&b, &c.GetParentType());
    EXPECT_STREQ("C", c.GetName());
    EXPECT_STREQ("C", static_cast<const char*>(c));
    EXPECT_EQ(0, b.operator const CZRString&().Compare("B"));
    EXPECT_EQ(0, b.operator CZRString().Compare("B"));

    const CZRClassType copyOfB(b);
    CZRClassType assigned("X");
    assigned = c;
    struct Case
    {
        const CZRClassType& type;
        const CZRClassType& base;
        bool derived;
    };
    const Case cases[] = {
        {c, a, true},          {c, b, true},         {c, c, true},
        {a, c, false},         {b, c, false},        {c, copyOfB, false},
        {copyOfB, a, true},    {copyOfB, b, false},  {assigned, b, true},
        {assigned, c, false},
    };
    for (const Case& k : cases)
        EXPECT_EQ(k.derived, k.type.IsDerivedFrom(k.base))
            << k.type.GetName() << " from " << k.base.GetName();
    EXPECT_EQ(0, copyOfB.GetFullName().Compare("A/B/"));
    EXPECT_EQ(0, assigned.GetFullName().Compare("A/B/C/"));
}
