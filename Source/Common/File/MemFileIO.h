// CMemFileIO: a CFileIO whose contents live in memory.
#pragma once

#include <cstdint>

#include "Common/Core/ZRExport.h"
#include "Common/File/FileIO.h"

// A file in a growable memory buffer. It replaces the raw block operations and
// the positioning of CFileIO, so every typed value and every text reader and
// writer of CFileIO works on memory, and code written against CFileIO* can
// serialise into a buffer. No file system is involved (the base's handle stays
// 0; ReadLine, which needs one, throws 4501).
//
// The buffer is the object's own (allocated with MEM_Alloc, grown in whole grow
// steps, released by Close) or attached from outside, which the object never
// releases; a growable attached buffer must come from MEM_Alloc because it is
// grown with MEM_Realloc. Reads never throw: the end of the data is a false
// result, a read that gets at least one byte is true. So a scalar cut short by
// the end counts as read (its missing bytes keep their old values), a vector
// when each component got a byte; a text whose stored length runs past the end
// is false, as on a disk file. Writes past the capacity grow the buffer or,
// with a grow size of 0, throw CMemFileIOException 4600.
// Copies are independent: a copy owns a copy of the contents. One thread at a time.
class ZR_COMMON_API CMemFileIO : public CFileIO
{
public:
    static constexpr unsigned long DEFAULT_GROW_SIZE = 1024;

    // Empty; the first write allocates.
    explicit CMemFileIO(unsigned long growSize = DEFAULT_GROW_SIZE);
    // Attach(buffer, capacity, growSize).
    CMemFileIO(unsigned char* buffer, unsigned long capacity, unsigned long growSize);
    CMemFileIO(const CMemFileIO& other);
    CMemFileIO& operator=(const CMemFileIO& other);
    // Releases an owned buffer.
    ~CMemFileIO() override;

    // Uses buffer without taking ownership, from position 0. With a grow size
    // it is an empty area to write into (size 0); with grow size 0 it is fixed
    // contents to read (size = capacity). A buffer held before is not released.
    void Attach(unsigned char* buffer, unsigned long capacity, unsigned long growSize);
    // Hands the buffer to the caller (release one allocated here with MEM_Free)
    // and forgets it; the grow size stays.
    unsigned char* Detach();
    // Grows the buffer to n if needed, pulls the position back to n, size = n.
    void SetSize(unsigned long n);

    // Does nothing; true.
    bool Open(const char* name, int mode) override;
    // Empties the file, releasing an owned buffer; the grow size becomes 0 too,
    // so only Attach makes the object writable again.
    bool Close() override;
    bool Flush() override;

    using CFileIO::Read;
    using CFileIO::Write;
    bool Read(void* buffer, unsigned long size) override;
    bool Write(const void* buffer, unsigned long size) override;
    // Not supported: 0, nothing moves.
    int ReadRaw(void* buffer, unsigned long size, unsigned long count) override;
    int WriteRaw(const void* buffer, unsigned long size, unsigned long count) override;
    // Not supported: false, nothing written.
    bool Printf(const char* format, ...) override;

    bool IsOpened() override;
    bool IsEof() override;
    // Any position, beyond the end included; a write there leaves the bytes in
    // between as the buffer held them.
    bool SetFilePointerPos(unsigned long position) override;
    // Throws 4602 for a position below 0 (or beyond 32 bits).
    bool Skip(long delta) override;
    unsigned long GetFilePointerPos() override;
    unsigned long GetSize() override;

    // The capacity.
    virtual unsigned long GetBufferSize();
    virtual unsigned char* GetBuffer();
    operator void*();

private:
    void GrowFile(std::uint64_t needed);
    void CopyFrom(const CMemFileIO& other);

    static void* Alloc(std::uint32_t size);
    static void* Realloc(void* block, std::uint32_t size);
    static void Memcpy(void* dst, const void* src, std::uint32_t size);
    static void Free(void* block);

    [[noreturn]] void ThrowException(unsigned long code, unsigned long line, const char* file,
                                     const char* message) const;

    std::uint32_t m_nGrowSize;
    std::uint32_t m_nPosition;
    std::uint32_t m_nCapacity;
    std::uint32_t m_nSize;
    unsigned char* m_pBuffer;
    bool m_bOwnsBuffer;
};
