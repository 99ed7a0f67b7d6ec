#include "Common/File/ZRDataStream.h"

#include <cstdint>
#include <cstring>
#include <new>

#include "Common/Core/ZRException.h"
#include "Common/Core/ZRFourCC.h"
#include "Common/Core/ZRMemFunctions.h"
#include "Common/Core/ZRStrFunctions.h"
#include "Common/Core/ZRString.h"

namespace
{
const char* const kSourceFile = "Source\\Common\\File\\ZRDataStream";

enum : unsigned long
{
    ERROR_BEYOND_CAPACITY = 5000,
    ERROR_OUT_OF_MEMORY = 5001,
    ERROR_READ_FROM_STORING = 5002,
    ERROR_WRITE_TO_LOADING = 5003,
};

const char* const kMessageBeyondCapacity =
    "Allocated buffer to small, write pointer exceeds memory.";
const char* const kMessageOutOfMemory = "Could not allocate new memory for stream, out of memory.";
const char* const kMessageReadFromStoring = "Trying to read from a write only stream!";
const char* const kMessageWriteToLoading = "Trying to write to a read only stream!";

constexpr int kNoVersion = -1;
// Length word of a string that is stored as its string-resource id.
constexpr std::int32_t kStringIdMarker = -1;
constexpr std::uint32_t kMaxSize = UINT32_MAX;

// False when position + n does not fit in 32 bits.
bool EndFits(std::uint32_t position, unsigned long n, std::uint32_t& end)
{
    if (n > kMaxSize - position)
        return false;
    end = position + static_cast<std::uint32_t>(n);
    return true;
}

// 2 x capacity + needed, held at the largest 32-bit size.
std::uint32_t GrownCapacity(std::uint32_t capacity, std::uint32_t needed)
{
    const std::uint64_t grown = 2 * static_cast<std::uint64_t>(capacity) + needed;
    return grown > kMaxSize ? kMaxSize : static_cast<std::uint32_t>(grown);
}
} // namespace

// Iterator

CZRDataStream::Iterator::Iterator() : m_pStream(nullptr), m_nPosition(0) {}

CZRDataStream::Iterator::Iterator(CZRDataStream& stream) : m_pStream(&stream), m_nPosition(0) {}

CZRDataStream::Iterator::Iterator(const Iterator& other)
    : m_pStream(other.m_pStream), m_nPosition(other.m_nPosition)
{
}

CZRDataStream::Iterator& CZRDataStream::Iterator::operator=(const Iterator& other)
{
    if (this != &other)
    {
        m_pStream = other.m_pStream;
        m_nPosition = other.m_nPosition;
    }
    return *this;
}

CZRDataStream::Iterator::~Iterator() { m_pStream = nullptr; }

void CZRDataStream::Iterator::Put(const void* src, unsigned long n) { m_pStream->Put(src, *this, n); }

void CZRDataStream::Iterator::Get(void* dst, unsigned long n) { m_pStream->Get(dst, *this, n); }

void CZRDataStream::Iterator::Advance(unsigned long n) { m_nPosition += static_cast<std::uint32_t>(n); }

unsigned long CZRDataStream::Iterator::GetSize() const
{
    return static_cast<std::uint32_t>(m_pStream->m_nSize - m_nPosition);
}

const unsigned char* CZRDataStream::Iterator::GetBuffer() const
{
    if (m_pStream == nullptr || m_pStream->GetBuffer() == nullptr)
        return nullptr;
    return m_pStream->GetBuffer() + m_nPosition;
}

bool CZRDataStream::Iterator::IsStoring() const
{
    return m_pStream != nullptr && m_pStream->IsStoring();
}

// Construction and assignment

CZRDataStream::CZRDataStream(int mode)
    : m_pBuffer(CreateBlock(nullptr, true)), m_nCapacity(0), m_nSize(0), m_nMode(mode),
      m_iterator(*this), m_nVersion(kNoVersion)
{
}

CZRDataStream::CZRDataStream(unsigned long capacity, int mode)
    : m_pBuffer(nullptr), m_nCapacity(0), m_nSize(0), m_nMode(mode), m_iterator(*this),
      m_nVersion(kNoVersion)
{
    const std::uint32_t checked = CheckedSize(capacity);
    m_pBuffer = CreateBlock(AllocateData(checked), true);
    m_nCapacity = checked;
    m_nSize = IsStoring() ? 0 : checked;
}

CZRDataStream::CZRDataStream(const unsigned char* buffer, unsigned long size, int mode, bool copy)
    : m_pBuffer(nullptr), m_nCapacity(0), m_nSize(0), m_nMode(mode), m_iterator(*this),
      m_nVersion(kNoVersion)
{
    const std::uint32_t checked = CheckedSize(size);
    m_pBuffer = CreateBlockOver(buffer, checked, copy);
    m_nCapacity = checked;
    m_nSize = (IsStoring() && !copy) ? 0 : checked;
}

CZRDataStream::CZRDataStream(const CZRDataStream& other, int mode)
    : m_pBuffer(other.m_pBuffer), m_nCapacity(other.m_nSize), m_nSize(0), m_nMode(mode),
      m_iterator(*this), m_nVersion(kNoVersion)
{
    ++m_pBuffer->nRefCount;
    m_nSize = IsStoring() ? 0 : m_nCapacity;
}

CZRDataStream& CZRDataStream::operator=(const CZRDataStream& other)
{
    if (this == &other)
        return *this;
    // Counted first: other may already share this stream's block.
    ++other.m_pBuffer->nRefCount;
    ReleaseBlock();
    m_pBuffer = other.m_pBuffer;
    m_nCapacity = other.m_nCapacity;
    m_nSize = other.m_nSize;
    m_iterator = Begin();
    return *this;
}

CZRDataStream::~CZRDataStream()
{
    ReleaseBlock();
    m_nCapacity = 0;
    m_nSize = 0;
}

// Reading and writing

void CZRDataStream::Put(const void* src, unsigned long n) { Put(src, m_iterator, n); }

void CZRDataStream::Get(void* dst, unsigned long n) { Get(dst, m_iterator, n); }

void CZRDataStream::Advance(unsigned long n) { m_iterator.Advance(n); }

void CZRDataStream::Put(const void* src, Iterator& it, unsigned long n)
{
    const std::uint32_t position = it.m_nPosition;
    unsigned char* dst = n <= kMaxSize && CanWriteInPlace(position, static_cast<std::uint32_t>(n))
                             ? WriteInPlace(position, static_cast<std::uint32_t>(n))
                             : PrepareWrite(position, n);
    if (n != 0)
        std::memmove(dst, src, n);
    it.m_nPosition = position + static_cast<std::uint32_t>(n);
}

void CZRDataStream::Get(void* dst, Iterator& it, unsigned long n)
{
    const std::uint32_t position = it.m_nPosition;
    const unsigned char* src = n <= kMaxSize && CanReadInPlace(position, static_cast<std::uint32_t>(n))
                                   ? m_pBuffer->pData + position
                                   : PrepareRead(position, n);
    if (n != 0)
        std::memmove(dst, src, n);
    it.m_nPosition = position + static_cast<std::uint32_t>(n);
}

// The bound is the capacity, and it is checked before the mode.
const unsigned char* CZRDataStream::PrepareRead(std::uint32_t position, unsigned long n) const
{
    std::uint32_t end = 0;
    if (!EndFits(position, n, end) || end > m_nCapacity)
        ThrowException(ERROR_BEYOND_CAPACITY, __LINE__, kSourceFile, kMessageBeyondCapacity);
    if (IsStoring())
        ThrowException(ERROR_READ_FROM_STORING, __LINE__, kSourceFile, kMessageReadFromStoring);
    return m_pBuffer->pData + position;
}

// Every check and allocation happens before the stream changes. A shared block
// is replaced in one allocation already large enough for the write. Bytes
// skipped by Advance past the end are zeroed.
unsigned char* CZRDataStream::PrepareWrite(std::uint32_t position, unsigned long n)
{
    if (!IsStoring())
        ThrowException(ERROR_WRITE_TO_LOADING, __LINE__, kSourceFile, kMessageWriteToLoading);
    std::uint32_t end = 0;
    if (!EndFits(position, n, end))
        ThrowException(ERROR_OUT_OF_MEMORY, __LINE__, kSourceFile, kMessageOutOfMemory);
    if (IsShared())
    {
        std::uint32_t capacity = CheckedSize(static_cast<unsigned long>(m_nSize) + n);
        if (end > m_nSize && capacity < end)
            capacity = GrownCapacity(capacity, end);
        Detach(capacity);
    }
    if (end > m_nSize)
    {
        GrowToAtLeast(end);
        if (position > m_nSize)
            MEM_Zero(m_pBuffer->pData + m_nSize, position - m_nSize);
        m_nSize = end;
    }
    return m_pBuffer->pData + position;
}

// Typed items; the fixed-size ones are inline in the header.

void CZRDataStream::Put(const char* text)
{
    PutText(text, text != nullptr ? static_cast<std::uint32_t>(STR_strlen(text)) : 0);
}

void CZRDataStream::Put(const CZRString& text)
{
    if (!text.IsIdenticalToStringResource())
    {
        PutText(text.GetString(), static_cast<std::uint32_t>(text.GetLength()));
        return;
    }
    unsigned char bytes[2 * kWordSize];
    EncodeWord(static_cast<std::uint32_t>(kStringIdMarker), bytes);
    EncodeWord(static_cast<std::uint32_t>(text.GetStringId()), bytes + kWordSize);
    Put(bytes, sizeof(bytes));
}

void CZRDataStream::Put(const CZRFourCC& code)
{
    PutWord(static_cast<std::uint32_t>(code.ToDword()));
}

// Length and text in one write, so a failure writes neither.
void CZRDataStream::PutText(const char* text, std::uint32_t length)
{
    const std::uint32_t position = m_iterator.m_nPosition;
    const unsigned long total = static_cast<unsigned long>(kWordSize) + length;
    unsigned char* dst =
        total <= kMaxSize && CanWriteInPlace(position, static_cast<std::uint32_t>(total))
            ? WriteInPlace(position, static_cast<std::uint32_t>(total))
            : PrepareWrite(position, total);
    EncodeWord(length, dst);
    if (length != 0)
        std::memmove(dst + kWordSize, text, length);
    m_iterator.m_nPosition = position + static_cast<std::uint32_t>(total);
}

// Plain text that lies inside the capacity, and the empty text, are read at
// once; a string id and every failure take GetTextChecked.
void CZRDataStream::Get(CZRString& text)
{
    const std::uint32_t position = m_iterator.m_nPosition;
    if (CanReadInPlace(position, kWordSize))
    {
        const unsigned char* const data = m_pBuffer->pData;
        const std::int32_t length = static_cast<std::int32_t>(DecodeWord(data + position));
        const std::uint32_t body = position + kWordSize;
        if (length >= 1 && CanReadInPlace(body, static_cast<std::uint32_t>(length)))
        {
            std::memcpy(text.GetBuffer(length), data + body, static_cast<std::size_t>(length));
            text.ReleaseBuffer(length);
            m_iterator.m_nPosition = body + static_cast<std::uint32_t>(length);
            return;
        }
        if (length < 1 && length != kStringIdMarker)
        {
            text.Empty();
            m_iterator.m_nPosition = body;
            return;
        }
    }
    GetTextChecked(text);
}

// Every part is checked against the capacity before the string or the position
// changes, so a corrupt length cannot cause an unbounded allocation. Plain text
// is read into the string's own buffer, so the string keeps its id unless the
// buffer has to be replaced; an empty text empties it, which keeps the id too.
void CZRDataStream::GetTextChecked(CZRString& text)
{
    const std::uint32_t position = m_iterator.m_nPosition;
    const std::int32_t length =
        static_cast<std::int32_t>(DecodeWord(PrepareRead(position, kWordSize)));
    const std::uint32_t body = position + kWordSize;
    if (length >= 1)
    {
        const unsigned char* src = PrepareRead(body, static_cast<unsigned long>(length));
        std::memcpy(text.GetBuffer(length), src, static_cast<std::size_t>(length));
        text.ReleaseBuffer(length);
        m_iterator.m_nPosition = body + static_cast<std::uint32_t>(length);
    }
    else if (length == kStringIdMarker)
    {
        const std::int32_t id = static_cast<std::int32_t>(DecodeWord(PrepareRead(body, kWordSize)));
        text.LoadStringResource(id);
        m_iterator.m_nPosition = body + kWordSize;
    }
    else
    {
        text.Empty();
        m_iterator.m_nPosition = body;
    }
}

void CZRDataStream::Get(CZRFourCC& code) { code.FromFourCC(GetWord()); }

// Versions

int CZRDataStream::GetVersion() const { return m_nVersion; }

void CZRDataStream::SerializeBegin(int version)
{
    if (IsStoring())
    {
        Put(version);
        return;
    }
    const std::uint32_t position = m_iterator.m_nPosition;
    const int stored = static_cast<std::int32_t>(DecodeWord(PrepareRead(position, kWordSize)));
    PushVersion(m_nVersion);
    m_iterator.m_nPosition = position + kWordSize;
    SetVersion(stored);
}

void CZRDataStream::SerializeEnd()
{
    if (!IsStoring())
        SetVersion(PopVersion());
}

void CZRDataStream::PushVersion(int version) { m_versionStack.push(version); }

int CZRDataStream::PopVersion()
{
    if (m_versionStack.empty())
        return kNoVersion;
    const int version = m_versionStack.top();
    m_versionStack.pop();
    return version;
}

void CZRDataStream::SetVersion(int version) { m_nVersion = version; }

void CZRDataStream::ClearVersionStack() { m_versionStack = std::stack<int>(); }

// Resetting

void CZRDataStream::Clear()
{
    m_nSize = 0;
    ResetState();
}

void CZRDataStream::Rewind()
{
    if (IsStoring())
        m_nSize = 0;
    ResetState();
}

void CZRDataStream::Clear(const unsigned char* buffer, unsigned long size, bool copy)
{
    const std::uint32_t checked = CheckedSize(size);
    sStreamBuffer* block = CreateBlockOver(buffer, checked, copy);
    ReleaseBlock();
    m_pBuffer = block;
    m_nCapacity = checked;
    m_nSize = 0;
    ResetState();
}

void CZRDataStream::Rewind(const unsigned char* buffer, unsigned long size, bool copy)
{
    Clear(buffer, size, copy);
    if (!IsStoring())
        m_nSize = m_nCapacity;
}

void CZRDataStream::ResetState()
{
    m_iterator = Begin();
    SetVersion(kNoVersion);
    ClearVersionStack();
}

// Access

const unsigned char* CZRDataStream::GetBuffer() const { return m_pBuffer->pData; }

unsigned char* CZRDataStream::QueryBuffer() const { return m_pBuffer->pData; }

void CZRDataStream::ReleaseBuffer() const {}

unsigned long CZRDataStream::GetSize() const { return m_nSize; }

unsigned long CZRDataStream::GetStreamPosition() const { return m_iterator.m_nPosition; }

const unsigned char* CZRDataStream::GetIteratorBuffer() const { return m_iterator.GetBuffer(); }

unsigned long CZRDataStream::GetRemainingSize() const { return m_iterator.GetSize(); }

unsigned long CZRDataStream::GetIteratorBufferSize() const { return m_iterator.GetSize(); }

// Blocks and growth

CZRDataStream::Iterator CZRDataStream::Begin() { return Iterator(*this); }

void CZRDataStream::GrowToAtLeast(unsigned long n)
{
    if (m_nCapacity < n)
        Reallocate(GrownCapacity(m_nCapacity, CheckedSize(n)));
}

// The block must not be shared. On failure the old data stays.
void CZRDataStream::Reallocate(unsigned long newCapacity)
{
    const std::uint32_t capacity = CheckedSize(newCapacity);
    unsigned char* data = AllocateData(capacity);
    if (m_nSize != 0)
        std::memcpy(data, m_pBuffer->pData, m_nSize);
    if (m_pBuffer->bOwnsData)
        delete[] m_pBuffer->pData;
    m_pBuffer->pData = data;
    m_pBuffer->bOwnsData = true;
    m_nCapacity = capacity;
}

void CZRDataStream::Detach(std::uint32_t newCapacity)
{
    sStreamBuffer* block = CreateBlock(AllocateData(newCapacity), true);
    if (m_nSize != 0)
        std::memcpy(block->pData, m_pBuffer->pData, m_nSize);
    ReleaseBlock();
    m_pBuffer = block;
    m_nCapacity = newCapacity;
}

// Null for 0 bytes; 5001 when the allocation fails.
unsigned char* CZRDataStream::AllocateData(std::uint32_t n) const
{
    if (n == 0)
        return nullptr;
    unsigned char* data = new (std::nothrow) unsigned char[n];
    if (data == nullptr)
        ThrowException(ERROR_OUT_OF_MEMORY, __LINE__, kSourceFile, kMessageOutOfMemory);
    return data;
}

// Takes data over; on failure data is released when owned, and 5001 is thrown.
sStreamBuffer* CZRDataStream::CreateBlock(unsigned char* data, bool ownsData) const
{
    sStreamBuffer* block = new (std::nothrow) sStreamBuffer{data, 1, ownsData};
    if (block == nullptr)
    {
        if (ownsData)
            delete[] data;
        ThrowException(ERROR_OUT_OF_MEMORY, __LINE__, kSourceFile, kMessageOutOfMemory);
    }
    return block;
}

// Without copy the block refers to the caller's buffer, which a storing stream
// writes in place until it outgrows it.
sStreamBuffer* CZRDataStream::CreateBlockOver(const unsigned char* buffer, std::uint32_t size,
                                              bool copy) const
{
    if (!copy)
        return CreateBlock(const_cast<unsigned char*>(buffer), false);
    unsigned char* data = AllocateData(size);
    if (size != 0)
        std::memcpy(data, buffer, size);
    return CreateBlock(data, true);
}

// A size beyond 32 bits cannot be held and counts as a failed allocation.
std::uint32_t CZRDataStream::CheckedSize(unsigned long n) const
{
    if (n > kMaxSize)
        ThrowException(ERROR_OUT_OF_MEMORY, __LINE__, kSourceFile, kMessageOutOfMemory);
    return static_cast<std::uint32_t>(n);
}

void CZRDataStream::ReleaseBlock()
{
    if (m_pBuffer == nullptr)
        return;
    if (--m_pBuffer->nRefCount < 1)
    {
        if (m_pBuffer->bOwnsData)
            delete[] m_pBuffer->pData;
        delete m_pBuffer;
    }
    m_pBuffer = nullptr;
}

bool CZRDataStream::IsShared() const { return m_pBuffer->nRefCount > 1; }

void CZRDataStream::ThrowException(unsigned long code, unsigned long line, const char* file,
                                   const char* message) const
{
    throw CZRDataStreamException(code, line, file, message);
}
