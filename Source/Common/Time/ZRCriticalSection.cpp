#include "Common/Time/ZRCriticalSection.h"

#include <new>

#include "Common/Platform/Platform.h"

namespace
{

// No operation throws: a lock that cannot be allocated is left null, and
// entering or leaving it then does nothing.
ZRPlatform::RecursiveLock* CreateLock()
{
    try
    {
        return new ZRPlatform::RecursiveLock;
    }
    catch (const std::bad_alloc&)
    {
        return nullptr;
    }
}

} // namespace

CZRCriticalSection::CZRCriticalSection(unsigned long /*ulSpinCount*/) : m_pLock(CreateLock()) {}

CZRCriticalSection::CZRCriticalSection(const CZRCriticalSection& /*other*/) : m_pLock(CreateLock())
{
}

CZRCriticalSection& CZRCriticalSection::operator=(const CZRCriticalSection& /*other*/)
{
    return *this;
}

CZRCriticalSection::~CZRCriticalSection() { delete m_pLock; }

void CZRCriticalSection::Enter()
{
    if (m_pLock != nullptr)
        m_pLock->Enter();
}

void CZRCriticalSection::Leave()
{
    if (m_pLock != nullptr)
        m_pLock->Leave();
}
