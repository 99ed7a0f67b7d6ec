// SYNC_: the flat layer over the kernel's synchronisation objects, with C linkage.
//
// Objects are named by ZRHANDLE values; 0 is the null handle. Timeouts are in
// milliseconds, SYNC_INFINITE waits without limit. No function throws and none
// reports why it failed: a failed create returns 0, and every operation on a
// null, closed or made-up handle fails at once (waits return immediately).
// All functions may be called from any thread; only the waits and SYNC_Sleep
// block.
#pragma once

#include <stdint.h>
#ifndef __cplusplus
#include <stdbool.h>
#endif

#include "Common/Core/ZRExport.h"

typedef uintptr_t ZRHANDLE;

#define SYNC_INFINITE 0xFFFFFFFFUL

#ifdef __cplusplus
extern "C" {
#endif

// Mutexes are recursive: each successful wait adds one ownership by the calling
// thread, each unlock removes one.
ZR_COMMON_API ZRHANDLE SYNC_CreateMutex(bool bInitiallyOwned, const char* pszName);
ZR_COMMON_API void SYNC_LockMutex(ZRHANDLE hMutex);
ZR_COMMON_API void SYNC_UnlockMutex(ZRHANDLE hMutex);
// True when the mutex cannot be taken at once (another thread owns it, or the
// handle is bad). Never changes what the calling thread owns.
ZR_COMMON_API bool SYNC_IsMutexLocked(ZRHANDLE hMutex);
ZR_COMMON_API bool SYNC_DestroyMutex(ZRHANDLE hMutex);

// A manual-reset event stays signalled until reset and releases every waiter; an
// auto-reset event releases one waiter and turns unsignalled again.
ZR_COMMON_API ZRHANDLE SYNC_CreateEvent(bool bManualReset, bool bInitiallySignaled,
                                        const char* pszName);
ZR_COMMON_API void SYNC_SignalEvent(ZRHANDLE hEvent);
ZR_COMMON_API void SYNC_ResetEvent(ZRHANDLE hEvent);
ZR_COMMON_API void SYNC_WaitEvent(ZRHANDLE hEvent);
// False only when the wait timed out; true when signalled and also when the wait
// itself failed.
ZR_COMMON_API bool SYNC_TimedWaitEvent(ZRHANDLE hEvent, unsigned long ulTimeout);
ZR_COMMON_API bool SYNC_DestroyEvent(ZRHANDLE hEvent);

// A counting semaphore between 0 and its maximum; a lock takes one unit.
ZR_COMMON_API ZRHANDLE SYNC_CreateSemaphore(long lInitialCount, long lMaximumCount,
                                            const char* pszName);
ZR_COMMON_API void SYNC_LockSemaphore(ZRHANDLE hSemaphore);
// False only when the wait timed out, as SYNC_TimedWaitEvent.
ZR_COMMON_API bool SYNC_TryLockSemaphore(ZRHANDLE hSemaphore, unsigned long ulTimeout);
// Adds lReleaseCount units; returns the count before, or 0 when the release was
// refused (it would exceed the maximum, or a bad handle or count).
ZR_COMMON_API long SYNC_UnlockSemaphore(ZRHANDLE hSemaphore, long lReleaseCount);
ZR_COMMON_API bool SYNC_DestroySemaphore(ZRHANDLE hSemaphore);

// Blocks the calling thread for at least ulMilliseconds (Windows Sleep); 0 only
// gives up the rest of its time slice. Values above SYNC_INFINITE sleep as
// SYNC_INFINITE does (2^32 - 1 ms at least), rather than wrapping to a short
// sleep.
ZR_COMMON_API void SYNC_Sleep(unsigned long ulMilliseconds);

#ifdef __cplusplus
}
#endif
