// The SYNC_ flat layer: bad handles, 64-bit timeouts, mutex probes,
// manual-reset events, semaphore results and names.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "Common/Time/ZRSyncFunctions.h"
#include "Time/SyncTestSupport.h"

using namespace SyncTest;

TEST(SyncFunctions, NullClosedAndMadeUpHandlesFailAtOnce)
{
    constexpr ZRHANDLE kMadeUpHandle = 0x7654320;
    const ZRHANDLE hClosed = SYNC_CreateEvent(false, false, nullptr);
    ASSERT_NE(hClosed, 0u);
    EXPECT_TRUE(SYNC_DestroyEvent(hClosed));
    for (ZRHANDLE h : {ZRHANDLE(0), kMadeUpHandle, hClosed})
    {
        SYNC_LockMutex(h);   // none of these may block
        SYNC_LockSemaphore(h);
        SYNC_WaitEvent(h);
        SYNC_UnlockMutex(h);
        SYNC_SignalEvent(h);
        SYNC_ResetEvent(h);
        EXPECT_TRUE(SYNC_TimedWaitEvent(h, SYNC_INFINITE));
        EXPECT_TRUE(SYNC_TryLockSemaphore(h, SYNC_INFINITE));
        EXPECT_TRUE(SYNC_IsMutexLocked(h));
        EXPECT_EQ(SYNC_UnlockSemaphore(h, 1), 0);
        EXPECT_FALSE(SYNC_DestroyMutex(h) || SYNC_DestroyEvent(h) || SYNC_DestroySemaphore(h));
    }
    EXPECT_EQ(SYNC_CreateSemaphore(2, 1, nullptr), 0u);
    EXPECT_EQ(SYNC_CreateSemaphore(0, 0, nullptr), 0u);
}

TEST(SyncFunctions, TimeoutsAbove32BitsWaitWithoutLimit)
{
    const ZRHANDLE hEvent = SYNC_CreateEvent(false, false, nullptr);
    for (unsigned long ulTimeout : {SYNC_INFINITE, 0x100000000UL, static_cast<unsigned long>(-1)})
    {
        std::future<bool> waited = Start([&] { return SYNC_TimedWaitEvent(hEvent, ulTimeout); });
        GiveTimeToBlock();
        SYNC_SignalEvent(hEvent);
        RequireFinished(waited);
        EXPECT_TRUE(waited.get()) << ulTimeout;
    }
    SYNC_DestroyEvent(hEvent);
}

TEST(SyncFunctions, ManualResetEventReleasesEveryWaiter)
{
    constexpr int kWaiters = 4;
    const ZRHANDLE hEvent = SYNC_CreateEvent(true, false, nullptr);
    std::atomic<int> started{0};
    std::atomic<int> released{0};
    std::thread waiters[kWaiters];
    for (std::thread& waiter : waiters)
        waiter = std::thread([&] {
            ++started;
            // Outlasts the check below: a release must come from the signal.
            released += SYNC_TimedWaitEvent(hEvent, 2 * kBoundMs);
        });
    EXPECT_TRUE(WaitUntil([&] { return started == kWaiters; }));
    GiveTimeToBlock();
    const Clock::time_point signalled = Clock::now();
    SYNC_SignalEvent(hEvent);
    for (std::thread& waiter : waiters)
        waiter.join();
    EXPECT_LT(Clock::now() - signalled, kBound);
    EXPECT_EQ(released, kWaiters);
    EXPECT_TRUE(SYNC_TimedWaitEvent(hEvent, 0));   // still set
    SYNC_ResetEvent(hEvent);
    EXPECT_FALSE(SYNC_TimedWaitEvent(hEvent, 0));
    SYNC_DestroyEvent(hEvent);
}

TEST(SyncFunctions, MutexProbeKeepsOwnershipAndTakesAbandonedMutexes)
{
    const ZRHANDLE hMutex = SYNC_CreateMutex(true, nullptr);
    EXPECT_FALSE(SYNC_IsMutexLocked(hMutex));   // owned by this thread: taken at once
    EXPECT_TRUE(OnOtherThread([&] { return SYNC_IsMutexLocked(hMutex); }));
    SYNC_UnlockMutex(hMutex);                   // the probe added no ownership
    ASSERT_FALSE(OnOtherThread([&] { return SYNC_IsMutexLocked(hMutex); }));

    std::thread([&] { SYNC_LockMutex(hMutex); }).join();   // ends holding it
    EXPECT_FALSE(SYNC_IsMutexLocked(hMutex));
    EXPECT_FALSE(OnOtherThread([&] { return SYNC_IsMutexLocked(hMutex); }));
    EXPECT_TRUE(SYNC_DestroyMutex(hMutex));
}

TEST(SyncFunctions, SemaphoreUnlockReportsPreviousCountWithinMaximum)
{
    const ZRHANDLE hSemaphore = SYNC_CreateSemaphore(1, 3, nullptr);
    EXPECT_EQ(SYNC_UnlockSemaphore(hSemaphore, 1), 1);
    EXPECT_EQ(SYNC_UnlockSemaphore(hSemaphore, 2), 0);   // would exceed 3: refused
    EXPECT_EQ(SYNC_UnlockSemaphore(hSemaphore, 0), 0);
    EXPECT_EQ(SYNC_UnlockSemaphore(hSemaphore, 1), 2);
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(SYNC_TryLockSemaphore(hSemaphore, 0));
    EXPECT_FALSE(SYNC_TryLockSemaphore(hSemaphore, 0));
    EXPECT_TRUE(SYNC_DestroySemaphore(hSemaphore));
}

TEST(SyncFunctions, NamedObjectsShareState)
{
    const ZRHANDLE hEvent1 = SYNC_CreateEvent(false, false, "SyncFunctionsTests.Event");
    const ZRHANDLE hEvent2 = SYNC_CreateEvent(true, true, "SyncFunctionsTests.Event");
    EXPECT_NE(hEvent1, hEvent2);
    EXPECT_FALSE(SYNC_TimedWaitEvent(hEvent2, 0));   // opened as created: unsignalled
    SYNC_SignalEvent(hEvent1);
    EXPECT_TRUE(SYNC_TimedWaitEvent(hEvent2, 0));
    EXPECT_FALSE(SYNC_TimedWaitEvent(hEvent1, 0));   // and auto-reset
    EXPECT_TRUE(SYNC_DestroyEvent(hEvent1) && SYNC_DestroyEvent(hEvent2));
}
