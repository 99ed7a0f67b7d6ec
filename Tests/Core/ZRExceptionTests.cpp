#include <gtest/gtest.h>

#include <string>

#include "Common/Core/ZRException.h"
#include "Common/Core/ZRStrFunctions.h"

namespace
{
const char* const kFile = "Source\\Common\\File\\ExtendedFileSystem";

// Every field, so that one comparison checks a whole exception.
std::string Fields(const CZRException& e)
{
    return std::to_string(e.GetErrorClass()) + "|" + std::to_string(e.GetErrorCode()) + "|" +
           std::to_string(e.GetLine()) + "|" + e.GetFileName() + "|" + e.GetErrorString();
}
} // namespace

TEST(ZRException, DerivedClassesFixTheErrorClassAndAreCaughtAsBase)
{
    const std::pair<void (*)(), std::string> cases[] = {
        {[] { throw CFileIOException(4500, 1, kFile, "m"); }, "9|4500|1|"},
        {[] { throw CMemFileIOException(4600, 2, kFile, "m"); }, "9|4600|2|"},
        {[] { throw CXfsException(4008, 77, kFile, "m"); }, "9|4008|77|"},
        {[] { throw CZRParamsException(6001, 4, kFile, "m"); }, "9|6001|4|"},
        {[] { throw CMailSlotException(5003, 5, kFile, "m"); }, "10|5003|5|"},
        {[] { throw CZRPipeException(0, 6, kFile, "m"); }, "10|0|6|"},
        {[] { throw CZRDataStreamException(5003, 7, kFile, "m"); }, "14|5003|7|"},
    };
    for (const auto& [raise, fields] : cases)
    {
        try
        {
            raise();
            ADD_FAILURE() << "nothing thrown";
        }
        catch (const CZRException& e)
        {
            EXPECT_EQ(Fields(e), fields + kFile + "|m");
        }
    }
}

TEST(ZRException, SameCodeDiffersByTypeAndClass)
{
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
        EXPECT_EQ(e.GetErrorClass(), 14);
    }
}

TEST(ZRException, TextsAreCutTo255BytesNeverInsideACharacter)
{
    const std::string longText(300, 'x');
    const CZRException e(eErrorClassFile, 1, 2, longText.c_str(), longText.c_str());
    EXPECT_EQ(Fields(e), "9|1|2|" + longText.substr(0, 255) + "|" + longText.substr(0, 255));
    EXPECT_STREQ(CXfsException(1, 2, kFile, nullptr).GetErrorString(), "");

    // 254 single bytes, then a double-byte character at bytes 254-255: the cut at
    // 255 would keep only its lead byte, so the whole character goes.
    ASSERT_TRUE(STR_SetCodePage(STR_CODEPAGE_SHIFTJIS));
    const CZRException cut(eErrorClassFile, 1, 2, kFile, (std::string(254, 'a') + "\x82\xA0").c_str());
    STR_SetCodePage(STR_CODEPAGE_SINGLEBYTE);
    EXPECT_EQ(std::string(cut.GetErrorString()), std::string(254, 'a'));
}

TEST(ZRException, CopyAndAssignmentCopyAllFields)
{
    const CXfsException first(4008, 10, kFile, "first");
    const CXfsException second(4014, 20, "Source\\Common\\File\\Archive", "second");
    CXfsException copy(first);
    EXPECT_EQ(Fields(copy), Fields(first));
    copy = second;
    EXPECT_EQ(Fields(copy), Fields(second));
    CZRException base(first);
    base = second;
    EXPECT_EQ(Fields(base), "9|4014|20|Source\\Common\\File\\Archive|second");
}
