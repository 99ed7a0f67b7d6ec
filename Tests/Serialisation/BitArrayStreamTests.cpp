#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "Common/Serialisation/ZRBitArray.h"
#include "Common/Serialisation/ZRBitStream.h"

namespace
{
// Bytes as the storage holds them; both classes expose them differently.
std::vector<int> BytesOf(const CZRBitArray& a)
{
    return std::vector<int>(a.GetBuffer(), a.GetBuffer() + a.GetSize());
}

std::vector<int> BytesOf(const CZRBitStream& s)
{
    CZRBitStream copy(s);
    std::vector<int> bytes(s.GetSize());
    for (int& byte : bytes)
        for (int bit = 0; bit < 8; ++bit)
        {
            bool value;
            copy.Read(value);
            byte = byte << 1 | value;
        }
    return bytes;
}

// Stores the bytes through each class's own writing interface.
void Fill(CZRBitArray& a, const std::vector<int>& bytes)
{
    a.SetSize(static_cast<int>(bytes.size()));
    for (std::size_t k = 0; k < bytes.size() * 8; ++k)
        a.SetBit(static_cast<int>(k), (bytes[k / 8] & (0x80 >> k % 8)) != 0);
}

void Fill(CZRBitStream& s, const std::vector<int>& bytes)
{
    s.SetSize(static_cast<int>(bytes.size()));
    s.BeginWrite();
    for (std::size_t k = 0; k < bytes.size() * 8; ++k)
        s.Write((bytes[k / 8] & (0x80 >> k % 8)) != 0);
}
} // namespace

template <typename T> class BitStorage : public ::testing::Test
{
};
using BitClasses = ::testing::Types<CZRBitArray, CZRBitStream>;
TYPED_TEST_SUITE(BitStorage, BitClasses);

TYPED_TEST(BitStorage, SizingKeepsTheOldBytesThatFit)
{
    const int sizing[][3] = {{0, 1, 0}, {7, 1, 7}, {8, 2, 8}, {9, 2, 9}, {16, 3, 16}, {-5, 1, 0}};
    for (const auto& s : sizing)
    {
        TypeParam bits(s[0]);
        EXPECT_EQ(s[1], bits.GetSize()) << s[0];
        EXPECT_EQ(s[2], bits.GetNumBits()) << s[0];
        EXPECT_EQ(std::vector<int>(s[1], 0), BytesOf(bits)) << s[0];
    }
    TypeParam bits;
    EXPECT_EQ(0, bits.GetSize());
    Fill(bits, {0xFF, 0x01});
    bits.SetSize(3);
    EXPECT_EQ((std::vector<int>{0xFF, 0x01, 0x00}), BytesOf(bits));
    EXPECT_EQ(24, bits.GetNumBits());
    bits.SetSize(1);
    EXPECT_EQ(std::vector<int>{0xFF}, BytesOf(bits));
    bits.Clear();
    EXPECT_EQ(std::vector<int>{0x00}, BytesOf(bits));
    EXPECT_EQ(8, bits.GetNumBits());
    bits.SetSize(-1);
    EXPECT_EQ(0, bits.GetSize());
    EXPECT_EQ(0, bits.GetNumBits());
    bits.Clear();
}

TYPED_TEST(BitStorage, CopiesAreIndependentAndEqualityIgnoresTheBitCount)
{
    TypeParam a, b(40);
    Fill(a, {0x12, 0x34});
    b = a;
    EXPECT_EQ((std::vector<int>{0x12, 0x34}), BytesOf(b));
    EXPECT_EQ(16, b.GetNumBits());
    TypeParam copy(a);
    EXPECT_TRUE(copy == a);
    copy.SetNumBits(9);
    EXPECT_TRUE(copy == a) << "bit count differs, bytes equal";
    EXPECT_FALSE(copy != a);
    Fill(copy, {0x12, 0x35});
    EXPECT_TRUE(copy != a);
    EXPECT_EQ((std::vector<int>{0x12, 0x34}), BytesOf(a));
    Fill(copy, {0x12, 0x34, 0x00});
    EXPECT_FALSE(copy == a) << "sizes differ";
    EXPECT_TRUE(TypeParam() == TypeParam());
}

TEST(BitArray, BitOrderAndGrowth)
{
    CZRBitArray a(8);
    a.SetBit(1, true);
    a.SetBit(7, true);
    EXPECT_EQ((std::vector<int>{0x41, 0x00}), BytesOf(a));
    EXPECT_TRUE(a.GetBit(1));
    EXPECT_FALSE(a.GetBit(0));
    a.SetBit(1, false);
    EXPECT_EQ((std::vector<int>{0x01, 0x00}), BytesOf(a));

    CZRBitArray grown;
    grown.SetBit(9, true);
    EXPECT_EQ(10, grown.GetNumBits()) << "the count includes the bit set";
    EXPECT_EQ((std::vector<int>{0x00, 0x40}), BytesOf(grown));
    grown.SetBit(15, true);
    EXPECT_EQ(16, grown.GetNumBits());
    EXPECT_EQ((std::vector<int>{0x00, 0x41, 0x00}), BytesOf(grown));
    EXPECT_FALSE(grown.GetBit(1000));

    unsigned char* raw = grown.QueryBuffer(4);
    raw[3] = 0x80;
    grown.ReleaseBuffer();
    EXPECT_EQ(4, grown.GetSize());
    EXPECT_TRUE(grown.GetBit(24));
    EXPECT_EQ(raw, grown.QueryBuffer(2)) << "no resizing when large enough";
}

TEST(BitStream, WritesBitsInOrderAndGrowsByteByByte)
{
    CZRBitStream s;
    s.BeginWrite();
    for (bool bit : {1, 0, 1, 1, 0, 0, 0, 0, 1})
        s.Write(bit);
    s.EndWrite();
    EXPECT_EQ((std::vector<int>{0xB0, 0x80}), BytesOf(s));
    EXPECT_EQ(9, s.GetPos());
    EXPECT_EQ(16, s.GetNumBits());
    s.SetPos(20);
    EXPECT_EQ(-4, s.GetNumBitsLeft());
    s.Write(true);
    EXPECT_EQ((std::vector<int>{0xB0, 0x80, 0x08}), BytesOf(s));

    s.BeginWrite();
    s.Write(true);
    EXPECT_EQ((std::vector<int>{0x80, 0x00, 0x00}), BytesOf(s)) << "BeginWrite clears";
}

TEST(BitStream, LongSequenceReadsBackAsWritten)
{
    std::mt19937 random(7);
    std::vector<bool> bits(1001);
    for (std::size_t k = 0; k < bits.size(); ++k)
        bits[k] = random() & 1;
    CZRBitStream s(5);
    s.BeginWrite();
    for (bool bit : bits)
        s.Write(bit);
    EXPECT_EQ(1001, s.GetPos());
    EXPECT_EQ(126, s.GetSize());
    CZRBitStream copy(s);
    copy.BeginRead();
    EXPECT_TRUE(copy.IsReading());
    for (std::size_t k = 0; k < bits.size(); ++k)
    {
        bool value = !bits[k];
        copy.Read(value);
        ASSERT_EQ(bits[k], value) << k;
    }
}

TEST(BitStream, FlagsAndPositions)
{
    CZRBitStream s(16);
    s.BeginWrite();
    s.BeginRead();
    EXPECT_TRUE(s.IsWriting() && s.IsReading());
    s.SetPos(11);
    CZRBitStream copy;
    copy = s;
    EXPECT_EQ(0, copy.GetPos());
    EXPECT_FALSE(copy.IsWriting() || copy.IsReading());
    s.EndWrite();
    s.EndRead();
    EXPECT_FALSE(s.IsWriting() || s.IsReading());
    EXPECT_EQ(11, s.GetPos());
    s.Rewind();
    EXPECT_EQ(16, s.GetNumBitsLeft());
}

TEST(BitStream, DumpAppendsOneLinePerByte)
{
    CZRBitStream s;
    Fill(s, {0x41});
    CZRString out("x");
    s.Dump(out, -1);
    EXPECT_STREQ("xByte    1: 01000001\n", out.GetString());
    Fill(s, {0x41, 0xFE, 0x00});
    out = "";
    s.Dump(out, 2);
    EXPECT_STREQ("Byte    1: 01000001\nByte    2: 11111110\n", out.GetString());
    out = "";
    s.Dump(out, 9);
    EXPECT_EQ(3 * 20, out.GetLength()) << "cut to the size";
}
