// The backend's kernel objects, the one level where mutex ownership and abandonment,
// event hand-over, semaphore limits, names and handle lifetime are tested in full.
#include <gtest/gtest.h>

#include <atomic>
#include <vector>

#include "Common/Platform/Posix/PosixObjects.h"
#include "Platform/PlatformTestSupport.h"
#include "Time/SyncTestSupport.h"

using namespace ZRPlatform;
using namespace PlatformTest;
using namespace SyncTest;

namespace
{
// Must be ended by another thread's action, not by running out of its bound
// (a wait tests the state once more before it times out).
WaitResult WaitToBeWoken(Handle object)
{
    const Clock::time_point start = Clock::now();
    const WaitResult result = ObjectWait(object, kBoundMs);
    EXPECT_LT(Clock::now() - start, kBound);
    return result;
}

// True once count threads are blocked in waits on object (read inside the backend).
bool WaitForBlockedWaiters(Handle object, int count)
{
    const auto waitable = std::dynamic_pointer_cast<Posix::WaitableObject>(Posix::LookupObject(object));
    return waitable && WaitUntil([&] {
               std::lock_guard<std::mutex> guard(waitable->m_lock);
               return waitable->m_blockedWaiters == count;
           });
}
} // namespace

TEST(PosixSync, MutexCountsOwnershipsOfItsOwnerOnly)
{
    const Handle mutex = MutexCreate(true, nullptr);
    EXPECT_EQ(ObjectWait(mutex, 0), WaitResult::Signaled);
    EXPECT_EQ(OnOtherThread([&] { return ObjectWait(mutex, 0); }), WaitResult::Timeout);
    EXPECT_EQ(OnOtherThread([&] { return ErrorOf([&] { return MutexRelease(mutex); }); }), Error::AccessDenied);
    EXPECT_TRUE(MutexRelease(mutex) && MutexRelease(mutex));
    EXPECT_EQ(ErrorOf([&] { return MutexRelease(mutex); }), Error::AccessDenied);
    // Released before its thread ends: not abandoned.
    std::thread([&] { ObjectWait(mutex, kInfinite), MutexRelease(mutex); }).join();
    EXPECT_EQ(OnOtherThread([&] { return ObjectWait(mutex, 0); }), WaitResult::Signaled);
    // That thread ended holding it: the next wait, and only that, says so.
    EXPECT_EQ(ObjectWait(mutex, 0), WaitResult::Abandoned);
    EXPECT_EQ(ObjectWait(mutex, 0), WaitResult::Signaled);
    EXPECT_TRUE(MutexRelease(mutex) && MutexRelease(mutex) && !MutexRelease(mutex) && ObjectClose(mutex));
}

TEST(PosixSync, AbandonmentWakesABlockedWaiter)
{
    const Handle mutex = MutexCreate(false, nullptr), finish = EventCreate(true, false, nullptr);
    std::future<void> owner = Start([&] { ObjectWait(mutex, kInfinite), ObjectWait(finish, kBoundMs); });
    ASSERT_TRUE(WaitForBlockedWaiters(finish, 1));   // the owner holds the mutex
    std::future<WaitResult> waiter = Start([&] {
        const WaitResult result = WaitToBeWoken(mutex);
        return MutexRelease(mutex), result;
    });
    EXPECT_TRUE(WaitForBlockedWaiters(mutex, 1));
    EventSet(finish);
    RequireFinished(waiter);
    EXPECT_EQ(waiter.get(), WaitResult::Abandoned);
    EXPECT_TRUE(ObjectClose(mutex) && ObjectClose(finish));
}

// Three waiters block; one set releases one of them (auto reset) or all (manual).
TEST(PosixSync, EachAutoResetSetReleasesOneBlockedWaiterManualResetAll)
{
    constexpr int kWaiters = 3;
    for (bool manual : {false, true})
    {
        const Handle event = EventCreate(manual, false, nullptr);
        std::atomic<int> released{0};
        std::vector<std::future<void>> waiters;
        for (int i = 0; i < kWaiters; ++i)
            waiters.push_back(Start([&] { released += WaitToBeWoken(event) == WaitResult::Signaled; }));
        ASSERT_TRUE(WaitForBlockedWaiters(event, kWaiters));
        EXPECT_TRUE(EventSet(event));
        if (!manual)
        {
            ASSERT_TRUE(WaitUntil([&] { return released == 1; }) && WaitForBlockedWaiters(event, kWaiters - 1));
            GiveTimeToBlock();
            EXPECT_EQ(released, 1);
            // Both before either waiter has run (most likely); a Reset does not take a release back.
            EXPECT_TRUE(EventSet(event) && EventSet(event) && EventReset(event));
        }
        for (const std::future<void>& waiter : waiters)
            RequireFinished(waiter);
        EXPECT_EQ(released, kWaiters) << manual;
        EXPECT_EQ(ObjectWait(event, 0), manual ? WaitResult::Signaled : WaitResult::Timeout);
        EXPECT_TRUE(ObjectClose(event));
    }
}

// An auto-reset Set belongs to the waiter already blocked: a thread that starts
// waiting after it cannot take it, whether or not the blocked one has run yet.
TEST(PosixSync, AutoResetSetGoesToTheBlockedWaiterNotToALateOne)
{
    const Handle event = EventCreate(false, false, nullptr);
    for (int round = 0; round < 200; ++round)
    {
        std::future<WaitResult> blocked = Start([&] { return WaitToBeWoken(event); });
        ASSERT_TRUE(WaitForBlockedWaiters(event, 1));
        EXPECT_TRUE(EventSet(event));
        ASSERT_EQ(ObjectWait(event, 0), WaitResult::Timeout) << round;
        RequireFinished(blocked);
        EXPECT_EQ(blocked.get(), WaitResult::Signaled);
    }
    EXPECT_TRUE(ObjectClose(event));
}

TEST(PosixSync, SemaphoreRefusesCountsOutsideItsRange)
{
    for (auto counts : {std::make_pair(0L, 0L), std::make_pair(-1L, 1L), std::make_pair(2L, 1L)})
        EXPECT_EQ(ErrorOf([&] { return SemaphoreCreate(counts.first, counts.second, nullptr); }),
                  Error::InvalidArgument);
    const Handle semaphore = SemaphoreCreate(1, 2, nullptr);
    long previous = -1;
    for (long count : {0L, 2L})
        EXPECT_EQ(ErrorOf([&] { return SemaphoreRelease(semaphore, count, &previous); }), Error::InvalidArgument);
    EXPECT_EQ(previous, -1);
    EXPECT_TRUE(SemaphoreRelease(semaphore, 1, &previous));
    EXPECT_EQ(previous, 1);
    for (WaitResult expected : {WaitResult::Signaled, WaitResult::Signaled, WaitResult::Timeout})
        EXPECT_EQ(ObjectWait(semaphore, 0), expected);
    EXPECT_TRUE(ObjectClose(semaphore));
}

TEST(PosixSync, NamedObjectsAreSharedByKindAndLiveWhileAHandleDoes)
{
    const char* const kName = "PosixSyncTests.Name";
    const Handle first = EventCreate(true, false, kName);
    SetLastError(Error::None);
    // Opening ignores the arguments: the event stays manual-reset and unsignalled.
    const Handle second = EventCreate(false, true, kName);
    EXPECT_EQ(GetLastError(), Error::AlreadyExists);
    EXPECT_EQ(ObjectWait(second, 0), WaitResult::Timeout);
    EXPECT_TRUE(EventSet(first));
    EXPECT_EQ(ObjectWait(second, 0), WaitResult::Signaled);
    EXPECT_EQ(ObjectWait(second, 0), WaitResult::Signaled);
    EXPECT_EQ(ErrorOf([&] { return MutexCreate(false, kName); }), Error::InvalidHandle);
    EXPECT_EQ(ErrorOf([&] { return SemaphoreCreate(1, 1, kName); }), Error::InvalidHandle);
    EXPECT_TRUE(ObjectClose(first) && ObjectClose(second));
    const Handle fresh = EventCreate(false, false, kName);   // the signalled one is gone
    EXPECT_EQ(ObjectWait(fresh, 0), WaitResult::Timeout);
    EXPECT_TRUE(ObjectClose(fresh));
}

TEST(PosixSync, HandlesAreClosedOnceAndNeverReused)
{
    const Handle original = EventCreate(true, false, nullptr), duplicate = ObjectDuplicate(original);
    EXPECT_NE(duplicate, original);
    EXPECT_TRUE(ObjectClose(original));
    EXPECT_TRUE(EventSet(duplicate));   // the object lives while a handle does
    EXPECT_EQ(ObjectWait(duplicate, 0), WaitResult::Signaled);
    const Handle later = EventCreate(false, false, nullptr);
    EXPECT_NE(later, original);
    // A handle of another kind fails as a bad one does.
    EXPECT_EQ(ErrorOf([&] { return MutexRelease(later) || SemaphoreRelease(later, 1, nullptr); }),
              Error::InvalidHandle);
    for (Handle bad : {kNullHandle, Handle(0x7654320), original})
    {
        EXPECT_EQ(ErrorOf([&] { return ObjectWait(bad, kInfinite) != WaitResult::Failed; }), Error::InvalidHandle);
        EXPECT_EQ(ObjectDuplicate(bad), kNullHandle);
        EXPECT_EQ(ErrorOf([&] { return ObjectClose(bad) || EventSet(bad); }), Error::InvalidHandle);
    }
    EXPECT_TRUE(ObjectClose(duplicate) && ObjectClose(later));
}

TEST(PosixSync, RecursiveLockIsRecursiveAndExclusive)
{
    RecursiveLock lock;
    auto enteredElsewhere = [&] { return OnOtherThread([&] { return lock.TryEnter() && (lock.Leave(), true); }); };
    EXPECT_TRUE(lock.TryEnter());
    lock.Enter();
    lock.Leave();
    EXPECT_FALSE(enteredElsewhere());
    lock.Leave();
    EXPECT_TRUE(enteredElsewhere());
}
