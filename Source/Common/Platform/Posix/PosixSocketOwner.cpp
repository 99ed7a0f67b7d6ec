// Socket owners through the kernel's unix_diag netlink interface: one exact
// query for the peer of our own socket, one for the owner of that peer. Only
// code for POSIX goes here.
#include "Common/Platform/Posix/PosixSocketOwner.h"

#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <linux/sock_diag.h>
#include <linux/unix_diag.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>

#include "Common/Platform/Posix/PosixObjects.h"

namespace ZRPlatform
{
namespace Posix
{
namespace
{
// A reply to one exact query is one small message.
constexpr std::size_t kReplySize = 4096;
constexpr std::uint32_t kAllStates = ~0u;
constexpr std::uint32_t kNoCookie = ~0u;   // INET_DIAG_NOCOOKIE: match any socket generation

struct DiagRequest
{
    nlmsghdr header;
    unix_diag_req request;
};

bool SendRequest(int nl, std::uint32_t ino, std::uint32_t show)
{
    DiagRequest message{};
    message.header.nlmsg_len = sizeof(message);
    message.header.nlmsg_type = SOCK_DIAG_BY_FAMILY;
    message.header.nlmsg_flags = NLM_F_REQUEST;
    message.request.sdiag_family = AF_UNIX;
    message.request.udiag_states = kAllStates;
    message.request.udiag_ino = ino;
    message.request.udiag_show = show;
    message.request.udiag_cookie[0] = kNoCookie;
    message.request.udiag_cookie[1] = kNoCookie;
    sockaddr_nl kernel{};
    kernel.nl_family = AF_NETLINK;
    return sendto(nl, &message, sizeof(message), 0, reinterpret_cast<const sockaddr*>(&kernel),
                  sizeof(kernel)) == static_cast<ssize_t>(sizeof(message));
}

// Finds attrType in the reply about ino. On failure *errnoValue holds why:
// ENOENT no such socket (or no unix_diag at all), ENOTCONN no such attribute.
bool ParseReply(const char* reply, int length, std::uint32_t ino, int attrType,
                std::uint32_t* value, int* errnoValue)
{
    *errnoValue = ENOENT;
    // NLMSG_OK compares the header's unsigned length with the signed one it is given.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wsign-compare"
    for (auto* header = reinterpret_cast<const nlmsghdr*>(reply); NLMSG_OK(header, length);
         header = NLMSG_NEXT(header, length))
    {
        if (header->nlmsg_type == NLMSG_ERROR)
        {
            const auto* error = static_cast<const nlmsgerr*>(NLMSG_DATA(header));
            if (header->nlmsg_len >= NLMSG_LENGTH(sizeof(nlmsgerr)) && error->error != 0)
                *errnoValue = -error->error;
            return false;
        }
        if (header->nlmsg_type != SOCK_DIAG_BY_FAMILY ||
            header->nlmsg_len < NLMSG_LENGTH(sizeof(unix_diag_msg)))
            continue;
        const auto* socketInfo = static_cast<const unix_diag_msg*>(NLMSG_DATA(header));
        if (socketInfo->udiag_ino != ino)
            continue;
        *errnoValue = ENOTCONN;
        int attrLength = static_cast<int>(header->nlmsg_len - NLMSG_LENGTH(sizeof(unix_diag_msg)));
        for (auto* attr = reinterpret_cast<const rtattr*>(socketInfo + 1); RTA_OK(attr, attrLength);
             attr = RTA_NEXT(attr, attrLength))
        {
            if (attr->rta_type == attrType && RTA_PAYLOAD(attr) >= sizeof(*value))
            {
                std::memcpy(value, RTA_DATA(attr), sizeof(*value));
                return true;
            }
        }
    }
#pragma GCC diagnostic pop
    return false;
}

// The 32-bit attribute attrType of the socket with inode ino, as the kernel
// reports it; *errnoValue as ParseReply on failure.
bool QuerySocket(std::uint32_t ino, std::uint32_t show, int attrType, std::uint32_t* value,
                 int* errnoValue)
{
    const int nl = socket(AF_NETLINK, SOCK_DGRAM | SOCK_CLOEXEC, NETLINK_SOCK_DIAG);
    if (nl < 0)
    {
        *errnoValue = errno;
        return false;
    }
    alignas(nlmsghdr) char reply[kReplySize];
    sockaddr_nl from{};
    socklen_t fromLength = sizeof(from);
    ssize_t received = -1;
    if (SendRequest(nl, ino, show))
    {
        do
            received = recvfrom(nl, reply, sizeof(reply), 0, reinterpret_cast<sockaddr*>(&from),
                                &fromLength);
        while (received < 0 && errno == EINTR);
    }
    *errnoValue = errno;
    close(nl);
    if (received < 0)
        return false;
    if (from.nl_pid != 0)   // not the kernel
    {
        *errnoValue = EPERM;
        return false;
    }
    return ParseReply(reply, static_cast<int>(received), ino, attrType, value, errnoValue);
}
} // namespace

bool ConnectedPeerOwner(int fd, uid_t* owner)
{
    struct stat self;
    if (fstat(fd, &self) != 0)
    {
        SetLastErrorFromErrno(errno);
        return false;
    }
    std::uint32_t peer = 0;
    int error = 0;
    // Our own socket exists, so not finding it means the kernel lacks unix_diag.
    if (!QuerySocket(static_cast<std::uint32_t>(self.st_ino), UDIAG_SHOW_PEER, UNIX_DIAG_PEER,
                     &peer, &error))
    {
        const bool noDiag = error == ENOENT || error == EPROTONOSUPPORT || error == EAFNOSUPPORT;
        SetLastError(noDiag ? Error::NotSupported
                            : error == ENOTCONN ? Error::NotFound : TranslateErrno(error));
        return false;
    }
    std::uint32_t uid = 0;
    if (!QuerySocket(peer, UDIAG_SHOW_UID, UNIX_DIAG_UID, &uid, &error))
    {
        // ENOENT: the peer is gone; ENOTCONN: no owner to tell (Linux before 5.3).
        SetLastError(error == ENOENT     ? Error::NotFound
                     : error == ENOTCONN ? Error::NotSupported
                                         : TranslateErrno(error));
        return false;
    }
    *owner = static_cast<uid_t>(uid);
    return true;
}

} // namespace Posix
} // namespace ZRPlatform
