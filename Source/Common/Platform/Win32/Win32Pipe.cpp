// Anonymous pipes of the Windows backend: CreatePipe, with each end a channel of
// the backend owning its Windows handle. Only code for Windows goes here.
//
// Windows reports a pipe whose write end has closed as an error (broken pipe)
// where the layer reports the end of the data: a read then gives 0 bytes and
// true, and a peek 0 bytes waiting.
#include <algorithm>

#include "Common/Platform/Win32/Win32Channels.h"

namespace ZRPlatform
{
using namespace Win32;

// The ends are not inheritable, as the POSIX backend's are close-on-exec: no
// program the process starts holds one, so closing the write end here is
// always the end of the data for the reader.
bool Backend::PipeCreate(Handle* readEnd, Handle* writeEnd)
{
    SECURITY_ATTRIBUTES notInherited{};
    notInherited.nLength = sizeof(notInherited);
    notInherited.bInheritHandle = FALSE;
    HANDLE reader = nullptr;
    HANDLE writer = nullptr;
    if (!Sys::CreatePipe(&reader, &writer, &notInherited))
    {
        SetLastErrorFromOs();
        return false;
    }
    *readEnd = RegisterChannel(std::make_shared<OsChannel>(ChannelKind::PipeRead, reader));
    *writeEnd = RegisterChannel(std::make_shared<OsChannel>(ChannelKind::PipeWrite, writer));
    return true;
}

// Writes every byte, waiting while the pipe is full. On failure *written counts
// the bytes that went in; BrokenPipe when the read end is closed.
bool Backend::PipeWrite(Handle writeEnd, const void* data, std::uint32_t size,
                        std::uint32_t* written)
{
    std::shared_ptr<OsChannel> end = LookupChannelAs<OsChannel>(writeEnd, ChannelKind::PipeWrite);
    if (!end)
        return false;
    const char* bytes = static_cast<const char*>(data);
    while (*written < size)   // no zero-byte write: a reader would take it for the end
    {
        DWORD put = 0;
        if (!Sys::ChannelWrite(end->Os(), bytes + *written, size - *written, &put))
        {
            SetLastErrorFromOs();
            return false;
        }
        *written += put;
    }
    return true;
}

bool Backend::PipeRead(Handle readEnd, void* data, std::uint32_t size, std::uint32_t* bytesRead)
{
    std::shared_ptr<OsChannel> end = LookupChannelAs<OsChannel>(readEnd, ChannelKind::PipeRead);
    if (!end)
        return false;
    DWORD got = 0;
    if (!Sys::ChannelRead(end->Os(), data, size, &got))
    {
        const DWORD code = ::GetLastError();
        if (code == ERROR_BROKEN_PIPE)
            return true;   // the write end is closed: the end of the data
        SetLastErrorFrom(code);
        return false;
    }
    *bytesRead = got;
    return true;
}

bool PipePeek(Handle readEnd, std::uint32_t* available)
{
    std::shared_ptr<OsChannel> end = LookupChannelAs<OsChannel>(readEnd, ChannelKind::PipeRead);
    if (!end)
        return false;
    DWORD waiting = 0;
    if (!Sys::PeekPipe(end->Os(), &waiting))
    {
        const DWORD code = ::GetLastError();
        if (code != ERROR_BROKEN_PIPE)
        {
            SetLastErrorFrom(code);
            return false;
        }
        waiting = 0;
    }
    if (available != nullptr)
        *available = waiting;
    return true;
}

} // namespace ZRPlatform
