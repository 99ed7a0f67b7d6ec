#include "Common/Core/ZRFourCC.h"

#include "Common/Core/ZRMemFunctions.h"

namespace
{
constexpr int kBitsPerByte = 8;
constexpr unsigned long kByteMask = 0xFF;
} // namespace

CZRFourCC::CZRFourCC() { FromFourCC(0); }

CZRFourCC::CZRFourCC(unsigned long value) { FromDword(value); }

CZRFourCC::CZRFourCC(const char* text) { FromString(text); }

CZRFourCC::CZRFourCC(const CZRFourCC& other) { *this = other; }

CZRFourCC::~CZRFourCC() = default;

const CZRFourCC& CZRFourCC::operator=(const CZRFourCC& other)
{
    MEM_Copy(m_szCode, other.m_szCode, CODE_LENGTH);
    m_szCode[CODE_LENGTH] = '\0';
    return *this;
}

void CZRFourCC::FromDword(unsigned long value)
{
    FromFourCC(value);
    Reverse();
}

// Byte i of the number is character i, whatever the machine's byte order.
void CZRFourCC::FromFourCC(unsigned long value)
{
    for (int i = 0; i < CODE_LENGTH; ++i)
        m_szCode[i] = static_cast<char>((value >> (i * kBitsPerByte)) & kByteMask);
    m_szCode[CODE_LENGTH] = '\0';
}

void CZRFourCC::FromString(const char* text)
{
    MEM_Copy(m_szCode, text, CODE_LENGTH);
    m_szCode[CODE_LENGTH] = '\0';
}

void CZRFourCC::Reverse()
{
    for (int i = 0; i < CODE_LENGTH / 2; ++i)
    {
        const char c = m_szCode[i];
        m_szCode[i] = m_szCode[CODE_LENGTH - 1 - i];
        m_szCode[CODE_LENGTH - 1 - i] = c;
    }
    m_szCode[CODE_LENGTH] = '\0';
}

unsigned long CZRFourCC::ToDword() const
{
    unsigned long value = 0;
    for (int i = 0; i < CODE_LENGTH; ++i)
        value |= static_cast<unsigned long>(static_cast<unsigned char>(m_szCode[i]))
                 << (i * kBitsPerByte);
    return value;
}

CZRFourCC::operator unsigned long() const { return ToDword(); }

const char* CZRFourCC::ToString() const { return m_szCode; }

CZRFourCC::operator const char*() const { return ToString(); }

char CZRFourCC::GetAt(int i) const { return m_szCode[i]; }

void CZRFourCC::SetAt(int i, char c)
{
    m_szCode[i] = c;
    m_szCode[CODE_LENGTH] = '\0';
}

bool CZRFourCC::Compare(const CZRFourCC& other) const
{
    return MEM_Compare(m_szCode, other.m_szCode, CODE_LENGTH) == 0;
}

bool CZRFourCC::IsEmpty() const { return ToDword() == 0; }
