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

// A client of a slot on another host keeps the handle it opened. A local
// client holds no handle between sends: it opens the name for each message, so
// a server that comes back under the name receives the next message, and a
// client never keeps a slot (or its name) alive after its server has gone, as
// a client's handle does on some hosts.
class MailSlotClient : public Channel
{
public:
    MailSlotClient(const sSlotName& slot, HANDLE os)
        : Channel(ChannelKind::MailSlotClient), m_slot(slot), m_os(os)
    {
    }
    ~MailSlotClient() override
    {
        if (m_os != INVALID_HANDLE_VALUE)
            ::CloseHandle(m_os);
    }

    bool Send(const void* data, std::uint32_t size, std::uint32_t* sent);

private:
    bool TransmitLocal(const void* data, std::uint32_t size);
    bool Transmit(HANDLE os, const void* data, std::uint32_t size);

    const sSlotName m_slot;
    std::mutex m_lock;   // one message at a time from this client
    const HANDLE m_os;   // the remote slot; INVALID_HANDLE_VALUE for a local one
};

bool MailSlotClient::Transmit(HANDLE os, const void* data, std::uint32_t size)
{
    DWORD put = 0;
    if (Sys::ChannelWrite(os, data, size, &put))
        return true;
    SetLastErrorFromOs();
    return false;
}

bool MailSlotClient::TransmitLocal(const void* data, std::uint32_t size)
{
    const HANDLE os = Sys::OpenMailSlot(m_slot.LocalName().c_str());
    if (os == INVALID_HANDLE_VALUE)
    {
        SetLastErrorFromOs();
        return false;
    }
    const bool done = Transmit(os, data, size);
    ::CloseHandle(os);
    return done;
}

bool MailSlotClient::Send(const void* data, std::uint32_t size, std::uint32_t* sent)
{
    std::lock_guard<std::mutex> guard(m_lock);
    if (!(m_slot.local ? TransmitLocal(data, size) : Transmit(m_os, data, size)))
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
    // A local slot is opened here only to learn that it is served.
    const std::string osName = slot.local ? slot.LocalName() : slot.AsGiven();
    HANDLE client = Sys::OpenMailSlot(osName.c_str());
    if (client == INVALID_HANDLE_VALUE && !slot.broadcast)
    {
        SetLastErrorFromOs();
        return kNullHandle;
    }
    if (slot.local && client != INVALID_HANDLE_VALUE)
    {
        ::CloseHandle(client);
        client = INVALID_HANDLE_VALUE;
    }
    return RegisterChannel(std::make_shared<MailSlotClient>(slot, client));
}

bool Backend::MailSlotSend(Handle client, const void* data, std::uint32_t size,
                           std::uint32_t* sent)
{
    std::shared_ptr<MailSlotClient> end =
        LookupChannelAs<MailSlotClient>(client, ChannelKind::MailSlotClient);
    return end && end->Send(data, size, sent);
}

// The next message's size is asked first: one that does not fit is refused
// (MessageTooLarge) and stays in front, on every host, even where a short
// read would cut it. An empty slot is WouldBlock, as Windows reports it
// (ERROR_SEM_TIMEOUT of the zero read timeout) when a read finds nothing.
bool Backend::MailSlotReceive(Handle server, void* data, std::uint32_t size,
                              std::uint32_t* received)
{
    std::shared_ptr<MailSlotServer> end =
        LookupChannelAs<MailSlotServer>(server, ChannelKind::MailSlotServer);
    if (!end)
        return false;
    DWORD next = 0;
    if (!Sys::MailSlotInfo(end->Os(), nullptr, &next, nullptr))
    {
        SetLastErrorFromOs();
        return false;
    }
    if (next == MAILSLOT_NO_MESSAGE || next > size)
    {
        SetLastError(next == MAILSLOT_NO_MESSAGE ? Error::WouldBlock : Error::MessageTooLarge);
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
