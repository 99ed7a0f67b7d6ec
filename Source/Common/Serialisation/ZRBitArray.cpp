#include "Common/Serialisation/ZRBitArray.h"

#include "Common/Serialisation/ZRBitStorage.h"

using ZRBitStorage::kBitsPerByte;
using ZRBitStorage::MaskOf;

CZRBitArray::CZRBitArray() : m_pBuffer(nullptr), m_nSize(0), m_nNumBits(0) {}

CZRBitArray::CZRBitArray(int numBits) : CZRBitArray() { SetNumBits(numBits); }

CZRBitArray::CZRBitArray(const CZRBitArray& other) : CZRBitArray() { *this = other; }

CZRBitArray::~CZRBitArray() { delete[] m_pBuffer; }

const CZRBitArray& CZRBitArray::operator=(const CZRBitArray& other)
{
    if (this != &other)
        ZRBitStorage::Assign(m_pBuffer, m_nSize, m_nNumBits, other.m_pBuffer, other.m_nSize,
                             other.m_nNumBits);
    return *this;
}

bool CZRBitArray::operator==(const CZRBitArray& other) const
{
    return ZRBitStorage::Equal(m_pBuffer, m_nSize, other.m_pBuffer, other.m_nSize);
}

bool CZRBitArray::operator!=(const CZRBitArray& other) const { return !(*this == other); }

int CZRBitArray::GetSize() const { return m_nSize; }

int CZRBitArray::GetNumBits() const { return m_nNumBits; }

void CZRBitArray::SetSize(int bytes) { ZRBitStorage::Resize(m_pBuffer, m_nSize, m_nNumBits, bytes); }

void CZRBitArray::SetNumBits(int n) { ZRBitStorage::SetNumBits(m_pBuffer, m_nSize, m_nNumBits, n); }

void CZRBitArray::Clear() { ZRBitStorage::Clear(m_pBuffer, m_nSize); }

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
