// The recursive in-process lock on a Windows critical section, constructed in
// place inside the RecursiveLock object (it allocates nothing it could fail on:
// since Windows Vista, initialising a critical section cannot fail).
#include <new>

#include "Common/Platform/Win32/Win32Sys.h"

namespace ZRPlatform
{
namespace
{
static_assert(sizeof(CRITICAL_SECTION) <= RecursiveLock::kStorageSize &&
                  alignof(CRITICAL_SECTION) <= RecursiveLock::kStorageAlign,
              "the critical section fits the lock's storage");

CRITICAL_SECTION* SectionIn(unsigned char* storage)
{
    return std::launder(reinterpret_cast<CRITICAL_SECTION*>(storage));
}
} // namespace

RecursiveLock::RecursiveLock()
{
    ::InitializeCriticalSection(new (m_storage) CRITICAL_SECTION);
}

RecursiveLock::~RecursiveLock() { ::DeleteCriticalSection(SectionIn(m_storage)); }

void RecursiveLock::Enter() { ::EnterCriticalSection(SectionIn(m_storage)); }

bool RecursiveLock::TryEnter() { return ::TryEnterCriticalSection(SectionIn(m_storage)) != FALSE; }

void RecursiveLock::Leave() { ::LeaveCriticalSection(SectionIn(m_storage)); }

} // namespace ZRPlatform
