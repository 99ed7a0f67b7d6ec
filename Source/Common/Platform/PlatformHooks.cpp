// The replaceable hooks of debugger output and message boxes, the same for every
// backend: a set hook takes the call, otherwise the backend's default does.
// Each hook is stored with its user value as one pair under a lock, so a caller
// never sees the hook of one setting with the user value of another; the hook
// itself runs outside the lock and may call back into the platform layer.
#include <mutex>

#include "Common/Platform/Platform.h"
#include "Common/Platform/PlatformBackend.h"

namespace ZRPlatform
{
namespace
{
template <class Hook> class CHookSlot
{
public:
    void Set(Hook hook, void* user)
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_hook = hook;
        m_user = user;
    }
    Hook Get(void** user)
    {
        std::lock_guard<std::mutex> guard(m_lock);
        *user = m_user;
        return m_hook;
    }

private:
    std::mutex m_lock;
    Hook m_hook = nullptr;
    void* m_user = nullptr;
};

CHookSlot<DebugOutputHook>& DebugOutputSlot()
{
    static CHookSlot<DebugOutputHook> s_slot;
    return s_slot;
}

CHookSlot<MessageBoxHandler>& MessageBoxSlot()
{
    static CHookSlot<MessageBoxHandler> s_slot;
    return s_slot;
}
} // namespace

void DebugOutput(const char* text)
{
    if (text == nullptr)
        return;
    void* user = nullptr;
    const DebugOutputHook hook = DebugOutputSlot().Get(&user);
    if (hook != nullptr)
        hook(text, user);
    else
        Backend::DebugWrite(text);
}

void DebugOutputSetHook(DebugOutputHook hook, void* user) { DebugOutputSlot().Set(hook, user); }

int MessageBoxShow(const char* text, const char* caption, std::uint32_t style)
{
    void* user = nullptr;
    const MessageBoxHandler handler = MessageBoxSlot().Get(&user);
    return handler != nullptr ? handler(text, caption, style, user)
                              : Backend::MessageBoxDefault(text, caption, style);
}

void MessageBoxSetHandler(MessageBoxHandler handler, void* user)
{
    MessageBoxSlot().Set(handler, user);
}

} // namespace ZRPlatform
