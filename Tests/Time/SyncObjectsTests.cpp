// CZRMutex, CZREvent, CZRSemaphore and CZRCriticalSection: what the classes add
// (defaults, timeouts as long, copies) and exclusion under contention from real
// threads. The objects' own semantics are tested on the platform layer.
#include <gtest/gtest.h>

#include <vector>

#include "Common/Time/ZRCriticalSection.h"
#include "Common/Time/ZREvent.h"
#include "Common/Time/ZRMutex.h"
#include "Common/Time/ZRSemaphore.h"
#include "Time/SyncTestSupport.h"

using namespace SyncTest;

namespace
{
constexpr int kThreads = 4, kRounds = 2000;

// Adds to a plain counter between enter and leave on kThreads threads at once;
// without exclusion updates get lost (and the thread sanitizer reports a race).
template <class Enter, class Leave> int CountUnderLock(Enter enter, Leave leave)
{
    int counter = 0;
    std::vector<std::future<void>> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.push_back(Start([&] {
            for (int i = 0; i < kRounds; ++i)
            {
                enter();
                ++counter;
                leave();
            }
        }));
    for (const std::future<void>& thread : threads)
        RequireFinished(thread);
    return counter;
}
} // namespace

TEST(CZREvent, AutoResetWithUnlimitedNegativeTimeoutAndSharedCopies)
{
    CZREvent event, assigned;
    assigned = CZREvent(event);
    assigned = static_cast<const CZREvent&>(assigned);
    event.Signal();
    event.Signal();
    EXPECT_TRUE(assigned.TimedWait(0));
    EXPECT_FALSE(event.TimedWait(0));   // one signal, however often given
    assigned.Signal();
    event.Reset();
    EXPECT_FALSE(event.TimedWait(kShortMs));
    std::future<bool> waited = Start([&] { return event.TimedWait(-1); });   // no limit
    GiveTimeToBlock();
    event.Signal();
    RequireFinished(waited);
    EXPECT_TRUE(waited.get());
}

TEST(CZRSemaphore, DefaultIsAFreeBinarySemaphoreAndCopiesShareIt)
{
    CZRSemaphore semaphore, copy(0, 1);
    copy = CZRSemaphore(semaphore);
    EXPECT_TRUE(copy.TryLock(0));
    EXPECT_FALSE(semaphore.TryLock(kShortMs));
    EXPECT_EQ(semaphore.Unlock(1), 0);
    EXPECT_EQ(semaphore.Unlock(1), 0);   // at its maximum: refused, count stays 1
    EXPECT_TRUE(semaphore.TryLock(0));
    EXPECT_FALSE(semaphore.TryLock(0));
    const CZRSemaphore other;   // defaults are independent
    EXPECT_EQ(CountUnderLock([&] { other.Lock(); }, [&] { other.Unlock(1); }), kThreads * kRounds);
    const CZRSemaphore first(1, 1, "SyncObjectsTests.Semaphore"), second(1, 1, "SyncObjectsTests.Semaphore");
    EXPECT_TRUE(first.TryLock(0));
    EXPECT_FALSE(second.TryLock(0));   // the name is passed on
}

TEST(CZRMutex, ExcludesOtherThreadsAndCopiesCloseTheirOwnHandles)
{
    CZRMutex original, assigned;
    EXPECT_EQ(CountUnderLock([&] { original.Lock(); }, [&] { original.Unlock(); }), kThreads * kRounds);
    ZRHANDLE hCopy = 0;
    {
        const CZRMutex copy(original);
        hCopy = copy.GetHandle();
        EXPECT_NE(hCopy, original.GetHandle());
        copy.Lock();
        EXPECT_TRUE(OnOtherThread([&] { return original.IsLocked(); }));
        copy.Unlock();
    }
    EXPECT_FALSE(SYNC_DestroyMutex(hCopy));   // the copy closed it
    EXPECT_FALSE(original.IsLocked());        // a closed handle would report true

    const ZRHANDLE hReplaced = assigned.GetHandle();
    assigned = original;
    // Windows may hand a closed handle's value to the very next duplicate; that
    // reuse shows it was closed, and closing it again would close the duplicate.
    if (assigned.GetHandle() != hReplaced)
    {
        EXPECT_FALSE(SYNC_DestroyMutex(hReplaced));
    }
    assigned = static_cast<const CZRMutex&>(assigned);
    assigned.Lock();
    EXPECT_TRUE(OnOtherThread([&] { return original.IsLocked(); }));
    assigned.Unlock();
}

// Copies get a lock of their own; assigning keeps the lock, even one held.
TEST(CZRCriticalSection, ExcludesOtherThreadsIsRecursiveAndCopiesAreIndependent)
{
    CZRCriticalSection section(4000), sections[2];
    EXPECT_EQ(CountUnderLock([&] { section.Enter(), section.Enter(); }, [&] { section.Leave(), section.Leave(); }),
              kThreads * kRounds);
    section.Enter();
    section.Enter();
    CZRCriticalSection copy(section);
    RequireFinished(Start([&] { copy.Enter(), copy.Leave(); }));
    std::future<void> other = Start([&] { section.Enter(), section.Leave(); });
    section.Leave();
    EXPECT_TRUE(StaysBlocked(other));
    section.Leave();
    RequireFinished(other);

    sections[1].Enter();
    sections[1] = section;
    other = Start([&] { sections[1].Enter(), sections[1].Leave(); });
    EXPECT_TRUE(StaysBlocked(other));
    sections[1].Leave();
    RequireFinished(other);
}
