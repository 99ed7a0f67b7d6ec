// Closing and duplicating handles of the Windows backend: kernel objects are
// Windows handles, channels live in the backend's table (Win32Channels.h).
//
// The table lives for the whole process (it is never destroyed), so handles stay
// usable from static destructors of the library and its hosts in any order.
#include <mutex>
#include <unordered_map>
#include <utility>

#include "Common/Platform/Win32/Win32Channels.h"

namespace ZRPlatform
{
namespace Win32
{
namespace
{
// Channel handles step by four above the tag bit, as Windows handles do.
constexpr Handle kChannelStep = 4;

struct sChannelTable
{
    std::mutex lock;
    Handle next = kChannelStep | kChannelTag;
    std::unordered_map<Handle, std::shared_ptr<Channel>> channels;
};

sChannelTable& Table()
{
    static sChannelTable* table = new sChannelTable;   // immortal by design
    return *table;
}
} // namespace

Handle RegisterChannel(std::shared_ptr<Channel> channel)
{
    if (!channel)
        return kNullHandle;
    sChannelTable& table = Table();
    std::lock_guard<std::mutex> guard(table.lock);
    const Handle handle = table.next;
    table.next += kChannelStep;
    table.channels.emplace(handle, std::move(channel));
    return handle;
}

std::shared_ptr<Channel> LookupChannel(Handle handle)
{
    sChannelTable& table = Table();
    std::lock_guard<std::mutex> guard(table.lock);
    const auto it = table.channels.find(handle);
    return it == table.channels.end() ? nullptr : it->second;
}

bool UnregisterChannel(Handle handle)
{
    std::shared_ptr<Channel> last;   // released outside the table lock
    sChannelTable& table = Table();
    std::lock_guard<std::mutex> guard(table.lock);
    const auto it = table.channels.find(handle);
    if (it == table.channels.end())
    {
        SetLastError(Error::InvalidHandle);
        return false;
    }
    last = std::move(it->second);
    table.channels.erase(it);
    return true;
}

bool CheckKernelHandle(Handle handle)
{
    if (handle != kNullHandle && !IsChannel(handle))
        return true;
    SetLastError(Error::InvalidHandle);
    return false;
}

} // namespace Win32

using namespace Win32;

Handle ObjectDuplicate(Handle object)
{
    if (IsChannel(object))
    {
        std::shared_ptr<Channel> channel = LookupChannel(object);
        if (!channel)
        {
            SetLastError(Error::InvalidHandle);
            return kNullHandle;
        }
        return RegisterChannel(std::move(channel));
    }
    if (!CheckKernelHandle(object))
        return kNullHandle;
    HANDLE duplicate = nullptr;
    const HANDLE process = ::GetCurrentProcess();
    if (!::DuplicateHandle(process, ToOs(object), process, &duplicate, 0, FALSE,
                           DUPLICATE_SAME_ACCESS))
    {
        SetLastErrorFromOs();
        return kNullHandle;
    }
    return FromOs(duplicate);
}

bool ObjectClose(Handle object)
{
    if (IsChannel(object))
        return UnregisterChannel(object);
    if (!CheckKernelHandle(object))
        return false;
    if (!::CloseHandle(ToOs(object)))
    {
        SetLastErrorFromOs();
        return false;
    }
    return true;
}

bool Backend::IsOpenChannel(Handle handle, ChannelKind kind)
{
    return LookupChannelAs<Channel>(handle, kind) != nullptr;
}

} // namespace ZRPlatform
