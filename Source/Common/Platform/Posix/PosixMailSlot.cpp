// Mail slots of the POSIX backend on Unix-domain datagram sockets, which keep
// message boundaries. Only code for POSIX goes here.
//
// A slot's server binds a socket in Linux's abstract socket namespace under a name
// derived from the slot name. Abstract names are machine-wide like Windows mail slot
// names, vanish with the last descriptor (a crashed server leaves nothing stale) and
// bind() refuses a name that a live server holds.
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <deque>
#include <vector>

#include "Common/Platform/Posix/PosixObjects.h"
#include "Common/Platform/PlatformNames.h"

namespace ZRPlatform
{
namespace Posix
{
namespace
{
using Names::AsciiLower;
using Names::AsciiLowerCopy;
using Names::CompareNoCase;
using Names::IsSeparator;

constexpr char kAddressPrefix[] = "zrcommon/mailslot/";
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
    // Abstract address: a leading NUL, then the name without terminator.
    const std::size_t room = sizeof(slot.address.sun_path) - 1 - (sizeof(kAddressPrefix) - 1);
    const std::string key =
        std::string(kAddressPrefix) + (rest.size() <= room ? rest : HashName(rest));
    slot.address.sun_family = AF_UNIX;
    std::memcpy(slot.address.sun_path + 1, key.data(), key.size());
    slot.length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + key.size());
    return true;
}

int NewDatagramSocket()
{
    const int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        SetLastErrorFromErrno(errno);
    return fd;
}

// For an abstract address, a refused connection means that nobody serves the name.
bool NobodyServes(int errnoValue) { return errnoValue == ECONNREFUSED; }

bool ServerListening(const SlotAddress& slot)
{
    const int fd = NewDatagramSocket();
    if (fd < 0)
        return false;
    const bool listening =
        connect(fd, reinterpret_cast<const sockaddr*>(&slot.address), slot.length) == 0;
    const int error = errno;
    close(fd);
    if (!listening)
    {
        if (NobodyServes(error))
            SetLastError(Error::NotFound);
        else
            SetLastErrorFromErrno(error);
    }
    return listening;
}

class MailSlotServer : public KernelObject
{
public:
    MailSlotServer(int fd, std::uint32_t maxMessageSize)
        : KernelObject(ObjectKind::MailSlotServer), m_fd(fd), m_maxMessageSize(maxMessageSize)
    {
    }
    ~MailSlotServer() override { close(m_fd); }

    bool Receive(void* data, std::uint32_t size, std::uint32_t* received);
    bool Info(std::uint32_t* maxMessageSize, std::uint32_t* nextSize, std::uint32_t* count);

private:
    bool DrainLocked();

    const int m_fd;
    const std::uint32_t m_maxMessageSize;
    std::mutex m_lock;
    std::deque<std::vector<char>> m_queue;   // received from the socket, not yet read
};

// Moves the messages waiting in the socket into m_queue, so that counts are exact
// and senders find room again.
bool MailSlotServer::DrainLocked()
{
    for (std::size_t moved = 0; moved < kMaxDrainPerCall; ++moved)
    {
        const ssize_t size = recv(m_fd, nullptr, 0, MSG_PEEK | MSG_TRUNC | MSG_DONTWAIT);
        if (size < 0)
        {
            if (errno == EINTR)
                continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK)
                return true;
            SetLastErrorFromErrno(errno);
            return false;
        }
        std::vector<char> message(static_cast<std::size_t>(size));
        if (recv(m_fd, message.data(), message.size(), MSG_DONTWAIT) < 0)
        {
            SetLastErrorFromErrno(errno);
            return false;
        }
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

class MailSlotClient : public KernelObject
{
public:
    MailSlotClient(int fd, const SlotAddress& slot)
        : KernelObject(ObjectKind::MailSlotClient), m_fd(fd), m_slot(slot)
    {
    }
    ~MailSlotClient() override { close(m_fd); }

    // Each message is addressed by name, so a server that comes back under the
    // name receives the next one.
    bool Send(const void* data, std::uint32_t size, std::uint32_t* sent)
    {
        const auto* address = reinterpret_cast<const sockaddr*>(&m_slot.address);
        ssize_t n;
        do
            n = sendto(m_fd, data, size, MSG_NOSIGNAL, address, m_slot.length);
        while (n < 0 && errno == EINTR);
        // A broadcast that nobody listens to is sent and lost, as on Windows.
        const bool dropped = n < 0 && m_slot.broadcast && NobodyServes(errno);
        if (n < 0 && !dropped)
        {
            if (NobodyServes(errno))
                SetLastError(Error::NotFound);
            else
                SetLastErrorFromErrno(errno);
            return false;
        }
        if (sent != nullptr)
            *sent = size;
        return true;
    }

private:
    const int m_fd;
    const SlotAddress m_slot;
};

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
    if (bind(fd, reinterpret_cast<const sockaddr*>(&slot.address), slot.length) != 0)
    {
        // An abstract name in use always belongs to a live server.
        if (errno == EADDRINUSE)
            SetLastError(Error::AlreadyExists);
        else
            SetLastErrorFromErrno(errno);
        close(fd);
        return kNullHandle;
    }
    return RegisterObject(std::make_shared<MailSlotServer>(fd, maxMessageSize));
}

// A name on this machine must be served now (NotFound otherwise); a broadcast name
// opens whether or not anybody serves it.
Handle MailSlotOpen(const char* name)
{
    SlotAddress slot;
    if (!MakeSlotAddress(name, slot))
        return kNullHandle;
    if (!slot.broadcast && !ServerListening(slot))
        return kNullHandle;
    const int fd = NewDatagramSocket();
    if (fd < 0)
        return kNullHandle;
    const timeval sendWait{0, kSendWaitUs};
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &sendWait, sizeof(sendWait));
    return RegisterObject(std::make_shared<MailSlotClient>(fd, slot));
}

bool MailSlotSend(Handle client, const void* data, std::uint32_t size, std::uint32_t* sent)
{
    std::shared_ptr<MailSlotClient> end =
        LookupAs<MailSlotClient>(client, ObjectKind::MailSlotClient);
    if (!end)
        return false;
    if (data == nullptr && size != 0)
    {
        SetLastError(Error::InvalidArgument);
        return false;
    }
    return end->Send(data, size, sent);
}

bool MailSlotReceive(Handle server, void* data, std::uint32_t size, std::uint32_t* received)
{
    std::shared_ptr<MailSlotServer> end =
        LookupAs<MailSlotServer>(server, ObjectKind::MailSlotServer);
    if (!end)
        return false;
    if ((data == nullptr && size != 0) || received == nullptr)
    {
        SetLastError(Error::InvalidArgument);
        return false;
    }
    return end->Receive(data, size, received);
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
