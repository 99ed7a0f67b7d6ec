// What the Windows backend shares between its files: <windows.h> tamed, the one
// error translation, the conversion between layer handles and Windows handles,
// and the Windows calls for files, directories and channels, each passing the
// test seam first: in test builds it counts the call and may fail it with an
// injected error instead of calling the OS. Only code for Windows goes here.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cstdint>

#include "Common/Platform/Platform.h"
#include "Common/Platform/PlatformSeam.h"

namespace ZRPlatform
{
namespace Win32
{

// The one place that turns Windows error codes into Error (Win32Error.cpp).
Error TranslateError(DWORD code);
// Records the translation of code / of the calling thread's Windows last error.
void SetLastErrorFrom(DWORD code);
void SetLastErrorFromOs();
// A Windows error code that translates back to err (for injected failures).
DWORD ErrorCodeFor(Error err);

inline HANDLE ToOs(Handle handle) { return reinterpret_cast<HANDLE>(handle); }
inline Handle FromOs(HANDLE handle) { return reinterpret_cast<Handle>(handle); }

// Channel handles (pipe ends, mail slot ends) are the backend's own and carry
// this bit; Windows handles never do, as they are multiples of four. A function
// for Windows objects refuses a channel handle (InvalidHandle) rather than let
// the kernel, which ignores the low bits, reach whatever object they hide.
constexpr Handle kChannelTag = 1;
inline bool IsChannel(Handle handle) { return (handle & kChannelTag) != 0; }
bool CheckKernelHandle(Handle handle);

// An OVERLAPPED that only carries a file offset.
inline OVERLAPPED AtOffset(std::uint64_t offset)
{
    OVERLAPPED overlapped{};
    overlapped.Offset = static_cast<DWORD>(offset & 0xFFFFFFFFu);
    overlapped.OffsetHigh = static_cast<DWORD>(offset >> 32);
    return overlapped;
}

namespace Sys
{

// True when the seam fails this call; the Windows last error then holds the
// injected error.
inline bool Injected(Seam::OsCall call)
{
    if (!Seam::Enter(call))
        return false;
    ::SetLastError(ErrorCodeFor(Seam::InjectedError()));
    return true;
}

inline HANDLE OpenFile(const char* path, DWORD access, DWORD disposition)
{
    constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    return Injected(Seam::OsCall::Open)
               ? INVALID_HANDLE_VALUE
               : ::CreateFileA(path, access, kShareAll, nullptr, disposition,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
}

// A directory (or file) opened only to read its identity; counts as a stat.
inline HANDLE OpenForIdentity(const char* path)
{
    constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    return Injected(Seam::OsCall::Stat)
               ? INVALID_HANDLE_VALUE
               : ::CreateFileA(path, FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING,
                               FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

inline BOOL ReadAt(HANDLE file, void* buffer, DWORD size, DWORD* done, OVERLAPPED* at)
{
    return Injected(Seam::OsCall::Read) ? FALSE : ::ReadFile(file, buffer, size, done, at);
}

inline BOOL WriteAt(HANDLE file, const void* buffer, DWORD size, DWORD* done, OVERLAPPED* at)
{
    return Injected(Seam::OsCall::Write) ? FALSE : ::WriteFile(file, buffer, size, done, at);
}

inline BOOL Close(HANDLE file)
{
    if (Injected(Seam::OsCall::Close))
    {
        const DWORD injected = ::GetLastError();
        ::CloseHandle(file);   // the handle is gone either way, as after a real failure
        ::SetLastError(injected);
        return FALSE;
    }
    return ::CloseHandle(file);
}

inline BOOL FileSize(HANDLE file, LARGE_INTEGER* size)
{
    return Injected(Seam::OsCall::Stat) ? FALSE : ::GetFileSizeEx(file, size);
}

inline DWORD Attributes(const char* path)
{
    return Injected(Seam::OsCall::Stat) ? INVALID_FILE_ATTRIBUTES : ::GetFileAttributesA(path);
}

inline HANDLE FindFirst(const char* pattern, WIN32_FIND_DATAA* data)
{
    return Injected(Seam::OsCall::List) ? INVALID_HANDLE_VALUE : ::FindFirstFileA(pattern, data);
}

inline BOOL SetAttributes(const char* path, DWORD attributes)
{
    return Injected(Seam::OsCall::Change) ? FALSE : ::SetFileAttributesA(path, attributes);
}

inline BOOL RemoveFile(const char* path)
{
    return Injected(Seam::OsCall::Change) ? FALSE : ::DeleteFileA(path);
}

inline BOOL MakeDirectory(const char* path)
{
    return Injected(Seam::OsCall::Change) ? FALSE : ::CreateDirectoryA(path, nullptr);
}

inline BOOL DeleteDirectory(const char* path)
{
    return Injected(Seam::OsCall::Change) ? FALSE : ::RemoveDirectoryA(path);
}

inline BOOL ChangeDirectory(const char* path)
{
    return Injected(Seam::OsCall::Change) ? FALSE : ::SetCurrentDirectoryA(path);
}

inline DWORD CurrentDirectory(DWORD size, char* buffer)
{
    return Injected(Seam::OsCall::CurrentDirectory) ? 0 : ::GetCurrentDirectoryA(size, buffer);
}

// Pipes and mail slots.
inline BOOL CreatePipe(HANDLE* readEnd, HANDLE* writeEnd, SECURITY_ATTRIBUTES* security)
{
    return Injected(Seam::OsCall::Channel) ? FALSE : ::CreatePipe(readEnd, writeEnd, security, 0);
}

inline BOOL ChannelRead(HANDLE channel, void* buffer, DWORD size, DWORD* done)
{
    return Injected(Seam::OsCall::Channel) ? FALSE : ::ReadFile(channel, buffer, size, done, nullptr);
}

inline BOOL ChannelWrite(HANDLE channel, const void* buffer, DWORD size, DWORD* done)
{
    return Injected(Seam::OsCall::Channel) ? FALSE
                                           : ::WriteFile(channel, buffer, size, done, nullptr);
}

inline BOOL PeekPipe(HANDLE readEnd, DWORD* available)
{
    return Injected(Seam::OsCall::Channel)
               ? FALSE
               : ::PeekNamedPipe(readEnd, nullptr, 0, nullptr, available, nullptr);
}

inline HANDLE CreateMailSlot(const char* name, DWORD maxMessageSize)
{
    constexpr DWORD kNeverWait = 0;
    return Injected(Seam::OsCall::Channel)
               ? INVALID_HANDLE_VALUE
               : ::CreateMailslotA(name, maxMessageSize, kNeverWait, nullptr);
}

inline HANDLE OpenMailSlot(const char* name)
{
    return Injected(Seam::OsCall::Channel)
               ? INVALID_HANDLE_VALUE
               : ::CreateFileA(name, GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
}

inline BOOL MailSlotInfo(HANDLE server, DWORD* maxMessageSize, DWORD* nextSize, DWORD* count)
{
    return Injected(Seam::OsCall::Channel)
               ? FALSE
               : ::GetMailslotInfo(server, maxMessageSize, nextSize, count, nullptr);
}

} // namespace Sys
} // namespace Win32
} // namespace ZRPlatform
