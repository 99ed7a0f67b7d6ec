// The texts of the layer's errors, the same on every OS.
#include "Common/Platform/Platform.h"

namespace ZRPlatform
{

const char* DescribeError(Error err)
{
    switch (err)
    {
    case Error::None: return "no error";
    case Error::NotFound: return "not found";
    case Error::PathNotFound: return "path not found";
    case Error::AccessDenied: return "permission denied";
    case Error::AlreadyExists: return "already exists";
    case Error::NotEmpty: return "directory not empty";
    case Error::NoSpace: return "no space left on device";
    case Error::TooManyOpen: return "too many open files or handles";
    case Error::InvalidArgument: return "invalid argument";
    case Error::InvalidHandle: return "invalid handle";
    case Error::Busy: return "resource busy";
    case Error::BrokenPipe: return "broken pipe";
    case Error::WouldBlock: return "no data available";
    case Error::MessageTooLarge: return "message too large";
    case Error::OutOfMemory: return "out of memory";
    case Error::NotSupported: return "not supported";
    case Error::Io: return "input/output error";
    }
    return "unknown error";
}

} // namespace ZRPlatform
