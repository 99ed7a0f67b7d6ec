// CZRCriticalSection: a cheap in-process lock that the owning thread may enter
// again; it must leave once per enter. The lock lives inside the object, so
// constructing one allocates nothing and cannot fail.
//
// A lock's identity cannot be shared by copying: a copy is a new, independent,
// unlocked critical section, and assignment keeps the target's own lock.
#pragma once

#include "Common/Core/ZRExport.h"

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
    // Storage for the platform's lock, constructed in place (room and alignment
    // are checked against the platform's lock where it is built).
    static constexpr unsigned kLockSize = 64;
    static constexpr unsigned kLockAlign = 16;
    alignas(kLockAlign) unsigned char m_lock[kLockSize];
};
