#include <gtest/gtest.h>

#include <cstring>

#include "Common/Core/ZRMemFunctions.h"
#include "Common/Core/ZRString.h"
#include "Common/File/MemFileIO.h"
#include "File/FileTestSupport.h"

namespace
{
void ExpectMemFileError(const std::function<void()>& action, unsigned long code)
{
    ExpectError<CMemFileIOException>(action, code, "", "Source\\Common\\File\\MemFileIO");
}

void WriteBytes(CMemFileIO& file, unsigned long count)
{
    unsigned char bytes[1500] = {};
    ASSERT_LE(count, sizeof bytes);
    ASSERT_TRUE(file.Write(bytes, count));
}
} // namespace

TEST(MemFileIO, GrowsInWholeSteps)
{
    struct Case
    {
        unsigned long growSize, written, capacity;
    } const cases[] = {{1024, 1, 1024}, {1024, 1500, 2048}, {100, 250, 300}, {100, 100, 100}};
    for (const Case& c : cases)
    {
        CMemFileIO file(c.growSize);
        WriteBytes(file, c.written);
        EXPECT_EQ(file.GetBufferSize(), c.capacity) << c.growSize << "/" << c.written;
        EXPECT_EQ(file.GetSize(), c.written);
    }
    CMemFileIO file;
    WriteBytes(file, 1000);
    WriteBytes(file, 1000);
    EXPECT_EQ(file.GetBufferSize(), 2048u);
    file.Close();
    ExpectMemFileError([&] { WriteBytes(file, 1); }, 4600);
}

TEST(MemFileIO, FixedAttachedBufferReadsToItsEndAndCannotGrow)
{
    unsigned char buffer[16];
    for (unsigned char i = 0; i < 16; ++i)
        buffer[i] = i;
    CMemFileIO file(buffer, sizeof buffer, 0);
    EXPECT_EQ(file.GetSize(), 16u);
    unsigned char got[16] = {};
    EXPECT_TRUE(file.Read(got, 16));
    EXPECT_EQ(std::memcmp(got, buffer, 16), 0);
    char c = 0;
    EXPECT_FALSE(file.Read(c));
    EXPECT_TRUE(file.IsEof());
    file.SetFilePointerPos(15);
    ExpectMemFileError([&] { file.Write(1234); }, 4600);
    EXPECT_TRUE(file.Close()); // must not release the caller's (stack) buffer
    EXPECT_EQ(buffer[15], 15);
}

TEST(MemFileIO, GrowableAttachedBufferStartsEmptyAndStaysTheCallers)
{
    auto* buffer = static_cast<unsigned char*>(MEM_Alloc(4));
    buffer[0] = 0xEE;
    CMemFileIO file(buffer, 4, 8);
    EXPECT_EQ(file.GetSize(), 0u);
    ASSERT_TRUE(file.Write('x'));
    EXPECT_EQ(buffer[0], 'x');
    WriteBytes(file, 5); // grows with MEM_Realloc to 4 + 8
    EXPECT_EQ(file.GetBufferSize(), 12u);
    unsigned char* const grown = file.Detach();
    EXPECT_EQ(grown[0], 'x');
    EXPECT_EQ(file.GetSize(), 0u);
    EXPECT_EQ(file.GetBufferSize(), 0u);
    MEM_Free(grown); // the file released nothing: no double free under the sanitizer
}

TEST(MemFileIO, UnsupportedOperationsAndPositionMovesFreelyButSkipStaysAtOrAboveZero)
{
    CMemFileIO file;
    char buffer[8] = {};
    EXPECT_EQ(file.WriteRaw(buffer, 1, 8), 0);
    EXPECT_EQ(file.ReadRaw(buffer, 1, 8), 0);
    EXPECT_FALSE(file.Printf("%d", 1));
    EXPECT_EQ(file.GetSize(), 0u);
    EXPECT_TRUE(file.Open("ignored", 0) && file.IsOpened() && file.Flush());
    EXPECT_THROW(file.ReadLine(buffer, sizeof buffer), CFileIOException); // needs a real file
    ExpectMemFileError([&] { file.Skip(-1); }, 4602);
    EXPECT_TRUE(file.Skip(10));
    char c = 0;
    EXPECT_FALSE(file.Read(c));
    file.SetFilePointerPos(10);
    ASSERT_TRUE(file.Write('z'));
    EXPECT_EQ(file.GetSize(), 11u);
    file.SetSize(4);
    EXPECT_EQ(file.GetFilePointerPos(), 4u);
    file.SetSize(3000);
    EXPECT_EQ(file.GetBufferSize(), 3072u);
}

// Typed values and the text format of CFileIO run unchanged on memory.
TEST(MemFileIO, CarriesTypedAndTextValuesAndDetaches)
{
    CMemFileIO file;
    const vector4 v = {1.0f, -2.0f, 3.5f, 4.0f};
    ASSERT_TRUE(file.Write(CZRString("abc")) && file.Write(v) && file.WriteAscii(42) &&
                file.WriteAscii(CZRString("t x")));
    file.SetFilePointerPos(0);
    CZRString s, t;
    vector4 w = {};
    int i = 0;
    ASSERT_TRUE(file.Read(s) && file.Read(w) && file.ReadAscii(i, ';') && file.ReadAscii(t));
    EXPECT_STREQ(s, "abc");
    EXPECT_EQ(std::memcmp(&v, &w, sizeof v), 0);
    EXPECT_EQ(i, 42);
    EXPECT_STREQ(t, "t x");
    EXPECT_EQ(file.GetFilePointerPos() + 1, file.GetSize()); // the blank after the last ";"
    EXPECT_EQ(static_cast<void*>(file), file.GetBuffer());
    unsigned char* const buffer = file.Detach();
    const unsigned char expected[] = {3, 0, 0, 0, 'a', 'b', 'c'};
    EXPECT_EQ(std::memcmp(buffer, expected, sizeof expected), 0);
    MEM_Free(buffer);
}


TEST(MemFileIO, CopiesOwnTheirContents)
{
    CMemFileIO original;
    ASSERT_TRUE(original.Write(7));
    CMemFileIO copy(original);
    ASSERT_NE(copy.GetBuffer(), original.GetBuffer());
    ASSERT_TRUE(copy.Write(8));
    EXPECT_EQ(original.GetSize(), 4u);
    CMemFileIO assigned;
    assigned = copy;
    EXPECT_EQ(assigned.GetSize(), 8u);
    EXPECT_NE(assigned.GetBuffer(), copy.GetBuffer());
}
