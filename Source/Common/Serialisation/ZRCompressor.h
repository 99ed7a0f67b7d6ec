// IZRCompressor: the interface of the library's block compressors. The caller
// names a source block and a destination block, then compresses or decompresses
// and gets the number of bytes produced.
//
// The interface holds no data; copying it copies nothing. Its destructor is not
// virtual: compressors are never deleted through this interface, and the
// destructor is protected so that such a delete does not compile.
#pragma once

#include "Common/Core/ZRExport.h"

class ZR_COMMON_API IZRCompressor
{
public:
    IZRCompressor() = default;
    IZRCompressor(const IZRCompressor&) = default;
    IZRCompressor& operator=(const IZRCompressor&) = default;

    // Records the block that the next Compress or Decompress reads.
    virtual void SetSource(void* data, int size) = 0;
    // Records the block that the next Compress or Decompress writes.
    virtual void SetDestination(void* data, int size) = 0;
    // Compresses the source into the destination; returns the block length.
    virtual int Compress() = 0;
    // Decompresses the source block into the destination; returns the number
    // of bytes produced.
    virtual int Decompress() = 0;

protected:
    ~IZRCompressor() = default;
};
