// The handle table and the named-object table of the POSIX backend.
//
// Both live for the whole process (they are never destroyed), so handles stay
// usable from static destructors of the library and its hosts in any order.
#include <atomic>
#include <map>
#include <unordered_map>
#include <utility>

#include "Common/Platform/Posix/PosixObjects.h"
#include "Common/Platform/PlatformBackend.h"

namespace ZRPlatform
{
namespace Posix
{
namespace
{

// Windows handles are multiples of four; ours are too, and are never reused.
constexpr Handle kHandleStep = 4;

struct HandleTable
{
    std::mutex lock;
    Handle next = kHandleStep;
    std::unordered_map<Handle, std::shared_ptr<KernelObject>> objects;
    std::map<std::string, std::weak_ptr<KernelObject>> named;
};

HandleTable& Table()
{
    static HandleTable* table = new HandleTable;   // immortal by design
    return *table;
}

Handle RegisterLocked(HandleTable& table, std::shared_ptr<KernelObject> object)
{
    Handle handle = table.next;
    table.next += kHandleStep;
    table.objects.emplace(handle, std::move(object));
    return handle;
}

} // namespace

Handle RegisterObject(std::shared_ptr<KernelObject> object)
{
    if (!object)
        return kNullHandle;
    HandleTable& table = Table();
    std::lock_guard<std::mutex> guard(table.lock);
    return RegisterLocked(table, std::move(object));
}

std::shared_ptr<KernelObject> LookupObject(Handle handle)
{
    HandleTable& table = Table();
    std::lock_guard<std::mutex> guard(table.lock);
    auto it = table.objects.find(handle);
    return it == table.objects.end() ? nullptr : it->second;
}

bool UnregisterHandle(Handle handle)
{
    std::shared_ptr<KernelObject> last;   // released outside the table lock
    HandleTable& table = Table();
    std::lock_guard<std::mutex> guard(table.lock);
    auto it = table.objects.find(handle);
    if (it == table.objects.end())
    {
        SetLastError(Error::InvalidHandle);
        return false;
    }
    last = std::move(it->second);
    table.objects.erase(it);
    return true;
}

Handle CreateOrOpenNamedImpl(ObjectKind kind, const std::string& name,
                             std::shared_ptr<KernelObject> (*make)(void*), void* context)
{
    HandleTable& table = Table();
    std::lock_guard<std::mutex> guard(table.lock);
    auto it = table.named.find(name);
    if (it != table.named.end())
    {
        if (std::shared_ptr<KernelObject> existing = it->second.lock())
        {
            if (existing->Kind() != kind)
            {
                SetLastError(Error::InvalidHandle);
                return kNullHandle;
            }
            SetLastError(Error::AlreadyExists);   // as Windows reports an opened name
            return RegisterLocked(table, std::move(existing));
        }
    }
    std::shared_ptr<KernelObject> created = make(context);
    if (!created)
        return kNullHandle;
    table.named[name] = created;
    return RegisterLocked(table, std::move(created));
}

} // namespace Posix

Handle ObjectDuplicate(Handle object)
{
    std::shared_ptr<Posix::KernelObject> found = Posix::LookupObject(object);
    if (!found)
    {
        SetLastError(Error::InvalidHandle);
        return kNullHandle;
    }
    return Posix::RegisterObject(std::move(found));
}

bool ObjectClose(Handle object) { return Posix::UnregisterHandle(object); }

bool Backend::IsOpenChannel(Handle handle, ChannelKind kind)
{
    Posix::ObjectKind objectKind = Posix::ObjectKind::PipeRead;
    switch (kind)
    {
    case ChannelKind::PipeRead: objectKind = Posix::ObjectKind::PipeRead; break;
    case ChannelKind::PipeWrite: objectKind = Posix::ObjectKind::PipeWrite; break;
    case ChannelKind::MailSlotServer: objectKind = Posix::ObjectKind::MailSlotServer; break;
    case ChannelKind::MailSlotClient: objectKind = Posix::ObjectKind::MailSlotClient; break;
    }
    return Posix::LookupAs<Posix::KernelObject>(handle, objectKind) != nullptr;
}

} // namespace ZRPlatform
