// CZRLzrwCompressor: exact groups and copy blocks, destinations of every size,
// bad items and damaged blocks that decode exactly as item by item and never
// past the destination, and the blocks of a fixed corpus pinned by length and
// FNV-1a 64, so that a faster coder must reproduce them byte for byte.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <iterator>
#include <random>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "Common/Serialisation/ZRLzrwCompressor.h"
#include "Support/SplitMix64.h"

namespace
{
using Bytes = std::vector<unsigned char>;
constexpr unsigned char UNTOUCHED = 0xCD;   // destination bytes before a call
constexpr int GUARD = 64;                   // bytes behind a destination that must stay UNTOUCHED
constexpr int MARGIN = CZRLzrwCompressor::COMPRESSION_MARGIN;
const Bytes kCopyHeader = {1, UNTOUCHED, UNTOUCHED, UNTOUCHED};

Bytes Cat(Bytes a, const Bytes& b) { return a.insert(a.end(), b.begin(), b.end()), a; }

// The whole destination of src.size() + extra bytes, filled with UNTOUCHED first.
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
    EXPECT_TRUE(length >= 4 && length <= static_cast<int>(src.size()) + 4) << length;
    return block.resize(std::max(length, 0)), block;
}

// Decodes through the interface into capacity bytes; the guard behind them must stay untouched.
Bytes Decompress(Bytes block, int capacity)
{
    Bytes dst(capacity + GUARD, UNTOUCHED);
    CZRLzrwCompressor lzrw;
    IZRCompressor& compressor = lzrw;
    compressor.SetSource(block.data(), static_cast<int>(block.size()));
    compressor.SetDestination(dst.data(), capacity);
    const int n = compressor.Decompress();
    EXPECT_TRUE(n >= 0 && n <= capacity) << n;
    EXPECT_EQ(Bytes(dst.end() - GUARD, dst.end()), Bytes(GUARD, UNTOUCHED)) << block.size() << " " << capacity;
    return dst.resize(std::clamp(n, 0, capacity)), dst;
}

// Letters: eight letters, short matches at many offsets.
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
} // namespace

TEST(LzrwCompressor, RoundTripsAndShortOrIncompressibleDataBecomesACopyBlock)
{
    std::vector<Bytes> inputs = {{}, NoRepeatedTriple(2000), Cat(Random(4096, 2), Bytes(300, 0)), Letters(65543)};
    for (std::size_t n = 1; n <= 17; ++n)
        inputs.push_back(Random(n, static_cast<std::uint32_t>(n)));
    // Around the sizes where a pass shrinks to one item and to literals only.
    for (std::size_t n : {15u, 16u, 17u, 255u, 256u, 257u, 4095u, 4096u, 4097u})
        inputs.push_back(Cat(Letters(n / 2), Bytes(n - n / 2, 'r')));
    for (const Bytes& src : inputs)
    {
        const Bytes block = Compress(src);
        if (block[0] == 1 || src.size() <= 16)
            EXPECT_EQ(Cat(kCopyHeader, src), block) << src.size();
        else
            EXPECT_EQ(Bytes(3, UNTOUCHED), Bytes(block.begin() + 1, block.begin() + 4));
        EXPECT_EQ(src, Decompress(block, static_cast<int>(src.size()))) << src.size();
    }
    EXPECT_EQ(1, Compress(inputs[1])[0]);
    EXPECT_EQ(0, Compress(inputs[3])[0]);
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
        EXPECT_NE(block.end(), std::search(block.begin(), block.end(), tail.begin(), tail.end())) << run;
    }
}

TEST(LzrwCompressor, SmallerDestinationsGiveTheSameBlockOrACopyBlockOrMinusOne)
{
    const Bytes runs(100, 'A'), plain = NoRepeatedTriple(100);
    for (const auto& [src, extra, length] : std::vector<std::tuple<Bytes, int, int>>{
             {runs, 31, 22}, {runs, -46, 22}, {runs, -47, -1}, {plain, 4, 104}, {plain, 3, -1}, {{}, 3, -1}})
    {
        int result = 0;
        CompressInto(src, extra, result);
        EXPECT_EQ(length, result) << extra;
    }
    // 2047 literals leave the output at exactly n when a pass of 16 copy items
    // starts; those write up to byte n + 31 before the copy block replaces them.
    const Bytes src = Cat(NoRepeatedTriple(2047, 'Z'), Bytes(263, 'Z'));
    int length = 0;
    const Bytes dst = CompressInto(src, MARGIN, length);
    EXPECT_EQ(Cat(kCopyHeader, src), Bytes(dst.begin(), dst.begin() + std::max(length, 0)));
    EXPECT_EQ(Bytes({0x0F, 0x10}), Bytes(dst.end() - 2, dst.end())); // offset 16, length 16
}

TEST(LzrwCompressor, DecodingStopsBeforeTheFirstBadItemAndBadArgumentsAreRefused)
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
    for (const auto& [block, capacity, out] : std::vector<std::tuple<Bytes, int, Bytes>>{
             {items, 274, Cat(out258, Bytes(out258.begin(), out258.begin() + 16))},
             {items, 273, out258}, // no room for the copy
             {run, 17, Bytes(17, 'z')},
             {{1, 0, 0}, 9, {}},
             {{1, 0, 0, 0, 'q', 'r'}, 1, {'q'}},
             {{0, 0, 0, 0, 0x01}, 9, {}},                                     // control word cut off
             {{0, 0, 0, 0, 0x04, 0x00, 'a', 'b', 0x02, 0x03}, 9, {'a', 'b'}}, // copy from before start
             {{0, 0, 0, 0, 0x02, 0x00, 'a', 0x02, 0x00}, 9, {'a'}},           // offset 0
             {Bytes(run.begin(), run.end() - 1), 17, {'z'}}})                 // copy item cut off
        EXPECT_EQ(out, Decompress(block, capacity)) << block.size() << " " << capacity;

    Bytes block = Compress(Bytes(100, 'A')), out(100);
    unsigned char* const none = nullptr;
    for (const auto& [source, sourceSize, destination, destinationSize] :
         {std::tuple(none, 0, none, 0), std::tuple(block.data(), 22, none, 100),
          std::tuple(block.data(), 22, out.data(), -5), std::tuple(block.data(), -1, out.data(), 100),
          std::tuple(none, 10, out.data(), 100)})
    {
        CZRLzrwCompressor lzrw;
        lzrw.SetSource(source, sourceSize);
        lzrw.SetDestination(destination, destinationSize);
        EXPECT_EQ(std::make_pair(0, -1), std::make_pair(lzrw.Decompress(), lzrw.Compress()));
    }
}

namespace
{
// Item by item, as the block format defines it: stops before the first item
// that is cut off, would pass `capacity` or copies from outside the output.
Bytes DecodeItemByItem(const Bytes& block, std::size_t capacity)
{
    Bytes out;
    if (block.size() < 4 || block[0] == 1)
        return Bytes(block.begin() + std::min<std::size_t>(block.size(), 4),
                     block.begin() + std::min(block.size(), capacity + 4));
    unsigned control = 0, bits = 0;
    for (std::size_t at = 4; at < block.size();)
    {
        if (bits == 0)
        {
            if (block.size() - at < 2)
                break;
            control = block[at] | block[at + 1] << 8, bits = 16, at += 2;
            continue;
        }
        if (control & 1)
        {
            const std::size_t offset = (block[at] & 0xF0u) << 4 | block[at + 1 < block.size() ? at + 1 : at];
            const std::size_t length = (block[at] & 0x0Fu) + 1;
            if (block.size() - at < 2 || offset == 0 || offset > out.size() || length > capacity - out.size())
                break;
            for (std::size_t i = 0; i < length; ++i)
                out.push_back(out[out.size() - offset]);
            at += 2;
        }
        else if (out.size() < capacity)
            out.push_back(block[at++]);
        else
            break;
        control >>= 1, --bits;
    }
    return out;
}

void ExpectDecodedAsItemByItem(const Bytes& block, std::size_t capacity)
{
    EXPECT_EQ(DecodeItemByItem(block, capacity), Decompress(block, static_cast<int>(capacity)))
        << block.size() << " " << capacity;
}

// The fixed corpus: ~1 MB each of script text and machine code.
enum Kind { TEXT, BINARY };
const char* const kKindNames[] = {"text", "binary"};
constexpr std::size_t LARGE = 1000003; // not a multiple of any block size
constexpr std::size_t WHOLE = 0;

void PutLE(Bytes& out, std::uint64_t value, int width)
{
    for (int i = 0; i < width; ++i)
        out.push_back(static_cast<unsigned char>(value >> (8 * i)));
}
void PutText(Bytes& out, const std::string& text) { out.insert(out.end(), text.begin(), text.end()); }

// Lines of words from a small vocabulary; some lines repeat a recent one.
Bytes Text(CSplitMix64& rng)
{
    static const char* const words[] = {"the", "player", "door", "opens", "if", "health", "<", "0",
                                        "then", "spawn", "enemy", "at", "node", "return", "end",
                                        "local", "count", "=", "count", "+", "1", "--", "todo"};
    Bytes out;
    std::vector<std::string> recent;
    while (out.size() < LARGE)
    {
        std::string line(rng.Below(3), '\t');
        if (!recent.empty() && rng.Below(4) == 0)
            line = recent[rng.Below(static_cast<unsigned>(recent.size()))];
        else
            for (unsigned n = 2 + rng.Below(10); n > 0; --n)
                line += std::string(words[rng.Below(std::size(words))]) + (n > 1 ? " " : "");
        recent.push_back(line);
        if (recent.size() > 8)
            recent.erase(recent.begin());
        PutText(out, line + "\n");
    }
    return out;
}

// Opcode runs, calls with 4 random bytes, small integers, pointers sharing their high bytes, zero padding.
Bytes Binary(CSplitMix64& rng)
{
    static const std::string opcodes[] = {"\x48\x89\xe5", "\x48\x8b\x45\xf8", "\xc3",
                                          std::string("\x0f\x1f\x44\x00\x00", 5), "\x41\x57\x41\x56"};
    Bytes out;
    while (out.size() < LARGE)
        switch (rng.Below(5))
        {
        case 0: PutText(out, opcodes[rng.Below(std::size(opcodes))]); break;
        case 1: out.push_back(0xE8), PutLE(out, rng.Next(), 4); break;
        case 2: PutLE(out, rng.Below(256), 4); break;
        case 3: PutLE(out, 0x00007F3A12000000ull + rng.Below(1 << 20) * 8, 8); break;
        default: out.insert(out.end(), 1 + rng.Below(16), 0); break;
        }
    return out;
}

const Bytes& Corpus(Kind kind)
{
    static const std::vector<Bytes> corpora = [] {
        CSplitMix64 rng(20240611);
        std::vector<Bytes> all;   // in this order: the second continues the sequence
        all.push_back(Text(rng));
        all.push_back(Binary(rng));
        return all;
    }();
    return corpora[kind];
}

struct Row
{
    Kind corpus;
    std::size_t size;      // a prefix of the corpus
    std::size_t blockSize; // WHOLE: one block
    std::uint64_t total;   // sum of block lengths
    std::uint64_t hash;    // FNV-1a 64 of each block's 4-byte length and bytes, bytes 1-3 UNTOUCHED
};

void Fnv(std::uint64_t& hash, const Bytes& bytes)
{
    for (unsigned char b : bytes)
        hash = (hash ^ b) * 0x100000001B3ull;
}

// Compresses every block of the case, checks its round trip and returns the row the coder gives.
Row Measure(const Row& expected)
{
    const Bytes& corpus = Corpus(expected.corpus);
    const std::size_t step = expected.blockSize == WHOLE ? expected.size : expected.blockSize;
    Row actual = {expected.corpus, expected.size, expected.blockSize, 0, 0xCBF29CE484222325ull};
    for (std::size_t at = 0; at < expected.size; at += step)
    {
        const Bytes src(corpus.begin() + at, corpus.begin() + std::min(at + step, expected.size));
        const Bytes block = Compress(src);
        Bytes length;
        PutLE(length, block.size(), 4);
        Fnv(actual.hash, length);
        Fnv(actual.hash, block);
        actual.total += block.size();
        EXPECT_TRUE(src == Decompress(block, static_cast<int>(src.size()))) << at;
    }
    return actual;
}

// Sizes of 16 and 17 bytes and the empty block are copy blocks, pinned exactly above.
const Row kRows[] = {
    {TEXT, 257, WHOLE, 176, 0xBE110EFA089E75D8ull},
    {TEXT, 4097, WHOLE, 1690, 0xB5F3D850D33FEAB4ull},
    {TEXT, LARGE, WHOLE, 387571, 0x5EEAE906753051E3ull},
    {TEXT, 4097, 4096, 1694, 0xE1AB2AE7C5E58670ull},
    {TEXT, LARGE, 4096, 414362, 0xACAF312579EEEF41ull},
    {TEXT, LARGE, 65536, 389285, 0xF8BB428D0B5AD00Cull},
    {BINARY, 257, WHOLE, 208, 0x873F60188EE9210Eull},
    {BINARY, 4097, WHOLE, 2626, 0xCD347F0B94C8DD93ull},
    {BINARY, LARGE, WHOLE, 600868, 0x2700D321C69584EFull},
    {BINARY, 4097, 4096, 2630, 0xBB8B014B5283AA3Full},
    {BINARY, LARGE, 4096, 623852, 0x301025BA43FAEA6Dull},
    {BINARY, LARGE, 65536, 602357, 0xAD493FBF4C525916ull},
};
} // namespace

TEST(LzrwBlockChecksums, BlocksAreByteIdenticalToTheRecordedOnes)
{
    for (const Row& row : kRows)
    {
        const Row actual = Measure(row);
        char line[160]; // the row this coder gives, in the table's form
        std::snprintf(line, sizeof(line), "{%s, %zu, %zu, %llu, 0x%016llXull},", kKindNames[row.corpus],
                      actual.size, actual.blockSize, static_cast<unsigned long long>(actual.total),
                      static_cast<unsigned long long>(actual.hash));
        EXPECT_TRUE(actual.total == row.total && actual.hash == row.hash) << line;
    }
}

TEST(LzrwBlockChecksums, DamagedBlocksDecodeAsItemByItemWithinTheDestination)
{
    // 16 literals, then a copy (length 16) reaching exactly to the output start
    // or one byte before it, then 111 literals: far from both ends of the block.
    for (unsigned char offset : {16, 17})
    {
        Bytes block = {0, 0, 0, 0};
        for (int item = 0; item < 128; ++item)
        {
            if (item % 16 == 0)
                block.insert(block.end(), {static_cast<unsigned char>(item == 16), 0x00});
            if (item == 16)
                block.insert(block.end(), {0x0F, offset});
            else
                block.push_back(static_cast<unsigned char>('a' + item % 26));
        }
        ExpectDecodedAsItemByItem(block, 1000);
    }
    // 'A', 15 and then 16 copies of 16 bytes, 16 literals: the second group
    // starts 259 bytes before the destination end and fills all but 3.
    Bytes run = {0, 0, 0, 0, 0xFE, 0xFF, 'A'};
    for (int copy = 0; copy < 31; ++copy)
        run.insert(run.end(), copy == 15 ? std::initializer_list<unsigned char>{0xFF, 0xFF, 0x0F, 0x01}
                                         : std::initializer_list<unsigned char>{0x0F, 0x01});
    run.insert(run.end(), {0x00, 0x00});
    run.insert(run.end(), 16, 'A');
    ExpectDecodedAsItemByItem(run, 500);

    // Real blocks cut short and with bytes changed, into destinations of any size.
    std::mt19937 rng(7);
    for (Kind kind : {TEXT, BINARY})
    {
        const Bytes src(Corpus(kind).begin(), Corpus(kind).begin() + 20000);
        const Bytes block = Compress(src);
        for (int trial = 0; trial < 400; ++trial)
        {
            Bytes damaged(block.begin(), block.end() - (trial % 4 == 0 ? rng() % 300 : 0));
            for (int flips = trial % 3; flips > 0; --flips)
                damaged[4 + rng() % (damaged.size() - 4)] ^= static_cast<unsigned char>(1 + rng() % 255);
            ExpectDecodedAsItemByItem(damaged, trial % 5 == 0 ? src.size() : rng() % (src.size() + 1000));
        }
    }
}
