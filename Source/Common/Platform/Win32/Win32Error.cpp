// Error reporting of the Windows backend: the per-thread last error, kept in a
// Windows TLS slot (no per-thread allocation, so nothing to clean up when a
// thread ends), and the single translation from Windows error codes.
#include "Common/Platform/Win32/Win32Sys.h"

namespace ZRPlatform
{
namespace
{
// Allocated on first use, so even static constructors of other files may
// report errors; never freed (the library may report until the process ends).
DWORD ErrorSlot()
{
    static const DWORD s_slot = ::TlsAlloc();
    return s_slot;
}
} // namespace

Error GetLastError()
{
    const DWORD slot = ErrorSlot();
    if (slot == TLS_OUT_OF_INDEXES)
        return Error::None;
    const DWORD saved = ::GetLastError();   // TlsGetValue resets it
    const auto value = reinterpret_cast<std::uintptr_t>(::TlsGetValue(slot));
    ::SetLastError(saved);
    return static_cast<Error>(value);
}

void SetLastError(Error err)
{
    const DWORD slot = ErrorSlot();
    if (slot != TLS_OUT_OF_INDEXES)
        ::TlsSetValue(slot, reinterpret_cast<void*>(static_cast<std::uintptr_t>(err)));
}

namespace Win32
{

Error TranslateError(DWORD code)
{
    switch (code)
    {
    case ERROR_SUCCESS: return Error::None;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_NO_MORE_FILES: return Error::NotFound;
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_DIRECTORY: return Error::PathNotFound;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
    case ERROR_NOT_OWNER:
    case ERROR_PRIVILEGE_NOT_HELD: return Error::AccessDenied;
    case ERROR_ALREADY_EXISTS:
    case ERROR_FILE_EXISTS: return Error::AlreadyExists;
    case ERROR_DIR_NOT_EMPTY: return Error::NotEmpty;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return Error::NoSpace;
    case ERROR_TOO_MANY_OPEN_FILES:
    case ERROR_NO_SYSTEM_RESOURCES: return Error::TooManyOpen;
    case ERROR_INVALID_PARAMETER:
    case ERROR_INVALID_NAME:
    case ERROR_FILENAME_EXCED_RANGE:
    case ERROR_BUFFER_OVERFLOW:
    case ERROR_TOO_MANY_POSTS:
    case ERROR_NEGATIVE_SEEK:
    case ERROR_INVALID_FLAGS: return Error::InvalidArgument;
    case ERROR_INVALID_HANDLE: return Error::InvalidHandle;
    case ERROR_BUSY:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_CURRENT_DIRECTORY:
    case ERROR_PIPE_BUSY: return Error::Busy;
    case ERROR_BROKEN_PIPE:
    case ERROR_NO_DATA:
    case ERROR_PIPE_NOT_CONNECTED: return Error::BrokenPipe;
    case ERROR_SEM_TIMEOUT:
    case WAIT_TIMEOUT: return Error::WouldBlock;
    case ERROR_INSUFFICIENT_BUFFER:
    case ERROR_MORE_DATA: return Error::MessageTooLarge;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY: return Error::OutOfMemory;
    case ERROR_INVALID_FUNCTION:
    case ERROR_NOT_SUPPORTED:
    case ERROR_CALL_NOT_IMPLEMENTED: return Error::NotSupported;
    default: return Error::Io;
    }
}

void SetLastErrorFrom(DWORD code) { SetLastError(TranslateError(code)); }

void SetLastErrorFromOs() { SetLastErrorFrom(::GetLastError()); }

DWORD ErrorCodeFor(Error err)
{
    switch (err)
    {
    case Error::None: return ERROR_SUCCESS;
    case Error::NotFound: return ERROR_FILE_NOT_FOUND;
    case Error::PathNotFound: return ERROR_PATH_NOT_FOUND;
    case Error::AccessDenied: return ERROR_ACCESS_DENIED;
    case Error::AlreadyExists: return ERROR_ALREADY_EXISTS;
    case Error::NotEmpty: return ERROR_DIR_NOT_EMPTY;
    case Error::NoSpace: return ERROR_DISK_FULL;
    case Error::TooManyOpen: return ERROR_TOO_MANY_OPEN_FILES;
    case Error::InvalidArgument: return ERROR_INVALID_PARAMETER;
    case Error::InvalidHandle: return ERROR_INVALID_HANDLE;
    case Error::Busy: return ERROR_BUSY;
    case Error::BrokenPipe: return ERROR_BROKEN_PIPE;
    case Error::WouldBlock: return ERROR_SEM_TIMEOUT;
    case Error::MessageTooLarge: return ERROR_INSUFFICIENT_BUFFER;
    case Error::OutOfMemory: return ERROR_NOT_ENOUGH_MEMORY;
    case Error::NotSupported: return ERROR_NOT_SUPPORTED;
    case Error::Io: return ERROR_GEN_FAILURE;
    }
    return ERROR_GEN_FAILURE;
}

} // namespace Win32
} // namespace ZRPlatform
