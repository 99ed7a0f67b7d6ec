// Mail slots of the Windows backend on Windows mail slots (CreateMailslotA,
// CreateFileA, ReadFile, WriteFile, GetMailslotInfo). Only code for Windows
// goes here.
//
// Names: "\\.\mailslot\x" is served and opened as Windows has it. A server
// name may also use "*" or this computer's name for the host; it is served as
// "\\.\mailslot\x". A broadcast ("\\*\mailslot\x") reaches this machine: the
// client sends to "\\.\mailslot\x" whenever somebody serves it there and loses
// the message otherwise, so a broadcast never depends on the network or on
// the SMB services that carry Windows' domain broadcasts. Other hosts are
// passed to Windows as given.
//
// Users: a slot is created with the default security of the creating user, so
// only that user (and administrators) may open it and send to it.
//
// A local client whose server has gone opens the name again on its next send,
// so a server that comes back under the name receives the next message.
#include <mutex>
#include <string>

#include "Common/Platform/PlatformNames.h"
#include "Common/Platform/Win32/Win32Channels.h"

namespace ZRPlatform
{
namespace Win32
{
namespace
{
using Names::CompareNoCase;
using Names::IsSeparator;

constexpr char kLocalPrefix[] = "\\\\.\\mailslot\\";
constexpr char kMailSlotComponent[] = "mailslot";
constexpr char kBroadcastHost[] = "*";
constexpr char kLocalHost[] = ".";
constexpr std::size_t kComputerNameSize = 256;

struct sSlotName
{
    std::string host;
    std::string rest;   // after "\mailslot\", '\' separators
    bool local = false;
    bool broadcast = false;

    std::string LocalName() const { return kLocalPrefix + rest; }
    std::string AsGiven() const { return "\\\\" + host + "\\" + kMailSlotComponent + "\\" + rest; }
};

bool IsThisComputer(const std::string& host)
{
    char name[kComputerNameSize];
    return ComputerName(name, sizeof(name)) && CompareNoCase(host, name) == 0;
}

// Splits "\\host\mailslot\rest" (either separator); false for any other shape.
bool ParseSlotName(const char* name, sSlotName& slot)
{
    if (name == nullptr || !IsSeparator(name[0]) || !IsSeparator(name[1]))
        return false;
    const std::string text(name + 2);
    const std::size_t hostEnd = text.find_first_of("\\/");
    if (hostEnd == std::string::npos || hostEnd == 0)
        return false;
    slot.host = text.substr(0, hostEnd);
    const std::size_t componentLength = sizeof(kMailSlotComponent) - 1;
    const std::size_t restStart = hostEnd + 1 + componentLength;
    if (text.size() <= restStart || !IsSeparator(text[restStart]) ||
        CompareNoCase(std::string_view(text).substr(hostEnd + 1, componentLength),
                      kMailSlotComponent) != 0)
        return false;
    slot.rest = text.substr(restStart + 1);
    for (char& c : slot.rest)
        c = c == '/' ? '\\' : c;
    slot.broadcast = slot.host == kBroadcastHost;
    slot.local = slot.broadcast || slot.host == kLocalHost || IsThisComputer(slot.host);
    return !slot.rest.empty();
}

class MailSlotServer : public OsChannel
{
public:
    explicit MailSlotServer(HANDLE os) : OsChannel(ChannelKind::MailSlotServer, os) {}
};

// A client keeps the handle it opened; a local one opens the name again when
// its server has gone (or, for a broadcast, whenever nobody served it yet).
class MailSlotClient : public Channel
{
public:
    MailSlotClient(const sSlotName& slot, HANDLE os)
        : Channel(ChannelKind::MailSlotClient), m_slot(slot), m_os(os)
    {
    }
    ~MailSlotClient() override { CloseLocked(); }

    bool Send(const void* data, std::uint32_t size, std::uint32_t* sent);

private:
    void CloseLocked()
    {
        if (m_os != INVALID_HANDLE_VALUE)
            ::CloseHandle(m_os);
        m_os = INVALID_HANDLE_VALUE;
    }
    bool ReopenLocked();
    bool TransmitLocked(const void* data, std::uint32_t size);

    const sSlotName m_slot;
    std::mutex m_lock;
    HANDLE m_os;   // INVALID_HANDLE_VALUE while not open; guarded by m_lock
};

bool MailSlotClient::ReopenLocked()
{
    CloseLocked();
    m_os = Sys::OpenMailSlot(m_slot.LocalName().c_str());
    if (m_os != INVALID_HANDLE_VALUE)
        return true;
    SetLastErrorFromOs();
    return false;
}

bool MailSlotClient::TransmitLocked(const void* data, std::uint32_t size)
{
    DWORD put = 0;
    if (m_os != INVALID_HANDLE_VALUE && Sys::ChannelWrite(m_os, data, size, &put))
        return true;
    if (m_os != INVALID_HANDLE_VALUE)
        SetLastErrorFromOs();
    if (!m_slot.local || !ReopenLocked())
        return false;
    if (Sys::ChannelWrite(m_os, data, size, &put))
        return true;
    SetLastErrorFromOs();
    return false;
}

bool MailSlotClient::Send(const void* data, std::uint32_t size, std::uint32_t* sent)
{
    std::lock_guard<std::mutex> guard(m_lock);
    if (!TransmitLocked(data, size))
    {
        // A broadcast that no server of this user takes is sent and lost.
        const Error error = GetLastError();
        if (!m_slot.broadcast || (error != Error::NotFound && error != Error::AccessDenied))
            return false;
    }
    if (sent != nullptr)
        *sent = size;
    return true;
}

} // namespace
} // namespace Win32

using namespace Win32;

// maxMessageSize 0 accepts any size; a receive never waits (read timeout 0).
Handle MailSlotCreate(const char* name, std::uint32_t maxMessageSize)
{
    sSlotName slot;
    if (!ParseSlotName(name, slot))
    {
        SetLastError(Error::InvalidArgument);
        return kNullHandle;
    }
    if (!slot.local)
    {
        SetLastError(Error::NotSupported);   // a slot is served on this machine only
        return kNullHandle;
    }
    const HANDLE server = Sys::CreateMailSlot(slot.LocalName().c_str(), maxMessageSize);
    if (server == INVALID_HANDLE_VALUE)
    {
        SetLastErrorFromOs();
        return kNullHandle;
    }
    return RegisterChannel(std::make_shared<MailSlotServer>(server));
}

Handle MailSlotOpen(const char* name)
{
    sSlotName slot;
    if (!ParseSlotName(name, slot))
    {
        SetLastError(Error::InvalidArgument);
        return kNullHandle;
    }
    const std::string osName = slot.local ? slot.LocalName() : slot.AsGiven();
    const HANDLE client = Sys::OpenMailSlot(osName.c_str());
    if (client == INVALID_HANDLE_VALUE && !slot.broadcast)
    {
        SetLastErrorFromOs();
        return kNullHandle;
    }
    return RegisterChannel(std::make_shared<MailSlotClient>(slot, client));
}

bool MailSlotSend(Handle client, const void* data, std::uint32_t size, std::uint32_t* sent)
{
    std::shared_ptr<MailSlotClient> end =
        LookupChannelAs<MailSlotClient>(client, ChannelKind::MailSlotClient);
    if (!end)
        return false;
    if (data == nullptr && size != 0)
    {
        SetLastError(Error::InvalidArgument);
        return false;
    }
    return end->Send(data, size, sent);
}

// Windows keeps a message that does not fit (ERROR_INSUFFICIENT_BUFFER, which
// translates to MessageTooLarge) and reports an empty slot as a timeout of the
// zero read timeout (ERROR_SEM_TIMEOUT, translated to WouldBlock).
bool MailSlotReceive(Handle server, void* data, std::uint32_t size, std::uint32_t* received)
{
    std::shared_ptr<MailSlotServer> end =
        LookupChannelAs<MailSlotServer>(server, ChannelKind::MailSlotServer);
    if (!end)
        return false;
    if ((data == nullptr && size != 0) || received == nullptr)
    {
        SetLastError(Error::InvalidArgument);
        return false;
    }
    DWORD got = 0;
    if (!Sys::ChannelRead(end->Os(), data, size, &got))
    {
        SetLastErrorFromOs();
        return false;
    }
    *received = got;
    return true;
}

bool MailSlotInfo(Handle server, std::uint32_t* maxMessageSize, std::uint32_t* nextSize,
                  std::uint32_t* messageCount)
{
    std::shared_ptr<MailSlotServer> end =
        LookupChannelAs<MailSlotServer>(server, ChannelKind::MailSlotServer);
    if (!end)
        return false;
    DWORD maximum = 0;
    DWORD next = 0;
    DWORD count = 0;
    if (!Sys::MailSlotInfo(end->Os(), &maximum, &next, &count))
    {
        SetLastErrorFromOs();
        return false;
    }
    if (maxMessageSize != nullptr)
        *maxMessageSize = maximum;
    if (nextSize != nullptr)
        *nextSize = next;
    if (messageCount != nullptr)
        *messageCount = count;
    return true;
}

} // namespace ZRPlatform
