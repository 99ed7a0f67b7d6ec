// CZRLzrwCompressor: LZRW1-A block compression, a fast single-pass Lempel-Ziv
// coder with a 4096-entry hash table, 12-bit offsets and matches of 3 to 16
// bytes, which falls back to a plain copy when the data does not shrink.
//
// Block layout (byte offsets from the block start):
//   0     flag: 0 = groups of items follow, 1 = the source bytes follow unchanged
//   1..3  not written; they keep whatever the destination held
//   4..   the source bytes (flag 1), or groups (flag 0): a 16-bit control word,
//         low byte first, then up to 16 items. Bit i of the word (bit 0 first)
//         describes item i: 0 = a literal byte, 1 = a 2-byte copy item whose
//         first byte holds offset bits 8-11 (high nibble) and length - 1 (low
//         nibble) and whose second byte holds offset bits 0-7. The offset
//         (1-4095) counts back from the current output position; lengths are
//         3-16. Every group but the last has 16 items; the last group's word has
//         its used bits in the low positions, and a last group without items is
//         not written.
//
// The same input always gives the same block. An instance only records the two
// blocks (copies record the same ones); compression works on a table local to
// the call, so separate instances may be used on separate threads at once.
#pragma once

#include "Common/Core/ZRExport.h"
#include "Common/Serialisation/ZRCompressor.h"

class ZR_COMMON_API CZRLzrwCompressor : public IZRCompressor
{
public:
    // Room beyond the source size that a compression destination needs for
    // the coder to run unshortened: it checks for overrun only between passes,
    // and a pass may write 16 two-byte copy items.
    static constexpr int COMPRESSION_MARGIN = 32;

    CZRLzrwCompressor();
    CZRLzrwCompressor(const CZRLzrwCompressor& other);
    CZRLzrwCompressor& operator=(const CZRLzrwCompressor& other);
    virtual ~CZRLzrwCompressor();

    void SetSource(void* data, int size) override;
    void SetDestination(void* data, int size) override;

    // Compresses the source (n bytes) into the destination and returns the
    // block length: at most n + 4, and exactly n + 4 for a copy block. With a
    // destination of n + COMPRESSION_MARGIN bytes or more, the block is the one
    // LZRW1-A defines for the input. With a smaller destination the coder stops
    // where a further pass might not fit and writes a copy block instead, so
    // the result is still a valid block. Never writes outside the destination
    // size. Returns -1 (the destination may hold scratch bytes) when even a
    // copy block does not fit, when the destination is null, when a size is
    // negative, or when the source is null with a size above 0.
    int Compress() override;

    // Decompresses the source block (its recorded size is the block length)
    // into the destination and returns the number of bytes produced. It never
    // reads outside the source block nor writes outside the destination size;
    // destination bytes beyond the count produced may be changed. The source
    // block must not overlap the destination unless it is a copy block.
    // A copy block (flag 1) yields its bytes after the 4-byte header, cut to
    // the destination size. Any other flag decodes groups, which stops at the
    // first item that is incomplete in the block, would write past the
    // destination, or copies with offset 0 or from before the start of the
    // output; a control word cut off by the block end also stops it. The
    // result is then the number of bytes produced before that item (whole
    // items only), never negative. A null or shorter than 4-byte source gives
    // 0; a null destination or a negative destination size counts as room for
    // 0 bytes.
    int Decompress() override;

private:
    void* m_pSource;
    int m_nSourceSize;
    void* m_pDestination;
    int m_nDestinationSize;
};
