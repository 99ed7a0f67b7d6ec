// CZRTimer's time events: how often they fire, what the callback receives, and
// that none runs once UninstallTimeEvent has returned. Callbacks are counted
// with a semaphore; "never again" is checked after a later one-shot has fired,
// since the timer thread runs callbacks in due order.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "Common/Time/ZRSemaphore.h"
#include "Common/Time/ZRTimer.h"
#include "Time/SyncTestSupport.h"

using SyncTest::kBoundMs;

namespace
{
constexpr int kPeriodic = CZRTimer::TIME_EVENT_PERIODIC;
constexpr int kOneShot = 2;   // anything but periodic
constexpr int kPeriodMs = 2;
constexpr int kLongestPeriodMs = 1000000;
constexpr long kMaxCount = 100000;

struct Ticks
{
    CZRSemaphore fired{0, kMaxCount};
    std::atomic<int> calls{0};
    std::atomic<bool> inside{false}, late{false}, uninstalled{false}, stopSelf{false};
    std::atomic<unsigned> lastId{0}, lastMsg{1};

    int Install(int nPeriod, int nType)
    {
        return CZRTimer::InstallTimeEvent(nPeriod, 1, &OnTick, reinterpret_cast<unsigned long>(this), nType);
    }
    void Uninstall(int nId, int nPeriod)
    {
        CZRTimer::UninstallTimeEvent(nId, nPeriod);
        uninstalled = true;
    }
    bool Fired() { return fired.TryLock(kBoundMs); }

    static void ZR_TIMECALLBACK OnTick(unsigned int id, unsigned int msg, unsigned long user,
                                       unsigned long, unsigned long)
    {
        Ticks* self = reinterpret_cast<Ticks*>(user);
        self->inside = true;
        self->late = self->late || self->uninstalled;
        self->lastId = id;
        self->lastMsg = msg;
        if (self->stopSelf)
            CZRTimer::UninstallTimeEvent(static_cast<int>(id), kPeriodMs);
        ++self->calls;
        self->fired.Unlock(1);
        // Busy a moment longer, so that an uninstall that did not wait would see it inside.
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        self->inside = false;
    }
};

// Once a one-shot installed now has fired, every earlier callback has returned.
void WaitForLaterOneShot()
{
    Ticks marker;
    const int id = marker.Install(4 * kPeriodMs, kOneShot);
    EXPECT_TRUE(id > 0 && marker.Fired());
    marker.Uninstall(id, 4 * kPeriodMs);
}
} // namespace

TEST(TimeEvent, PeriodicFiresUntilUninstalledAndNeverAfter)
{
    Ticks ticks;
    const int id = ticks.Install(kPeriodMs, kPeriodic);
    ASSERT_GT(id, 0);
    for (int i = 0; i < 5; ++i)
        ASSERT_TRUE(ticks.Fired()) << i;
    ticks.Uninstall(id, kPeriodMs);
    EXPECT_FALSE(ticks.inside) << "the uninstall waited for the running callback";
    const int callsAtUninstall = ticks.calls;
    WaitForLaterOneShot();
    EXPECT_EQ(ticks.calls, callsAtUninstall);
    EXPECT_FALSE(ticks.late);
    EXPECT_EQ(ticks.lastId, static_cast<unsigned>(id));
    EXPECT_EQ(ticks.lastMsg, 0u);
}

TEST(TimeEvent, OneShotFiresOnce)
{
    Ticks ticks;
    const int id = ticks.Install(kPeriodMs, kOneShot);
    ASSERT_GT(id, 0);
    EXPECT_TRUE(ticks.Fired());
    WaitForLaterOneShot();
    EXPECT_EQ(ticks.calls, 1);
    ticks.Uninstall(id, kPeriodMs);
}

TEST(TimeEvent, ACallbackMayUninstallItsOwnEvent)
{
    Ticks ticks;
    ticks.stopSelf = true;
    ASSERT_GT(ticks.Install(kPeriodMs, kPeriodic), 0);
    EXPECT_TRUE(ticks.Fired());
    WaitForLaterOneShot();
    EXPECT_EQ(ticks.calls, 1);
}

TEST(TimeEvent, RefusedPeriodsAndEvents)
{
    Ticks ticks;
    EXPECT_EQ(ticks.Install(0, kPeriodic), -1);
    EXPECT_EQ(ticks.Install(-5, kOneShot), -1);
    EXPECT_EQ(CZRTimer::InstallTimeEvent(kPeriodMs, 1, nullptr, 0, kPeriodic), 0);
    // Events that never fire, until one is refused; an uninstall makes room again.
    std::vector<int> ids;
    for (int id; ids.size() < 1000 && (id = ticks.Install(kLongestPeriodMs, kPeriodic)) > 0;)
        ids.push_back(id);
    ASSERT_TRUE(!ids.empty() && ids.size() < 1000);
    CZRTimer::UninstallTimeEvent(ids.back(), kLongestPeriodMs);
    ids.back() = ticks.Install(kLongestPeriodMs, kPeriodic);
    EXPECT_GT(ids.back(), 0);
    EXPECT_EQ(ticks.Install(kLongestPeriodMs, kPeriodic), 0);
    for (int id : ids)
        CZRTimer::UninstallTimeEvent(id, kLongestPeriodMs);
    EXPECT_EQ(ticks.calls, 0);
}
