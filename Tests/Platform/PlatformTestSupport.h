// Helpers shared by the backend tests.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "Common/Platform/Platform.h"

namespace PlatformTest
{
// The error a call leaves (None when it succeeds), read on the calling thread.
template <class F> ZRPlatform::Error ErrorOf(F call)
{
    ZRPlatform::SetLastError(ZRPlatform::Error::None);
    return call() ? ZRPlatform::Error::None : ZRPlatform::GetLastError();
}

// A mail slot name of this test process, in the form Windows programs spell it.
inline std::string SlotName(const char* host, const std::string& leaf)
{
    return std::string("\\\\") + host + "\\mailslot\\zrtest\\" +
           std::to_string(ZRPlatform::ProcessCurrentId()) + "\\" + leaf;
}

// Sends all of text to a mail slot.
inline bool Send(ZRPlatform::Handle client, const std::string& text)
{
    std::uint32_t sent = 0;
    return ZRPlatform::MailSlotSend(client, text.data(), static_cast<std::uint32_t>(text.size()), &sent) &&
           sent == text.size();
}

// The next message of a mail slot, or "<failed>".
inline std::string Receive(ZRPlatform::Handle server, std::uint32_t size)
{
    std::vector<char> buffer(size + 1);
    std::uint32_t received = 0;
    return ZRPlatform::MailSlotReceive(server, buffer.data(), size, &received)
               ? std::string(buffer.data(), received)
               : "<failed>";
}

// The size of the message waiting next and the number waiting; the count is
// 0xFFFFFFFF when the slot cannot be asked.
inline std::pair<std::uint32_t, std::uint32_t> Waiting(ZRPlatform::Handle server)
{
    std::uint32_t nextSize = 0, count = 0;
    if (!ZRPlatform::MailSlotInfo(server, nullptr, &nextSize, &count))
        return {0, 0xFFFFFFFFu};
    return {nextSize, count};
}
} // namespace PlatformTest
