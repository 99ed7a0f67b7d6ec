#include "Common/File/MemFileIO.h"

#include <cstdint>

#include "Common/Core/ZRException.h"
#include "Common/Core/ZRMemFunctions.h"

namespace
{
const char* const kSourceFile = "Source\\Common\\File\\MemFileIO";
// Memory-file exceptions carry their code only.
const char* const kNoMessage = "";

enum : unsigned long
{
    ERROR_CANNOT_GROW = 4600,
    ERROR_OUT_OF_MEMORY = 4601,
    ERROR_SKIP_OUT_OF_RANGE = 4602,
};

// Positions, sizes and capacities are 32-bit.
constexpr std::uint64_t kMaxSize = UINT32_MAX;
} // namespace

CMemFileIO::CMemFileIO(unsigned long growSize)
    : m_nGrowSize(static_cast<std::uint32_t>(growSize)), m_nPosition(0), m_nCapacity(0), m_nSize(0),
      m_pBuffer(nullptr), m_bOwnsBuffer(true)
{
}

CMemFileIO::CMemFileIO(unsigned char* buffer, unsigned long capacity, unsigned long growSize)
    : m_nGrowSize(0), m_nPosition(0), m_nCapacity(0), m_nSize(0), m_pBuffer(nullptr), m_bOwnsBuffer(false)
{
    Attach(buffer, capacity, growSize);
}

CMemFileIO::CMemFileIO(const CMemFileIO& other)
    : CFileIO(other), m_nGrowSize(0), m_nPosition(0), m_nCapacity(0), m_nSize(0), m_pBuffer(nullptr),
      m_bOwnsBuffer(true)
{
    CopyFrom(other);
}

CMemFileIO& CMemFileIO::operator=(const CMemFileIO& other)
{
    if (this == &other)
        return *this;
    CMemFileIO copy(other);
    Close();
    CFileIO::operator=(other);
    m_nGrowSize = copy.m_nGrowSize;
    m_nPosition = copy.m_nPosition;
    m_nCapacity = copy.m_nCapacity;
    m_nSize = copy.m_nSize;
    m_bOwnsBuffer = copy.m_bOwnsBuffer;
    m_pBuffer = copy.Detach(); // the copy's buffer is ours now
    return *this;
}

CMemFileIO::~CMemFileIO()
{
    CMemFileIO::Flush();
    CMemFileIO::Close();
}

// Buffer management

void CMemFileIO::Attach(unsigned char* buffer, unsigned long capacity, unsigned long growSize)
{
    m_nGrowSize = static_cast<std::uint32_t>(growSize);
    m_nPosition = 0;
    m_nCapacity = static_cast<std::uint32_t>(capacity);
    m_nSize = growSize != 0 ? 0 : m_nCapacity;
    m_pBuffer = buffer;
    m_bOwnsBuffer = false;
}

unsigned char* CMemFileIO::Detach()
{
    unsigned char* const buffer = m_pBuffer;
    m_nPosition = 0;
    m_nCapacity = 0;
    m_nSize = 0;
    m_pBuffer = nullptr;
    m_bOwnsBuffer = false;
    return buffer;
}

void CMemFileIO::SetSize(unsigned long n)
{
    GrowFile(n);
    if (m_nPosition > n)
        m_nPosition = static_cast<std::uint32_t>(n);
    m_nSize = static_cast<std::uint32_t>(n);
}

// Capacity + the whole grow steps that reach needed. A buffer allocated here
// (there was none) is owned; an attached one stays the caller's even when moved.
void CMemFileIO::GrowFile(std::uint64_t needed)
{
    if (needed <= m_nCapacity)
        return;
    if (m_nGrowSize == 0)
        ThrowException(ERROR_CANNOT_GROW, __LINE__, kSourceFile, kNoMessage);
    const std::uint64_t steps = (needed - m_nCapacity + m_nGrowSize - 1) / m_nGrowSize;
    const std::uint64_t capacity = m_nCapacity + steps * m_nGrowSize;
    if (capacity > kMaxSize)
        ThrowException(ERROR_OUT_OF_MEMORY, __LINE__, kSourceFile, kNoMessage);
    const std::uint32_t newCapacity = static_cast<std::uint32_t>(capacity);
    void* const grown = m_pBuffer != nullptr ? Realloc(m_pBuffer, newCapacity) : Alloc(newCapacity);
    if (grown == nullptr)
        ThrowException(ERROR_OUT_OF_MEMORY, __LINE__, kSourceFile, kNoMessage);
    if (m_pBuffer == nullptr)
        m_bOwnsBuffer = true;
    m_pBuffer = static_cast<unsigned char*>(grown);
    m_nCapacity = newCapacity;
}

// Takes other's state with a buffer of its own holding the whole capacity, so
// bytes beyond the size that a seek may expose are copied too.
void CMemFileIO::CopyFrom(const CMemFileIO& other)
{
    m_nGrowSize = other.m_nGrowSize;
    m_nPosition = other.m_nPosition;
    m_nSize = other.m_nSize;
    m_bOwnsBuffer = true;
    if (other.m_pBuffer == nullptr || other.m_nCapacity == 0)
        return;
    m_pBuffer = static_cast<unsigned char*>(Alloc(other.m_nCapacity));
    if (m_pBuffer == nullptr)
        ThrowException(ERROR_OUT_OF_MEMORY, __LINE__, kSourceFile, kNoMessage);
    m_nCapacity = other.m_nCapacity;
    Memcpy(m_pBuffer, other.m_pBuffer, m_nCapacity);
}

// File operations

bool CMemFileIO::Open(const char* /*name*/, int /*mode*/) { return true; }

bool CMemFileIO::Close()
{
    m_nGrowSize = 0;
    m_nPosition = 0;
    m_nCapacity = 0;
    m_nSize = 0;
    if (m_bOwnsBuffer && m_pBuffer != nullptr)
        Free(m_pBuffer);
    m_pBuffer = nullptr;
    return true;
}

bool CMemFileIO::Flush() { return true; }

bool CMemFileIO::Read(void* buffer, unsigned long size)
{
    if (size == 0)
        return true;
    if (m_nPosition >= m_nSize)
        return false;
    const std::uint32_t left = m_nSize - m_nPosition;
    const std::uint32_t count = size < left ? static_cast<std::uint32_t>(size) : left;
    Memcpy(buffer, m_pBuffer + m_nPosition, count);
    m_nPosition += count;
    return true;
}

bool CMemFileIO::Write(const void* buffer, unsigned long size)
{
    if (size == 0)
        return true;
    const std::uint64_t end = static_cast<std::uint64_t>(m_nPosition) + size;
    GrowFile(end);
    Memcpy(m_pBuffer + m_nPosition, buffer, static_cast<std::uint32_t>(size));
    m_nPosition = static_cast<std::uint32_t>(end);
    if (m_nPosition > m_nSize)
        m_nSize = m_nPosition;
    return true;
}

int CMemFileIO::ReadRaw(void* /*buffer*/, unsigned long /*size*/, unsigned long /*count*/) { return 0; }

int CMemFileIO::WriteRaw(const void* /*buffer*/, unsigned long /*size*/, unsigned long /*count*/)
{
    return 0;
}

bool CMemFileIO::Printf(const char* /*format*/, ...) { return false; }

// Queries and positioning

bool CMemFileIO::IsOpened() { return true; }

bool CMemFileIO::IsEof() { return m_nPosition >= m_nSize; }

bool CMemFileIO::SetFilePointerPos(unsigned long position)
{
    m_nPosition = static_cast<std::uint32_t>(position);
    return true;
}

bool CMemFileIO::Skip(long delta)
{
    const long long target = static_cast<long long>(m_nPosition) + delta;
    if (target < 0 || static_cast<std::uint64_t>(target) > kMaxSize)
        ThrowException(ERROR_SKIP_OUT_OF_RANGE, __LINE__, kSourceFile, kNoMessage);
    m_nPosition = static_cast<std::uint32_t>(target);
    return true;
}

unsigned long CMemFileIO::GetFilePointerPos() { return m_nPosition; }

unsigned long CMemFileIO::GetSize() { return m_nSize; }

unsigned long CMemFileIO::GetBufferSize() { return m_nCapacity; }

unsigned char* CMemFileIO::GetBuffer() { return m_pBuffer; }

CMemFileIO::operator void*() { return GetBuffer(); }

// Memory management: the only calls that touch the heap.

void* CMemFileIO::Alloc(std::uint32_t size) { return MEM_Alloc(size); }

void* CMemFileIO::Realloc(void* block, std::uint32_t size) { return MEM_Realloc(block, size); }

void CMemFileIO::Memcpy(void* dst, const void* src, std::uint32_t size) { MEM_Copy(dst, src, size); }

void CMemFileIO::Free(void* block) { MEM_Free(block); }

void CMemFileIO::ThrowException(unsigned long code, unsigned long line, const char* file,
                                const char* message) const
{
    throw CMemFileIOException(code, line, file, message);
}
