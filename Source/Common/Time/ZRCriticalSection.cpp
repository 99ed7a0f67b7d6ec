#include "Common/Time/ZRCriticalSection.h"

#include <new>

#include "Common/Platform/Platform.h"

namespace
{
using Lock = ZRPlatform::RecursiveLock;

Lock& LockIn(unsigned char* storage) { return *std::launder(reinterpret_cast<Lock*>(storage)); }
} // namespace

CZRCriticalSection::CZRCriticalSection(unsigned long /*ulSpinCount*/)
{
    static_assert(sizeof(Lock) <= kLockSize && alignof(Lock) <= kLockAlign,
                  "the platform lock fits in place");
    new (m_lock) Lock;
}

CZRCriticalSection::CZRCriticalSection(const CZRCriticalSection& /*other*/) { new (m_lock) Lock; }

CZRCriticalSection& CZRCriticalSection::operator=(const CZRCriticalSection& /*other*/)
{
    return *this;
}

CZRCriticalSection::~CZRCriticalSection() { LockIn(m_lock).~Lock(); }

void CZRCriticalSection::Enter() { LockIn(m_lock).Enter(); }

void CZRCriticalSection::Leave() { LockIn(m_lock).Leave(); }
