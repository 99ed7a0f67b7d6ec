#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <set>
#include <tuple>
#include <vector>

#include "Common/Serialisation/ZRLzrwCompressor.h"

namespace
{
using Bytes = std::vector<unsigned char>;
constexpr unsigned char UNTOUCHED = 0xCD;
const Bytes kCopyHeader = {1, UNTOUCHED, UNTOUCHED, UNTOUCHED};

// Compresses into a destination of n + extra bytes filled with UNTOUCHED;
// returns the whole destination.
Bytes CompressInto(Bytes src, int extra, int& length)
{
    Bytes dst(src.size() + extra, UNTOUCHED);
    CZRLzrwCompressor lzrw;
    lzrw.SetSource(src.data(), static_cast<int>(src.size()));
    lzrw.SetDestination(dst.data(), static_cast<int>(dst.size()));
    length = lzrw.Compress();
    return dst;
}

Bytes Compress(const Bytes& src)
{
    int length = 0;
    Bytes block = CompressInto(src, CZRLzrwCompressor::COMPRESSION_MARGIN, length);
    EXPECT_GE(length, 4);
    block.resize(std::max(length, 0));
    return block;
}

// Decompresses through the interface into an exact-size destination.
Bytes Decompress(Bytes block, int capacity)
{
    Bytes dst(capacity);
    CZRLzrwCompressor lzrw;
    IZRCompressor& compressor = lzrw;
    compressor.SetSource(block.data(), static_cast<int>(block.size()));
    compressor.SetDestination(dst.data(), capacity);
    const int n = compressor.Decompress();
    EXPECT_TRUE(n >= 0 && n <= capacity) << n;
    dst.resize(std::clamp(n, 0, capacity));
    return dst;
}

// Bytes from a linear congruential generator; Letters: eight letters, short
// matches at many offsets.
Bytes Random(std::size_t n, std::uint32_t x, unsigned char base = 0, unsigned range = 256)
{
    Bytes bytes(n);
    for (auto& b : bytes)
        x = x * 1103515245u + 12345u, b = static_cast<unsigned char>(base + (x >> 16) % range);
    return bytes;
}

Bytes Letters(std::size_t n) { return Random(n, 1, 'a', 8); }

// n bytes, none of them `avoid`, without any repeated 3-byte sequence.
Bytes NoRepeatedTriple(std::size_t n, unsigned char avoid = 0)
{
    Bytes bytes = {1, 2};
    std::set<long> seen;
    for (unsigned b = 0; bytes.size() < n; b = (b * 17 + 101) & 0xFF)
        if (b != avoid && seen.insert(bytes[bytes.size() - 2] << 16 | bytes.back() << 8 | b).second)
            bytes.push_back(static_cast<unsigned char>(b));
    return bytes;
}

Bytes Cat(Bytes a, const Bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

} // namespace

TEST(LzrwCompressor, RoundTripsDeterministically)
{
    std::vector<Bytes> inputs = {{}, NoRepeatedTriple(2000), Cat(Random(4096, 2), Bytes(300, 0)),
                                 Letters(65543)};
    for (std::size_t n = 1; n <= 17; ++n)
        inputs.push_back(Random(n, static_cast<std::uint32_t>(n)));
    for (std::size_t n : {15u, 16u, 17u, 255u, 256u, 257u, 4095u, 4096u, 4097u})
        inputs.push_back(Cat(Letters(n / 2), Bytes(n - n / 2, 'r')));
    std::vector<Bytes> blocks;
    for (const Bytes& src : inputs)
    {
        const Bytes& block = blocks.emplace_back(Compress(src));
        if (block[0] == 1 || src.size() <= 16)
            EXPECT_EQ(Cat(kCopyHeader, src), block) << src.size();
        else
            EXPECT_EQ(Bytes(3, UNTOUCHED), Bytes(block.begin() + 1, block.begin() + 4));
        EXPECT_EQ(src, Decompress(block, static_cast<int>(src.size()))) << src.size();
    }
    EXPECT_EQ(1, blocks[1][0]);                     // no repeated 3-byte sequence
    EXPECT_EQ(0, blocks[3][0]);                     // letters shrink
    for (std::size_t i = 0; i < inputs.size(); ++i) // after other data, the same blocks
        EXPECT_EQ(blocks[i], Compress(inputs[i])) << i;
}

TEST(LzrwCompressor, CompressionGivesTheExactGroups)
{
    // n x 'A': a literal, a copy (offset 1, length 16), five copies (offset 16,
    // length 16), then literals; 106 bytes fill one group and drop the next word.
    const Bytes head = {0, UNTOUCHED, UNTOUCHED, UNTOUCHED, 0x7E, 0x00, 'A', 0x0F, 0x01,
                        0x0F, 0x10, 0x0F, 0x10, 0x0F, 0x10, 0x0F, 0x10, 0x0F, 0x10};
    for (std::size_t literals : {0, 3, 9})
        EXPECT_EQ(Cat(head, Bytes(literals, 'A')), Compress(Bytes(97 + literals, 'A')));
    // "xyz" 4095 bytes back is a copy item (length 3, offset 0xFFF); 4096 back it is not.
    const Bytes xyz = {'x', 'y', 'z'};
    for (const auto& [run, tail] : {std::pair<std::size_t, Bytes>{4092, {0x0A, 0x10, 0xF2, 0xFF}},
                                    {4093, {0x0B, 0x10, 'x', 'y', 'z', 'B'}}})
    {
        const Bytes block = Compress(Cat(Cat(xyz, Bytes(run, 'A')), Cat(xyz, Bytes(16, 'B'))));
        EXPECT_NE(block.end(), std::search(block.begin(), block.end(), tail.begin(), tail.end()))
            << run;
    }
    std::uint32_t hash = 2166136261u; // FNV-1a of the block LZRW1-A defines
    const Bytes letters = Compress(Letters(5000));
    for (unsigned char b : letters)
        hash = (hash ^ b) * 16777619u;
    EXPECT_EQ(std::make_pair(std::size_t{3609}, std::uint32_t{0xD96A2337}),
              std::make_pair(letters.size(), hash));
}

TEST(LzrwCompressor, SmallerDestinationsGiveTheSameBlockOrACopyBlockOrMinusOne)
{
    const Bytes runs(100, 'A'), plain = NoRepeatedTriple(100);
    const std::vector<std::tuple<Bytes, int, int>> extraToLength = {
        {runs, 31, 22}, {runs, -46, 22}, {runs, -47, -1},
        {plain, 4, 104}, {plain, 3, -1},  {{}, 3, -1}};
    for (const auto& [src, extra, length] : extraToLength)
    {
        int result = 0;
        CompressInto(src, extra, result);
        EXPECT_EQ(length, result) << extra;
    }
    // 2047 literals leave the output at exactly n when a pass of 16 copy items
    // starts; those write up to byte n + 31 before the copy block replaces them.
    const Bytes src = Cat(NoRepeatedTriple(2047, 'Z'), Bytes(263, 'Z'));
    int length = 0;
    const Bytes dst = CompressInto(src, CZRLzrwCompressor::COMPRESSION_MARGIN, length);
    EXPECT_EQ(Cat(kCopyHeader, src), Bytes(dst.begin(), dst.begin() + std::max(length, 0)));
    EXPECT_EQ(Bytes({0x0F, 0x10}), Bytes(dst.end() - 2, dst.end())); // offset 16, length 16
}

TEST(LzrwCompressor, DecodingStopsBeforeTheFirstBadItem)
{
    Bytes items(4, 0), out258; // 258 literals in 17 groups, then a copy item
    for (int i = 0; i < 258; ++i)
    {
        if (i % 16 == 0)
            items.insert(items.end(), {static_cast<unsigned char>(i == 256 ? 0x04 : 0), 0});
        items.push_back(static_cast<unsigned char>(i * 7));
        out258.push_back(items.back());
    }
    items.insert(items.end(), {0x1F, 0x02}); // offset 258, length 16
    const Bytes run = {7, 0, 0, 0, 0x02, 0x00, 'z', 0x0F, 0x01}; // any flag but 1 means groups
    const std::vector<std::tuple<Bytes, int, Bytes>> cases = {
        {items, 274, Cat(out258, Bytes(out258.begin(), out258.begin() + 16))},
        {items, 273, out258}, // no room for the copy
        {run, 17, Bytes(17, 'z')},
        {{1, 0, 0}, 9, {}},
        {{1, 0, 0, 0, 'q', 'r'}, 1, {'q'}},
        {{0, 0, 0, 0, 0x01}, 9, {}},                                 // control word cut off
        {{0, 0, 0, 0, 0x04, 0x00, 'a', 'b', 0x02, 0x03}, 9, {'a', 'b'}}, // copy from before start
        {{0, 0, 0, 0, 0x02, 0x00, 'a', 0x02, 0x00}, 9, {'a'}},        // offset 0
        {Bytes(run.begin(), run.end() - 1), 17, {'z'}},              // copy item cut off
    };
    for (const auto& [block, capacity, out] : cases)
        EXPECT_EQ(out, Decompress(block, capacity)) << block.size() << " " << capacity;

    const Bytes block = Compress(Bytes(100, 'A')); // items end at 1, 17, ..., 97, 98, 99, 100
    for (int capacity = 0; capacity <= 100; ++capacity)
    {
        const int whole = capacity >= 97 || capacity == 0 ? capacity : (capacity - 1) / 16 * 16 + 1;
        EXPECT_EQ(Bytes(whole, 'A'), Decompress(block, capacity)) << capacity;
    }
}

TEST(LzrwCompressor, BadArgumentsAreRefused)
{
    Bytes block = Compress(Bytes(100, 'A')), out(100);
    unsigned char* const none = nullptr;
    for (const auto& [source, sourceSize, destination, destinationSize] :
         {std::tuple(none, 0, none, 0), std::tuple(block.data(), 22, none, 100),
          std::tuple(block.data(), 22, out.data(), -5),
          std::tuple(block.data(), -1, out.data(), 100), std::tuple(none, 10, out.data(), 100)})
    {
        CZRLzrwCompressor lzrw;
        lzrw.SetSource(source, sourceSize);
        lzrw.SetDestination(destination, destinationSize);
        EXPECT_EQ(std::make_pair(0, -1), std::make_pair(lzrw.Decompress(), lzrw.Compress()));
    }
}

TEST(LzrwCompressor, DamagedBlocksStayInBounds)
{
    const Bytes src = Cat(Letters(3000), Cat(Random(500, 5), Bytes(500, 0)));
    const Bytes block = Compress(src);
    const int n = static_cast<int>(src.size());
    for (std::size_t length = 0; length <= block.size(); ++length) // a cut block gives a prefix
    {
        const Bytes out = Decompress(Bytes(block.begin(), block.begin() + length), n);
        EXPECT_EQ(Bytes(src.begin(), src.begin() + out.size()), out) << length;
    }
    std::mt19937 rng(3);
    for (int trial = 0; trial < 3000; ++trial)
    {
        Bytes damaged = block;
        damaged[rng() % damaged.size()] ^= static_cast<unsigned char>(1 + rng() % 255);
        Decompress(damaged, static_cast<int>(rng() % (2 * n)));
        Decompress(Random(rng() % 300, rng()), static_cast<int>(rng() % 600));
    }
}
