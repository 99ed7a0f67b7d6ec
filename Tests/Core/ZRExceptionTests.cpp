#include <gtest/gtest.h>

#include <string>

#include "Common/Core/ZRException.h"
#include "Common/Core/ZRStrFunctions.h"

namespace
{
const char* const kFile = "Source\\Common\\File\\ExtendedFileSystem";

void ExpectSame(const CZRException& a, const CZRException& b)
{
    EXPECT_EQ(a.GetErrorClass(), b.GetErrorClass());
    EXPECT_EQ(a.GetErrorCode(), b.GetErrorCode());
    EXPECT_EQ(a.GetLine(), b.GetLine());
    EXPECT_STREQ(a.GetErrorString(), b.GetErrorString());
    EXPECT_STREQ(a.GetFileName(), b.GetFileName());
}
} // namespace

TEST(ZRException, DerivedClassesFixTheErrorClassAndAreCaughtAsBase)
{
    struct Case
    {
        void (*raise)();
        int errorClass;
    };
    const Case cases[] = {
        {[] { throw CFileIOException(4500, 1, kFile, "m"); }, 9},
        {[] { throw CMemFileIOException(4600, 1, kFile, "m"); }, 9},
        {[] { throw CXfsException(4008, 1, kFile, "m"); }, 9},
        {[] { throw CZRParamsException(6001, 1, kFile, "m"); }, 9},
        {[] { throw CMailSlotException(5003, 1, kFile, "m"); }, 10},
        {[] { throw CZRPipeException(0, 1, kFile, "m"); }, 10},
        {[] { throw CZRDataStreamException(5003, 1, kFile, "m"); }, 14},
    };
    for (const Case& c : cases)
    {
        try
        {
            c.raise();
            ADD_FAILURE() << "nothing thrown";
        }
        catch (const CZRException& e)
        {
            EXPECT_EQ(e.GetErrorClass(), c.errorClass);
        }
    }
    try
    {
        throw CXfsException(4008, 77, kFile, "File is not open.");
    }
    catch (const CZRException& e)
    {
        EXPECT_EQ(e.GetErrorCode(), 4008u);
        EXPECT_EQ(e.GetLine(), 77u);
        EXPECT_STREQ(e.GetFileName(), kFile);
        EXPECT_STREQ(e.GetErrorString(), "File is not open.");
    }
}

TEST(ZRException, SameCodeDiffersByTypeAndClass)
{
    bool caughtStream = false;
    try
    {
        throw CZRDataStreamException(5003, 1, kFile, "m");
    }
    catch (const CMailSlotException&)
    {
        ADD_FAILURE() << "a data stream error caught as a mail slot error";
    }
    catch (const CZRDataStreamException& e)
    {
        caughtStream = e.GetErrorCode() == 5003 && e.GetErrorClass() == 14;
    }
    EXPECT_TRUE(caughtStream);
}

TEST(ZRException, TextsAreCutTo255BytesAndNullMessageIsEmpty)
{
    const std::string longText(300, 'x');
    CZRException e(eErrorClassFile, 1, 2, longText.c_str(), longText.c_str());
    EXPECT_EQ(std::string(e.GetErrorString()), longText.substr(0, 255));
    EXPECT_EQ(std::string(e.GetFileName()), longText.substr(0, 255));

    CXfsException null(1, 2, kFile, nullptr);
    EXPECT_STREQ(null.GetErrorString(), "");
}

TEST(ZRException, CutNeverLeavesHalfADoubleByteCharacter)
{
    ASSERT_TRUE(STR_SetCodePage(STR_CODEPAGE_SHIFTJIS));
    // 254 single bytes, then a double-byte character at bytes 254-255: the cut at
    // 255 would keep only its lead byte, so the whole character goes.
    std::string text(254, 'a');
    text += "\x82\xA0";
    CZRException e(eErrorClassFile, 1, 2, kFile, text.c_str());
    STR_SetCodePage(STR_CODEPAGE_SINGLEBYTE);
    EXPECT_EQ(std::string(e.GetErrorString()), std::string(254, 'a'));
}

TEST(ZRException, CopyAndAssignmentCopyAllFields)
{
    const CXfsException first(4008, 10, kFile, "first");
    const CXfsException second(4014, 20, "Source\\Common\\File\\Archive", "second");
    CXfsException copy(first);
    ExpectSame(copy, first);
    copy = second;
    ExpectSame(copy, second);

    CZRException base(first);
    base = second;
    ExpectSame(base, second);
}
