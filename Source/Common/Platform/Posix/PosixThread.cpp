// Threads of the POSIX backend: thread objects in the handle table, ids, priorities
// and sleep, on detached pthreads. Only code for POSIX goes here.
#include <pthread.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <thread>

#include "Common/Platform/Posix/PosixObjects.h"

namespace ZRPlatform
{
namespace Posix
{
namespace
{

// Windows priorities accepted by ThreadSetPriority and the nice offset each one
// asks for, relative to the nice value of the thread that created the thread.
struct PriorityLevel
{
    int windows;
    int niceOffset;
};
constexpr PriorityLevel kPriorityLevels[] = {
    {-15, 19}, {-2, 10}, {-1, 5}, {0, 0}, {1, -5}, {2, -10}, {15, -20},
};
constexpr int kNiceMin = -20;
constexpr int kNiceMax = 19;

const PriorityLevel* FindPriority(int windowsPriority)
{
    for (const PriorityLevel& level : kPriorityLevels)
        if (level.windows == windowsPriority)
            return &level;
    return nullptr;
}

// Ids come from one counter shared by created threads and threads that first ask
// for their id, so two live threads never share one. 0 is never handed out.
std::uint32_t NextThreadId()
{
    static std::atomic<std::uint32_t> s_next{1};
    std::uint32_t id = s_next.fetch_add(1);
    while (id == 0)
        id = s_next.fetch_add(1);
    return id;
}

thread_local std::uint32_t t_threadId = 0;

int CurrentNice()
{
    errno = 0;
    const int nice = getpriority(PRIO_PROCESS, 0);   // Linux: the calling thread
    return errno == 0 ? nice : 0;
}

class ThreadObject : public WaitableObject
{
public:
    ThreadObject(std::uint32_t id, ThreadEntry entry, void* argument)
        : WaitableObject(ObjectKind::Thread), m_id(id), m_entry(entry), m_argument(argument),
          m_baseNice(CurrentNice())
    {
    }

    // A thread object is signalled for good once the thread has ended.
    WaitResult TryAcquireLocked(std::uint64_t) override
    {
        return m_finished ? WaitResult::Signaled : WaitResult::Timeout;
    }

    std::uint32_t Run()
    {
        t_threadId = m_id;
        {
            std::lock_guard<std::mutex> guard(m_lock);
            m_tid = static_cast<pid_t>(syscall(SYS_gettid));
            if (m_priority != 0)
                ApplyNiceLocked();
        }
        return m_entry(m_argument);
    }

    // Called after the thread's own thread-local objects are gone (mutexes it
    // still held are abandoned by then), as Windows signals a thread at its end.
    void Finish(std::uint32_t exitCode)
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_tid = 0;   // the OS may reuse the id once the thread is gone
        m_exitCode = exitCode;
        m_finished = true;
        m_changed.notify_all();
    }

    void SetPriority(int priority)
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_priority = priority;
        if (m_tid != 0)
            ApplyNiceLocked();
    }

    int Priority()
    {
        std::lock_guard<std::mutex> guard(m_lock);
        return m_priority;
    }

    std::uint32_t ExitCode()
    {
        std::lock_guard<std::mutex> guard(m_lock);
        return m_finished ? m_exitCode : kThreadStillActive;
    }

private:
    // Best effort: raising a priority needs privileges most processes lack, and a
    // refused change still leaves the value reported by ThreadGetPriority.
    void ApplyNiceLocked()
    {
        int nice = m_baseNice + FindPriority(m_priority)->niceOffset;
        nice = nice < kNiceMin ? kNiceMin : (nice > kNiceMax ? kNiceMax : nice);
        setpriority(PRIO_PROCESS, static_cast<id_t>(m_tid), nice);
    }

    const std::uint32_t m_id;
    const ThreadEntry m_entry;
    void* const m_argument;
    const int m_baseNice;
    pid_t m_tid = 0;   // the Linux thread id while the thread runs, else 0
    int m_priority = 0;
    bool m_finished = false;
    std::uint32_t m_exitCode = kThreadStillActive;
};

// Constructed first on each created thread, so it is destroyed last of the
// thread's thread-local objects: the thread counts as ended only after them.
struct ThreadExitSignal
{
    std::shared_ptr<ThreadObject> object;
    std::uint32_t exitCode = 0;

    ~ThreadExitSignal()
    {
        if (object)
            object->Finish(exitCode);
    }
};

thread_local ThreadExitSignal t_exitSignal;

void* ThreadMain(void* start)
{
    // The running thread holds its own reference: closing every handle neither
    // ends the thread nor destroys the object under it.
    std::shared_ptr<ThreadObject>* owner = static_cast<std::shared_ptr<ThreadObject>*>(start);
    t_exitSignal.object = std::move(*owner);
    delete owner;
    t_exitSignal.exitCode = t_exitSignal.object->Run();
    return nullptr;
}

} // namespace
} // namespace Posix

using namespace Posix;

Handle ThreadCreate(ThreadEntry entry, void* argument, std::uint32_t* threadId)
{
    if (entry == nullptr)
    {
        SetLastError(Error::InvalidArgument);
        return kNullHandle;
    }
    const std::uint32_t id = NextThreadId();
    auto object = std::make_shared<ThreadObject>(id, entry, argument);
    if (threadId != nullptr)
        *threadId = id;   // before the thread exists, so its entry sees it

    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
    auto* start = new std::shared_ptr<ThreadObject>(object);
    pthread_t thread;
    const int rc = pthread_create(&thread, &attributes, ThreadMain, start);
    pthread_attr_destroy(&attributes);
    if (rc != 0)
    {
        delete start;
        SetLastErrorFromErrno(rc);
        return kNullHandle;
    }
    return RegisterObject(std::move(object));
}

bool ThreadSetPriority(Handle thread, int priority)
{
    std::shared_ptr<ThreadObject> object = LookupAs<ThreadObject>(thread, ObjectKind::Thread);
    if (!object)
        return false;
    if (FindPriority(priority) == nullptr)
    {
        SetLastError(Error::InvalidArgument);
        return false;
    }
    object->SetPriority(priority);
    return true;
}

int ThreadGetPriority(Handle thread)
{
    std::shared_ptr<ThreadObject> object = LookupAs<ThreadObject>(thread, ObjectKind::Thread);
    return object ? object->Priority() : kThreadPriorityError;
}

bool ThreadGetExitCode(Handle thread, std::uint32_t* exitCode)
{
    std::shared_ptr<ThreadObject> object = LookupAs<ThreadObject>(thread, ObjectKind::Thread);
    if (!object)
        return false;
    if (exitCode == nullptr)
    {
        SetLastError(Error::InvalidArgument);
        return false;
    }
    *exitCode = object->ExitCode();
    return true;
}

std::uint32_t ThreadCurrentId()
{
    if (t_threadId == 0)
        t_threadId = NextThreadId();
    return t_threadId;
}

void ThreadSleep(std::uint32_t ms)
{
    if (ms == 0)
        std::this_thread::yield();
    else
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

} // namespace ZRPlatform
