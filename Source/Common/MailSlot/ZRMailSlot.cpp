#include "Common/MailSlot/ZRMailSlot.h"

#include <cstdint>
#include <vector>

#include "Common/Core/ZRException.h"
#include "Common/Core/ZRLittleEndian.h"
#include "Common/Core/ZRMemFunctions.h"
#include "Common/Core/ZRString.h"
#include "Common/Platform/Platform.h"

namespace
{
const char* const kSourceFile = "Source\\Common\\MailSlot\\ZRMailSlot";

enum : unsigned long
{
    ERROR_NOT_OPENED = 5000,
    ERROR_NO_MAILSLOT = 5001,
    ERROR_READ = 5002,
    ERROR_WRITE = 5003,
};

const char* const kMessageNotOpened = "Mailslot could not be opened.";
const char* const kMessageNoMailSlot = "There is no mailslot opened.";
const char* const kMessageRead = "Could not read data to mailslot.";
const char* const kMessageWrite = "Could not write data to mailslot.";

constexpr unsigned long kBufferSize = CZRMailSlot::MESSAGE_BUFFER_SIZE;
// The bytes of a text's length on the wire, whatever the width of long.
constexpr unsigned long kLengthSize = 4;
// A server takes messages of any size.
constexpr std::uint32_t kAnyMessageSize = 0;
// INVALID_HANDLE_VALUE as a 32-bit system reports it.
constexpr ZRHANDLE kInvalidHandle = 0xFFFFFFFFu;

// Totals count as 32-bit quantities.
unsigned long AddToTotal(unsigned long total, std::uint32_t bytes)
{
    return static_cast<std::uint32_t>(total + bytes);
}
} // namespace

CZRMailSlot::CZRMailSlot()
    : m_hMailSlot(0), m_bServer(false), m_dwTotalBytesWritten(0), m_dwTotalBytesRead(0),
      m_aBuffer(), m_dwCursor(0)
{
}

CZRMailSlot::CZRMailSlot(const CZRMailSlot& other) : m_hMailSlot(0), m_bServer(false)
{
    CopyFrom(other);
}

CZRMailSlot& CZRMailSlot::operator=(const CZRMailSlot& other)
{
    if (this != &other)
    {
        Close();
        CopyFrom(other);
    }
    return *this;
}

CZRMailSlot::~CZRMailSlot() { Close(); }

// A closed object: takes a duplicate of other's handle (none if that fails) and
// copies of everything else.
void CZRMailSlot::CopyFrom(const CZRMailSlot& other)
{
    if (other.IsOpened())
        m_hMailSlot = ZRPlatform::ObjectDuplicate(other.m_hMailSlot);
    m_bServer = m_hMailSlot != 0 && other.m_bServer;
    m_dwTotalBytesWritten = other.m_dwTotalBytesWritten;
    m_dwTotalBytesRead = other.m_dwTotalBytesRead;
    MEM_Copy(m_aBuffer, other.m_aBuffer, kBufferSize);
    m_dwCursor = other.m_dwCursor;
}

bool CZRMailSlot::Open(const char* pszName, bool bServer)
{
    Close();
    const ZRPlatform::Handle handle = bServer ? ZRPlatform::MailSlotCreate(pszName, kAnyMessageSize)
                                              : ZRPlatform::MailSlotOpen(pszName);
    if (handle == ZRPlatform::kNullHandle)
        ThrowException(ERROR_NOT_OPENED, __LINE__, kSourceFile, kMessageNotOpened);
    m_hMailSlot = handle;
    m_bServer = bServer;
    if (bServer)
        m_dwTotalBytesRead = 0;
    else
        m_dwTotalBytesWritten = 0;
    return true;
}

bool CZRMailSlot::Close()
{
    if (!IsOpened())
        return false;
    ZRPlatform::ObjectClose(m_hMailSlot);
    m_hMailSlot = 0;
    m_bServer = false;
    return true;
}

bool CZRMailSlot::IsOpened() const { return m_hMailSlot != 0 && m_hMailSlot != kInvalidHandle; }

void CZRMailSlot::CheckOpened() const
{
    if (!IsOpened())
        ThrowException(ERROR_NO_MAILSLOT, __LINE__, kSourceFile, kMessageNoMailSlot);
}

void CZRMailSlot::BeginWrite()
{
    CheckOpened();
    MEM_Zero(m_aBuffer, kBufferSize);
    m_dwCursor = 0;
}

bool CZRMailSlot::Write(const void* pData, unsigned long dwSize)
{
    if (dwSize > kBufferSize - m_dwCursor)
        ThrowException(ERROR_WRITE, __LINE__, kSourceFile, kMessageWrite);
    if (dwSize != 0)
        MEM_Copy(m_aBuffer + m_dwCursor, pData, dwSize);
    m_dwCursor += dwSize;
    return true;
}

// Length and characters are checked together, so a text that does not fit
// writes nothing.
bool CZRMailSlot::Write(const CZRString& str)
{
    const long length = str.GetLength();
    const unsigned long characters = length >= 1 ? static_cast<unsigned long>(length) : 0;
    if (characters > kBufferSize - m_dwCursor || kLengthSize > kBufferSize - m_dwCursor - characters)
        ThrowException(ERROR_WRITE, __LINE__, kSourceFile, kMessageWrite);
    unsigned char lengthBytes[kLengthSize];
    ZRLittleEndian::Encode(static_cast<std::uint32_t>(characters), lengthBytes, kLengthSize);
    Write(lengthBytes, kLengthSize);
    return Write(str.GetString(), characters);
}

void CZRMailSlot::EndWrite()
{
    std::uint32_t sent = 0;
    if (!ZRPlatform::MailSlotSend(m_hMailSlot, m_aBuffer, static_cast<std::uint32_t>(m_dwCursor),
                                  &sent))
        ThrowException(ERROR_WRITE, __LINE__, kSourceFile, kMessageWrite);
    m_dwTotalBytesWritten = AddToTotal(m_dwTotalBytesWritten, sent);
}

void CZRMailSlot::BeginRead()
{
    CheckOpened();
    m_dwCursor = 0;
    MEM_Zero(m_aBuffer, kBufferSize);
    std::uint32_t received = 0;
    if (ZRPlatform::MailSlotReceive(m_hMailSlot, m_aBuffer, static_cast<std::uint32_t>(kBufferSize),
                                    &received))
        m_dwTotalBytesRead = AddToTotal(m_dwTotalBytesRead, received);
}

bool CZRMailSlot::Read(void* pData, unsigned long dwSize)
{
    if (dwSize > kBufferSize - m_dwCursor)
        ThrowException(ERROR_READ, __LINE__, kSourceFile, kMessageRead);
    if (dwSize != 0)
        MEM_Copy(pData, m_aBuffer + m_dwCursor, dwSize);
    m_dwCursor += dwSize;
    return true;
}

// The length comes from another process: it is checked against the bytes left
// in the buffer before the string is touched, and a failed read leaves the
// cursor before the length.
bool CZRMailSlot::Read(CZRString& str)
{
    const unsigned long start = m_dwCursor;
    unsigned char lengthBytes[kLengthSize];
    Read(lengthBytes, kLengthSize);
    const auto length =
        static_cast<std::int32_t>(ZRLittleEndian::Decode(lengthBytes, kLengthSize));
    if (length < 1)
        return true;
    if (static_cast<unsigned long>(length) > kBufferSize - m_dwCursor)
    {
        m_dwCursor = start;
        ThrowException(ERROR_READ, __LINE__, kSourceFile, kMessageRead);
    }
    MEM_Copy(str.GetBuffer(length), m_aBuffer + m_dwCursor, static_cast<unsigned long>(length));
    str.ReleaseBuffer(length);
    m_dwCursor += static_cast<unsigned long>(length);
    return true;
}

void CZRMailSlot::EndRead() {}

// The platform keeps a message that does not fit the buffer given, so the
// message is received into one of its own size.
bool CZRMailSlot::SkipMessage()
{
    CheckOpened();
    std::uint32_t nextSize = ZRPlatform::kMailSlotNoMessage;
    if (!m_bServer || !ZRPlatform::MailSlotInfo(m_hMailSlot, nullptr, &nextSize, nullptr) ||
        nextSize == ZRPlatform::kMailSlotNoMessage)
        return false;
    std::vector<unsigned char> message(nextSize);
    std::uint32_t received = 0;
    return ZRPlatform::MailSlotReceive(m_hMailSlot, message.data(), nextSize, &received);
}

bool CZRMailSlot::AreMessagesWaiting() const
{
    if (!m_bServer)
        return false;
    std::uint32_t count = 0;
    return ZRPlatform::MailSlotInfo(m_hMailSlot, nullptr, nullptr, &count) && count >= 1;
}

unsigned long CZRMailSlot::GetMaxMessageSize() const
{
    std::uint32_t maxSize = 0;
    return ZRPlatform::MailSlotInfo(m_hMailSlot, &maxSize, nullptr, nullptr) ? maxSize : 0;
}

unsigned long CZRMailSlot::GetMessageSize() const
{
    std::uint32_t nextSize = 0;
    return ZRPlatform::MailSlotInfo(m_hMailSlot, nullptr, &nextSize, nullptr) ? nextSize : 0;
}

unsigned long CZRMailSlot::GetTotalBytesWritten() const { return m_dwTotalBytesWritten; }

unsigned long CZRMailSlot::GetTotalBytesRead() const { return m_dwTotalBytesRead; }

void CZRMailSlot::ThrowException(unsigned long nCode, unsigned long nLine, const char* pszFile,
                                 const char* pszMessage) const
{
    throw CMailSlotException(nCode, nLine, pszFile, pszMessage);
}
