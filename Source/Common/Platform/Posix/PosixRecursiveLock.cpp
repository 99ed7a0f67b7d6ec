// The recursive in-process lock (a Windows critical section) on std::recursive_mutex,
// constructed in place inside the RecursiveLock object. Only code for POSIX goes here.
#include <mutex>
#include <new>

#include "Common/Platform/Platform.h"

namespace ZRPlatform
{
namespace
{
using Mutex = std::recursive_mutex;
static_assert(sizeof(Mutex) <= RecursiveLock::kStorageSize &&
                  alignof(Mutex) <= RecursiveLock::kStorageAlign,
              "the mutex fits the lock's storage");

Mutex& MutexIn(unsigned char* storage) { return *std::launder(reinterpret_cast<Mutex*>(storage)); }
} // namespace

RecursiveLock::RecursiveLock() { new (m_storage) Mutex; }

RecursiveLock::~RecursiveLock() { MutexIn(m_storage).~Mutex(); }

void RecursiveLock::Enter() { MutexIn(m_storage).lock(); }

bool RecursiveLock::TryEnter() { return MutexIn(m_storage).try_lock(); }

void RecursiveLock::Leave() { MutexIn(m_storage).unlock(); }

} // namespace ZRPlatform
