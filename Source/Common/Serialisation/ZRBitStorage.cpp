#include "Common/Serialisation/ZRBitStorage.h"

#include "Common/Core/ZRMemFunctions.h"

namespace ZRBitStorage
{

void Resize(unsigned char*& buffer, int& size, int& numBits, int bytes)
{
    if (bytes < 0)
        bytes = 0;
    unsigned char* resized = bytes > 0 ? new unsigned char[bytes] : nullptr;
    if (resized != nullptr)
    {
        MEM_Zero(resized, bytes);
        if (buffer != nullptr)
            MEM_Copy(resized, buffer, size < bytes ? size : bytes);
    }
    delete[] buffer;
    buffer = resized;
    size = bytes;
    numBits = bytes * kBitsPerByte;
}

void SetNumBits(unsigned char*& buffer, int& size, int& numBits, int n)
{
    if (n < 0)
        n = 0;
    Resize(buffer, size, numBits, n / kBitsPerByte + 1);
    numBits = n;
}

void Assign(unsigned char*& buffer, int& size, int& numBits, const unsigned char* otherBuffer,
            int otherSize, int otherBits)
{
    if (otherSize > 0)
    {
        if (size < otherSize)
            Resize(buffer, size, numBits, otherSize);
        MEM_Copy(buffer, otherBuffer, otherSize);
    }
    size = otherSize;
    numBits = otherBits;
}

bool Equal(const unsigned char* a, int sizeA, const unsigned char* b, int sizeB)
{
    return sizeA == sizeB && (sizeA == 0 || MEM_Compare(a, b, sizeA) == 0);
}

void Clear(unsigned char* buffer, int size)
{
    if (buffer != nullptr)
        MEM_Zero(buffer, size);
}

} // namespace ZRBitStorage
