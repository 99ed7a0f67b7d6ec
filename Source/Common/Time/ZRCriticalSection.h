// CZRCriticalSection: a cheap in-process lock that the owning thread may enter
// again; it must leave once per enter.
//
// A lock's identity cannot be shared by copying: a copy is a new, independent,
// unlocked critical section, and assignment keeps the target's own lock.
#pragma once

#include "Common/Core/ZRExport.h"

namespace ZRPlatform
{
class RecursiveLock;
}

class ZR_COMMON_API CZRCriticalSection
{
public:
    // The spin count is accepted for compatibility and not used.
    CZRCriticalSection(unsigned long ulSpinCount = 0);
    CZRCriticalSection(const CZRCriticalSection& other);
    CZRCriticalSection& operator=(const CZRCriticalSection& other);
    virtual ~CZRCriticalSection();

    // Blocks until the calling thread holds the lock.
    void Enter();
    // Only by the holding thread, once per Enter.
    void Leave();

private:
    ZRPlatform::RecursiveLock* m_pLock;   // null only when creation ran out of memory
};
