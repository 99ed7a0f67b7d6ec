// Anonymous pipes of the POSIX backend: each end is a kernel object owning one
// descriptor of a pipe2() pair. Only code for POSIX goes here.
#include <fcntl.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>

#include "Common/Platform/Posix/PosixObjects.h"
#include "Common/Platform/Posix/PosixSys.h"
#include "Common/Platform/PlatformBackend.h"

namespace ZRPlatform
{
namespace Posix
{
namespace
{

// One end of a pipe; the descriptor closes with the last handle, and a blocked
// read or write keeps the object (so the descriptor) alive until it returns.
class PipeEnd : public KernelObject
{
public:
    PipeEnd(ObjectKind kind, int fd) : KernelObject(kind), m_fd(fd) {}
    ~PipeEnd() override { close(m_fd); }
    int Fd() const { return m_fd; }

private:
    const int m_fd;
};

// Writing to a pipe without reader raises SIGPIPE in the writing thread. The
// signal is blocked in this thread for the write and a SIGPIPE the write raised is
// taken back, so the process-wide disposition the host chose stays untouched.
class SigpipeGuard
{
public:
    SigpipeGuard()
    {
        sigemptyset(&m_sigpipe);
        sigaddset(&m_sigpipe, SIGPIPE);
        sigset_t pending;
        sigpending(&pending);
        m_wasPending = sigismember(&pending, SIGPIPE) == 1;
        pthread_sigmask(SIG_BLOCK, &m_sigpipe, &m_previous);
    }

    ~SigpipeGuard()
    {
        if (m_raised && !m_wasPending)
        {
            const timespec noWait{0, 0};
            while (sigtimedwait(&m_sigpipe, nullptr, &noWait) < 0 && errno == EINTR)
            {
            }
        }
        pthread_sigmask(SIG_SETMASK, &m_previous, nullptr);
    }

    void NoteBrokenPipe() { m_raised = true; }

private:
    sigset_t m_sigpipe;
    sigset_t m_previous;
    bool m_wasPending = false;
    bool m_raised = false;
};

} // namespace
} // namespace Posix

using namespace Posix;

bool Backend::PipeCreate(Handle* readEnd, Handle* writeEnd)
{
    int fds[2];
    if (Sys::Pipe(fds) != 0)
    {
        SetLastErrorFromErrno(errno);
        return false;
    }
    *readEnd = RegisterObject(std::make_shared<PipeEnd>(ObjectKind::PipeRead, fds[0]));
    *writeEnd = RegisterObject(std::make_shared<PipeEnd>(ObjectKind::PipeWrite, fds[1]));
    return true;
}

// Writes every byte, waiting while the pipe is full. On failure *written counts
// the bytes that went in; BrokenPipe when the read end is closed.
bool Backend::PipeWrite(Handle writeEnd, const void* data, std::uint32_t size,
                        std::uint32_t* written)
{
    std::shared_ptr<PipeEnd> end = LookupAs<PipeEnd>(writeEnd, ObjectKind::PipeWrite);
    if (!end)
        return false;
    SigpipeGuard guard;
    const char* bytes = static_cast<const char*>(data);
    while (*written < size)
    {
        const ssize_t n = Sys::ChannelWrite(end->Fd(), bytes + *written, size - *written);
        if (n >= 0)
        {
            *written += static_cast<std::uint32_t>(n);
            continue;
        }
        if (errno == EINTR)
            continue;
        if (errno == EPIPE)
            guard.NoteBrokenPipe();
        SetLastErrorFromErrno(errno);
        return false;
    }
    return true;
}

bool Backend::PipeRead(Handle readEnd, void* data, std::uint32_t size, std::uint32_t* bytesRead)
{
    std::shared_ptr<PipeEnd> end = LookupAs<PipeEnd>(readEnd, ObjectKind::PipeRead);
    if (!end)
        return false;
    for (;;)
    {
        const ssize_t n = Sys::ChannelRead(end->Fd(), data, size);
        if (n >= 0)
        {
            *bytesRead = static_cast<std::uint32_t>(n);
            return true;
        }
        if (errno != EINTR)
        {
            SetLastErrorFromErrno(errno);
            return false;
        }
    }
}

bool PipePeek(Handle readEnd, std::uint32_t* available)
{
    std::shared_ptr<PipeEnd> end = LookupAs<PipeEnd>(readEnd, ObjectKind::PipeRead);
    if (!end)
        return false;
    int waiting = 0;
    if (Sys::BytesWaiting(end->Fd(), &waiting) != 0)
    {
        SetLastErrorFromErrno(errno);
        return false;
    }
    if (available != nullptr)
        *available = static_cast<std::uint32_t>(waiting);
    return true;
}

} // namespace ZRPlatform
