// The SYNC_ flat layer: what it adds to the platform's objects (bad handles that
// never block, 64-bit timeouts, the mutex probe, semaphore results), that it
// passes event kinds and names through, and its sleep of long values.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "Common/Time/ZRSyncFunctions.h"
#include "Time/SyncTestSupport.h"

using namespace SyncTest;

TEST(SyncFunctions, NullClosedAndMadeUpHandlesFailAtOnce)
{
    const ZRHANDLE hClosed = SYNC_CreateEvent(false, false, nullptr);
    ASSERT_TRUE(hClosed != 0 && SYNC_DestroyEvent(hClosed));
    std::vector<ZRHANDLE> handles{0, 0x7654320, hClosed};
#if defined(_WIN32)
    handles.pop_back();   // Windows gives a closed handle's value to the next object (a thread here)
#endif
    for (ZRHANDLE h : handles)
    {
        RequireFinished(Start([h] {   // none of these may block
            SYNC_LockMutex(h), SYNC_LockSemaphore(h), SYNC_WaitEvent(h);
            SYNC_UnlockMutex(h), SYNC_SignalEvent(h), SYNC_ResetEvent(h);
            EXPECT_TRUE(SYNC_TimedWaitEvent(h, SYNC_INFINITE) && SYNC_TryLockSemaphore(h, SYNC_INFINITE));
        }));
        EXPECT_TRUE(SYNC_IsMutexLocked(h));
        EXPECT_EQ(SYNC_UnlockSemaphore(h, 1), 0);
        EXPECT_FALSE(SYNC_DestroyMutex(h) || SYNC_DestroyEvent(h) || SYNC_DestroySemaphore(h));
    }
    EXPECT_EQ(SYNC_CreateSemaphore(2, 1, nullptr) | SYNC_CreateSemaphore(0, 0, nullptr), 0u);
}

TEST(SyncFunctions, TimeoutsAbove32BitsWaitWithoutLimit)
{
    const ZRHANDLE hEvent = SYNC_CreateEvent(false, false, nullptr);
    std::vector<unsigned long> timeouts{SYNC_INFINITE, static_cast<unsigned long>(-1)};
    if (sizeof(unsigned long) > 4)
        timeouts.push_back(static_cast<unsigned long>(0x100000000ULL));
    for (unsigned long ulTimeout : timeouts)
    {
        std::future<bool> waited = Start([&] { return SYNC_TimedWaitEvent(hEvent, ulTimeout); });
        GiveTimeToBlock();
        SYNC_SignalEvent(hEvent);
        RequireFinished(waited);
        EXPECT_TRUE(waited.get()) << ulTimeout;
    }
    SYNC_DestroyEvent(hEvent);
}

TEST(SyncFunctions, EventKindsNamesAndSemaphoreCountsPassThrough)
{
    const ZRHANDLE hManual = SYNC_CreateEvent(true, false, "SyncFunctionsTests.Event");
    const ZRHANDLE hOpened = SYNC_CreateEvent(false, true, "SyncFunctionsTests.Event");   // opened as created
    const ZRHANDLE hAuto = SYNC_CreateEvent(false, true, nullptr);
    EXPECT_FALSE(SYNC_TimedWaitEvent(hOpened, 0));
    SYNC_SignalEvent(hManual);
    EXPECT_TRUE(SYNC_TimedWaitEvent(hOpened, 0) && SYNC_TimedWaitEvent(hOpened, 0));
    SYNC_ResetEvent(hOpened);
    EXPECT_FALSE(SYNC_TimedWaitEvent(hManual, 0));
    EXPECT_TRUE(SYNC_TimedWaitEvent(hAuto, 0));
    EXPECT_FALSE(SYNC_TimedWaitEvent(hAuto, 0));
    EXPECT_TRUE(SYNC_DestroyEvent(hManual) && SYNC_DestroyEvent(hOpened) && SYNC_DestroyEvent(hAuto));

    const ZRHANDLE hSemaphore = SYNC_CreateSemaphore(1, 3, nullptr);
    EXPECT_EQ(SYNC_UnlockSemaphore(hSemaphore, 1), 1);
    EXPECT_EQ(SYNC_UnlockSemaphore(hSemaphore, 2), 0);   // would exceed 3: refused
    EXPECT_EQ(SYNC_UnlockSemaphore(hSemaphore, 1), 2);
    for (bool expected : {true, true, true, false})
        EXPECT_EQ(SYNC_TryLockSemaphore(hSemaphore, 0), expected);
    EXPECT_TRUE(SYNC_DestroySemaphore(hSemaphore));
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

// 2^32 ms (where long holds it) cut to 32 bits would be no sleep at all. The
// sleeper cannot be joined, so it runs detached on a flag that outlives the test.
TEST(SyncFunctions, SleepOfZeroReturnsAndLongValuesDoNotWrap)
{
    RequireFinished(Start([] { SYNC_Sleep(0); }));
    if (sizeof(unsigned long) == 4)
        return;
    static std::atomic<bool> s_woke{false};
    std::thread([] {
        SYNC_Sleep(static_cast<unsigned long>(0x100000000ULL));
        s_woke = true;
    }).detach();
    GiveTimeToBlock();
    EXPECT_FALSE(s_woke);
}
