// Kernel objects of the POSIX backend: the handle table, named objects and the one
// wait protocol shared by every waitable kind. Only code for POSIX goes here.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "Common/Platform/Platform.h"

namespace ZRPlatform
{
namespace Posix
{

enum class ObjectKind
{
    Mutex,
    Event,
    Semaphore,
    Thread,
    PipeRead,
    PipeWrite,
    MailSlotServer,
    MailSlotClient,
};

// Base of every object a handle can name. The object is destroyed when its last
// handle is closed and no wait still uses it.
class KernelObject
{
public:
    explicit KernelObject(ObjectKind kind) : m_kind(kind) {}
    virtual ~KernelObject() = default;
    KernelObject(const KernelObject&) = delete;
    KernelObject& operator=(const KernelObject&) = delete;

    ObjectKind Kind() const { return m_kind; }

private:
    ObjectKind m_kind;
};

// An object that ObjectWait can wait on. State changes happen under m_lock and
// are announced on m_changed; TryAcquireLocked decides, under m_lock, whether the
// calling thread may pass now, and takes what passing consumes (an ownership,
// a unit of count, an auto-reset signal).
class WaitableObject : public KernelObject
{
public:
    using KernelObject::KernelObject;

    std::mutex m_lock;
    std::condition_variable m_changed;
    // Threads blocked on m_changed in ObjectWait right now; guarded by m_lock.
    int m_blockedWaiters = 0;
    // Each wait that blocks draws a ticket (from 1; 0 = has not blocked yet) and
    // keeps it until it returns, so an object can hand a release to one
    // particular blocked waiter.
    std::uint64_t m_nextTicket = 1;

    // Returns Signaled or Abandoned when the thread may pass, Timeout otherwise.
    virtual WaitResult TryAcquireLocked(std::uint64_t ticket) = 0;
    // The waiter holding ticket is about to block for the first time / is
    // returning from its wait, passed or not.
    virtual void JoinLocked(std::uint64_t /*ticket*/) {}
    virtual void LeaveLocked(std::uint64_t /*ticket*/) {}
};

// Handle table. Handles are never reused, so a stale handle cannot reach a newer
// object.
Handle RegisterObject(std::shared_ptr<KernelObject> object);
std::shared_ptr<KernelObject> LookupObject(Handle handle);
bool UnregisterHandle(Handle handle);

// Looks handle up and checks its kind; sets InvalidHandle and returns null otherwise.
template <class T>
std::shared_ptr<T> LookupAs(Handle handle, ObjectKind kind)
{
    std::shared_ptr<KernelObject> object = LookupObject(handle);
    if (!object || object->Kind() != kind)
    {
        SetLastError(Error::InvalidHandle);
        return nullptr;
    }
    return std::static_pointer_cast<T>(object);
}

// Named objects: returns the live object of that kind and name, or registers the
// one that make() creates. Null (InvalidHandle) when the name belongs to another kind.
template <class Make>
Handle CreateOrOpenNamed(ObjectKind kind, const char* name, Make make);
Handle CreateOrOpenNamedImpl(ObjectKind kind, const std::string& name,
                             std::shared_ptr<KernelObject> (*make)(void*), void* context);

template <class Make>
Handle CreateOrOpenNamed(ObjectKind kind, const char* name, Make make)
{
    if (name == nullptr)
        return RegisterObject(make());
    return CreateOrOpenNamedImpl(kind, name,
                                 [](void* context) { return (*static_cast<Make*>(context))(); },
                                 &make);
}

// Thread-local data of the library that is read on every file call: with the
// initial-exec model it is reached without a call into the dynamic linker.
// Only small objects use it (the room is shared with every library loaded later).
#if defined(__GNUC__)
#define ZR_FAST_THREAD_LOCAL thread_local __attribute__((tls_model("initial-exec")))
#else
#define ZR_FAST_THREAD_LOCAL thread_local
#endif

// The one place that turns errno values into Error; also records it.
Error TranslateErrno(int errnoValue);
void SetLastErrorFromErrno(int errnoValue);
// An errno value that translates back to err (for failures the test seam injects).
int ErrnoFor(Error err);

// Identifies the calling thread for mutex ownership (never 0).
std::uint64_t CurrentThreadKey();

} // namespace Posix
} // namespace ZRPlatform
