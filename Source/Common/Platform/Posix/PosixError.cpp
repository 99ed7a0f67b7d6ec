// Error reporting of the POSIX backend: the per-thread last error and the single
// translation from errno. The texts of the errors are shared (PlatformError.cpp).
#include <cerrno>

#include "Common/Platform/Posix/PosixObjects.h"

namespace ZRPlatform
{
namespace
{
ZR_FAST_THREAD_LOCAL Error t_lastError = Error::None;
}

Error GetLastError() { return t_lastError; }

void SetLastError(Error err) { t_lastError = err; }

namespace Posix
{

Error TranslateErrno(int errnoValue)
{
    switch (errnoValue)
    {
    case 0: return Error::None;
    case ENOENT: return Error::NotFound;
    case ENOTDIR: return Error::PathNotFound;
    case EACCES:
    case EPERM:
    case EROFS: return Error::AccessDenied;
    case EEXIST: return Error::AlreadyExists;
    case ENOTEMPTY: return Error::NotEmpty;
    case ENOSPC:
    case EDQUOT:
    case EFBIG: return Error::NoSpace;
    case EMFILE:
    case ENFILE: return Error::TooManyOpen;
    case EINVAL:
    case ENAMETOOLONG:
    case ERANGE: return Error::InvalidArgument;
    case EBADF: return Error::InvalidHandle;
    case EBUSY:
    case ETXTBSY: return Error::Busy;
    case EPIPE:
    case ECONNREFUSED:
    case ECONNRESET: return Error::BrokenPipe;
#if EAGAIN != EWOULDBLOCK
    case EWOULDBLOCK:
#endif
    case EAGAIN: return Error::WouldBlock;
    case EMSGSIZE: return Error::MessageTooLarge;
    case ENOMEM: return Error::OutOfMemory;
    case ENOSYS:
    case EOPNOTSUPP: return Error::NotSupported;
    default: return Error::Io;
    }
}

void SetLastErrorFromErrno(int errnoValue) { SetLastError(TranslateErrno(errnoValue)); }

int ErrnoFor(Error err)
{
    switch (err)
    {
    case Error::None: return 0;
    case Error::NotFound: return ENOENT;
    case Error::PathNotFound: return ENOTDIR;
    case Error::AccessDenied: return EACCES;
    case Error::AlreadyExists: return EEXIST;
    case Error::NotEmpty: return ENOTEMPTY;
    case Error::NoSpace: return ENOSPC;
    case Error::TooManyOpen: return EMFILE;
    case Error::InvalidArgument: return EINVAL;
    case Error::InvalidHandle: return EBADF;
    case Error::Busy: return EBUSY;
    case Error::BrokenPipe: return EPIPE;
    case Error::WouldBlock: return EAGAIN;
    case Error::MessageTooLarge: return EMSGSIZE;
    case Error::OutOfMemory: return ENOMEM;
    case Error::NotSupported: return ENOSYS;
    case Error::Io: return EIO;
    }
    return EIO;
}

} // namespace Posix
} // namespace ZRPlatform
