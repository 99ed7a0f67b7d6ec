// The argument rules of the channel calls, the same on every OS: a handle that
// names no open end of the call's kind is refused first (InvalidHandle), then a
// buffer without bytes for its size or a missing count (InvalidArgument); only
// then does the backend move bytes.
#include "Common/Platform/PlatformBackend.h"

namespace ZRPlatform
{
namespace
{
using Backend::ChannelKind;

bool RefuseArguments()
{
    SetLastError(Error::InvalidArgument);
    return false;
}

// A null buffer holds no bytes, which only a transfer of none needs.
bool HoldsBytes(const void* data, std::uint32_t size) { return data != nullptr || size == 0; }

// A transfer on end, which must be of kind, of size bytes at data.
bool CheckTransfer(Handle end, ChannelKind kind, const void* data, std::uint32_t size)
{
    return Backend::IsOpenChannel(end, kind) && (HoldsBytes(data, size) || RefuseArguments());
}

// The same, reporting into count, which must be given.
bool CheckCountedTransfer(Handle end, ChannelKind kind, const void* data, std::uint32_t size,
                          const std::uint32_t* count)
{
    return CheckTransfer(end, kind, data, size) && (count != nullptr || RefuseArguments());
}
} // namespace

bool PipeCreate(Handle* readEnd, Handle* writeEnd)
{
    if (readEnd == nullptr || writeEnd == nullptr)
        return RefuseArguments();
    return Backend::PipeCreate(readEnd, writeEnd);
}

bool PipeWrite(Handle writeEnd, const void* data, std::uint32_t size, std::uint32_t* written)
{
    if (!CheckCountedTransfer(writeEnd, ChannelKind::PipeWrite, data, size, written))
        return false;
    *written = 0;
    return Backend::PipeWrite(writeEnd, data, size, written);
}

bool PipeRead(Handle readEnd, void* data, std::uint32_t size, std::uint32_t* read)
{
    if (!CheckCountedTransfer(readEnd, ChannelKind::PipeRead, data, size, read))
        return false;
    *read = 0;
    return Backend::PipeRead(readEnd, data, size, read);
}

// sent may be null.
bool MailSlotSend(Handle client, const void* data, std::uint32_t size, std::uint32_t* sent)
{
    return CheckTransfer(client, ChannelKind::MailSlotClient, data, size) &&
           Backend::MailSlotSend(client, data, size, sent);
}

// *received is set only when a message is taken.
bool MailSlotReceive(Handle server, void* data, std::uint32_t size, std::uint32_t* received)
{
    return CheckCountedTransfer(server, ChannelKind::MailSlotServer, data, size, received) &&
           Backend::MailSlotReceive(server, data, size, received);
}

} // namespace ZRPlatform
