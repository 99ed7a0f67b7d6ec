// LZRW1-A coder and decoder. Both work word-wise where the block allows it and
// give exactly the bytes of the item-by-item algorithm.
#include "Common/Serialisation/ZRLzrwCompressor.h"

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "Common/Core/ZRMemFunctions.h"

namespace
{
using Byte = unsigned char;

constexpr Byte FLAG_GROUPS = 0;
constexpr Byte FLAG_COPY = 1;
constexpr int HEADER_BYTES = 4; // the flag byte and three unwritten bytes
constexpr int CONTROL_BYTES = 2;
constexpr int COPY_ITEM_BYTES = 2;
constexpr int ITEMS_PER_GROUP = 16;
constexpr std::uint32_t COPY_BIT = 0x8000; // the newest item's bit before shifting down

constexpr int MIN_MATCH = 3;
constexpr int MAX_MATCH = 16;
// The first MIN_MATCH bytes of a difference of 8-byte loads in memory order.
constexpr std::uint64_t MIN_MATCH_BYTES = (1ull << (8 * MIN_MATCH)) - 1;
constexpr std::uint32_t MAX_OFFSET = 4095;
constexpr std::uint32_t OFFSET_HIGH_BITS = 0xF00;
constexpr std::uint32_t OFFSET_LOW_BITS = 0xFF;
constexpr int OFFSET_HIGH_SHIFT = 4; // offset bits 8-11 into the high nibble
constexpr Byte HIGH_NIBBLE = 0xF0;
constexpr Byte LOW_NIBBLE = 0x0F;

constexpr int HASH_ENTRIES = 4096;
constexpr std::uint32_t HASH_MASK = HASH_ENTRIES - 1;
constexpr std::uint32_t HASH_MULTIPLIER = 40543;
constexpr int HASH_BYTE_SHIFT = 4;
constexpr int HASH_RESULT_SHIFT = 4;

// A pass of 16 items may consume this many bytes, so it starts only while at
// least this many source bytes are left; searching reads MAX_MATCH bytes.
constexpr int FULL_PASS_SPAN = ITEMS_PER_GROUP * MAX_MATCH;
// The items of a full pass start within this many bytes of its start.
constexpr int FULL_PASS_STARTS = FULL_PASS_SPAN - MAX_MATCH + 1;
// Full passes take their hashes from a window computed ahead, in runs of 8
// positions; a hash reads 2 bytes beyond its position.
constexpr int HASH_WINDOW = 1024;
constexpr int HASH_RUN = 8;
constexpr int HASH_READ_AHEAD = 2;

// The fast decoder takes a whole group when what it reads and writes 16 bytes
// at a time stays inside the block (a control word, 16 copy items, 16 bytes
// beyond) and the destination (16 items of 16 bytes, 16 bytes beyond).
constexpr int WIDE_COPY_BYTES = 16;
constexpr int FAST_GROUP_INPUT = CONTROL_BYTES + ITEMS_PER_GROUP * COPY_ITEM_BYTES + WIDE_COPY_BYTES;
constexpr int FAST_GROUP_OUTPUT = ITEMS_PER_GROUP * MAX_MATCH + WIDE_COPY_BYTES;
constexpr std::uint32_t GROUP_SENTINEL = 1u << ITEMS_PER_GROUP;
// From this offset on, a copy moved in 4-byte quarters reads only bytes
// already produced. Shorter offsets repeat a pattern.
constexpr std::uint32_t QUARTER_COPY_OFFSET = 4;
// Highest output position at which a pass may start: one more pass and the next
// control word's place keep every position within int.
constexpr int HIGHEST_PASS_START = INT_MAX - CZRLzrwCompressor::COMPRESSION_MARGIN - CONTROL_BYTES;

static_assert(CZRLzrwCompressor::COMPRESSION_MARGIN == ITEMS_PER_GROUP * COPY_ITEM_BYTES,
              "one pass of copy items must fit into the margin");
static_assert(MAX_OFFSET == (OFFSET_HIGH_BITS | OFFSET_LOW_BITS), "offsets have 12 bits");
static_assert(MAX_MATCH - 1 == LOW_NIBBLE, "length - 1 fills the low nibble");
static_assert((HASH_ENTRIES & HASH_MASK) == 0, "the table size is a power of two");
static_assert(4 * QUARTER_COPY_OFFSET == WIDE_COPY_BYTES, "four quarters make a wide copy");
static_assert(FULL_PASS_SPAN - HASH_READ_AHEAD - HASH_RUN + 1 >= FULL_PASS_STARTS,
              "a window computed at a full pass covers its item starts");
// 40543 times the largest 16-bit key still fits into 32 bits.
static_assert(HASH_MULTIPLIER * 0xFFFFull <= UINT32_MAX, "hash product fits 32 bits");

// Unaligned loads and stores of fixed width; they compile to single moves.
std::uint64_t Load64(const Byte* at)
{
    std::uint64_t value;
    std::memcpy(&value, at, sizeof(value));
    return value;
}

void Copy16(Byte* to, const Byte* from)
{
    Byte chunk[16];
    std::memcpy(chunk, from, sizeof(chunk));
    std::memcpy(to, chunk, sizeof(chunk));
}

// The bytes of an 8-byte load in memory order: first byte lowest.
std::uint64_t InMemoryOrder(std::uint64_t value)
{
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    return __builtin_bswap64(value);
#else
    return value;
#endif
}

int CountTrailingZeros(std::uint64_t value) // value != 0
{
#if defined(__GNUC__) || defined(__clang__)
    return __builtin_ctzll(value);
#else
    int count = 0;
    for (; (value & 1) == 0; value >>= 1)
        ++count;
    return count;
#endif
}

// The number of equal leading bytes (0-8) of two 8-byte loads put in memory
// order by InMemoryOrder and XORed. The top bit keeps the count defined for a
// difference of 0, and the comparison adds the 64th bit that makes it 8.
std::size_t EqualLeadingBytes(std::uint64_t difference)
{
    constexpr std::uint64_t TOP_BIT = 1ull << 63;
    return static_cast<std::size_t>(CountTrailingZeros(difference | TOP_BIT) + (difference == 0)) / 8;
}

// The hash of the three bytes at the low end of `bytes` (memory order):
// ((b0 * 16 XOR b1) * 16 XOR b2) times the multiplier, bits 4-15. Only the low
// 16 bits of the key reach those bits, so b0 needs no mask.
std::uint32_t HashOf(std::uint64_t bytes)
{
    const auto v = static_cast<std::uint32_t>(bytes);
    const std::uint32_t key = (v << (2 * HASH_BYTE_SHIFT)) ^
                              ((v >> (8 - HASH_BYTE_SHIFT)) & (0xFF << HASH_BYTE_SHIFT)) ^ ((v >> 16) & 0xFF);
    return ((HASH_MULTIPLIER * key) >> HASH_RESULT_SHIFT) & HASH_MASK;
}

// The hashes of HASH_WINDOW positions from `at` on, fewer when `available`
// bytes from `at` on do not reach HASH_READ_AHEAD beyond them; the count is a
// multiple of HASH_RUN, which is returned. Runs of positions in 16-bit
// arithmetic, which compilers vectorise: bits 4-15 of the 16-bit product are
// the hash.
std::ptrdiff_t HashWindow(const Byte* at, std::ptrdiff_t available, std::uint16_t* hashes)
{
    std::ptrdiff_t count = std::min<std::ptrdiff_t>(HASH_WINDOW, available - HASH_READ_AHEAD);
    count &= ~std::ptrdiff_t{HASH_RUN - 1};
    for (std::ptrdiff_t i = 0; i < count; i += HASH_RUN)
        for (int j = 0; j < HASH_RUN; ++j)
        {
            const Byte* b = at + i + j;
            const auto key =
                static_cast<std::uint16_t>((b[0] << (2 * HASH_BYTE_SHIFT)) ^ (b[1] << HASH_BYTE_SHIFT) ^ b[2]);
            const auto product = static_cast<std::uint16_t>(key * HASH_MULTIPLIER);
            hashes[i + j] = static_cast<std::uint16_t>(product >> HASH_RESULT_SHIFT);
        }
    return count;
}

void StoreControl(Byte* at, std::uint32_t control)
{
    at[0] = static_cast<Byte>(control);
    at[1] = static_cast<Byte>(control >> 8);
}

// Codes one item at s, which has MAX_MATCH source bytes from it on: a copy
// when the table's candidate lies 1 to 4095 bytes back and its first three
// bytes equal those at s, else a literal. The table holds source positions
// already passed.
inline void CodeItem(const Byte* src, std::uint32_t* table, std::uint32_t hash, const Byte*& s, Byte*& out,
                     std::uint32_t& control)
{
    const std::uint64_t head = InMemoryOrder(Load64(s));
    std::uint32_t& entry = table[hash];
    const auto position = static_cast<std::uint32_t>(s - src);
    const std::uint32_t offset = position - entry; // 0 wraps around below
    const Byte* c = src + entry;
    entry = position;
    const std::uint64_t difference = head ^ InMemoryOrder(Load64(c));
    if (offset - 1 >= MAX_OFFSET || (difference & MIN_MATCH_BYTES) != 0)
    {
        *out++ = static_cast<Byte>(head);
        ++s;
        control >>= 1;
        return;
    }
    // Both halves are compared; the second counts only when the first is
    // equal throughout. Arithmetic, so that no branch depends on the data.
    const std::uint64_t rest = InMemoryOrder(Load64(s + 8)) ^ InMemoryOrder(Load64(c + 8));
    const std::size_t length =
        EqualLeadingBytes(difference) + (EqualLeadingBytes(rest) & (std::size_t{0} - (difference == 0)));
    out[0] = static_cast<Byte>(((offset & OFFSET_HIGH_BITS) >> OFFSET_HIGH_SHIFT) + length - 1);
    out[1] = static_cast<Byte>(offset & OFFSET_LOW_BITS);
    out += COPY_ITEM_BYTES;
    s += length;
    control = (control >> 1) | COPY_BIT;
}

// Encodes a source as groups behind the block header; every write stays below
// `limit` plus one pass of copy items.
class CGroupEncoder
{
public:
    CGroupEncoder(const Byte* src, int size, Byte* dst) : m_pSrc(src), m_pEnd(src + size), m_pDst(dst)
    {
        // Every entry starts at the source start, so equal input gives an equal
        // block and no candidate ever lies before the source.
        MEM_Zero(m_aTable, sizeof(m_aTable));
    }

    // The block length, or -1 when the output had passed `limit` at the start
    // of a pass (the data did not shrink enough).
    int Run(int limit)
    {
        const Byte* const src = m_pSrc;
        const Byte* const end = m_pEnd;
        std::uint32_t* const table = m_aTable;
        const Byte* s = src;
        Byte* out = m_pDst + HEADER_BYTES + CONTROL_BYTES;
        Byte* controlAt = m_pDst + HEADER_BYTES;
        Byte* const outLimit = m_pDst + limit;
        std::uint16_t hashes[HASH_WINDOW];
        const Byte* hashedFrom = s;
        const Byte* hashedTo = s;
        // Passes of 16 items while they cannot reach the last 256 bytes.
        while (end - s >= FULL_PASS_SPAN)
        {
            if (out > outLimit)
                return -1;
            if (hashedTo - s < FULL_PASS_STARTS)
            {
                hashedFrom = s;
                hashedTo = s + HashWindow(s, end - s, hashes);
            }
            std::uint32_t control = 0;
            for (int i = 0; i < ITEMS_PER_GROUP; ++i)
                CodeItem(src, table, hashes[s - hashedFrom], s, out, control);
            StoreControl(controlAt, control);
            controlAt = out;
            out += CONTROL_BYTES;
        }
        // Then one item per pass: searched, or a literal in the last 15 bytes.
        // The overrun test comes first, also before finding the source done.
        std::uint32_t control = 0;
        int count = 0;
        for (;;)
        {
            if (out > outLimit)
                return -1;
            if (s == end)
                break;
            if (end - s >= MAX_MATCH)
                CodeItem(src, table, HashOf(InMemoryOrder(Load64(s))), s, out, control);
            else
            {
                *out++ = *s++;
                control >>= 1;
            }
            if (++count == ITEMS_PER_GROUP)
            {
                StoreControl(controlAt, control);
                controlAt = out;
                out += CONTROL_BYTES;
                control = 0;
                count = 0;
            }
        }
        // The last word with its bits moved down; its place is dropped when no
        // item follows it.
        StoreControl(controlAt, control >> (ITEMS_PER_GROUP - count));
        if (count == 0)
            out -= CONTROL_BYTES;
        return static_cast<int>(out - m_pDst);
    }

private:
    const Byte* const m_pSrc;
    const Byte* const m_pEnd;
    Byte* const m_pDst;
    std::uint32_t m_aTable[HASH_ENTRIES];
};

// Moves 16 bytes from `offset` (4 or more) bytes back to `to`, in 4-byte
// quarters, each of which reads only bytes already in place.
void CopyQuarters(Byte* to, std::uint32_t offset)
{
    const Byte* from = to - offset;
    std::memcpy(to, from, QUARTER_COPY_OFFSET);
    std::memcpy(to + 4, from + 4, QUARTER_COPY_OFFSET);
    std::memcpy(to + 8, from + 8, QUARTER_COPY_OFFSET);
    std::memcpy(to + 12, from + 12, QUARTER_COPY_OFFSET);
}

// Writes 16 bytes that repeat the `period` (1-3) bytes before `to`: each
// 8-byte half is the period's bytes, starting at the right phase, times a
// multiplier with a 1 every period.
void CopyPattern(Byte* to, std::uint32_t period)
{
    struct sPattern
    {
        std::uint64_t mask;       // the low `period` bytes
        std::uint64_t multiplier; // 1 every `period` bytes
        int phase;                // 8 mod period, in bits
        int rotate;               // period - phase, in bits
    };
    static constexpr sPattern kPatterns[QUARTER_COPY_OFFSET] = {
        {0, 0, 0, 0},
        {0xFF, 0x0101010101010101ull, 0, 8},
        {0xFFFF, 0x0001000100010001ull, 0, 16},
        {0xFFFFFF, 0x0001000001000001ull, 16, 8},
    };
    const sPattern& pattern = kPatterns[period];
    const std::uint64_t unit = InMemoryOrder(Load64(to - period)) & pattern.mask;
    const std::uint64_t shifted = ((unit >> pattern.phase) | (unit << pattern.rotate)) & pattern.mask;
    const std::uint64_t halves[2] = {InMemoryOrder(unit * pattern.multiplier),
                                     InMemoryOrder(shifted * pattern.multiplier)};
    std::memcpy(to, halves, sizeof(halves));
}

// The careful decoder: one item at a time from a group start, with `out`
// bytes produced, stopping before the first item that is cut off, would
// overflow the destination or copies from outside the output produced so far.
// Returns the number of bytes produced.
int DecodeCarefully(const Byte* in, const Byte* inEnd, Byte* dst, int out, int capacity)
{
    std::uint32_t control = 0;
    int bitsLeft = 0;
    while (in != inEnd)
    {
        if (bitsLeft == 0)
        {
            if (inEnd - in < CONTROL_BYTES)
                break;
            control = in[0] | (std::uint32_t{in[1]} << 8);
            in += CONTROL_BYTES;
            bitsLeft = ITEMS_PER_GROUP;
            continue;
        }
        if (control & 1)
        {
            if (inEnd - in < COPY_ITEM_BYTES)
                break;
            const int offset = ((in[0] & HIGH_NIBBLE) << OFFSET_HIGH_SHIFT) | in[1];
            const int length = (in[0] & LOW_NIBBLE) + 1;
            if (offset == 0 || offset > out || length > capacity - out)
                break;
            in += COPY_ITEM_BYTES;
            // Byte by byte: the copy may overlap the bytes it produces.
            const Byte* from = dst + out - offset;
            for (int i = 0; i < length; ++i)
                dst[out + i] = from[i];
            out += length;
        }
        else
        {
            if (out == capacity)
                break;
            dst[out++] = *in++;
        }
        control >>= 1;
        --bitsLeft;
    }
    return out;
}

// Decodes groups from [in, inEnd) into dst[0, capacity). Whole groups far
// enough from both ends go the fast way: a group's literals come in runs found
// from the control word's trailing zeros and move 16 bytes at a time; every
// copy moves 16 bytes, in 4-byte quarters from offset 4 on (no branch on the
// offset there), else as a repeated pattern. Bytes moved beyond an item are
// rewritten by the items after it. The rest goes the careful way. The result
// is the same as decoding every item carefully.
int DecodeGroups(const Byte* in, const Byte* inEnd, Byte* dst, int capacity)
{
    Byte* out = dst;
    while (inEnd - in >= FAST_GROUP_INPUT && (dst + capacity) - out >= FAST_GROUP_OUTPUT)
    {
        // The sentinel above the 16 flags ends the group.
        std::uint32_t flags = in[0] | (std::uint32_t{in[1]} << 8) | GROUP_SENTINEL;
        in += CONTROL_BYTES;
        for (;;)
        {
            const int literals = CountTrailingZeros(flags);
            Copy16(out, in);
            in += literals;
            out += literals;
            flags >>= literals;
            if (flags == 1)
                break;
            const std::uint32_t offset = ((in[0] & HIGH_NIBBLE) << OFFSET_HIGH_SHIFT) | in[1];
            const int length = (in[0] & LOW_NIBBLE) + 1;
            // Offset 0 wraps around; a copy from before the output start stops.
            if (offset - 1 >= static_cast<std::uint32_t>(out - dst))
                return static_cast<int>(out - dst);
            in += COPY_ITEM_BYTES;
            if (offset >= QUARTER_COPY_OFFSET)
                CopyQuarters(out, offset);
            else
                CopyPattern(out, offset);
            out += length;
            flags >>= 1;
        }
    }
    return DecodeCarefully(in, inEnd, dst, static_cast<int>(out - dst), capacity);
}
} // namespace

CZRLzrwCompressor::CZRLzrwCompressor()
    : m_pSource(nullptr), m_nSourceSize(0), m_pDestination(nullptr), m_nDestinationSize(0)
{
}

CZRLzrwCompressor::CZRLzrwCompressor(const CZRLzrwCompressor& other) = default;
CZRLzrwCompressor& CZRLzrwCompressor::operator=(const CZRLzrwCompressor& other) = default;
CZRLzrwCompressor::~CZRLzrwCompressor() = default;

void CZRLzrwCompressor::SetSource(void* data, int size)
{
    m_pSource = data;
    m_nSourceSize = size;
}

void CZRLzrwCompressor::SetDestination(void* data, int size)
{
    m_pDestination = data;
    m_nDestinationSize = size;
}

int CZRLzrwCompressor::Compress()
{
    const int n = m_nSourceSize;
    if (n < 0 || m_nDestinationSize < 0 || !m_pDestination || (!m_pSource && n > 0))
        return -1;
    const auto* src = static_cast<const Byte*>(m_pSource);
    auto* dst = static_cast<Byte*>(m_pDestination);

    // A pass may start while the output is within n bytes, and only while one
    // more pass of copy items still fits into the destination.
    const int limit = std::min({n, m_nDestinationSize - COMPRESSION_MARGIN, HIGHEST_PASS_START});
    if (limit >= HEADER_BYTES + CONTROL_BYTES) // else not even the first pass may start
    {
        const int length = CGroupEncoder(src, n, dst).Run(limit);
        if (length >= 0)
        {
            dst[0] = FLAG_GROUPS;
            return length;
        }
    }
    if (m_nDestinationSize - HEADER_BYTES < n)
        return -1;
    if (n > 0)
        MEM_Move(dst + HEADER_BYTES, src, static_cast<std::size_t>(n));
    dst[0] = FLAG_COPY;
    return n + HEADER_BYTES;
}

int CZRLzrwCompressor::Decompress()
{
    if (!m_pSource || m_nSourceSize < HEADER_BYTES)
        return 0;
    const auto* src = static_cast<const Byte*>(m_pSource);
    auto* dst = static_cast<Byte*>(m_pDestination);
    const int capacity = dst ? std::max(m_nDestinationSize, 0) : 0;

    if (src[0] == FLAG_COPY)
    {
        const int count = std::min(m_nSourceSize - HEADER_BYTES, capacity);
        if (count > 0)
            MEM_Move(dst, src + HEADER_BYTES, static_cast<std::size_t>(count));
        return count;
    }
    return DecodeGroups(src + HEADER_BYTES, src + m_nSourceSize, dst, capacity);
}
