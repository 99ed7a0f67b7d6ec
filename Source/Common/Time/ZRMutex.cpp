#include "Common/Time/ZRMutex.h"

#include "Common/Platform/Platform.h"

CZRMutex::CZRMutex() : m_hMutex(SYNC_CreateMutex(false, nullptr)) {}

CZRMutex::CZRMutex(const CZRMutex& other) : m_hMutex(ZRPlatform::ObjectDuplicate(other.m_hMutex))
{
}

CZRMutex& CZRMutex::operator=(const CZRMutex& other)
{
    if (this != &other)
    {
        SYNC_DestroyMutex(m_hMutex);
        m_hMutex = ZRPlatform::ObjectDuplicate(other.m_hMutex);
    }
    return *this;
}

CZRMutex::~CZRMutex() { SYNC_DestroyMutex(m_hMutex); }

void CZRMutex::Lock() const { SYNC_LockMutex(m_hMutex); }

void CZRMutex::Unlock() const { SYNC_UnlockMutex(m_hMutex); }

bool CZRMutex::IsLocked() const { return SYNC_IsMutexLocked(m_hMutex); }

unsigned long CZRMutex::GetHandle() const { return static_cast<unsigned long>(m_hMutex); }
