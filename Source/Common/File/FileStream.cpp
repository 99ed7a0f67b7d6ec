#include "Common/File/FileStream.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

namespace
{
constexpr std::size_t kFormatBufferSize = 512;
constexpr std::uint64_t kMaxPosition = static_cast<std::uint64_t>(INT64_MAX);

// The platform flags of a C runtime mode; false for a mode that is none.
bool ParseMode(const char* mode, std::uint32_t& flags)
{
    using namespace ZRPlatform;
    switch (mode[0])
    {
    case 'r': flags = kFileRead; break;
    case 'w': flags = kFileWrite | kFileCreate | kFileTruncate; break;
    case 'a': flags = kFileWrite | kFileCreate | kFileAppend; break;
    default: return false;
    }
    for (const char* c = mode + 1; *c != '\0'; ++c)
    {
        if (*c == '+')
            flags |= kFileRead | kFileWrite;
        else if (*c != 'b' && *c != 't')
            return false;
    }
    return true;
}
} // namespace

CFileStream::~CFileStream()
{
    if (IsOpen())
        Close();
}

bool CFileStream::Open(const char* path, const char* mode)
{
    std::uint32_t flags = 0;
    if (IsOpen() || path == nullptr || mode == nullptr || !ParseMode(mode, flags))
    {
        ZRPlatform::SetLastError(ZRPlatform::Error::InvalidArgument);
        return false;
    }
    std::uint64_t size = 0;
    m_file = ZRPlatform::FileOpen(path, flags, &size);
    if (!IsOpen())
        return false;
    m_borrowed = false;
    m_canRead = (flags & ZRPlatform::kFileRead) != 0;
    m_canWrite = (flags & ZRPlatform::kFileWrite) != 0;
    m_append = (flags & ZRPlatform::kFileAppend) != 0;
    m_size = size;
    m_position = m_append ? size : 0;
    DropBuffer();
    return true;
}

void CFileStream::OpenBorrowed(ZRPlatform::FileHandle file, std::uint64_t size)
{
    m_file = file;
    m_borrowed = true;
    m_canRead = true;
    m_canWrite = false;
    m_append = false;
    m_size = size;
    m_position = 0;
    DropBuffer();
}

void CFileStream::OpenMemory(const void* data, std::uint64_t size)
{
    OpenBorrowed(ZRPlatform::kInvalidFile, size);
    m_memory = static_cast<const unsigned char*>(data);
}

bool CFileStream::Close()
{
    if (!IsOpen())
        return false;
    const bool flushed = FlushBuffer();
    const ZRPlatform::Error cause = ZRPlatform::GetLastError();
    const bool closed = m_borrowed || ZRPlatform::FileClose(m_file);
    m_borrowed = false;
    if (!flushed)
        ZRPlatform::SetLastError(cause);   // the first failure is the cause
    m_file = ZRPlatform::kInvalidFile;
    m_memory = nullptr;
    DropBuffer();
    return flushed && closed;
}

std::size_t CFileStream::Read(void* buffer, std::size_t size)
{
    if (!m_canRead || (m_dirty && !FlushBuffer()))
    {
        if (!m_canRead)
            ZRPlatform::SetLastError(ZRPlatform::Error::AccessDenied);
        return 0;
    }
    auto* target = static_cast<unsigned char*>(buffer);
    std::size_t done = ReadThroughBuffer(target, size);
    if (done < size && size - done >= kDirectReadSize)
    {
        // A large rest goes straight into the caller's buffer.
        const std::size_t read = ReadAt(m_position, target + done, size - done);
        m_position += read;
        done += read;
    }
    while (done < size && Refill())
        done += ReadThroughBuffer(target + done, size - done);
    return done;
}

std::size_t CFileStream::ReadThroughBuffer(unsigned char* target, std::size_t size)
{
    if (m_dirty || m_position < m_bufferStart || m_position >= m_bufferStart + m_bufferFill)
        return 0;
    const std::size_t offset = static_cast<std::size_t>(m_position - m_bufferStart);
    const std::size_t count = std::min(size, m_bufferFill - offset);
    std::memcpy(target, m_buffer.get() + offset, count);
    m_position += count;
    return count;
}

// False at the end of the file or on an error.
bool CFileStream::Refill()
{
    if (!Reserve())
        return false;
    const std::size_t read = ReadAt(m_position, m_buffer.get(), kBufferSize);
    m_bufferStart = m_position;
    m_bufferFill = read;
    return read > 0;
}

std::size_t CFileStream::ReadAt(std::uint64_t position, unsigned char* target, std::size_t size) const
{
    std::size_t read = 0;
    if (m_memory == nullptr)
        ZRPlatform::FileReadAt(m_file, position, target, size, &read);
    else if (position < m_size)
    {
        read = static_cast<std::size_t>(std::min<std::uint64_t>(size, m_size - position));
        std::memcpy(target, m_memory + position, read);
    }
    return read;
}

std::size_t CFileStream::Write(const void* buffer, std::size_t size)
{
    if (!m_canWrite)
    {
        ZRPlatform::SetLastError(ZRPlatform::Error::AccessDenied);
        return 0;
    }
    if (m_append)
        m_position = KnownSize();
    if (size == 0)
        return 0;
    // Read bytes would be stale after the write; pending bytes elsewhere, or too
    // many to add these to, go out first.
    if (!m_dirty)
        DropBuffer();
    else if ((m_position != m_bufferStart + m_bufferFill || m_bufferFill + size > kBufferSize) &&
             !FlushBuffer())
        return 0;
    if (size >= kBufferSize || !Reserve())
    {
        std::size_t written = 0;
        ZRPlatform::FileWriteAt(m_file, m_position, buffer, size, &written);
        m_position += written;
        m_size = std::max(m_size, m_position);
        return written;
    }
    if (!m_dirty)
    {
        m_bufferStart = m_position;
        m_bufferFill = 0;
        m_dirty = true;
    }
    std::memcpy(m_buffer.get() + m_bufferFill, buffer, size);
    m_bufferFill += size;
    m_position += size;
    m_size = std::max(m_size, m_position);
    return size;
}

bool CFileStream::Gets(char* buffer, int size)
{
    int length = 0;
    char c = 0;
    while (length < size - 1 && Read(&c, 1) == 1)
    {
        buffer[length++] = c;
        if (c == '\n')
            break;
    }
    buffer[length] = '\0';
    return length > 0;
}

int CFileStream::VPrintf(const char* format, va_list args)
{
    char small[kFormatBufferSize];
    va_list copy;
    va_copy(copy, args);
    const int length = std::vsnprintf(small, sizeof small, format, copy);
    va_end(copy);
    if (length < 0)
    {
        ZRPlatform::SetLastError(ZRPlatform::Error::InvalidArgument);
        return -1;
    }
    const char* text = small;
    std::string large;
    if (static_cast<std::size_t>(length) >= sizeof small)
    {
        large.resize(static_cast<std::size_t>(length));
        std::vsnprintf(&large[0], large.size() + 1, format, args);
        text = large.c_str();
    }
    const auto count = static_cast<std::size_t>(length);
    return Write(text, count) == count ? length : -1;
}

bool CFileStream::Flush() { return IsOpen() && FlushBuffer(); }

bool CFileStream::Seek(std::int64_t offset, int origin)
{
    std::int64_t base = 0;
    if (origin == SEEK_CUR)
        base = static_cast<std::int64_t>(m_position);
    else if (origin == SEEK_END)
    {
        std::uint64_t size = 0;
        if (!FlushBuffer() || (m_memory == nullptr && !ZRPlatform::FileGetSize(m_file, &size)))
            return false;
        if (m_memory != nullptr)
            size = m_size;
        m_size = size;
        base = static_cast<std::int64_t>(size);
    }
    if ((offset < 0 && base + offset < 0) ||
        (offset > 0 && static_cast<std::uint64_t>(offset) > kMaxPosition - static_cast<std::uint64_t>(base)))
    {
        ZRPlatform::SetLastError(ZRPlatform::Error::InvalidArgument);
        return false;
    }
    const auto target = static_cast<std::uint64_t>(base + offset);
    if (m_dirty && target != m_position && !FlushBuffer())
        return false;
    m_position = target;
    return true;
}

std::uint64_t CFileStream::KnownSize() const { return m_size; }

// The buffer is allocated on first use and kept for the slot's next stream.
bool CFileStream::Reserve()
{
    if (!m_buffer)
        m_buffer.reset(new (std::nothrow) unsigned char[kBufferSize]);
    return m_buffer != nullptr;
}

bool CFileStream::FlushBuffer()
{
    if (!m_dirty)
        return true;
    std::size_t written = 0;
    const bool done =
        ZRPlatform::FileWriteAt(m_file, m_bufferStart, m_buffer.get(), m_bufferFill, &written);
    DropBuffer();
    return done;
}

void CFileStream::DropBuffer()
{
    m_bufferStart = 0;
    m_bufferFill = 0;
    m_dirty = false;
}
