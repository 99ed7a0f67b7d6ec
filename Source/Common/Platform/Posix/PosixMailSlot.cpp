// Mail slots of the POSIX backend on Unix-domain datagram sockets, which keep
// message boundaries. Only code for POSIX goes here.
//
// A slot's server binds a socket in Linux's abstract socket namespace under a name
// derived from the slot name. Abstract names vanish with the last descriptor (a
// crashed server leaves nothing stale) and bind() refuses a name that a live
// server holds; but any local user may bind or send to any abstract name, so the
// backend scopes slots to users itself.
//
// Scope. By default a slot belongs to the effective user: its address is
// "zrcommon/mailslot/user/<euid>/<slot name>", so each user has a "debug" slot of
// their own. The environment variable ZR_MAILSLOT_SCOPE=machine, read whenever a
// slot is created or opened, selects machine-wide names instead,
// "zrcommon/mailslot/machine/<slot name>", shared by every user as on Windows;
// any other value, or none, keeps the per-user scope. The slot name is lower-cased
// with '\' separators; a name too long for the address is replaced by its hash.
//
// Per-user slots hold on both ends, since other users can still reach the address:
// - the server receives with SO_PASSCRED and drops every datagram whose kernel
//   credentials name another user, or that carries none; dropped datagrams are
//   never queued, so counts and sizes describe accepted messages only;
// - a client sends only to a server socket created by its own user, checked
//   through the kernel's socket diagnostics on each (re)connection, so a socket
//   squatting on the user's address receives nothing (AccessDenied; a broadcast
//   is sent and lost instead). Clients pass their effective user explicitly as
//   credentials, which is what the server compares.
// Machine-wide slots check neither.
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "Common/Platform/Posix/PosixObjects.h"
#include "Common/Platform/Posix/PosixSocketOwner.h"
#include "Common/Platform/Posix/PosixSys.h"
#include "Common/Platform/PlatformBackend.h"
#include "Common/Platform/PlatformNames.h"

namespace ZRPlatform
{
namespace Posix
{
namespace
{
using Names::AsciiLowerCopy;
using Names::CompareNoCase;
using Names::IsSeparator;

constexpr char kAddressPrefix[] = "zrcommon/mailslot/";
constexpr char kUserScopePrefix[] = "user/";
constexpr char kMachineScopePrefix[] = "machine/";
constexpr char kScopeVariable[] = "ZR_MAILSLOT_SCOPE";
constexpr char kMachineScopeValue[] = "machine";
constexpr char kMailSlotComponent[] = "mailslot";
constexpr std::size_t kComputerNameSize = 256;
// A sender waits at most this long while the server's queue is full, then fails.
constexpr long kSendWaitUs = 100000;
// Messages one call moves from the socket into the server's queue, so that busy
// senders cannot keep a receiver in the loop.
constexpr std::size_t kMaxDrainPerCall = 1024;
constexpr std::uint64_t kFnvOffset = 14695981039346656037ull;
constexpr std::uint64_t kFnvPrime = 1099511628211ull;
constexpr char kHexDigits[] = "0123456789abcdef";

struct SlotAddress
{
    sockaddr_un address{};
    socklen_t length = 0;
    bool broadcast = false;   // "\\*\...": sent to whoever serves the name, if anyone
    bool perUser = true;      // false for machine-wide names
    uid_t user = 0;           // the effective user, for per-user names
};

std::string HashName(const std::string& name)
{
    std::uint64_t hash = kFnvOffset;
    for (char c : name)
        hash = (hash ^ static_cast<unsigned char>(c)) * kFnvPrime;
    std::string text = "#";
    for (int shift = 60; shift >= 0; shift -= 4)
        text += kHexDigits[(hash >> shift) & 0xF];
    return text;
}

bool IsThisComputer(const std::string& host)
{
    char name[kComputerNameSize];
    return ComputerName(name, sizeof(name)) && CompareNoCase(host, name) == 0;
}

bool MachineScopeRequested()
{
    const char* scope = std::getenv(kScopeVariable);
    return scope != nullptr && std::strcmp(scope, kMachineScopeValue) == 0;
}

// Splits "\\host\mailslot\rest" (either separator) into host and the lower-cased
// rest with '\' separators; false for any other shape.
bool SplitSlotName(const char* name, std::string& host, std::string& rest)
{
    if (name == nullptr || !IsSeparator(name[0]) || !IsSeparator(name[1]))
        return false;
    const char* cursor = name + 2;
    const char* hostEnd = cursor;
    while (*hostEnd != '\0' && !IsSeparator(*hostEnd))
        ++hostEnd;
    host.assign(cursor, hostEnd);
    if (*hostEnd == '\0')
        return false;
    const std::size_t componentLength = sizeof(kMailSlotComponent) - 1;
    const std::string component(hostEnd + 1, strnlen(hostEnd + 1, componentLength));
    cursor = hostEnd + 1 + component.size();
    if (CompareNoCase(component, kMailSlotComponent) != 0 || !IsSeparator(*cursor))
        return false;
    rest = AsciiLowerCopy(cursor + 1);
    for (char& c : rest)
        c = c == '/' ? '\\' : c;
    return !host.empty() && !rest.empty();
}

// The scope part of the address: "user/<euid>/" or "machine/".
std::string ScopePrefix(const SlotAddress& slot)
{
    if (!slot.perUser)
        return kMachineScopePrefix;
    return kUserScopePrefix + std::to_string(slot.user) + "/";
}

// "." and "*" both name this machine; so does its own computer name. Other
// machines cannot be reached (NotSupported).
bool MakeSlotAddress(const char* name, SlotAddress& slot)
{
    std::string host;
    std::string rest;
    if (!SplitSlotName(name, host, rest))
    {
        SetLastError(Error::InvalidArgument);
        return false;
    }
    slot.broadcast = host == "*";
    if (host != "." && !slot.broadcast && !IsThisComputer(host))
    {
        SetLastError(Error::NotSupported);
        return false;
    }
    slot.perUser = !MachineScopeRequested();
    slot.user = geteuid();
    // Abstract address: a leading NUL, then the name without terminator.
    const std::string prefix = kAddressPrefix + ScopePrefix(slot);
    const std::size_t room = sizeof(slot.address.sun_path) - 1 - prefix.size();
    const std::string key = prefix + (rest.size() <= room ? rest : HashName(rest));
    slot.address.sun_family = AF_UNIX;
    std::memcpy(slot.address.sun_path + 1, key.data(), key.size());
    slot.length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + key.size());
    return true;
}

int NewDatagramSocket()
{
    const int fd = Sys::Socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        SetLastErrorFromErrno(errno);
    return fd;
}

// For an abstract address, a refused connection means that nobody serves the
// name; a connected socket whose server has gone reports one of these too.
bool NobodyServes(int errnoValue) { return errnoValue == ECONNREFUSED || errnoValue == ENOTCONN; }

// The user the kernel's credentials of a received datagram name; false when it
// carries none.
bool SenderOf(msghdr& header, uid_t* user)
{
    for (cmsghdr* part = CMSG_FIRSTHDR(&header); part != nullptr; part = CMSG_NXTHDR(&header, part))
    {
        if (part->cmsg_level == SOL_SOCKET && part->cmsg_type == SCM_CREDENTIALS &&
            part->cmsg_len >= CMSG_LEN(sizeof(ucred)))
        {
            ucred credentials;
            std::memcpy(&credentials, CMSG_DATA(part), sizeof(credentials));
            *user = credentials.uid;
            return true;
        }
    }
    return false;
}

class MailSlotServer : public KernelObject
{
public:
    MailSlotServer(int fd, std::uint32_t maxMessageSize, const SlotAddress& slot)
        : KernelObject(ObjectKind::MailSlotServer), m_fd(fd), m_maxMessageSize(maxMessageSize),
          m_perUser(slot.perUser), m_user(slot.user)
    {
    }
    ~MailSlotServer() override { close(m_fd); }

    bool Receive(void* data, std::uint32_t size, std::uint32_t* received);
    bool Info(std::uint32_t* maxMessageSize, std::uint32_t* nextSize, std::uint32_t* count);

private:
    bool DrainLocked();
    bool PeekNext(std::size_t* size, bool* accepted);

    const int m_fd;
    const std::uint32_t m_maxMessageSize;
    const bool m_perUser;
    const uid_t m_user;
    std::mutex m_lock;
    std::deque<std::vector<char>> m_queue;   // accepted from the socket, not yet read
};

// The size of the next datagram and whether this slot accepts its sender, without
// taking it off the socket. The control buffer has room for the credentials
// alone, so descriptors a sender attaches are never installed here.
bool MailSlotServer::PeekNext(std::size_t* size, bool* accepted)
{
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(ucred))];
    msghdr header{};
    header.msg_control = control;
    header.msg_controllen = sizeof(control);
    const ssize_t length = Sys::ReceiveMessage(m_fd, &header, MSG_PEEK | MSG_TRUNC | MSG_DONTWAIT);
    if (length < 0)
        return false;
    uid_t sender = 0;
    const bool known = SenderOf(header, &sender);
    *size = static_cast<std::size_t>(length);
    *accepted = !m_perUser || (known && sender == m_user);
    return true;
}

// Moves the messages waiting in the socket into m_queue, so that counts are exact
// and senders find room again. Datagrams this slot does not accept are taken off
// the socket unread (a zero-byte receive discards them) and never counted.
bool MailSlotServer::DrainLocked()
{
    for (std::size_t moved = 0; moved < kMaxDrainPerCall; ++moved)
    {
        std::size_t size = 0;
        bool accepted = false;
        if (!PeekNext(&size, &accepted))
        {
            if (errno == EINTR)
                continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK)
                return true;
            SetLastErrorFromErrno(errno);
            return false;
        }
        std::vector<char> message(accepted ? size : 0);
        if (Sys::Receive(m_fd, message.data(), message.size(), MSG_DONTWAIT) < 0)
        {
            SetLastErrorFromErrno(errno);
            return false;
        }
        if (accepted)
            m_queue.push_back(std::move(message));
    }
    return true;
}

bool MailSlotServer::Receive(void* data, std::uint32_t size, std::uint32_t* received)
{
    std::lock_guard<std::mutex> guard(m_lock);
    if (!DrainLocked())
        return false;
    if (m_queue.empty())
    {
        SetLastError(Error::WouldBlock);
        return false;
    }
    const std::vector<char>& next = m_queue.front();
    if (next.size() > size)
    {
        SetLastError(Error::MessageTooLarge);   // it stays first in the queue
        return false;
    }
    if (!next.empty())
        std::memcpy(data, next.data(), next.size());
    *received = static_cast<std::uint32_t>(next.size());
    m_queue.pop_front();
    return true;
}

bool MailSlotServer::Info(std::uint32_t* maxMessageSize, std::uint32_t* nextSize,
                          std::uint32_t* count)
{
    std::lock_guard<std::mutex> guard(m_lock);
    if (!DrainLocked())
        return false;
    if (maxMessageSize != nullptr)
        *maxMessageSize = m_maxMessageSize;
    if (nextSize != nullptr)
        *nextSize = m_queue.empty() ? kMailSlotNoMessage
                                    : static_cast<std::uint32_t>(m_queue.front().size());
    if (count != nullptr)
        *count = static_cast<std::uint32_t>(m_queue.size());
    return true;
}

// A client's socket stays connected to the server it checked; when that server
// goes, the next send connects (and checks) again, so a server that comes back
// under the name receives the next message.
class MailSlotClient : public KernelObject
{
public:
    MailSlotClient(int fd, const SlotAddress& slot)
        : KernelObject(ObjectKind::MailSlotClient), m_fd(fd), m_slot(slot)
    {
    }
    ~MailSlotClient() override { close(m_fd); }

    bool Connect()
    {
        std::lock_guard<std::mutex> guard(m_lock);
        return ConnectLocked();
    }
    bool Send(const void* data, std::uint32_t size, std::uint32_t* sent);

private:
    bool ConnectLocked();
    bool SendLocked(const void* data, std::uint32_t size);
    bool Transmit(const void* data, std::uint32_t size) const;

    const int m_fd;
    const SlotAddress m_slot;
    std::mutex m_lock;
    bool m_connected = false;   // to a server this client accepts; guarded by m_lock
};

// Connects to the socket now bound to the address; for a per-user slot it must
// have been created by this user (AccessDenied otherwise).
bool MailSlotClient::ConnectLocked()
{
    m_connected = false;
    if (Sys::Connect(m_fd, reinterpret_cast<const sockaddr*>(&m_slot.address), m_slot.length) != 0)
    {
        if (NobodyServes(errno))
            SetLastError(Error::NotFound);
        else
            SetLastErrorFromErrno(errno);
        return false;
    }
    uid_t owner = 0;
    if (m_slot.perUser && !ConnectedPeerOwner(m_fd, &owner))
        return false;
    if (m_slot.perUser && owner != m_slot.user)
    {
        SetLastError(Error::AccessDenied);
        return false;
    }
    m_connected = true;
    return true;
}

// One datagram with this process's credentials, naming the effective user (the
// kernel would attach the real one).
bool MailSlotClient::Transmit(const void* data, std::uint32_t size) const
{
    iovec part{const_cast<void*>(data), size};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(ucred))] = {};
    msghdr header{};
    header.msg_iov = &part;
    header.msg_iovlen = 1;
    header.msg_control = control;
    header.msg_controllen = sizeof(control);
    cmsghdr* credentialsPart = CMSG_FIRSTHDR(&header);
    credentialsPart->cmsg_level = SOL_SOCKET;
    credentialsPart->cmsg_type = SCM_CREDENTIALS;
    credentialsPart->cmsg_len = CMSG_LEN(sizeof(ucred));
    const ucred self{getpid(), geteuid(), getegid()};
    std::memcpy(CMSG_DATA(credentialsPart), &self, sizeof(self));
    ssize_t n;
    do
        n = Sys::SendMessage(m_fd, &header, MSG_NOSIGNAL);
    while (n < 0 && errno == EINTR);
    return n >= 0;
}

bool MailSlotClient::SendLocked(const void* data, std::uint32_t size)
{
    if (m_connected && Transmit(data, size))
        return true;
    if (m_connected && !NobodyServes(errno))
    {
        SetLastErrorFromErrno(errno);
        return false;
    }
    if (!ConnectLocked())
        return false;
    if (Transmit(data, size))
        return true;
    m_connected = false;
    if (NobodyServes(errno))
        SetLastError(Error::NotFound);
    else
        SetLastErrorFromErrno(errno);
    return false;
}

bool MailSlotClient::Send(const void* data, std::uint32_t size, std::uint32_t* sent)
{
    std::lock_guard<std::mutex> guard(m_lock);
    if (!SendLocked(data, size))
    {
        // A broadcast that no server of this user takes is sent and lost, as
        // on Windows.
        const Error error = GetLastError();
        if (!m_slot.broadcast || (error != Error::NotFound && error != Error::AccessDenied))
            return false;
    }
    if (sent != nullptr)
        *sent = size;
    return true;
}

} // namespace
} // namespace Posix

using namespace Posix;

// maxMessageSize is reported by MailSlotInfo (0: any size); senders cannot know
// it, so it is not enforced.
Handle MailSlotCreate(const char* name, std::uint32_t maxMessageSize)
{
    SlotAddress slot;
    if (!MakeSlotAddress(name, slot))
        return kNullHandle;
    const int fd = NewDatagramSocket();
    if (fd < 0)
        return kNullHandle;
    // Credentials are attached to every datagram queued from the bind on.
    const int on = 1;
    if (setsockopt(fd, SOL_SOCKET, SO_PASSCRED, &on, sizeof(on)) != 0 ||
        Sys::Bind(fd, reinterpret_cast<const sockaddr*>(&slot.address), slot.length) != 0)
    {
        // An abstract name in use always belongs to a live server.
        if (errno == EADDRINUSE)
            SetLastError(Error::AlreadyExists);
        else
            SetLastErrorFromErrno(errno);
        close(fd);
        return kNullHandle;
    }
    return RegisterObject(std::make_shared<MailSlotServer>(fd, maxMessageSize, slot));
}

// A name on this machine must be served now, by this user for a per-user name
// (NotFound, AccessDenied otherwise); a broadcast name opens whether or not
// anybody serves it.
Handle MailSlotOpen(const char* name)
{
    SlotAddress slot;
    if (!MakeSlotAddress(name, slot))
        return kNullHandle;
    const int fd = NewDatagramSocket();
    if (fd < 0)
        return kNullHandle;
    const timeval sendWait{0, kSendWaitUs};
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &sendWait, sizeof(sendWait));
    auto client = std::make_shared<MailSlotClient>(fd, slot);
    if (!slot.broadcast && !client->Connect())
        return kNullHandle;
    return RegisterObject(client);
}

bool Backend::MailSlotSend(Handle client, const void* data, std::uint32_t size,
                           std::uint32_t* sent)
{
    std::shared_ptr<MailSlotClient> end =
        LookupAs<MailSlotClient>(client, ObjectKind::MailSlotClient);
    return end && end->Send(data, size, sent);
}

bool Backend::MailSlotReceive(Handle server, void* data, std::uint32_t size,
                              std::uint32_t* received)
{
    std::shared_ptr<MailSlotServer> end =
        LookupAs<MailSlotServer>(server, ObjectKind::MailSlotServer);
    return end && end->Receive(data, size, received);
}

// messageCount is exact: the server moves waiting messages out of the socket into
// its own queue before it counts.
bool MailSlotInfo(Handle server, std::uint32_t* maxMessageSize, std::uint32_t* nextSize,
                  std::uint32_t* messageCount)
{
    std::shared_ptr<MailSlotServer> end =
        LookupAs<MailSlotServer>(server, ObjectKind::MailSlotServer);
    return end && end->Info(maxMessageSize, nextSize, messageCount);
}

} // namespace ZRPlatform
