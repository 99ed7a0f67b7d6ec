// Pins the exact blocks the LZRW1-A coder writes: a fixed corpus (text, binary,
// game records, random bytes) at edge sizes and ~1 MB, cut into 4 KB, 64 KB and
// whole blocks. Each row of the table holds the total block length and an
// FNV-1a 64 hash over every block (its length, then its bytes) of one case; a
// faster coder must reproduce all of them. Every block must also decompress to
// its source, and damaged blocks must decode exactly as item by item.
//
// The destination is filled with FILL before each compression and the hash
// covers offsets 1-3 too: the coder leaves those bytes alone, so they must
// still read FILL, and the hash stays deterministic.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <iterator>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "Common/Serialisation/ZRLzrwCompressor.h"
#include "Support/SplitMix64.h"

namespace
{
using Bytes = std::vector<unsigned char>;
constexpr unsigned char FILL = 0xCD;
constexpr std::size_t LARGE = 1000003; // not a multiple of any block size
constexpr std::size_t WHOLE = 0;

using CRandom = CSplitMix64;

void PutLE(Bytes& out, std::uint64_t value, int width)
{
    for (int i = 0; i < width; ++i)
        out.push_back(static_cast<unsigned char>(value >> (8 * i)));
}

void PutText(Bytes& out, const std::string& text) { out.insert(out.end(), text.begin(), text.end()); }

// Lines of words from a small vocabulary; some lines repeat a recent one.
Bytes Text(CRandom& rng)
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

// Machine-code-like: common opcode runs, calls with 4 random bytes, small
// integers, pointers sharing their high bytes, zero padding.
Bytes Binary(CRandom& rng)
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

// 48-byte game records: id, type, position, health, name, flags, padding.
Bytes Records(CRandom& rng)
{
    static const char* const names[] = {"grunt", "officer", "turret", "medkit", "crate", "door"};
    Bytes out;
    for (std::uint32_t id = 1; out.size() < LARGE; ++id)
    {
        PutLE(out, id, 4);
        PutLE(out, 100 + rng.Below(6), 4);
        for (int axis = 0; axis < 3; ++axis) // coarse grid positions, as 32-bit floats
        {
            const float coordinate = static_cast<float>(rng.Below(64)) * 16.0f;
            std::uint32_t bits = 0;
            std::memcpy(&bits, &coordinate, sizeof(bits));
            PutLE(out, bits, 4);
        }
        PutLE(out, rng.Below(5) == 0 ? rng.Below(100) : 100, 2);
        std::string name = names[rng.Below(std::size(names))];
        name.resize(14, '\0');
        PutText(out, name);
        PutLE(out, rng.Below(3) << 4, 4);
        PutLE(out, 0, 8);
    }
    return out;
}

Bytes RandomBytes(CRandom& rng)
{
    Bytes out;
    while (out.size() < LARGE)
        PutLE(out, rng.Next(), 8);
    return out;
}

const Bytes& Corpus(const std::string& kind)
{
    static const std::vector<std::pair<std::string, Bytes>> corpora = [] {
        CRandom rng(20240611);
        std::vector<std::pair<std::string, Bytes>> all;
        all.emplace_back("text", Text(rng));
        all.emplace_back("binary", Binary(rng));
        all.emplace_back("records", Records(rng));
        all.emplace_back("random", RandomBytes(rng));
        return all;
    }();
    for (const auto& [name, bytes] : corpora)
        if (name == kind)
            return bytes;
    throw std::invalid_argument(kind);
}

struct Row
{
    const char* corpus;
    std::size_t size;      // a prefix of the corpus
    std::size_t blockSize; // WHOLE: one block
    std::uint64_t total;   // sum of block lengths
    std::uint64_t hash;
};

void Fnv(std::uint64_t& hash, const unsigned char* bytes, std::size_t n)
{
    for (std::size_t i = 0; i < n; ++i)
        hash = (hash ^ bytes[i]) * 0x100000001B3ull;
}

// Compresses every block of the case, checks its round trip and returns the
// row the coder gives.
Row Measure(const Row& expected)
{
    const Bytes& corpus = Corpus(expected.corpus);
    const std::size_t step = expected.blockSize == WHOLE ? expected.size : expected.blockSize;
    Row actual = {expected.corpus, expected.size, expected.blockSize, 0, 0xCBF29CE484222325ull};
    for (std::size_t at = 0;; at += step)
    {
        const int n = static_cast<int>(std::min(step, expected.size - at));
        Bytes src(corpus.begin() + at, corpus.begin() + at + n);
        Bytes block(src.size() + CZRLzrwCompressor::COMPRESSION_MARGIN, FILL), back(src.size());
        CZRLzrwCompressor lzrw;
        lzrw.SetSource(src.data(), n);
        lzrw.SetDestination(block.data(), static_cast<int>(block.size()));
        const int length = lzrw.Compress();
        EXPECT_TRUE(length >= 4 && length <= n + 4) << at << " " << length;
        if (length < 4)
            break;
        Bytes lengthBytes;
        PutLE(lengthBytes, static_cast<std::uint64_t>(length), 4);
        Fnv(actual.hash, lengthBytes.data(), lengthBytes.size());
        Fnv(actual.hash, block.data(), static_cast<std::size_t>(length));
        actual.total += static_cast<std::uint64_t>(length);

        lzrw.SetSource(block.data(), length);
        lzrw.SetDestination(back.data(), n);
        EXPECT_EQ(n, lzrw.Decompress()) << at;
        EXPECT_TRUE(src == back) << expected.corpus << " " << expected.size << " at " << at;
        if (at + step >= expected.size)
            break;
    }
    return actual;
}

const Row kRows[] = {
    {"text", 0, WHOLE, 4, 0x7BCA1609933DA369ull},
    {"text", 16, WHOLE, 20, 0x7BA42DF106992DEFull},
    {"text", 17, WHOLE, 21, 0xCD1C1E7DE3605026ull},
    {"text", 257, WHOLE, 176, 0xBE110EFA089E75D8ull},
    {"text", 4097, WHOLE, 1690, 0xB5F3D850D33FEAB4ull},
    {"text", LARGE, WHOLE, 387571, 0x5EEAE906753051E3ull},
    {"text", 4097, 4096, 1694, 0xE1AB2AE7C5E58670ull},
    {"text", LARGE, 4096, 414362, 0xACAF312579EEEF41ull},
    {"text", LARGE, 65536, 389285, 0xF8BB428D0B5AD00Cull},

    {"binary", 0, WHOLE, 4, 0x7BCA1609933DA369ull},
    {"binary", 16, WHOLE, 20, 0xAF473CC588F6284Eull},
    {"binary", 17, WHOLE, 21, 0xDEFD8423E2AACC01ull},
    {"binary", 257, WHOLE, 208, 0x873F60188EE9210Eull},
    {"binary", 4097, WHOLE, 2626, 0xCD347F0B94C8DD93ull},
    {"binary", LARGE, WHOLE, 600868, 0x2700D321C69584EFull},
    {"binary", 4097, 4096, 2630, 0xBB8B014B5283AA3Full},
    {"binary", LARGE, 4096, 623852, 0x301025BA43FAEA6Dull},
    {"binary", LARGE, 65536, 602357, 0xAD493FBF4C525916ull},

    {"records", 0, WHOLE, 4, 0x7BCA1609933DA369ull},
    {"records", 16, WHOLE, 20, 0xCA045211C6A6EF50ull},
    {"records", 17, WHOLE, 21, 0xBFC40E79DDB309B3ull},
    {"records", 257, WHOLE, 168, 0x036FBB073515A39Cull},
    {"records", 4097, WHOLE, 1686, 0x75ABA37EA5FCA3E3ull},
    {"records", LARGE, WHOLE, 354280, 0x831F3185B4FF013Full},
    {"records", 4097, 4096, 1691, 0x989FF06C0F62501Eull},
    {"records", LARGE, 4096, 391662, 0xC4255C9AD98CD68Full},
    {"records", LARGE, 65536, 356630, 0x2EFC00303C9B78CDull},

    {"random", 0, WHOLE, 4, 0x7BCA1609933DA369ull},
    {"random", 16, WHOLE, 20, 0x69ADE69499475DDCull},
    {"random", 17, WHOLE, 21, 0x0E89E4367AD6DAB8ull},
    {"random", 257, WHOLE, 261, 0x9B8D2F6DA2953D2Aull},
    {"random", 4097, WHOLE, 4101, 0x754BD140AFEF981Bull},
    {"random", LARGE, WHOLE, 1000007, 0xE5535F3BD0106690ull},
    {"random", 4097, 4096, 4105, 0x8062AAA1D473F8FFull},
    {"random", LARGE, 4096, 1000983, 0x8DB95612A99D56B9ull},
    {"random", LARGE, 65536, 1000067, 0xBC709A12F090CE96ull},
};
} // namespace

TEST(LzrwBlockChecksums, BlocksAreByteIdenticalToTheRecordedOnes)
{
    for (const Row& row : kRows)
    {
        const Row actual = Measure(row);
        char line[160]; // the row this coder gives, in the table's form
        std::snprintf(line, sizeof(line), "{\"%s\", %zu, %zu, %llu, 0x%016llXull},", actual.corpus,
                      actual.size, actual.blockSize, static_cast<unsigned long long>(actual.total),
                      static_cast<unsigned long long>(actual.hash));
        EXPECT_TRUE(actual.total == row.total && actual.hash == row.hash) << line;
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

// Decodes into `capacity` bytes followed by guard bytes and compares with the
// item-by-item result; the guard bytes must stay untouched.
void ExpectDecodedAsItemByItem(Bytes block, std::size_t capacity)
{
    constexpr std::size_t GUARD = 64;
    Bytes out(capacity + GUARD, FILL);
    CZRLzrwCompressor lzrw;
    lzrw.SetSource(block.data(), static_cast<int>(block.size()));
    lzrw.SetDestination(out.data(), static_cast<int>(capacity));
    const int count = lzrw.Decompress();
    const Bytes expected = DecodeItemByItem(block, capacity);
    ASSERT_EQ(static_cast<int>(expected.size()), count) << block.size() << " " << capacity;
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), out.begin())) << block.size() << " " << capacity;
    EXPECT_EQ(Bytes(GUARD, FILL), Bytes(out.end() - GUARD, out.end())) << block.size() << " " << capacity;
}
} // namespace

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

    std::mt19937 rng(7);
    for (const char* kind : {"text", "binary", "records"})
    {
        const Bytes& corpus = Corpus(kind);
        const Bytes src(corpus.begin(), corpus.begin() + 20000);
        Bytes block(src.size() + CZRLzrwCompressor::COMPRESSION_MARGIN);
        CZRLzrwCompressor lzrw;
        lzrw.SetSource(const_cast<unsigned char*>(src.data()), static_cast<int>(src.size()));
        lzrw.SetDestination(block.data(), static_cast<int>(block.size()));
        block.resize(static_cast<std::size_t>(lzrw.Compress()));
        for (int trial = 0; trial < 400; ++trial)
        {
            Bytes damaged(block.begin(), block.end() - (trial % 4 == 0 ? rng() % 300 : 0));
            for (int flips = trial % 3; flips > 0; --flips)
                damaged[4 + rng() % (damaged.size() - 4)] ^= static_cast<unsigned char>(1 + rng() % 255);
            ExpectDecodedAsItemByItem(damaged, trial % 5 == 0 ? src.size() : rng() % (src.size() + 1000));
        }
    }
}
