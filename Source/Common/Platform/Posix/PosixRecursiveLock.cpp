// The recursive in-process lock (a Windows critical section) on std::recursive_mutex.
#include <mutex>

#include "Common/Platform/Platform.h"

namespace ZRPlatform
{

struct RecursiveLock::Impl
{
    std::recursive_mutex mutex;
};

RecursiveLock::RecursiveLock() : m_pImpl(new Impl) {}

RecursiveLock::~RecursiveLock() { delete m_pImpl; }

void RecursiveLock::Enter() { m_pImpl->mutex.lock(); }

bool RecursiveLock::TryEnter() { return m_pImpl->mutex.try_lock(); }

void RecursiveLock::Leave() { m_pImpl->mutex.unlock(); }

} // namespace ZRPlatform
