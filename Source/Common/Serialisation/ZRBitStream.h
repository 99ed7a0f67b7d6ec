// CZRBitStream: bits written one after another and read back in the same order.
#pragma once

#include "Common/Core/ZRExport.h"
#include "Common/Core/ZRString.h"

// Same storage and bit order as CZRBitArray: bit k lives in byte k / 8 under
// the mask 0x80 >> (k % 8). Writing grows the buffer a zero byte at a time, so
// after BeginWrite only the set bits need storing; the number of bits written
// is GetPos(), the bit count is not trimmed. The reading and writing flags are
// informative only. Reading outside the buffer gives false, and negative
// sizes, bit counts and positions are taken as 0.
class ZR_COMMON_API CZRBitStream
{
public:
    CZRBitStream();
    // SetNumBits(numBits).
    explicit CZRBitStream(int numBits);
    CZRBitStream(const CZRBitStream& other);
    virtual ~CZRBitStream();

    // Takes the other's used bytes, size and bit count, then rewinds; the flags
    // are not copied. Never shrinks the buffer.
    const CZRBitStream& operator=(const CZRBitStream& other);
    // Equal when the used bytes are; bit counts are not compared.
    bool operator==(const CZRBitStream& other) const;
    bool operator!=(const CZRBitStream& other) const;

    int GetSize() const;
    int GetNumBits() const;
    // Exactly bytes bytes, old bytes kept as far as they fit, the rest zero;
    // the bit count becomes bytes * 8.
    void SetSize(int bytes);
    // n / 8 + 1 bytes (one spare byte when n is a multiple of 8); bit count n.
    void SetNumBits(int n);
    // Zeroes the used bytes; size and bit count stay.
    void Clear();

    // Clear, Rewind and the writing flag on.
    void BeginWrite();
    // Stores value at the position and advances one bit, growing the buffer
    // when the position is not below the bit count.
    void Write(bool value);
    void EndWrite();
    // Rewind and the reading flag on.
    void BeginRead();
    // The bit at the position; advances one bit.
    void Read(bool& value);
    void EndRead();
    bool IsReading() const;
    bool IsWriting() const;

    void Rewind();
    void SetPos(int bit);
    int GetPos() const;
    // Bit count minus position; negative when the position is past the count.
    int GetNumBitsLeft() const;

    // Appends one line per byte to out: "Byte %4.d: " with the byte's number
    // from 1, its bits as '1' and '0' from the most significant down, and a line
    // feed. numBytes -1 dumps the whole size; more than the size is cut to it.
    void Dump(CZRString& out, int numBytes) const;

private:
    void Advance();
    unsigned char CurrentMask() const;

    unsigned char* m_pBuffer;
    int m_nSize;
    int m_nNumBits;
    int m_nBytePos;
    int m_nBitPos;
    bool m_bReading;
    bool m_bWriting;
};
