// The POSIX calls of the file and channel backends, each passing the test seam first: in test
// builds it counts the call and may fail it with an injected errno instead of
// calling the OS. Only code for POSIX goes here.
#pragma once

#include <dirent.h>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "Common/Platform/PlatformSeam.h"
#include "Common/Platform/Posix/PosixObjects.h"

namespace ZRPlatform
{
namespace Posix
{
namespace Sys
{

// True when the seam fails this call; errno then holds the injected error.
inline bool Injected(Seam::OsCall call)
{
    if (!Seam::Enter(call))
        return false;
    errno = ErrnoFor(Seam::InjectedError());
    return true;
}

inline int Open(const char* path, int flags, mode_t mode = 0)
{
    if (Injected(Seam::OsCall::Open))
        return -1;
    int fd;
    do
        fd = ::open(path, flags | O_CLOEXEC, mode);
    while (fd < 0 && errno == EINTR);
    return fd;
}

inline ssize_t PRead(int fd, void* buffer, size_t size, off_t offset)
{
    return Injected(Seam::OsCall::Read) ? -1 : ::pread(fd, buffer, size, offset);
}

inline ssize_t PWrite(int fd, const void* buffer, size_t size, off_t offset)
{
    return Injected(Seam::OsCall::Write) ? -1 : ::pwrite(fd, buffer, size, offset);
}

inline int Close(int fd)
{
    if (Injected(Seam::OsCall::Close))
    {
        ::close(fd);   // the descriptor is gone either way, as after a real failure
        return -1;
    }
    return ::close(fd);
}

inline int FStat(int fd, struct stat* info)
{
    return Injected(Seam::OsCall::Stat) ? -1 : ::fstat(fd, info);
}

inline int Stat(const char* path, struct stat* info)
{
    return Injected(Seam::OsCall::Stat) ? -1 : ::stat(path, info);
}

inline int LStat(const char* path, struct stat* info)
{
    return Injected(Seam::OsCall::Stat) ? -1 : ::lstat(path, info);
}

inline int Access(const char* path, int mode)
{
    return Injected(Seam::OsCall::Stat) ? -1 : ::faccessat(AT_FDCWD, path, mode, AT_EACCESS);
}

inline DIR* OpenDir(const char* path)
{
    return Injected(Seam::OsCall::List) ? nullptr : ::opendir(path);
}

inline int Mkdir(const char* path, mode_t mode)
{
    return Injected(Seam::OsCall::Change) ? -1 : ::mkdir(path, mode);
}

inline int Rmdir(const char* path)
{
    return Injected(Seam::OsCall::Change) ? -1 : ::rmdir(path);
}

inline int Unlink(const char* path)
{
    return Injected(Seam::OsCall::Change) ? -1 : ::unlink(path);
}

inline int Chmod(const char* path, mode_t mode)
{
    return Injected(Seam::OsCall::Change) ? -1 : ::chmod(path, mode);
}

inline int Chdir(const char* path)
{
    return Injected(Seam::OsCall::Change) ? -1 : ::chdir(path);
}

inline char* Getcwd(char* buffer, size_t size)
{
    return Injected(Seam::OsCall::CurrentDirectory) ? nullptr : ::getcwd(buffer, size);
}

// Pipes and mail slots.
inline int Pipe(int fds[2]) { return Injected(Seam::OsCall::Channel) ? -1 : ::pipe2(fds, O_CLOEXEC); }

inline ssize_t ChannelRead(int fd, void* buffer, size_t size)
{
    return Injected(Seam::OsCall::Channel) ? -1 : ::read(fd, buffer, size);
}

inline ssize_t ChannelWrite(int fd, const void* buffer, size_t size)
{
    return Injected(Seam::OsCall::Channel) ? -1 : ::write(fd, buffer, size);
}

inline int BytesWaiting(int fd, int* count)
{
    return Injected(Seam::OsCall::Channel) ? -1 : ::ioctl(fd, FIONREAD, count);
}

inline int Socket(int domain, int type, int protocol)
{
    return Injected(Seam::OsCall::Channel) ? -1 : ::socket(domain, type, protocol);
}

inline int Bind(int fd, const sockaddr* address, socklen_t length)
{
    return Injected(Seam::OsCall::Channel) ? -1 : ::bind(fd, address, length);
}

inline int Connect(int fd, const sockaddr* address, socklen_t length)
{
    return Injected(Seam::OsCall::Channel) ? -1 : ::connect(fd, address, length);
}

inline ssize_t SendMessage(int fd, const msghdr* header, int flags)
{
    return Injected(Seam::OsCall::Channel) ? -1 : ::sendmsg(fd, header, flags);
}

inline ssize_t ReceiveMessage(int fd, msghdr* header, int flags)
{
    return Injected(Seam::OsCall::Channel) ? -1 : ::recvmsg(fd, header, flags);
}

inline ssize_t Receive(int fd, void* buffer, size_t size, int flags)
{
    return Injected(Seam::OsCall::Channel) ? -1 : ::recv(fd, buffer, size, flags);
}

} // namespace Sys
} // namespace Posix
} // namespace ZRPlatform
