// The SYNC_ functions: argument mapping onto the platform layer, nothing more.
#include "Common/Time/ZRSyncFunctions.h"

#include "Common/Platform/Platform.h"

namespace
{

using ZRPlatform::WaitResult;

// Timeouts beyond 32 bits (such as -1 passed through an 8-byte unsigned long)
// wait without limit rather than wrapping to a short wait.
std::uint32_t ToPlatformTimeout(unsigned long ulTimeout)
{
    return ulTimeout >= ZRPlatform::kInfinite ? ZRPlatform::kInfinite
                                              : static_cast<std::uint32_t>(ulTimeout);
}

void WaitWithoutLimit(ZRHANDLE hObject)
{
    ZRPlatform::ObjectWait(hObject, ZRPlatform::kInfinite);
}

bool WaitUnlessTimeout(ZRHANDLE hObject, unsigned long ulTimeout)
{
    return ZRPlatform::ObjectWait(hObject, ToPlatformTimeout(ulTimeout)) != WaitResult::Timeout;
}

bool CloseObject(ZRHANDLE hObject) { return ZRPlatform::ObjectClose(hObject); }

} // namespace

extern "C" {

ZRHANDLE SYNC_CreateMutex(bool bInitiallyOwned, const char* pszName)
{
    return ZRPlatform::MutexCreate(bInitiallyOwned, pszName);
}

void SYNC_LockMutex(ZRHANDLE hMutex) { WaitWithoutLimit(hMutex); }

void SYNC_UnlockMutex(ZRHANDLE hMutex) { ZRPlatform::MutexRelease(hMutex); }

bool SYNC_IsMutexLocked(ZRHANDLE hMutex)
{
    const WaitResult result = ZRPlatform::ObjectWait(hMutex, 0);
    // An abandoned mutex is acquired just as a free one is.
    const bool acquired = result == WaitResult::Signaled || result == WaitResult::Abandoned;
    if (!acquired)
        return true;
    // The probe took one ownership; give it back so the caller owns what it did.
    ZRPlatform::MutexRelease(hMutex);
    return false;
}

bool SYNC_DestroyMutex(ZRHANDLE hMutex) { return CloseObject(hMutex); }

ZRHANDLE SYNC_CreateEvent(bool bManualReset, bool bInitiallySignaled, const char* pszName)
{
    return ZRPlatform::EventCreate(bManualReset, bInitiallySignaled, pszName);
}

void SYNC_SignalEvent(ZRHANDLE hEvent) { ZRPlatform::EventSet(hEvent); }

void SYNC_ResetEvent(ZRHANDLE hEvent) { ZRPlatform::EventReset(hEvent); }

void SYNC_WaitEvent(ZRHANDLE hEvent) { WaitWithoutLimit(hEvent); }

bool SYNC_TimedWaitEvent(ZRHANDLE hEvent, unsigned long ulTimeout)
{
    return WaitUnlessTimeout(hEvent, ulTimeout);
}

bool SYNC_DestroyEvent(ZRHANDLE hEvent) { return CloseObject(hEvent); }

ZRHANDLE SYNC_CreateSemaphore(long lInitialCount, long lMaximumCount, const char* pszName)
{
    return ZRPlatform::SemaphoreCreate(lInitialCount, lMaximumCount, pszName);
}

void SYNC_LockSemaphore(ZRHANDLE hSemaphore) { WaitWithoutLimit(hSemaphore); }

bool SYNC_TryLockSemaphore(ZRHANDLE hSemaphore, unsigned long ulTimeout)
{
    return WaitUnlessTimeout(hSemaphore, ulTimeout);
}

long SYNC_UnlockSemaphore(ZRHANDLE hSemaphore, long lReleaseCount)
{
    long lPrevious = 0;
    if (!ZRPlatform::SemaphoreRelease(hSemaphore, lReleaseCount, &lPrevious))
        return 0;
    return lPrevious;
}

bool SYNC_DestroySemaphore(ZRHANDLE hSemaphore) { return CloseObject(hSemaphore); }

void SYNC_Sleep(unsigned long ulMilliseconds)
{
    ZRPlatform::ThreadSleep(ToPlatformTimeout(ulMilliseconds));
}

} // extern "C"
