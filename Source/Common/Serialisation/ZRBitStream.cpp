#include "Common/Serialisation/ZRBitStream.h"

#include "Common/Serialisation/ZRBitStorage.h"

namespace
{
using ZRBitStorage::kBitsPerByte;
using ZRBitStorage::kFirstBitMask;
constexpr int kWholeSize = -1;
constexpr const char kDumpLinePrefix[] = "Byte %4.d: ";
} // namespace

CZRBitStream::CZRBitStream()
    : m_pBuffer(nullptr), m_nSize(0), m_nNumBits(0), m_nBytePos(0), m_nBitPos(0),
      m_bReading(false), m_bWriting(false)
{
}

CZRBitStream::CZRBitStream(int numBits) : CZRBitStream() { SetNumBits(numBits); }

CZRBitStream::CZRBitStream(const CZRBitStream& other) : CZRBitStream() { *this = other; }

CZRBitStream::~CZRBitStream() { delete[] m_pBuffer; }

const CZRBitStream& CZRBitStream::operator=(const CZRBitStream& other)
{
    if (this != &other)
        ZRBitStorage::Assign(m_pBuffer, m_nSize, m_nNumBits, other.m_pBuffer, other.m_nSize,
                             other.m_nNumBits);
    Rewind();
    return *this;
}

bool CZRBitStream::operator==(const CZRBitStream& other) const
{
    return ZRBitStorage::Equal(m_pBuffer, m_nSize, other.m_pBuffer, other.m_nSize);
}

bool CZRBitStream::operator!=(const CZRBitStream& other) const { return !(*this == other); }

int CZRBitStream::GetSize() const { return m_nSize; }

int CZRBitStream::GetNumBits() const { return m_nNumBits; }

void CZRBitStream::SetSize(int bytes) { ZRBitStorage::Resize(m_pBuffer, m_nSize, m_nNumBits, bytes); }

void CZRBitStream::SetNumBits(int n) { ZRBitStorage::SetNumBits(m_pBuffer, m_nSize, m_nNumBits, n); }

void CZRBitStream::Clear() { ZRBitStorage::Clear(m_pBuffer, m_nSize); }

void CZRBitStream::BeginWrite()
{
    Clear();
    Rewind();
    m_bWriting = true;
}

// A position set far past the end grows the buffer up to it, not just one byte.
void CZRBitStream::Write(bool value)
{
    if (GetNumBitsLeft() < 1)
        SetSize(m_nBytePos >= m_nSize ? m_nBytePos + 1 : m_nSize + 1);
    if (value)
        m_pBuffer[m_nBytePos] |= CurrentMask();
    Advance();
}

void CZRBitStream::EndWrite() { m_bWriting = false; }

void CZRBitStream::BeginRead()
{
    Rewind();
    m_bReading = true;
}

void CZRBitStream::Read(bool& value)
{
    value = m_nBytePos < m_nSize && (m_pBuffer[m_nBytePos] & CurrentMask()) != 0;
    Advance();
}

void CZRBitStream::EndRead() { m_bReading = false; }

bool CZRBitStream::IsReading() const { return m_bReading; }

bool CZRBitStream::IsWriting() const { return m_bWriting; }

void CZRBitStream::Rewind() { SetPos(0); }

void CZRBitStream::SetPos(int bit)
{
    if (bit < 0)
        bit = 0;
    m_nBytePos = bit / kBitsPerByte;
    m_nBitPos = bit % kBitsPerByte;
}

int CZRBitStream::GetPos() const { return m_nBytePos * kBitsPerByte + m_nBitPos; }

int CZRBitStream::GetNumBitsLeft() const { return m_nNumBits - GetPos(); }

void CZRBitStream::Dump(CZRString& out, int numBytes) const
{
    if (numBytes == kWholeSize || numBytes > m_nSize)
        numBytes = m_nSize;
    for (int b = 0; b < numBytes; ++b)
    {
        CZRString prefix;
        prefix.Format(kDumpLinePrefix, b + 1);
        out += prefix;
        for (unsigned char mask = kFirstBitMask; mask != 0; mask >>= 1)
            out += (m_pBuffer[b] & mask) != 0 ? '1' : '0';
        out += '\n';
    }
}

void CZRBitStream::Advance()
{
    if (++m_nBitPos == kBitsPerByte)
    {
        m_nBitPos = 0;
        ++m_nBytePos;
    }
}

unsigned char CZRBitStream::CurrentMask() const { return kFirstBitMask >> m_nBitPos; }
