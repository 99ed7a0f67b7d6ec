// CZRMutex: a recursive, unnamed kernel mutex, free when constructed.
//
// The owning thread may lock it again and must unlock it once per lock. A copy
// holds a second handle to the same mutex, so copies lock together and each
// object closes only its own handle.
#pragma once

#include "Common/Core/ZRExport.h"
#include "Common/Time/ZRSyncFunctions.h"

class ZR_COMMON_API CZRMutex
{
public:
    CZRMutex();
    CZRMutex(const CZRMutex& other);
    CZRMutex& operator=(const CZRMutex& other);
    virtual ~CZRMutex();

    // Waits without limit.
    void Lock() const;
    void Unlock() const;
    // True when another thread holds the mutex (or it could not be created);
    // leaves the caller's ownership as it was.
    bool IsLocked() const;
    unsigned long GetHandle() const;

private:
    ZRHANDLE m_hMutex;
};
