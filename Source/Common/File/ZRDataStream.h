// CZRDataStream: the versioned byte stream every persistent object is written to.
#pragma once

#include <cstdint>
#include <cstring>
#include <stack>

#include "Common/Core/ZRExport.h"

class CZRString;
class CZRFourCC;

// Mode bits of a data stream. Only STREAM_STORING decides whether a stream
// accepts writes (set) or reads (clear).
enum
{
    STREAM_LOADING = 1,
    STREAM_STORING = 2,
};

// The bytes of a stream, shared by every stream copied from one another.
struct sStreamBuffer
{
    unsigned char* pData;  // null while nothing was allocated
    std::int32_t nRefCount; // streams using this block
    bool bOwnsData;         // false when pData is a caller's buffer
};

// A growable byte buffer that is written (storing) or read (loading) front to
// back, with a stack of data-format versions for nested objects.
//
// Copies share their bytes; a writer takes its own copy of the valid bytes on
// its first write, so no stream ever sees another's later writes. Writes grow
// the buffer to 2 x capacity + end. Reads are bounded by the capacity. A failed
// operation throws CZRDataStreamException and leaves the stream as it was.
//
// Typed items are unpadded and little-endian: bool and char take 1 byte; int,
// long, unsigned long, float and four-character codes 4 bytes; a string its
// 4-byte length and its bytes, or -1 and its 4-byte id when it equals its
// string resource. A long or unsigned long outside 32 bits is written as its
// low 32 bits; reading a long sign-extends, an unsigned long zero-extends.
//
// Capacity, size and positions are 32-bit: a request whose end does not fit in
// 32 bits is refused (5000 on reading, 5001 on writing). Not thread-safe;
// streams sharing bytes must be used from one thread.
class ZR_COMMON_API CZRDataStream
{
public:
    // A read/write position over a stream, independent of the stream's own
    // position. Put, Get and GetSize need a stream.
    class ZR_COMMON_API Iterator
    {
    public:
        Iterator();
        explicit Iterator(CZRDataStream& stream);
        Iterator(const Iterator& other);
        Iterator& operator=(const Iterator& other);
        virtual ~Iterator();

        // The stream's checks and growth rules apply; the position advances
        // only on success.
        void Put(const void* src, unsigned long n);
        void Get(void* dst, unsigned long n);
        // No check; the position wraps modulo 2^32.
        void Advance(unsigned long n);
        // Stream size minus position, as an unsigned 32-bit difference.
        unsigned long GetSize() const;
        // Data + position; null without a stream or without data.
        const unsigned char* GetBuffer() const;
        bool IsStoring() const;

    private:
        friend class CZRDataStream;

        CZRDataStream* m_pStream;
        std::uint32_t m_nPosition;
    };

    explicit CZRDataStream(int mode = STREAM_LOADING);
    // Allocates capacity bytes; size 0 when storing, capacity otherwise.
    CZRDataStream(unsigned long capacity, int mode);
    // Capacity = size. copy: an own copy of size bytes; otherwise the caller's
    // buffer, which must outlive every stream sharing it and which a storing
    // stream writes in place until it outgrows it (the caller's bytes are then
    // left alone). Size 0 when storing without copy, otherwise size.
    CZRDataStream(const unsigned char* buffer, unsigned long size, int mode = STREAM_LOADING,
                  bool copy = false);
    // Shares other's bytes; capacity = other's size; size 0 when storing.
    CZRDataStream(const CZRDataStream& other, int mode = STREAM_LOADING);
    // Shares other's bytes, capacity and size; position 0. Mode and versions stay.
    CZRDataStream& operator=(const CZRDataStream& other);
    virtual ~CZRDataStream();

    // n bytes at the position, then position + n. 5003 unless storing.
    void Put(const void* src, unsigned long n);
    // n bytes from the position, then position + n. 5000 beyond the capacity,
    // then 5002 when storing.
    void Get(void* dst, unsigned long n);
    // No check; the position wraps modulo 2^32.
    void Advance(unsigned long n);

    void Put(bool value) { PutByte(value ? 1 : 0); }
    void Put(char value) { PutByte(static_cast<unsigned char>(value)); }
    void Put(int value) { PutWord(static_cast<std::uint32_t>(value)); }
    // Values outside 32 bits keep their low 32 bits.
    void Put(long value) { PutWord(static_cast<std::uint32_t>(value)); }
    void Put(unsigned long value) { PutWord(static_cast<std::uint32_t>(value)); }
    void Put(float value) { PutWord(FloatBits(value)); }
    // Null is written as the empty string.
    void Put(const char* text);
    void Put(const CZRString& text);
    void Put(const CZRFourCC& code);

    void Get(bool& value) { value = GetByte() != 0; }
    void Get(char& value) { value = static_cast<char>(GetByte()); }
    void Get(int& value) { value = static_cast<std::int32_t>(GetWord()); }
    void Get(long& value) { value = static_cast<std::int32_t>(GetWord()); }
    void Get(unsigned long& value) { value = GetWord(); }
    void Get(float& value) { value = FloatFromBits(GetWord()); }
    // Succeeds completely or leaves text and position unchanged. Plain text is
    // read into text's own buffer (GetBuffer), so text keeps its string id
    // unless the buffer is too small and replaced; a stored id is loaded with
    // LoadStringResource (without a load hook text stays as it was); other
    // lengths below 1 empty text.
    void Get(CZRString& text);
    void Get(CZRFourCC& code);

    // stream << value and stream >> value forward to Put and Get.
    template <typename T> CZRDataStream& operator<<(const T& value)
    {
        Put(value);
        return *this;
    }
    template <typename T> CZRDataStream& operator>>(T& value)
    {
        Get(value);
        return *this;
    }

    // The version of the object being read; -1 outside any.
    int GetVersion() const;
    // Storing: writes version. Loading: saves the current version and reads
    // the stored one, ignoring the argument.
    void SerializeBegin(int version);
    // Loading: the enclosing object's version becomes current again.
    void SerializeEnd();
    bool IsLoading() const { return (m_nMode & STREAM_LOADING) != 0; }
    bool IsStoring() const { return (m_nMode & STREAM_STORING) != 0; }

    // Size, position and versions reset; bytes and capacity kept.
    void Clear();
    // As Clear, but a loading stream keeps its size (reads from the start again).
    void Rewind();
    // A new block over buffer as the buffer constructor builds it; size 0.
    void Clear(const unsigned char* buffer, unsigned long size, bool copy);
    // As Clear(buffer, size, copy), but size = size when loading.
    void Rewind(const unsigned char* buffer, unsigned long size, bool copy);

    const unsigned char* GetBuffer() const;
    unsigned char* QueryBuffer() const;
    // Closes a QueryBuffer; does nothing.
    void ReleaseBuffer() const;
    unsigned long GetSize() const;
    unsigned long GetStreamPosition() const;
    // Data + position; null without data.
    const unsigned char* GetIteratorBuffer() const;
    // Size minus position as an unsigned 32-bit difference; meaningless once
    // the position is beyond the size.
    unsigned long GetRemainingSize() const;
    unsigned long GetIteratorBufferSize() const;

private:
    static constexpr std::uint32_t kWordSize = 4;
    static constexpr std::uint32_t kBitsPerByte = 8;
#if (defined(__BYTE_ORDER__) && defined(__ORDER_LITTLE_ENDIAN__) && \
     __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__) ||                  \
    defined(_WIN32)
    static constexpr bool kLittleEndianHost = true;
#else
    static constexpr bool kLittleEndianHost = false;
#endif

    void Get(void* dst, Iterator& it, unsigned long n);
    void Put(const void* src, Iterator& it, unsigned long n);

    // The typed items' fast paths: a write inside the capacity of an unshared
    // storing stream that leaves no gap, or a read inside the capacity of a
    // loading stream, copies in place with one capacity check. Everything else
    // (growth, detaching, the zeroed gap after Advance, exceptions) takes the
    // out-of-line Put and Get, which check in the documented order.
    bool CanWriteInPlace(std::uint32_t position, std::uint32_t n) const
    {
        return IsStoring() && m_pBuffer->nRefCount <= 1 && position <= m_nSize &&
               static_cast<std::uint64_t>(position) + n <= m_nCapacity;
    }
    bool CanReadInPlace(std::uint32_t position, std::uint32_t n) const
    {
        return !IsStoring() && static_cast<std::uint64_t>(position) + n <= m_nCapacity;
    }
    // The n bytes at position of a write that CanWriteInPlace allows; the size
    // grows to cover them.
    unsigned char* WriteInPlace(std::uint32_t position, std::uint32_t n)
    {
        const std::uint32_t end = position + n;
        if (end > m_nSize)
            m_nSize = end;
        return m_pBuffer->pData + position;
    }
    template <std::uint32_t N> void PutFixed(const unsigned char (&bytes)[N])
    {
        const std::uint32_t position = m_iterator.m_nPosition;
        if (!CanWriteInPlace(position, N))
        {
            Put(bytes, m_iterator, N);
            return;
        }
        std::memcpy(WriteInPlace(position, N), bytes, N);
        m_iterator.m_nPosition = position + N;
    }
    template <std::uint32_t N> void GetFixed(unsigned char (&bytes)[N])
    {
        const std::uint32_t position = m_iterator.m_nPosition;
        if (!CanReadInPlace(position, N))
        {
            Get(bytes, m_iterator, N);
            return;
        }
        std::memcpy(bytes, m_pBuffer->pData + position, N);
        m_iterator.m_nPosition = position + N;
    }
    void PutByte(unsigned char value)
    {
        const unsigned char bytes[1] = {value};
        PutFixed(bytes);
    }
    unsigned char GetByte()
    {
        unsigned char bytes[1];
        GetFixed(bytes);
        return bytes[0];
    }
    void PutWord(std::uint32_t value)
    {
        unsigned char bytes[kWordSize];
        EncodeWord(value, bytes);
        PutFixed(bytes);
    }
    std::uint32_t GetWord()
    {
        unsigned char bytes[kWordSize];
        GetFixed(bytes);
        return DecodeWord(bytes);
    }

    // 32-bit little-endian: one copy on a little-endian host, bytes by shifts
    // on any other.
    static void EncodeWord(std::uint32_t value, unsigned char* bytes)
    {
        if constexpr (kLittleEndianHost)
        {
            std::memcpy(bytes, &value, kWordSize);
        }
        else
        {
            for (std::uint32_t i = 0; i < kWordSize; ++i)
                bytes[i] = static_cast<unsigned char>(value >> (kBitsPerByte * i));
        }
    }
    static std::uint32_t DecodeWord(const unsigned char* bytes)
    {
        std::uint32_t value = 0;
        if constexpr (kLittleEndianHost)
        {
            std::memcpy(&value, bytes, kWordSize);
        }
        else
        {
            for (std::uint32_t i = 0; i < kWordSize; ++i)
                value |= static_cast<std::uint32_t>(bytes[i]) << (kBitsPerByte * i);
        }
        return value;
    }
    static std::uint32_t FloatBits(float value)
    {
        static_assert(sizeof(float) == kWordSize, "float must be 32 bits");
        std::uint32_t bits = 0;
        std::memcpy(&bits, &value, kWordSize);
        return bits;
    }
    static float FloatFromBits(std::uint32_t bits)
    {
        float value = 0;
        std::memcpy(&value, &bits, kWordSize);
        return value;
    }

    // Checks a read of n bytes at position and returns where they are.
    const unsigned char* PrepareRead(std::uint32_t position, unsigned long n) const;
    // Makes n bytes at position writable (detach, growth, size) and returns them.
    unsigned char* PrepareWrite(std::uint32_t position, unsigned long n);
    void PutText(const char* text, std::uint32_t length);
    // Get(CZRString&) with every check, for what its fast path does not take.
    void GetTextChecked(CZRString& text);

    Iterator Begin();
    void GrowToAtLeast(unsigned long n);
    void Reallocate(unsigned long newCapacity);
    // Replaces a shared block by an own one of newCapacity bytes.
    void Detach(std::uint32_t newCapacity);
    unsigned char* AllocateData(std::uint32_t n) const;
    sStreamBuffer* CreateBlock(unsigned char* data, bool ownsData) const;
    sStreamBuffer* CreateBlockOver(const unsigned char* buffer, std::uint32_t size, bool copy) const;
    std::uint32_t CheckedSize(unsigned long n) const;
    void ReleaseBlock();
    bool IsShared() const;
    void ResetState();

    void PushVersion(int version);
    int PopVersion();
    void SetVersion(int version);
    void ClearVersionStack();

    [[noreturn]] void ThrowException(unsigned long code, unsigned long line, const char* file,
                                     const char* message) const;

    sStreamBuffer* m_pBuffer;
    std::uint32_t m_nCapacity;
    std::uint32_t m_nSize;
    int m_nMode;
    Iterator m_iterator;
    int m_nVersion;
    std::stack<int> m_versionStack;
};
