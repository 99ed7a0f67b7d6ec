// Channel objects of the Windows backend: pipe ends and mail slot ends live in
// a table of the backend, so that a handle of the wrong kind, or one already
// closed, is refused (InvalidHandle) instead of reaching the kernel. Each owns
// its Windows handle, closed with the object's last layer handle; a call under
// way keeps the object alive until it returns. Only code for Windows goes here.
#pragma once

#include <memory>

#include "Common/Platform/PlatformBackend.h"
#include "Common/Platform/Win32/Win32Sys.h"

namespace ZRPlatform
{
namespace Win32
{

using Backend::ChannelKind;

class Channel
{
public:
    explicit Channel(ChannelKind kind) : m_kind(kind) {}
    virtual ~Channel() = default;
    Channel(const Channel&) = delete;
    Channel& operator=(const Channel&) = delete;

    ChannelKind Kind() const { return m_kind; }

private:
    const ChannelKind m_kind;
};

// A channel that owns one Windows handle.
class OsChannel : public Channel
{
public:
    OsChannel(ChannelKind kind, HANDLE os) : Channel(kind), m_os(os) {}
    ~OsChannel() override { ::CloseHandle(m_os); }
    HANDLE Os() const { return m_os; }

private:
    const HANDLE m_os;
};

// Channel handles are never reused, so a stale one cannot reach a newer channel.
Handle RegisterChannel(std::shared_ptr<Channel> channel);
std::shared_ptr<Channel> LookupChannel(Handle handle);
bool UnregisterChannel(Handle handle);

// Looks handle up and checks its kind; sets InvalidHandle and returns null otherwise.
template <class T> std::shared_ptr<T> LookupChannelAs(Handle handle, ChannelKind kind)
{
    std::shared_ptr<Channel> channel = LookupChannel(handle);
    if (!channel || channel->Kind() != kind)
    {
        SetLastError(Error::InvalidHandle);
        return nullptr;
    }
    return std::static_pointer_cast<T>(channel);
}

} // namespace Win32
} // namespace ZRPlatform
