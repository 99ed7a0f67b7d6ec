// LZRW1-A coder and decoder. Positions are int offsets from the block starts.
#include "Common/Serialisation/ZRLzrwCompressor.h"

#include <algorithm>
#include <climits>
#include <cstdint>

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
// Highest output position at which a pass may start: one more pass and the next
// control word's place keep every position within int.
constexpr int HIGHEST_PASS_START = INT_MAX - CZRLzrwCompressor::COMPRESSION_MARGIN - CONTROL_BYTES;

static_assert(CZRLzrwCompressor::COMPRESSION_MARGIN == ITEMS_PER_GROUP * COPY_ITEM_BYTES,
              "one pass of copy items must fit into the margin");
static_assert(MAX_OFFSET == (OFFSET_HIGH_BITS | OFFSET_LOW_BITS), "offsets have 12 bits");
static_assert(MAX_MATCH - 1 == LOW_NIBBLE, "length - 1 fills the low nibble");
static_assert((HASH_ENTRIES & HASH_MASK) == 0, "the table size is a power of two");
// 40543 times the largest 16-bit key still fits into 32 bits.
static_assert(HASH_MULTIPLIER * 0xFFFFull <= UINT32_MAX, "hash product fits 32 bits");

std::uint32_t HashOf(const Byte* s)
{
    const std::uint32_t key =
        ((((std::uint32_t{s[0]} << HASH_BYTE_SHIFT) ^ s[1]) << HASH_BYTE_SHIFT) ^ s[2]);
    return ((HASH_MULTIPLIER * key) >> HASH_RESULT_SHIFT) & HASH_MASK;
}

void StoreControl(Byte* at, std::uint32_t control)
{
    at[0] = static_cast<Byte>(control);
    at[1] = static_cast<Byte>(control >> 8);
}

// Encodes a source as groups behind the block header. Holds the output position,
// the open control word and its reserved place; every write stays below `limit`
// plus one pass of copy items.
class CGroupEncoder
{
public:
    CGroupEncoder(const Byte* src, int size, Byte* dst) : m_pSrc(src), m_nSize(size), m_pDst(dst)
    {
        // Every entry starts at the source start, so equal input gives an equal
        // block and no candidate ever lies before the source.
        MEM_Zero(m_aTable, sizeof(m_aTable));
    }

    // The block length, or -1 when the output had passed `limit` at the start
    // of a pass (the data did not shrink enough).
    int Run(int limit)
    {
        const int fullPassEnd = m_nSize - FULL_PASS_SPAN; // beyond: one item per pass
        const int searchEnd = m_nSize - MAX_MATCH;        // beyond: literals only
        for (;;)
        {
            if (m_nOut > limit)
                return -1;
            if (m_nPos <= fullPassEnd)
                CodeFullPass();
            else if (m_nPos <= searchEnd)
                CodeItem();
            else if (m_nPos < m_nSize)
                CodeLiteral();
            else
                break;
            if (m_nCount == ITEMS_PER_GROUP)
                CloseGroup();
        }
        return Finish();
    }

private:
    void CodeFullPass()
    {
        for (int i = 0; i < ITEMS_PER_GROUP; ++i)
            CodeItem();
    }

    void CodeLiteral()
    {
        m_pDst[m_nOut++] = m_pSrc[m_nPos++];
        m_nControl >>= 1;
        ++m_nCount;
    }

    // Needs MAX_MATCH source bytes from the current position on.
    void CodeItem()
    {
        const Byte* s = m_pSrc + m_nPos;
        std::uint32_t& entry = m_aTable[HashOf(s)];
        const std::uint32_t candidate = entry;
        entry = static_cast<std::uint32_t>(m_nPos);
        // The table holds only positions already passed, so candidate <= position.
        const std::uint32_t offset = static_cast<std::uint32_t>(m_nPos) - candidate;
        const Byte* c = m_pSrc + candidate;
        if (offset > MAX_OFFSET || offset == 0 || c[0] != s[0] || c[1] != s[1] || c[2] != s[2])
        {
            CodeLiteral();
            return;
        }
        int length = MIN_MATCH;
        while (length < MAX_MATCH && c[length] == s[length])
            ++length;
        m_pDst[m_nOut++] =
            static_cast<Byte>(((offset & OFFSET_HIGH_BITS) >> OFFSET_HIGH_SHIFT) + length - 1);
        m_pDst[m_nOut++] = static_cast<Byte>(offset & OFFSET_LOW_BITS);
        m_nPos += length;
        m_nControl = (m_nControl >> 1) | COPY_BIT;
        ++m_nCount;
    }

    void CloseGroup()
    {
        StoreControl(m_pDst + m_nControlAt, m_nControl);
        m_nControlAt = m_nOut;
        m_nOut += CONTROL_BYTES;
        m_nControl = 0;
        m_nCount = 0;
    }

    // Stores the last control word with its bits moved down; drops its place
    // when no item follows it.
    int Finish()
    {
        StoreControl(m_pDst + m_nControlAt, m_nControl >> (ITEMS_PER_GROUP - m_nCount));
        if (m_nControlAt + CONTROL_BYTES == m_nOut)
            m_nOut -= CONTROL_BYTES;
        return m_nOut;
    }

    const Byte* const m_pSrc;
    const int m_nSize;
    Byte* const m_pDst;
    std::uint32_t m_aTable[HASH_ENTRIES];
    int m_nPos = 0;
    int m_nControlAt = HEADER_BYTES;
    int m_nOut = HEADER_BYTES + CONTROL_BYTES;
    std::uint32_t m_nControl = 0;
    int m_nCount = 0;
};

// Decodes groups from [in, inEnd) into dst[0, capacity); stops before the first
// item that is cut off, would overflow the destination or copies from outside
// the output produced so far. Returns the number of bytes produced.
int DecodeGroups(const Byte* in, const Byte* inEnd, Byte* dst, int capacity)
{
    int out = 0;
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
