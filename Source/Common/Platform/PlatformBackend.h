// What the shared platform code asks of a backend beyond Platform.h: the few
// OS primitives on which the OS-independent rules are built. Each backend
// implements every function here; the shared code implements the rest, and
// the Platform.h calls of the same name on top of these.
// Internal to the platform layer.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "Common/Platform/Platform.h"

namespace ZRPlatform
{
namespace Backend
{

// The entries of directory (a Windows name ending in a separator, or empty for
// the current directory) whose names wanted accepts, "." and ".." included when
// accepted, in any order, with attributes, size and time. Names too long for
// DirectoryEntry are left out, as are names that vanish while being listed.
// False with the last error set when the directory cannot be read.
bool ListDirectory(const std::string& directory,
                   const std::function<bool(std::string_view)>& wanted,
                   std::vector<DirectoryEntry>& entries);

// The debugger output without a hook: text (not null) to an attached debugger,
// or to standard error.
void DebugWrite(const char* text);

// The message box without a handler, as MessageBoxShow describes it.
int MessageBoxDefault(const char* text, const char* caption, std::uint32_t style);

// The ends a channel handle names.
enum class ChannelKind
{
    PipeRead,
    PipeWrite,
    MailSlotServer,
    MailSlotClient,
};

// Whether handle names an open channel end of kind; false with InvalidHandle
// otherwise.
bool IsOpenChannel(Handle handle, ChannelKind kind);

// The channel calls of Platform.h once the shared code has checked the handle's
// kind and the arguments: the pointers a call needs are given, data holds size
// bytes, and the count of a pipe transfer is 0. The handle is looked up again,
// so one closed meanwhile fails with InvalidHandle.
bool PipeCreate(Handle* readEnd, Handle* writeEnd);
bool PipeWrite(Handle writeEnd, const void* data, std::uint32_t size, std::uint32_t* written);
bool PipeRead(Handle readEnd, void* data, std::uint32_t size, std::uint32_t* read);
bool MailSlotSend(Handle client, const void* data, std::uint32_t size, std::uint32_t* sent);
bool MailSlotReceive(Handle server, void* data, std::uint32_t size, std::uint32_t* received);

} // namespace Backend
} // namespace ZRPlatform
