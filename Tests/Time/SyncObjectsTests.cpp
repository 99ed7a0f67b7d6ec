// CZRMutex, CZREvent, CZRSemaphore and CZRCriticalSection: their edge cases,
// behaviour under contention from several threads, and what copies share.
#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <thread>
#include <vector>

#include "Common/Time/ZRCriticalSection.h"
#include "Common/Time/ZREvent.h"
#include "Common/Time/ZRMutex.h"
#include "Common/Time/ZRSemaphore.h"
#include "Time/SyncTestSupport.h"

using namespace SyncTest;

namespace
{
constexpr int kThreads = 4;
constexpr int kRounds = 2000;

// Runs round() kRounds times on each of kThreads threads at once.
template <class Round>
void RunContended(Round round)
{
    std::vector<std::future<void>> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.push_back(Start([&] {
            for (int i = 0; i < kRounds; ++i)
                round();
        }));
    for (const std::future<void>& thread : threads)
        RequireFinished(thread);
}

// Adds to a plain counter between enter and leave; without exclusion updates
// get lost (and the thread sanitizer reports a race).
template <class Enter, class Leave>
int CountUnderLock(Enter enter, Leave leave)
{
    int counter = 0;
    RunContended([&] {
        enter();
        ++counter;
        leave();
    });
    return counter;
}
} // namespace

TEST(CZREvent, SignalIsKeptUntilOneWaitConsumesIt)
{
    CZREvent event;
    EXPECT_FALSE(event.TimedWait(0));
    event.Signal();
    EXPECT_TRUE(event.TimedWait(0));
    EXPECT_FALSE(event.TimedWait(0));
    event.Signal();
    event.Reset();
    EXPECT_FALSE(event.TimedWait(0));
    event.Signal();
    event.Wait();

    const Clock::time_point start = Clock::now();
    EXPECT_FALSE(event.TimedWait(kShortMs));
    EXPECT_GE(Clock::now() - start, kShort);
    std::future<bool> waited = Start([&] { return event.TimedWait(-1); });
    GiveTimeToBlock();
    event.Signal();
    RequireFinished(waited);
    EXPECT_TRUE(waited.get());
}

TEST(CZREvent, EachSignalReleasesExactlyOneWaiter)
{
    CZREvent event;
    std::atomic<int> released{0};
    std::vector<std::future<void>> waiters;
    for (int i = 0; i < kThreads; ++i)
        // Outlasts WaitUntil's bound: a release must come from a signal.
        waiters.push_back(Start([&] { released += event.TimedWait(2 * kBoundMs); }));
    GiveTimeToBlock();
    for (int signals = 1; signals <= kThreads; ++signals)
    {
        event.Signal();
        ASSERT_TRUE(WaitUntil([&] { return released >= signals; }));
        EXPECT_EQ(released, signals);
    }
    for (std::future<void>& waiter : waiters)
        waiter.get();
    EXPECT_FALSE(event.TimedWait(0));   // no signal was left over
}

TEST(CZRSemaphore, DefaultIsAFreeBinarySemaphore)
{
    CZRSemaphore semaphores[2];
    CZRSemaphore& semaphore = semaphores[1];
    EXPECT_TRUE(semaphore.TryLock(0));
    EXPECT_FALSE(semaphore.TryLock(kShortMs));
    EXPECT_EQ(semaphore.Unlock(1), 0);
    EXPECT_EQ(semaphore.Unlock(1), 0);   // at its maximum: refused, count stays 1
    EXPECT_TRUE(semaphore.TryLock(0));
    EXPECT_FALSE(semaphore.TryLock(0));
    EXPECT_TRUE(semaphores[0].TryLock(0));

    const CZRSemaphore invalid(2, 1);   // never blocks
    invalid.Lock();
    EXPECT_TRUE(invalid.TryLock(-1));
    EXPECT_EQ(invalid.Unlock(1), 0);

    const CZRSemaphore first(1, 1, "SyncObjectsTests.Semaphore");
    const CZRSemaphore second(1, 1, "SyncObjectsTests.Semaphore");
    EXPECT_TRUE(first.TryLock(0));
    EXPECT_FALSE(second.TryLock(0));
}

TEST(CZRSemaphore, CountBoundsTheThreadsInside)
{
    constexpr long kSlots = 2;
    CZRSemaphore semaphore(kSlots, kSlots);
    std::atomic<int> inside{0};
    std::atomic<int> mostInside{0};
    RunContended([&] {
        semaphore.Lock();
        const int now = ++inside;
        int seen = mostInside;
        while (now > seen && !mostInside.compare_exchange_weak(seen, now)) {}
        std::this_thread::yield();
        --inside;
        semaphore.Unlock(1);
    });
    EXPECT_GE(mostInside, 1);
    EXPECT_LE(mostInside, kSlots);
    EXPECT_TRUE(semaphore.TryLock(0) && semaphore.TryLock(0));   // every unit came back
    EXPECT_FALSE(semaphore.TryLock(0));
}

TEST(CZRMutex, RecursiveOwnershipBlocksOthersUntilFullyReleased)
{
    CZRMutex mutex;
    auto lockedElsewhere = [&] { return OnOtherThread([&] { return mutex.IsLocked(); }); };
    EXPECT_FALSE(mutex.IsLocked());
    EXPECT_FALSE(lockedElsewhere());   // the probe left it free
    mutex.Lock();
    mutex.Lock();
    EXPECT_FALSE(mutex.IsLocked());    // the owner's probe succeeds ...
    EXPECT_TRUE(lockedElsewhere());
    OnOtherThread([&] { mutex.Unlock(); return 0; });   // not the owner: no effect

    std::future<void> other = Start([&] { mutex.Lock(); mutex.Unlock(); });
    mutex.Unlock();
    EXPECT_TRUE(StaysBlocked(other));  // ... and added no third ownership
    mutex.Unlock();
    RequireFinished(other);
    EXPECT_EQ(CountUnderLock([&] { mutex.Lock(); }, [&] { mutex.Unlock(); }), kThreads * kRounds);

    std::thread([&] { mutex.Lock(); }).join();   // ends holding it: abandoned
    RequireFinished(Start([&] { mutex.Lock(); mutex.Unlock(); }));
}

TEST(CZRMutex, CopiesLockTheSameMutexAndCloseTheirOwnHandles)
{
    CZRMutex original;
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

    CZRMutex assigned;
    const ZRHANDLE hReplaced = assigned.GetHandle();
    assigned = original;
    EXPECT_FALSE(SYNC_DestroyMutex(hReplaced));
    const CZRMutex& alias = assigned;
    assigned = alias;
    assigned.Lock();
    EXPECT_TRUE(OnOtherThread([&] { return original.IsLocked(); }));
    assigned.Unlock();
}

TEST(CZREvent, CopiesOfEventsAndSemaphoresShareTheObject)
{
    CZREvent event;
    CZREvent assigned;
    assigned = CZREvent(event);
    const CZREvent& alias = assigned;
    assigned = alias;
    assigned.Signal();
    EXPECT_TRUE(event.TimedWait(0));

    CZRSemaphore semaphore;
    CZRSemaphore semaphoreAssigned(0, 1);
    semaphoreAssigned = CZRSemaphore(semaphore);
    EXPECT_TRUE(semaphoreAssigned.TryLock(0));
    EXPECT_FALSE(semaphore.TryLock(0));
}

TEST(CZRCriticalSection, ExcludesOtherThreadsAndIsRecursive)
{
    CZRCriticalSection section;
    auto enterTwice = [&] { section.Enter(); section.Enter(); };
    auto leaveTwice = [&] { section.Leave(); section.Leave(); };
    EXPECT_EQ(CountUnderLock(enterTwice, leaveTwice), kThreads * kRounds);

    enterTwice();
    std::future<void> other = Start([&] { section.Enter(); section.Leave(); });
    section.Leave();
    EXPECT_TRUE(StaysBlocked(other));
    section.Leave();
    RequireFinished(other);
}

TEST(CZRCriticalSection, CopiesAreIndependentAndAssignmentKeepsTheLock)
{
    CZRCriticalSection section(4000);
    section.Enter();
    CZRCriticalSection copy(section);
    RequireFinished(Start([&] { copy.Enter(); copy.Leave(); }));

    CZRCriticalSection sections[2];
    sections[1].Enter();
    sections[1] = section;   // still held by this thread
    std::future<void> other = Start([&] { sections[1].Enter(); sections[1].Leave(); });
    EXPECT_TRUE(StaysBlocked(other));
    sections[1].Leave();
    RequireFinished(other);
    section.Leave();
}
