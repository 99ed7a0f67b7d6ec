#include <gtest/gtest.h>

#include <cstring>

#include "Common/Core/ZRMemFunctions.h"

TEST(MemFunctions, FillAndCopyWriteExactlySizeBytesAtAnyAlignment)
{
    constexpr unsigned char GUARD = 0xEE;
    const unsigned char source[] = "ABCDEFGHIJK";
    for (std::size_t size = 0; size < sizeof(source); ++size)
    {
        unsigned char set[16], zero[16], copy[16];
        for (unsigned char* block : {set, zero, copy})
            std::memset(block, GUARD, sizeof(set));
        MEM_Set(set + 1, 0xAB, size);
        MEM_Zero(zero + 1, size);
        MEM_Copy(copy + 1, source, size);
        for (std::size_t i = 0; i < sizeof(set); ++i)
        {
            const bool inside = i >= 1 && i <= size;
            EXPECT_EQ(set[i], inside ? 0xAB : GUARD) << size;
            EXPECT_EQ(zero[i], inside ? 0 : GUARD) << size;
            EXPECT_EQ(copy[i], inside ? source[i - 1] : GUARD) << size;
        }
    }
}

TEST(MemFunctions, CopyAllowsDestinationBeforeSourceAndMoveAnyOverlap)
{
    const char text[] = "0123456789abcdefghij";
    constexpr std::size_t n = sizeof(text);
    for (std::size_t shift : {1u, 3u, 4u, 5u})
    {
        char copied[n], expected[n], moved[n];
        for (char* block : {copied, expected, moved})
            std::memcpy(block, text, n);
        MEM_Copy(copied, copied + shift, n - shift);
        std::memmove(expected, expected + shift, n - shift);
        EXPECT_EQ(0, std::memcmp(copied, expected, n)) << shift;
        MEM_Move(moved + shift, moved, n - shift - 1);
        EXPECT_EQ(0, std::memcmp(moved + shift, text, n - shift - 1)) << shift;
    }
}

TEST(MemFunctions, Comparisons)
{
    const unsigned char a[] = {1, 2, 3, 4, 5, 6, 7, 8};
    EXPECT_TRUE(MEM_FastCmp(a, "\x01\x02\x03\x04\x05\x00", 6)); // last two bytes ignored
    EXPECT_TRUE(MEM_FastCmp(a, "xyz", 3));
    EXPECT_FALSE(MEM_FastCmp(a, "\x01\x02\x03\x04\x05\x06\x07\x88", 8));
    EXPECT_FALSE(MEM_FastCmp(a, "\x81\x02\x03\x04\x05\x06\x07\x08", 8));
    EXPECT_EQ(+1, MEM_Compare("\x80", "\x7F", 1)); // unsigned bytes
    EXPECT_EQ(-1, MEM_Compare("\x7F", "\x80", 1));
    EXPECT_EQ(0, MEM_Compare("\x80", "\x7F", 0));
    EXPECT_EQ(-1, MEM_Compare("a\x01\xFF", "a\x02\x00", 3)); // first difference decides
    EXPECT_EQ(0, MEM_Compare("abcdefgh", "abcdefgh", 8));
}
