// The byte storage that CZRBitArray and CZRBitStream share: a buffer of size
// bytes holding numBits bits, bit k in byte k / 8 under the mask 0x80 >> (k % 8).
// Internal to the library.
#pragma once

namespace ZRBitStorage
{
constexpr int kBitsPerByte = 8;
constexpr unsigned char kFirstBitMask = 0x80;

inline unsigned char MaskOf(int bit) { return kFirstBitMask >> (bit % kBitsPerByte); }

// Always reallocates: exactly bytes zero-filled bytes (a negative count is 0)
// keeping the bytes both sizes share; numBits becomes bytes * 8.
void Resize(unsigned char*& buffer, int& size, int& numBits, int bytes);
// Resize(n / 8 + 1), then numBits = n (a negative n is 0).
void SetNumBits(unsigned char*& buffer, int& size, int& numBits, int n);
// Copies the other's bytes (growing only when this buffer is smaller), size and count.
void Assign(unsigned char*& buffer, int& size, int& numBits, const unsigned char* otherBuffer,
            int otherSize, int otherBits);
// Equal sizes and equal bytes; the bit counts do not matter.
bool Equal(const unsigned char* a, int sizeA, const unsigned char* b, int sizeB);
void Clear(unsigned char* buffer, int size);
} // namespace ZRBitStorage
