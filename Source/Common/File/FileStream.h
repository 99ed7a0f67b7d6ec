// CFileStream: the buffered stream behind one FILE_ handle, over a platform
// file with positioned transfers. It behaves as a C runtime stream does (modes
// "r", "w", "a" with "+", "b" and "t"; reads and writes through one buffer;
// a seek is free until the next transfer), with 64-bit positions. Its buffer
// is kept across Close and Open, so a slot that is used again allocates nothing.
//
// Internal: not exported. One thread at a time per stream.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "Common/Platform/Platform.h"

class CFileStream
{
public:
    CFileStream() = default;
    ~CFileStream();
    CFileStream(const CFileStream&) = delete;
    CFileStream& operator=(const CFileStream&) = delete;

    // False with the platform's error set (InvalidArgument for a bad mode).
    bool Open(const char* path, const char* mode);
    // A read-only stream over a platform file that someone else owns and closes
    // (several streams may share it: transfers name their offsets); size is the
    // file's length.
    void OpenBorrowed(ZRPlatform::FileHandle file, std::uint64_t size);
    // A read-only stream over size bytes of memory that someone else owns and
    // keeps alive until the stream is closed.
    void OpenMemory(const void* data, std::uint64_t size);
    bool IsOpen() const { return m_file != ZRPlatform::kInvalidFile || m_memory != nullptr; }
    // The memory a stream of OpenMemory reads; null for a file.
    const unsigned char* Memory() const { return m_memory; }
    // Writes what is buffered and closes (a borrowed file stays open); the stream
    // is closed even when that fails.
    bool Close();

    // Bytes transferred; fewer than size at the end of the file or on an error.
    std::size_t Read(void* buffer, std::size_t size);
    std::size_t Write(const void* buffer, std::size_t size);
    // One line as fgets reads it: up to LF (kept) or size - 1 bytes; false when
    // nothing could be read.
    bool Gets(char* buffer, int size);
    // Characters written, or -1 on a write error.
    int VPrintf(const char* format, va_list args);
    bool Flush();

    // origin: SEEK_SET, SEEK_CUR or SEEK_END. A position before the start fails.
    bool Seek(std::int64_t offset, int origin);
    std::uint64_t Tell() const { return m_position; }
    // The length as known to this stream: the file's length at the open, grown
    // by what this stream wrote; no call to the OS.
    std::uint64_t KnownSize() const;

private:
    static constexpr std::size_t kBufferSize = 16 * 1024;
    // Reads of at least this much bypass the buffer, as the C runtime's do.
    static constexpr std::size_t kDirectReadSize = 4 * 1024;

    bool Reserve();
    // Writes the dirty bytes of the buffer; the buffer is then empty.
    bool FlushBuffer();
    void DropBuffer();
    std::size_t ReadThroughBuffer(unsigned char* target, std::size_t size);
    // Bytes from position on, from the file or the memory; fewer at the end.
    std::size_t ReadAt(std::uint64_t position, unsigned char* target, std::size_t size) const;
    bool Refill();

    ZRPlatform::FileHandle m_file = ZRPlatform::kInvalidFile;
    bool m_canRead = false;
    bool m_canWrite = false;
    bool m_append = false;
    bool m_borrowed = false;   // the file is not ours to close
    const unsigned char* m_memory = nullptr;
    std::uint64_t m_position = 0;
    std::uint64_t m_size = 0;          // known length, see KnownSize
    std::unique_ptr<unsigned char[]> m_buffer;
    std::uint64_t m_bufferStart = 0;   // file offset of m_buffer[0]
    std::size_t m_bufferFill = 0;      // valid (clean) or pending (dirty) bytes
    bool m_dirty = false;
};
