#include "Common/Time/ZRSemaphore.h"

#include <cstdint>

#include "Common/Platform/Platform.h"

CZRSemaphore::CZRSemaphore(long lInitial, long lMaximum, const char* pszName)
    : m_hSemaphore(SYNC_CreateSemaphore(lInitial, lMaximum, pszName))
{
}

CZRSemaphore::CZRSemaphore(const CZRSemaphore& other)
    : m_hSemaphore(ZRPlatform::ObjectDuplicate(other.m_hSemaphore))
{
}

CZRSemaphore& CZRSemaphore::operator=(const CZRSemaphore& other)
{
    if (this != &other)
    {
        SYNC_DestroySemaphore(m_hSemaphore);
        m_hSemaphore = ZRPlatform::ObjectDuplicate(other.m_hSemaphore);
    }
    return *this;
}

CZRSemaphore::~CZRSemaphore() { SYNC_DestroySemaphore(m_hSemaphore); }

void CZRSemaphore::Lock() const { SYNC_LockSemaphore(m_hSemaphore); }

bool CZRSemaphore::TryLock(long lTimeout) const
{
    return SYNC_TryLockSemaphore(m_hSemaphore, static_cast<std::uint32_t>(lTimeout));
}

long CZRSemaphore::Unlock(long lCount) const { return SYNC_UnlockSemaphore(m_hSemaphore, lCount); }
