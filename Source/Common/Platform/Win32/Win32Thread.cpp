// Threads of the Windows backend: CreateThread, Windows priorities and exit
// codes, ids and sleep. A thread handle is the Windows thread handle, so
// waiting on it, duplicating and closing it are Windows' own.
#include <new>

#include "Common/Platform/Win32/Win32Sys.h"

namespace ZRPlatform
{
namespace Win32
{
namespace
{
// The priorities the layer accepts: Windows' idle, lowest to highest and
// time-critical levels.
constexpr int kPriorities[] = {
    THREAD_PRIORITY_IDLE,   THREAD_PRIORITY_LOWEST,  THREAD_PRIORITY_BELOW_NORMAL,
    THREAD_PRIORITY_NORMAL, THREAD_PRIORITY_ABOVE_NORMAL, THREAD_PRIORITY_HIGHEST,
    THREAD_PRIORITY_TIME_CRITICAL,
};
static_assert(kThreadPriorityError == THREAD_PRIORITY_ERROR_RETURN &&
                  kThreadStillActive == static_cast<std::uint32_t>(STILL_ACTIVE),
              "the layer's thread values are Windows' own");

bool KnownPriority(int priority)
{
    for (int known : kPriorities)
        if (known == priority)
            return true;
    return false;
}

struct sThreadStart
{
    ThreadEntry entry;
    void* argument;
};

// Adapts the layer's entry to the calling convention of a Windows thread; the
// entry's result is the thread's exit code.
DWORD WINAPI ThreadMain(LPVOID parameter)
{
    const sThreadStart start = *static_cast<sThreadStart*>(parameter);
    delete static_cast<sThreadStart*>(parameter);
    return start.entry(start.argument);
}
} // namespace
} // namespace Win32

using namespace Win32;

// The thread is created suspended and resumed only once its id is stored, so
// the entry always sees it.
Handle ThreadCreate(ThreadEntry entry, void* argument, std::uint32_t* threadId)
{
    if (entry == nullptr)
    {
        SetLastError(Error::InvalidArgument);
        return kNullHandle;
    }
    auto* start = new (std::nothrow) sThreadStart{entry, argument};
    if (start == nullptr)
    {
        SetLastError(Error::OutOfMemory);
        return kNullHandle;
    }
    DWORD id = 0;
    const HANDLE thread = ::CreateThread(nullptr, 0, ThreadMain, start, CREATE_SUSPENDED, &id);
    if (thread == nullptr)
    {
        SetLastErrorFromOs();
        delete start;
        return kNullHandle;
    }
    if (threadId != nullptr)
        *threadId = id;
    ::ResumeThread(thread);
    return FromOs(thread);
}

bool ThreadSetPriority(Handle thread, int priority)
{
    if (!CheckKernelHandle(thread))
        return false;
    if (!KnownPriority(priority))
    {
        SetLastError(Error::InvalidArgument);
        return false;
    }
    if (!::SetThreadPriority(ToOs(thread), priority))
    {
        SetLastErrorFromOs();
        return false;
    }
    return true;
}

int ThreadGetPriority(Handle thread)
{
    if (!CheckKernelHandle(thread))
        return kThreadPriorityError;
    const int priority = ::GetThreadPriority(ToOs(thread));
    if (priority == THREAD_PRIORITY_ERROR_RETURN)
        SetLastErrorFromOs();
    return priority;
}

bool ThreadGetExitCode(Handle thread, std::uint32_t* exitCode)
{
    if (!CheckKernelHandle(thread))
        return false;
    if (exitCode == nullptr)
    {
        SetLastError(Error::InvalidArgument);
        return false;
    }
    DWORD code = 0;
    if (!::GetExitCodeThread(ToOs(thread), &code))
    {
        SetLastErrorFromOs();
        return false;
    }
    *exitCode = code;
    return true;
}

std::uint32_t ThreadCurrentId() { return ::GetCurrentThreadId(); }

// Sleep(0) gives the rest of the time slice to another ready thread.
void ThreadSleep(std::uint32_t ms) { ::Sleep(ms); }

} // namespace ZRPlatform
