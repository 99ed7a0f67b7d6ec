// Mutexes, events and semaphores of the Windows backend, and the wait on any
// kernel object: Windows' own objects, whose semantics are the layer's.
//
// Names: the layer shares named objects within the process, while Windows
// shares them across the session. A name is therefore made the process's own
// ("zrcommon.<process id>.<name>"), with '\', which Windows reserves in object
// names, and '%' written as %5C and %25, so distinct names stay distinct.
#include <string>

#include "Common/Platform/Win32/Win32Sys.h"

namespace ZRPlatform
{
namespace Win32
{
namespace
{
constexpr char kNamePrefix[] = "zrcommon.";

std::string ProcessObjectName(const char* name)
{
    std::string result = kNamePrefix + std::to_string(::GetCurrentProcessId()) + ".";
    for (const char* c = name; *c != '\0'; ++c)
    {
        if (*c == '\\')
            result += "%5C";
        else if (*c == '%')
            result += "%25";
        else
            result += *c;
    }
    return result;
}

// The Windows name of a layer name; null for an unnamed object.
class CObjectName
{
public:
    explicit CObjectName(const char* name) : m_named(name != nullptr)
    {
        if (m_named)
            m_text = ProcessObjectName(name);
    }
    const char* Get() const { return m_named ? m_text.c_str() : nullptr; }

private:
    bool m_named;
    std::string m_text;
};

// The result of a create call: the handle, with AlreadyExists noted when Windows
// opened an existing object of that name; a name held by another kind of object
// fails with InvalidHandle, as Windows reports it.
Handle Created(HANDLE created)
{
    const DWORD code = ::GetLastError();
    if (created == nullptr)
    {
        SetLastErrorFrom(code);
        return kNullHandle;
    }
    if (code == ERROR_ALREADY_EXISTS)
        SetLastError(Error::AlreadyExists);
    return FromOs(created);
}

bool Done(BOOL result)
{
    if (!result)
        SetLastErrorFromOs();
    return result != FALSE;
}
} // namespace
} // namespace Win32

using namespace Win32;

Handle MutexCreate(bool initiallyOwned, const char* name)
{
    const CObjectName osName(name);
    return Created(::CreateMutexA(nullptr, initiallyOwned ? TRUE : FALSE, osName.Get()));
}

// Windows refuses a release by a thread that does not own the mutex
// (ERROR_NOT_OWNER, translated to AccessDenied).
bool MutexRelease(Handle mutex)
{
    return CheckKernelHandle(mutex) && Done(::ReleaseMutex(ToOs(mutex)));
}

Handle EventCreate(bool manualReset, bool initiallySignaled, const char* name)
{
    const CObjectName osName(name);
    return Created(::CreateEventA(nullptr, manualReset ? TRUE : FALSE,
                                  initiallySignaled ? TRUE : FALSE, osName.Get()));
}

bool EventSet(Handle event) { return CheckKernelHandle(event) && Done(::SetEvent(ToOs(event))); }

bool EventReset(Handle event)
{
    return CheckKernelHandle(event) && Done(::ResetEvent(ToOs(event)));
}

Handle SemaphoreCreate(long initialCount, long maximumCount, const char* name)
{
    if (maximumCount < 1 || initialCount < 0 || initialCount > maximumCount)
    {
        SetLastError(Error::InvalidArgument);
        return kNullHandle;
    }
    const CObjectName osName(name);
    return Created(::CreateSemaphoreA(nullptr, static_cast<LONG>(initialCount),
                                      static_cast<LONG>(maximumCount), osName.Get()));
}

bool SemaphoreRelease(Handle semaphore, long releaseCount, long* previousCount)
{
    if (!CheckKernelHandle(semaphore))
        return false;
    if (releaseCount < 1)
    {
        SetLastError(Error::InvalidArgument);
        return false;
    }
    LONG previous = 0;
    if (!Done(::ReleaseSemaphore(ToOs(semaphore), static_cast<LONG>(releaseCount), &previous)))
        return false;
    if (previousCount != nullptr)
        *previousCount = static_cast<long>(previous);
    return true;
}

WaitResult ObjectWait(Handle object, std::uint32_t timeoutMs)
{
    if (!CheckKernelHandle(object))
        return WaitResult::Failed;
    const DWORD result = ::WaitForSingleObject(ToOs(object), timeoutMs);
    switch (result)
    {
    case WAIT_OBJECT_0: return WaitResult::Signaled;
    case WAIT_ABANDONED: return WaitResult::Abandoned;
    case WAIT_TIMEOUT: return WaitResult::Timeout;
    default:
        SetLastErrorFromOs();
        return WaitResult::Failed;
    }
}

} // namespace ZRPlatform
