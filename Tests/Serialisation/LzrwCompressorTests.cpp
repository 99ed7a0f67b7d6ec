#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "Common/Serialisation/ZRLzrwCompressor.h"

namespace
{
using Bytes = std::vector<unsigned char>;
constexpr unsigned char UNTOUCHED = 0xCD;
constexpr int MARGIN = CZRLzrwCompressor::COMPRESSION_MARGIN;

// Compresses into an exact-size destination of n + extra bytes filled with
// UNTOUCHED; returns the whole destination.
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
    Bytes block = CompressInto(src, MARGIN, length);
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

Bytes Random(std::size_t n, unsigned seed)
{
    std::mt19937 rng(seed);
    Bytes bytes(n);
    for (auto& b : bytes)
        b = static_cast<unsigned char>(rng());
    return bytes;
}

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

// Eight letters from a linear congruential generator: short matches at many offsets.
Bytes Letters(std::size_t n)
{
    Bytes bytes(n);
    std::uint32_t x = 1;
    for (auto& b : bytes)
        x = x * 1103515245u + 12345u, b = static_cast<unsigned char>('a' + (x >> 16 & 7));
    return bytes;
}

std::uint32_t Fnv1a(const Bytes& bytes)
{
    std::uint32_t hash = 2166136261u;
    for (unsigned char b : bytes)
        hash = (hash ^ b) * 16777619u;
    return hash;
}

Bytes Text(std::size_t n)
{
    const std::string words = "the data stream writes a version word before each record; ";
    Bytes text;
    for (std::size_t i = 0; text.size() < n; i = (i * 7 + 3) % words.size())
        text.push_back(static_cast<unsigned char>(words[i]));
    return text;
}

Bytes Cat(Bytes a, const Bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// A flag-0 block of the items (1 byte: literal, 2 bytes: copy item), 16 to a group.
Bytes Block(const std::vector<Bytes>& items)
{
    Bytes block(4, 0);
    std::size_t control = 0;
    for (std::size_t i = 0; i < items.size(); ++i)
    {
        if (i % 16 == 0)
            control = block.size(), block.insert(block.end(), 2, 0);
        block[control + i % 16 / 8] |= (items[i].size() == 2) << (i % 8);
        block.insert(block.end(), items[i].begin(), items[i].end());
    }
    return block;
}
} // namespace

TEST(LzrwCompressor, RoundTripsDeterministically)
{
    std::vector<Bytes> inputs = {
        {}, NoRepeatedTriple(2000), Cat(Random(4096, 2), Bytes(300, 0)), Text(65543)};
    for (std::size_t n = 1; n <= 17; ++n)
        inputs.push_back(Random(n, static_cast<unsigned>(n)));
    for (std::size_t n : {15u, 16u, 17u, 255u, 256u, 257u, 4095u, 4096u, 4097u})
        inputs.push_back(Cat(Text(n / 2), Bytes(n - n / 2, 'r')));
    std::vector<Bytes> blocks;
    for (const Bytes& src : inputs)
    {
        blocks.push_back(Compress(src));
        const Bytes& block = blocks.back();
        if (block[0] == 1 || src.size() <= 16)
            EXPECT_EQ(Cat({1, UNTOUCHED, UNTOUCHED, UNTOUCHED}, src), block) << src.size();
        else
            EXPECT_EQ(Bytes(3, UNTOUCHED), Bytes(block.begin() + 1, block.begin() + 4));
        EXPECT_EQ(src, Decompress(block, static_cast<int>(src.size()))) << src.size();
    }
    EXPECT_EQ(1, blocks[1][0]);                     // no repeated 3-byte sequence
    EXPECT_LT(blocks[3].size(), 65543u / 4);        // text shrinks
    for (std::size_t i = 0; i < inputs.size(); ++i) // after other data, the same blocks
        EXPECT_EQ(blocks[i], Compress(inputs[i])) << i;
}

TEST(LzrwCompressor, RunsGiveTheExactGroups)
{
    // n x 'A': a literal, a copy (offset 1, length 16), five copies (offset 16,
    // length 16), then literals for the last 16 positions or fewer; 106 bytes
    // fill one group exactly.
    const Bytes header = {0, UNTOUCHED, UNTOUCHED, UNTOUCHED};
    const Bytes head = Cat(header, {0x7E, 0x00, 'A', 0x0F, 0x01});
    const Bytes copies = {0x0F, 0x10, 0x0F, 0x10, 0x0F, 0x10, 0x0F, 0x10};
    EXPECT_EQ(Cat(Cat(head, copies), {0x0F, 0x10}), Compress(Bytes(97, 'A')));
    EXPECT_EQ(Cat(Cat(head, copies), {0x0F, 0x10, 'A', 'A', 'A'}), Compress(Bytes(100, 'A')));
    EXPECT_EQ(Cat(Cat(head, copies), Cat({0x0F, 0x10}, Bytes(9, 'A'))), Compress(Bytes(106, 'A')));
    // "bhq" and "hae" share a table entry, so the second "bhq" finds "hae": a literal.
    const Bytes bhq = {'b', 'h', 'q', 'h', 'a', 'e', 'b', 'h', 'q'};
    const Bytes items = Cat(Cat(Cat(bhq, {'A', 0x0F, 0x01}), copies), {'A', 0x00, 0x00});
    EXPECT_EQ(Cat(Cat(header, Cat({0x00, 0x7C}, items)), Bytes(9, 'A')),
              Compress(Cat(bhq, Bytes(91, 'A'))));
    // "xyz" 4095 bytes back is a copy item (length 3, offset 0xFFF); 4096 back it is not.
    const std::vector<std::pair<std::size_t, Bytes>> runToItems = {
        {4092, {0x0A, 0x10, 0xF2, 0xFF, 'B'}}, {4093, {0x0B, 0x10, 'x', 'y', 'z', 'B'}}};
    for (const auto& [run, tail] : runToItems)
    {
        const Bytes block = Compress(
            Cat(Cat({'x', 'y', 'z'}, Bytes(run, 'A')), Cat({'x', 'y', 'z'}, Bytes(16, 'B'))));
        EXPECT_NE(block.end(), std::search(block.begin(), block.end(), tail.begin(), tail.end()))
            << run;
    }
    const Bytes letters = Compress(Letters(5000)); // length and hash of the block LZRW1-A defines
    EXPECT_EQ(std::make_pair(std::size_t{3609}, std::uint32_t{0xD96A2337}),
              std::make_pair(letters.size(), Fnv1a(letters)));

    // Smaller destinations: the same block while every pass fits, else a copy block, else -1.
    const Bytes runs(100, 'A'), plain = NoRepeatedTriple(100);
    const std::vector<std::tuple<Bytes, int, int>> extraToLength = {
        {runs, 31, 22},  {runs, -46, 22}, {runs, -47, -1},
        {plain, 4, 104}, {plain, 3, -1},  {{}, 3, -1}};
    for (const auto& [src, extra, length] : extraToLength)
    {
        int result = 0;
        CompressInto(src, extra, result);
        EXPECT_EQ(length, result) << extra;
    }
}

TEST(LzrwCompressor, PassOfCopyItemsMayFillTheWholeMarginBeforeFallingBack)
{
    // 2047 literals leave the output at exactly n when a pass of 16 copy items
    // starts; those write up to byte n + 31 before the copy block replaces them.
    const Bytes src = Cat(NoRepeatedTriple(2047, 'Z'), Bytes(263, 'Z'));
    int length = 0;
    const Bytes dst = CompressInto(src, MARGIN, length);
    EXPECT_EQ(static_cast<int>(src.size() + 4), length);
    EXPECT_EQ(Cat({1, UNTOUCHED, UNTOUCHED, UNTOUCHED}, src),
              Bytes(dst.begin(), dst.begin() + length));
    EXPECT_EQ(Bytes({0x0F, 0x10}), Bytes(dst.end() - 2, dst.end())); // offset 16, length 16
}

TEST(LzrwCompressor, DecodingStopsBeforeTheFirstBadItem)
{
    std::vector<Bytes> items;
    Bytes out258;
    for (int i = 0; i < 258; ++i)
        out258.push_back(static_cast<unsigned char>(i * 7)), items.push_back({out258.back()});
    items.push_back({0x1F, 0x02}); // offset 258, length 16
    const Bytes out274 = Cat(out258, Bytes(out258.begin(), out258.begin() + 16));
    Bytes run = Block({{'z'}, {0x0F, 0x01}});
    run[0] = 7; // any flag but 1 means groups

    struct Case
    {
        Bytes block;
        int capacity;
        Bytes out;
    };
    const std::vector<Case> cases = {
        {Block(items), 274, out274},
        {Block(items), 273, out258}, // no room for the copy
        {run, 17, Bytes(17, 'z')},
        {{}, 9, {}},
        {{1, 0, 0}, 9, {}},
        {{1, 0, 0, 0, 'q', 'r'}, 9, {'q', 'r'}},
        {{1, 0, 0, 0, 'q', 'r'}, 1, {'q'}},
        {{0, 0, 0, 0, 0x01}, 9, {}},                          // control word cut off
        {Block({{'a'}, {'b'}, {0x02, 0x03}}), 9, {'a', 'b'}}, // copy from before the output start
        {Block({{'a'}, {0x02, 0x00}}), 9, {'a'}},             // offset 0
        {Bytes(run.begin(), run.end() - 1), 17, {'z'}},       // copy item cut off
    };
    for (const auto& [block, capacity, out] : cases)
        EXPECT_EQ(out, Decompress(block, capacity)) << block.size() << " " << capacity;

    const Bytes block = Compress(Bytes(100, 'A')); // items end at 1, 17, ..., 97, 98, 99, 100
    for (int capacity = 0; capacity <= 100; ++capacity)
    {
        const int whole = capacity >= 97  ? capacity
                          : capacity == 0 ? 0
                                          : (capacity - 1) / 16 * 16 + 1;
        EXPECT_EQ(Bytes(whole, 'A'), Decompress(block, capacity)) << capacity;
    }
}

TEST(LzrwCompressor, CopiesRecordTheSameBlocksAndBadBlocksAreRefused)
{
    Bytes block = Compress(Bytes(100, 'A')), out(100);
    CZRLzrwCompressor lzrw, assigned;
    EXPECT_EQ(0, lzrw.Decompress()); // nothing recorded yet
    EXPECT_EQ(-1, lzrw.Compress());
    lzrw.SetSource(block.data(), static_cast<int>(block.size()));
    lzrw.SetDestination(out.data(), 100);
    assigned = lzrw;
    EXPECT_EQ(100, CZRLzrwCompressor(assigned).Decompress());
    EXPECT_EQ(Bytes(100, 'A'), out);
    for (const auto& [destination, size] :
         {std::pair(static_cast<unsigned char*>(nullptr), 100), std::pair(out.data(), -5)})
    {
        lzrw.SetDestination(destination, size);
        EXPECT_EQ(0, lzrw.Decompress());
        EXPECT_EQ(-1, lzrw.Compress());
    }
    lzrw.SetDestination(out.data(), 100);
    for (const auto& [source, size] :
         {std::pair(block.data(), -1), std::pair(static_cast<unsigned char*>(nullptr), 10)})
    {
        lzrw.SetSource(source, size);
        EXPECT_EQ(0, lzrw.Decompress());
        EXPECT_EQ(-1, lzrw.Compress());
    }
}

TEST(LzrwCompressor, DamagedBlocksStayInBounds)
{
    const Bytes src = Cat(Text(3000), Cat(Random(500, 5), Bytes(500, 0)));
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
