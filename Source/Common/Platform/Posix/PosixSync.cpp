// Mutex, event and semaphore objects and the wait on any waitable object, with
// Windows semantics, on std::mutex and std::condition_variable.
#include <algorithm>
#include <atomic>
#include <deque>
#include <vector>

#include "Common/Platform/Posix/PosixObjects.h"

namespace ZRPlatform
{
namespace Posix
{
namespace
{

class MutexObject;

// The mutexes the calling thread owns. When the thread ends, each one still owned
// is marked abandoned and handed on, as Windows does.
class OwnedMutexes
{
public:
    ~OwnedMutexes();
    void Add(const std::shared_ptr<MutexObject>& mutex) { m_owned.push_back(mutex); }
    void Remove(const MutexObject* mutex);

private:
    std::vector<std::weak_ptr<MutexObject>> m_owned;
};

thread_local OwnedMutexes t_ownedMutexes;

class MutexObject : public WaitableObject, public std::enable_shared_from_this<MutexObject>
{
public:
    MutexObject() : WaitableObject(ObjectKind::Mutex) {}

    WaitResult TryAcquireLocked(std::uint64_t) override
    {
        const std::uint64_t self = CurrentThreadKey();
        if (m_owner != 0 && m_owner != self)
            return WaitResult::Timeout;
        if (m_owner == 0)
        {
            m_owner = self;
            t_ownedMutexes.Add(shared_from_this());
        }
        ++m_recursion;
        const bool abandoned = m_abandoned;
        m_abandoned = false;
        return abandoned ? WaitResult::Abandoned : WaitResult::Signaled;
    }

    bool Release()
    {
        std::lock_guard<std::mutex> guard(m_lock);
        if (m_owner != CurrentThreadKey())
        {
            SetLastError(Error::AccessDenied);
            return false;
        }
        if (--m_recursion == 0)
        {
            m_owner = 0;
            t_ownedMutexes.Remove(this);
            m_changed.notify_one();
        }
        return true;
    }

    // Called on the owning thread as it ends.
    void Abandon()
    {
        std::lock_guard<std::mutex> guard(m_lock);
        if (m_owner != CurrentThreadKey())
            return;
        m_owner = 0;
        m_recursion = 0;
        m_abandoned = true;
        m_changed.notify_one();
    }

private:
    std::uint64_t m_owner = 0;
    long m_recursion = 0;
    bool m_abandoned = false;
};

OwnedMutexes::~OwnedMutexes()
{
    std::vector<std::weak_ptr<MutexObject>> owned;
    owned.swap(m_owned);
    for (const std::weak_ptr<MutexObject>& weak : owned)
        if (std::shared_ptr<MutexObject> mutex = weak.lock())
            mutex->Abandon();
}

void OwnedMutexes::Remove(const MutexObject* mutex)
{
    for (auto it = m_owned.begin(); it != m_owned.end(); ++it)
    {
        std::shared_ptr<MutexObject> held = it->lock();
        if (!held || held.get() == mutex)
        {
            m_owned.erase(it);
            return;
        }
    }
}

// An auto-reset event hands each Set to the longest-blocked waiter, as Windows
// does: the release is that waiter's at once, so neither a thread that starts
// waiting later nor a Reset can take it away, and a second Set before the first
// waiter has run releases a second waiter rather than being lost.
class EventObject : public WaitableObject
{
public:
    EventObject(bool manualReset, bool signaled)
        : WaitableObject(ObjectKind::Event), m_manualReset(manualReset), m_signaled(signaled)
    {
    }

    WaitResult TryAcquireLocked(std::uint64_t ticket) override
    {
        if (ticket != 0)
        {
            const auto released = std::find(m_released.begin(), m_released.end(), ticket);
            if (released != m_released.end())
            {
                m_released.erase(released);
                return WaitResult::Signaled;
            }
        }
        if (!m_signaled)
            return WaitResult::Timeout;
        if (!m_manualReset)
            m_signaled = false;
        return WaitResult::Signaled;
    }

    void JoinLocked(std::uint64_t ticket) override { m_blocked.push_back(ticket); }

    void LeaveLocked(std::uint64_t ticket) override
    {
        const auto queued = std::find(m_blocked.begin(), m_blocked.end(), ticket);
        if (queued != m_blocked.end())
            m_blocked.erase(queued);
    }

    void Set()
    {
        std::lock_guard<std::mutex> guard(m_lock);
        if (!m_manualReset && !m_blocked.empty())
        {
            m_released.push_back(m_blocked.front());
            m_blocked.pop_front();
            m_changed.notify_all();   // the chosen waiter, whichever thread the OS would wake
            return;
        }
        m_signaled = true;
        if (m_manualReset)
            m_changed.notify_all();
        else
            m_changed.notify_one();
    }

    void Reset()
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_signaled = false;
    }

private:
    const bool m_manualReset;
    bool m_signaled;
    std::deque<std::uint64_t> m_blocked;     // tickets of blocked waiters, oldest first
    std::vector<std::uint64_t> m_released;   // tickets given a release, not yet returned
};

class SemaphoreObject : public WaitableObject
{
public:
    SemaphoreObject(long initial, long maximum)
        : WaitableObject(ObjectKind::Semaphore), m_count(initial), m_maximum(maximum)
    {
    }

    WaitResult TryAcquireLocked(std::uint64_t) override
    {
        if (m_count == 0)
            return WaitResult::Timeout;
        --m_count;
        return WaitResult::Signaled;
    }

    bool Release(long count, long* previous)
    {
        std::lock_guard<std::mutex> guard(m_lock);
        if (count < 1 || count > m_maximum - m_count)
        {
            SetLastError(Error::InvalidArgument);
            return false;
        }
        if (previous != nullptr)
            *previous = m_count;
        m_count += count;
        m_changed.notify_all();
        return true;
    }

private:
    long m_count;
    const long m_maximum;
};

} // namespace

std::uint64_t CurrentThreadKey()
{
    static std::atomic<std::uint64_t> s_next{1};
    thread_local const std::uint64_t t_key = s_next.fetch_add(1);
    return t_key;
}

} // namespace Posix

using namespace Posix;

Handle MutexCreate(bool initiallyOwned, const char* name)
{
    // A new mutex is taken before it is published under its name, so no other
    // thread can open and acquire it first; opening an existing name never takes it.
    return CreateOrOpenNamed(ObjectKind::Mutex, name, [&] {
        std::shared_ptr<MutexObject> created = std::make_shared<MutexObject>();
        if (initiallyOwned)
        {
            std::lock_guard<std::mutex> guard(created->m_lock);
            created->TryAcquireLocked(0);
        }
        return std::static_pointer_cast<KernelObject>(created);
    });
}

bool MutexRelease(Handle mutex)
{
    std::shared_ptr<MutexObject> object = LookupAs<MutexObject>(mutex, ObjectKind::Mutex);
    return object && object->Release();
}

Handle EventCreate(bool manualReset, bool initiallySignaled, const char* name)
{
    return CreateOrOpenNamed(ObjectKind::Event, name, [&] {
        return std::static_pointer_cast<KernelObject>(
            std::make_shared<EventObject>(manualReset, initiallySignaled));
    });
}

bool EventSet(Handle event)
{
    std::shared_ptr<EventObject> object = LookupAs<EventObject>(event, ObjectKind::Event);
    if (!object)
        return false;
    object->Set();
    return true;
}

bool EventReset(Handle event)
{
    std::shared_ptr<EventObject> object = LookupAs<EventObject>(event, ObjectKind::Event);
    if (!object)
        return false;
    object->Reset();
    return true;
}

Handle SemaphoreCreate(long initialCount, long maximumCount, const char* name)
{
    if (maximumCount < 1 || initialCount < 0 || initialCount > maximumCount)
    {
        SetLastError(Error::InvalidArgument);
        return kNullHandle;
    }
    return CreateOrOpenNamed(ObjectKind::Semaphore, name, [&] {
        return std::static_pointer_cast<KernelObject>(
            std::make_shared<SemaphoreObject>(initialCount, maximumCount));
    });
}

bool SemaphoreRelease(Handle semaphore, long releaseCount, long* previousCount)
{
    std::shared_ptr<SemaphoreObject> object =
        LookupAs<SemaphoreObject>(semaphore, ObjectKind::Semaphore);
    return object && object->Release(releaseCount, previousCount);
}

WaitResult ObjectWait(Handle object, std::uint32_t timeoutMs)
{
    std::shared_ptr<WaitableObject> waitable =
        std::dynamic_pointer_cast<WaitableObject>(LookupObject(object));
    if (!waitable)
    {
        SetLastError(Error::InvalidHandle);
        return WaitResult::Failed;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    std::unique_lock<std::mutex> lock(waitable->m_lock);
    std::uint64_t ticket = 0;
    for (;;)
    {
        // Test before giving up, so a state change that raced a timeout is not lost.
        const WaitResult result = waitable->TryAcquireLocked(ticket);
        const bool expired = timeoutMs != kInfinite && std::chrono::steady_clock::now() >= deadline;
        if (result != WaitResult::Timeout || expired)
        {
            if (ticket != 0)
                waitable->LeaveLocked(ticket);
            return result;
        }
        if (ticket == 0)
        {
            ticket = waitable->m_nextTicket++;
            waitable->JoinLocked(ticket);
        }
        ++waitable->m_blockedWaiters;
        if (timeoutMs == kInfinite)
            waitable->m_changed.wait(lock);
        else
            waitable->m_changed.wait_until(lock, deadline);
        --waitable->m_blockedWaiters;
    }
}

} // namespace ZRPlatform
