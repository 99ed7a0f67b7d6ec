// CZRBitArray and CZRBitStream: bit k lives in byte k / 8 under 0x80 >> k % 8;
// sizing keeps what fits, copies are independent, equality ignores the bit
// count; the stream grows a byte at a time and dumps its bytes as text.
#include <gtest/gtest.h>

#include <tuple>
#include <type_traits>
#include <vector>

#include "Common/Serialisation/ZRBitArray.h"
#include "Common/Serialisation/ZRBitStream.h"

namespace
{
using Ints = std::vector<int>;

// Bytes as each class's own interface reads them: the array's buffer, the stream's Read.
Ints BytesOf(const CZRBitArray& a) { return Ints(a.GetBuffer(), a.GetBuffer() + a.GetSize()); }
Ints BytesOf(const CZRBitStream& s)
{
    CZRBitStream copy(s);
    Ints bytes(s.GetSize());
    for (std::size_t k = 0; k < bytes.size() * 8; ++k)
    {
        bool value = false;
        copy.Read(value);
        bytes[k / 8] = bytes[k / 8] << 1 | value;
    }
    return bytes;
}

// Stores bytes through SetBit or Write.
template <class Bits> void Fill(Bits& bits, const Ints& bytes)
{
    bits.SetSize(static_cast<int>(bytes.size()));
    if constexpr (std::is_same_v<Bits, CZRBitStream>)
        bits.BeginWrite();
    for (std::size_t k = 0; k < bytes.size() * 8; ++k)
    {
        const bool value = (bytes[k / 8] & (0x80 >> k % 8)) != 0;
        if constexpr (std::is_same_v<Bits, CZRBitStream>)
            bits.Write(value);
        else
            bits.SetBit(static_cast<int>(k), value);
    }
}
} // namespace

template <typename T> class BitStorage : public ::testing::Test
{
};
using BitClasses = ::testing::Types<CZRBitArray, CZRBitStream>;
TYPED_TEST_SUITE(BitStorage, BitClasses);

TYPED_TEST(BitStorage, SizingKeepsTheOldBytesThatFit)
{
    for (const auto& [numBits, bytes, count] : {std::tuple(0, 1, 0), std::tuple(7, 1, 7), std::tuple(8, 2, 8),
                                                std::tuple(9, 2, 9), std::tuple(-5, 1, 0)})
    {
        TypeParam bits(numBits);
        EXPECT_EQ(std::make_tuple(bytes, count, Ints(bytes, 0)),
                  std::make_tuple(bits.GetSize(), bits.GetNumBits(), BytesOf(bits)));
    }
    TypeParam bits;
    Fill(bits, {0xFF, 0x01});
    bits.SetSize(3);
    EXPECT_EQ(std::make_tuple(Ints{0xFF, 0x01, 0x00}, 24), std::make_tuple(BytesOf(bits), bits.GetNumBits()));
    bits.SetSize(1);
    EXPECT_EQ(Ints{0xFF}, BytesOf(bits));
    bits.Clear();
    EXPECT_EQ(Ints{0x00}, BytesOf(bits));
    bits.SetSize(-1);
    EXPECT_EQ(std::make_tuple(0, 0), std::make_tuple(bits.GetSize(), bits.GetNumBits()));
    bits.Clear();
}

TYPED_TEST(BitStorage, CopiesAreIndependentAndEqualityIgnoresTheBitCount)
{
    TypeParam a, b(40);
    Fill(a, {0x12, 0x34});
    b = a;
    EXPECT_EQ(std::make_tuple(Ints{0x12, 0x34}, 16), std::make_tuple(BytesOf(b), b.GetNumBits()));
    TypeParam copy(a);
    copy.SetNumBits(9);
    EXPECT_TRUE(copy == a && !(copy != a)) << "bit count differs, bytes equal";
    Fill(copy, {0x12, 0x35});
    EXPECT_TRUE(copy != a && BytesOf(a) == (Ints{0x12, 0x34}));
    Fill(copy, {0x12, 0x34, 0x00});
    EXPECT_FALSE(copy == a) << "sizes differ";
    EXPECT_TRUE(TypeParam() == TypeParam());
}

TEST(BitArray, BitOrderAndGrowth)
{
    CZRBitArray a(8);
    a.SetBit(1, true);
    a.SetBit(7, true);
    a.SetBit(9, true);
    EXPECT_EQ(std::make_tuple(Ints{0x41, 0x40}, 10), std::make_tuple(BytesOf(a), a.GetNumBits()))
        << "the count includes the bit set";
    a.SetBit(1, false);
    a.SetBit(15, true);
    EXPECT_EQ((Ints{0x01, 0x41, 0x00}), BytesOf(a));
    EXPECT_TRUE(a.GetBit(7) && !a.GetBit(1) && !a.GetBit(1000) && !a.GetBit(-1));

    unsigned char* raw = a.QueryBuffer(4);
    raw[3] = 0x80;
    a.ReleaseBuffer();
    EXPECT_TRUE(a.GetSize() == 4 && a.GetBit(24));
    EXPECT_EQ(raw, a.QueryBuffer(2)) << "no resizing when large enough";
}

TEST(BitStream, WritesBitsInOrderGrowsByteByByteAndDumpsThem)
{
    CZRBitStream s;
    s.BeginWrite();
    for (bool bit : {1, 0, 1, 1, 0, 0, 0, 0, 1})
        s.Write(bit);
    CZRString out("x"), whole, cut, two;
    s.Dump(out, -1);
    EXPECT_STREQ("xByte    1: 10110000\nByte    2: 10000000\n", out.GetString());
    EXPECT_EQ(std::make_tuple(9, 16), std::make_tuple(s.GetPos(), s.GetNumBits()));
    s.SetPos(28);
    EXPECT_EQ(-12, s.GetNumBitsLeft());
    s.Write(true);
    s.Dump(whole, -1);
    s.Dump(cut, 9);
    s.Dump(two, 2);
    EXPECT_STREQ("Byte    1: 10110000\nByte    2: 10000000\nByte    3: 00000000\nByte    4: 00001000\n",
                 whole.GetString());
    EXPECT_STREQ(whole.GetString(), cut.GetString()) << "cut to the size";
    EXPECT_EQ(2 * 20, two.GetLength());
    s.BeginWrite();
    s.Write(true);
    EXPECT_EQ((Ints{0x80, 0x00, 0x00, 0x00}), BytesOf(s)) << "BeginWrite clears";

    CZRBitStream many(5), copy; // 1001 bits, one byte added at a time
    CZRBitArray expected;
    many.BeginWrite();
    for (int k = 0; k < 1001; ++k)
        many.Write(k % 3 == 0), expected.SetBit(k, k % 3 == 0);
    EXPECT_EQ(std::make_tuple(1001, 126), std::make_tuple(many.GetPos(), many.GetSize()));
    EXPECT_EQ(BytesOf(expected), BytesOf(many));
    copy.SetPos(5);
    copy = many;
    EXPECT_EQ(std::make_tuple(0, false), std::make_tuple(copy.GetPos(), copy.IsWriting()))
        << "assignment rewinds and takes no flags";
}
