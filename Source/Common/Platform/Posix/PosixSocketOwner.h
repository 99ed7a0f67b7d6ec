// Who owns the socket at the other end of a connected Unix-domain socket. Only
// code for POSIX goes here.
#pragma once

#include <sys/types.h>

namespace ZRPlatform
{
namespace Posix
{

// The user that created the socket fd is connected to, from the kernel's socket
// diagnostics (unix_diag). Datagram sockets have no SO_PEERCRED, and an abstract
// address can be bound by any user, so this is how a client learns whose server
// it reaches. The answer names the very socket fd is connected to, so it cannot
// go stale while the connection stands. False (NotSupported on a kernel without
// unix_diag, NotFound when fd is not connected) when the owner cannot be told.
bool ConnectedPeerOwner(int fd, uid_t* owner);

} // namespace Posix
} // namespace ZRPlatform
