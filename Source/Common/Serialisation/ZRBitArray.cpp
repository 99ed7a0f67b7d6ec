#include "Common/Serialisation/ZRBitArray.h"

#include "Common/Core/ZRMemFunctions.h"

namespace
{
constexpr int kBitsPerByte = 8;
constexpr unsigned char kFirstBitMask = 0x80;

unsigned char MaskOf(int bit) { return kFirstBitMask >> (bit % kBitsPerByte); }
} // namespace

CZRBitArray::CZRBitArray() : m_pBuffer(nullptr), m_nSize(0), m_nNumBits(0) {}

CZRBitArray::CZRBitArray(int numBits) : CZRBitArray() { SetNumBits(numBits); }

CZRBitArray::CZRBitArray(const CZRBitArray& other) : CZRBitArray() { *this = other; }

CZRBitArray::~CZRBitArray() { delete[] m_pBuffer; }

const CZRBitArray& CZRBitArray::operator=(const CZRBitArray& other)
{
    if (this == &other)
        return *this;
    if (other.m_nSize > 0)
    {
        if (m_nSize < other.m_nSize)
            SetSize(other.m_nSize);
        MEM_Copy(m_pBuffer, other.m_pBuffer, other.m_nSize);
    }
    m_nSize = other.m_nSize;
    m_nNumBits = other.m_nNumBits;
    return *this;
}

bool CZRBitArray::operator==(const CZRBitArray& other) const
{
    if (m_nSize != other.m_nSize)
        return false;
    return m_nSize == 0 || MEM_Compare(m_pBuffer, other.m_pBuffer, m_nSize) == 0;
}

bool CZRBitArray::operator!=(const CZRBitArray& other) const { return !(*this == other); }

int CZRBitArray::GetSize() const { return m_nSize; }

int CZRBitArray::GetNumBits() const { return m_nNumBits; }

void CZRBitArray::SetSize(int bytes)
{
    if (bytes < 0)
        bytes = 0;
    unsigned char* buffer = bytes > 0 ? new unsigned char[bytes] : nullptr;
    if (buffer != nullptr)
    {
        MEM_Zero(buffer, bytes);
        if (m_pBuffer != nullptr)
            MEM_Copy(buffer, m_pBuffer, m_nSize < bytes ? m_nSize : bytes);
    }
    delete[] m_pBuffer;
    m_pBuffer = buffer;
    m_nSize = bytes;
    m_nNumBits = bytes * kBitsPerByte;
}

void CZRBitArray::SetNumBits(int n)
{
    if (n < 0)
        n = 0;
    SetSize(n / kBitsPerByte + 1);
    m_nNumBits = n;
}

void CZRBitArray::Clear()
{
    if (m_pBuffer != nullptr)
        MEM_Zero(m_pBuffer, m_nSize);
}

bool CZRBitArray::GetBit(int i) const
{
    return IsInBuffer(i) && (m_pBuffer[i / kBitsPerByte] & MaskOf(i)) != 0;
}

void CZRBitArray::SetBit(int i, bool value)
{
    if (i < 0)
        return;
    if (i >= m_nNumBits)
        SetNumBits(i + 1);
    if (value)
        m_pBuffer[i / kBitsPerByte] |= MaskOf(i);
    else
        m_pBuffer[i / kBitsPerByte] &= static_cast<unsigned char>(~MaskOf(i));
}

const unsigned char* CZRBitArray::GetBuffer() const { return m_pBuffer; }

unsigned char* CZRBitArray::QueryBuffer(int minBytes)
{
    if (m_nSize < minBytes)
        SetSize(minBytes);
    return m_pBuffer;
}

void CZRBitArray::ReleaseBuffer() {}

bool CZRBitArray::IsInBuffer(int bit) const
{
    return bit >= 0 && bit / kBitsPerByte < m_nSize;
}
