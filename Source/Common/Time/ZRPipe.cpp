#include "Common/Time/ZRPipe.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "Common/Core/ZRException.h"
#include "Common/Core/ZRLittleEndian.h"
#include "Common/Core/ZRMemFunctions.h"
#include "Common/Platform/Platform.h"

namespace
{
constexpr unsigned long kByte = 1, kShort = 2, kWord = 4, kDouble = 8;
// The most one platform transfer moves.
constexpr unsigned long kTransferStep = 1ul << 30;
// The most a text read takes beyond the bytes that have arrived.
constexpr std::size_t kTextStep = 64 * 1024;

std::uint32_t StepOf(unsigned long dwRemaining)
{
    return static_cast<std::uint32_t>(std::min(dwRemaining, kTransferStep));
}

// A second handle to the same end, or 0 for none.
ZRHANDLE Duplicate(ZRHANDLE hEnd) { return hEnd != 0 ? ZRPlatform::ObjectDuplicate(hEnd) : 0; }

void CloseEnd(std::atomic<ZRHANDLE>& end)
{
    const ZRHANDLE hEnd = end.exchange(0);
    if (hEnd != 0)
        ZRPlatform::ObjectClose(hEnd);
}
} // namespace

CZRPipe::CZRPipe() : m_hRead(0), m_hWrite(0) {}

CZRPipe::CZRPipe(const CZRPipe& other) : m_hRead(0), m_hWrite(0) { CopyHandlesOf(other); }

CZRPipe& CZRPipe::operator=(const CZRPipe& other)
{
    if (this != &other)
    {
        Close();
        CopyHandlesOf(other);
    }
    return *this;
}

CZRPipe::~CZRPipe()
{
    // Close is virtual; a derived class's version is gone by now.
    CZRPipe::Close();
}

bool CZRPipe::Open()
{
    CZRPipe::Close();
    ZRPlatform::Handle hRead = 0, hWrite = 0;
    if (!ZRPlatform::PipeCreate(&hRead, &hWrite))
        return false;
    m_hRead = hRead;
    m_hWrite = hWrite;
    return true;
}

bool CZRPipe::Close()
{
    CloseEnd(m_hWrite);   // first, so that a Read blocked on the other end returns
    CloseEnd(m_hRead);
    return true;
}

bool CZRPipe::Read(bool& bValue)
{
    unsigned long long nValue = 0;
    if (!ReadLittleEndian(nValue, kByte))
        return false;
    bValue = nValue != 0;
    return true;
}

bool CZRPipe::Read(int& nValue)
{
    unsigned long long nBits = 0;
    if (!ReadLittleEndian(nBits, kWord))
        return false;
    nValue = static_cast<std::int32_t>(static_cast<std::uint32_t>(nBits));
    return true;
}

bool CZRPipe::Read(unsigned int& nValue)
{
    unsigned long long nBits = 0;
    if (!ReadLittleEndian(nBits, kWord))
        return false;
    nValue = static_cast<std::uint32_t>(nBits);
    return true;
}

bool CZRPipe::Read(double& dValue)
{
    unsigned long long nBits = 0;
    if (!ReadLittleEndian(nBits, kDouble))
        return false;
    std::memcpy(&dValue, &nBits, sizeof dValue);
    return true;
}

bool CZRPipe::Read(char& cValue)
{
    unsigned long long nBits = 0;
    if (!ReadLittleEndian(nBits, kByte))
        return false;
    cValue = static_cast<char>(nBits);
    return true;
}

bool CZRPipe::Read(long& lValue)
{
    unsigned long long nBits = 0;
    if (!ReadLittleEndian(nBits, kWord))
        return false;
    lValue = static_cast<std::int32_t>(static_cast<std::uint32_t>(nBits));
    return true;
}

bool CZRPipe::Read(unsigned long& dwValue)
{
    unsigned long long nBits = 0;
    if (!ReadLittleEndian(nBits, kWord))
        return false;
    dwValue = static_cast<std::uint32_t>(nBits);
    return true;
}

bool CZRPipe::Read(float& fValue)
{
    static_assert(sizeof(float) == kWord, "IEEE single format");
    unsigned long long nBits = 0;
    if (!ReadLittleEndian(nBits, kWord))
        return false;
    const std::uint32_t nWord = static_cast<std::uint32_t>(nBits);
    std::memcpy(&fValue, &nWord, sizeof fValue);
    return true;
}

bool CZRPipe::Read(unsigned short& wValue)
{
    unsigned long long nBits = 0;
    if (!ReadLittleEndian(nBits, kShort))
        return false;
    wValue = static_cast<std::uint16_t>(nBits);
    return true;
}

bool CZRPipe::Read(short& sValue)
{
    unsigned long long nBits = 0;
    if (!ReadLittleEndian(nBits, kShort))
        return false;
    sValue = static_cast<std::int16_t>(static_cast<std::uint16_t>(nBits));
    return true;
}

bool CZRPipe::Read(CZRString& str)
{
    unsigned long long nBits = 0;
    if (!ReadLittleEndian(nBits, kWord))
        return false;
    const long nLength = static_cast<std::int32_t>(static_cast<std::uint32_t>(nBits));
    return nLength < 1 || ReadText(str, nLength);
}

bool CZRPipe::Read(void* pData, unsigned long dwSize)
{
    const ZRHANDLE hRead = m_hRead;
    unsigned char* pNext = static_cast<unsigned char*>(pData);
    do
    {
        std::uint32_t nRead = 0;
        if (!ZRPlatform::PipeRead(hRead, pNext, StepOf(dwSize), &nRead) || (nRead == 0 && dwSize > 0))
            return false;   // failed, or the write end is closed
        pNext += nRead;
        dwSize -= nRead;
    } while (dwSize > 0);
    return true;
}

bool CZRPipe::Write(bool bValue) { return WriteLittleEndian(bValue ? 1 : 0, kByte); }

bool CZRPipe::Write(int nValue) { return WriteLittleEndian(static_cast<std::uint32_t>(nValue), kWord); }

bool CZRPipe::Write(unsigned int nValue) { return WriteLittleEndian(nValue, kWord); }

bool CZRPipe::Write(double dValue)
{
    static_assert(sizeof(double) == kDouble, "IEEE double format");
    unsigned long long nBits = 0;
    std::memcpy(&nBits, &dValue, sizeof dValue);
    return WriteLittleEndian(nBits, kDouble);
}

bool CZRPipe::Write(char cValue) { return WriteLittleEndian(static_cast<unsigned char>(cValue), kByte); }

bool CZRPipe::Write(long lValue) { return WriteLittleEndian(static_cast<std::uint32_t>(lValue), kWord); }

bool CZRPipe::Write(unsigned long dwValue)
{
    return WriteLittleEndian(static_cast<std::uint32_t>(dwValue), kWord);
}

bool CZRPipe::Write(float fValue)
{
    std::uint32_t nWord = 0;
    std::memcpy(&nWord, &fValue, sizeof fValue);
    return WriteLittleEndian(nWord, kWord);
}

bool CZRPipe::Write(unsigned short wValue) { return WriteLittleEndian(wValue, kShort); }

bool CZRPipe::Write(short sValue) { return WriteLittleEndian(static_cast<std::uint16_t>(sValue), kShort); }

bool CZRPipe::Write(const CZRString& str)
{
    const long nLength = str.GetLength();
    if (!WriteLittleEndian(static_cast<std::uint32_t>(nLength), kWord))
        return false;
    return nLength < 1 || Write(str.GetString(), static_cast<unsigned long>(nLength));
}

bool CZRPipe::Write(const void* pData, unsigned long dwSize)
{
    const ZRHANDLE hWrite = m_hWrite;
    const unsigned char* pNext = static_cast<const unsigned char*>(pData);
    do
    {
        const std::uint32_t nStep = StepOf(dwSize);
        std::uint32_t nWritten = 0;
        if (!ZRPlatform::PipeWrite(hWrite, pNext, nStep, &nWritten))
            return false;
        pNext += nStep;
        dwSize -= nStep;
    } while (dwSize > 0);
    return true;
}

bool CZRPipe::IsOpen() const { return m_hRead != 0 && m_hWrite != 0; }

bool CZRPipe::HasData() const
{
    std::uint32_t nAvailable = 0;
    return ZRPlatform::PipePeek(m_hRead, &nAvailable) && nAvailable > 0;
}

bool CZRPipe::ReadLittleEndian(unsigned long long& nValue, unsigned long nWidth)
{
    unsigned char bytes[kDouble] = {};
    if (!Read(bytes, nWidth))
        return false;
    nValue = ZRLittleEndian::Decode(bytes, nWidth);
    return true;
}

bool CZRPipe::WriteLittleEndian(unsigned long long nValue, unsigned long nWidth)
{
    unsigned char bytes[kDouble] = {};
    ZRLittleEndian::Encode(nValue, bytes, nWidth);
    return Write(bytes, nWidth);
}

// The bytes are taken in steps of at most kTextStep, each only once the ones
// before have arrived, and go into str only when all have.
bool CZRPipe::ReadText(CZRString& str, long nLength)
{
    const std::size_t nTotal = static_cast<std::size_t>(nLength);
    std::vector<char> received;
    while (received.size() < nTotal)
    {
        const std::size_t nAt = received.size();
        const std::size_t nStep = std::min(nTotal - nAt, kTextStep);
        received.resize(nAt + nStep);
        if (!Read(received.data() + nAt, static_cast<unsigned long>(nStep)))
            return false;
    }
    const int nChars = static_cast<int>(nLength);
    MEM_Copy(str.GetBuffer(nChars - 1), received.data(), nChars);   // room for nChars bytes
    str.ReleaseBuffer(nChars);
    return true;
}

void CZRPipe::CopyHandlesOf(const CZRPipe& other)
{
    m_hRead = Duplicate(other.m_hRead);
    m_hWrite = Duplicate(other.m_hWrite);
}

void CZRPipe::ThrowException(unsigned long nCode, unsigned long nLine, const char* pszFile,
                             const char* pszMessage) const
{
    throw CZRPipeException(nCode, nLine, pszFile, pszMessage);
}
