// CZRBitArray: random access to single bits held in a byte buffer.
#pragma once

#include "Common/Core/ZRExport.h"

// Bit k lives in byte k / 8 under the mask 0x80 >> (k % 8): the first bit of a
// byte is its most significant bit. The size counts the bytes in use, the bit
// count the bits in use; sizing always reallocates to exactly the bytes asked
// for, keeps the old bytes that still fit and zero-fills the rest. Negative
// sizes and bit counts are taken as 0. Reading a bit outside the buffer gives
// false. Two arrays are equal when their used bytes are; bit counts are not
// compared.
class ZR_COMMON_API CZRBitArray
{
public:
    CZRBitArray();
    // SetNumBits(numBits).
    explicit CZRBitArray(int numBits);
    CZRBitArray(const CZRBitArray& other);
    virtual ~CZRBitArray();

    // Takes the other's used bytes, size and bit count; never shrinks the buffer.
    const CZRBitArray& operator=(const CZRBitArray& other);
    bool operator==(const CZRBitArray& other) const;
    bool operator!=(const CZRBitArray& other) const;

    int GetSize() const;
    int GetNumBits() const;
    // Exactly bytes bytes; the bit count becomes bytes * 8.
    void SetSize(int bytes);
    // n / 8 + 1 bytes (one spare byte when n is a multiple of 8); bit count n.
    void SetNumBits(int n);
    // Zeroes the used bytes; size and bit count stay.
    void Clear();

    bool GetBit(int i) const;
    // Sets bit i to value. An index at or beyond the bit count first grows the
    // array so that the count includes bit i (SetNumBits(i + 1)). Negative
    // indexes are ignored.
    void SetBit(int i, bool value);

    const unsigned char* GetBuffer() const;
    // Grows the buffer to at least minBytes and returns it for direct writing.
    unsigned char* QueryBuffer(int minBytes);
    // Closes a QueryBuffer; nothing to do.
    void ReleaseBuffer();

private:
    bool IsInBuffer(int bit) const;

    unsigned char* m_pBuffer;
    int m_nSize;
    int m_nNumBits;
};
