// CZRLockGuard: holds a CZRCriticalSection for one scope and leaves it on every
// way out, exceptions included. The library's one scoped lock.
#pragma once

#include "Common/Time/ZRCriticalSection.h"

class CZRLockGuard
{
public:
    explicit CZRLockGuard(CZRCriticalSection& lock) : m_lock(lock) { m_lock.Enter(); }
    ~CZRLockGuard() { m_lock.Leave(); }
    CZRLockGuard(const CZRLockGuard&) = delete;
    CZRLockGuard& operator=(const CZRLockGuard&) = delete;

private:
    CZRCriticalSection& m_lock;
};
