// CZRSemaphore: a counting kernel semaphore, by default binary and free.
//
// Lock takes one unit, Unlock gives units back but never beyond the maximum.
// The semaphore has no owner: any thread may unlock. A copy holds a second
// handle to the same semaphore, and each object closes only its own handle.
#pragma once

#include "Common/Core/ZRExport.h"
#include "Common/Time/ZRSyncFunctions.h"

class ZR_COMMON_API CZRSemaphore
{
public:
    // A non-null name opens the semaphore of that name if one exists.
    CZRSemaphore(long lInitial = 1, long lMaximum = 1, const char* pszName = nullptr);
    CZRSemaphore(const CZRSemaphore& other);
    CZRSemaphore& operator=(const CZRSemaphore& other);
    virtual ~CZRSemaphore();

    // Waits without limit.
    void Lock() const;
    // Milliseconds, taken as an unsigned 32-bit value (-1 waits without limit).
    // False only when the wait timed out.
    bool TryLock(long lTimeout) const;
    // The count before the release, or 0 when the release was refused.
    long Unlock(long lCount) const;

private:
    ZRHANDLE m_hSemaphore;
};
