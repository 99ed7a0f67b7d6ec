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

namespace
{
constexpr int kPeriodic = CZRTimer::TIME_EVENT_PERIODIC;
constexpr int kOneShot = 2;   // anything but periodic
constexpr int kPeriodMs = 2;
// Never fires while a test runs; within every multimedia timer's range (Wine's ends at 65535 ms).
constexpr int kQuietPeriodMs = 60000;

struct Ticks
{
    CZRSemaphore fired{0, 100000};
    std::atomic<int> calls{0};
    std::atomic<bool> inside{false}, late{false}, uninstalled{false}, stopSelf{false};
    std::atomic<unsigned> lastId{0}, lastMsg{1};

    int Install(int nPeriod, int nType)
    {
        return CZRTimer::InstallTimeEvent(nPeriod, 1, &OnTick, reinterpret_cast<ZRUserValue>(this), nType);
    }
    bool Fired() { return fired.TryLock(SyncTest::kBoundMs); }

    static void ZR_TIMECALLBACK OnTick(unsigned int id, unsigned int msg, ZRUserValue user, ZRUserValue,
                                       ZRUserValue)
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
} // namespace

// A periodic event fires until uninstalled, a one-shot once, and a callback may
// uninstall its own event.
TEST(TimeEvent, FiresAsInstalledAndNeverOnceUninstalled)
{
    const struct
    {
        int type;
        bool stopSelf;
        int fires;
    } cases[] = {{kPeriodic, false, 5}, {kOneShot, false, 1}, {kPeriodic, true, 1}};
    for (const auto& c : cases)
    {
        Ticks ticks;
        ticks.stopSelf = c.stopSelf;
        const int id = ticks.Install(kPeriodMs, c.type);
        ASSERT_GT(id, 0);
        for (int i = 0; i < c.fires; ++i)
            ASSERT_TRUE(ticks.Fired()) << i;
        const bool uninstallNow = c.type == kPeriodic && !c.stopSelf;
        if (uninstallNow)
            CZRTimer::UninstallTimeEvent(id, kPeriodMs), ticks.uninstalled = true;
        EXPECT_FALSE(uninstallNow && ticks.inside) << "the uninstall waited for the running callback";
        const int calls = ticks.calls;
        Ticks marker;   // once it has fired, every earlier callback has returned
        const int markerId = marker.Install(4 * kPeriodMs, kOneShot);
        EXPECT_TRUE(markerId > 0 && marker.Fired());
        CZRTimer::UninstallTimeEvent(markerId, 4 * kPeriodMs);
        EXPECT_EQ(ticks.calls, uninstallNow ? calls : 1) << c.type << c.stopSelf;
        EXPECT_FALSE(ticks.late);
        EXPECT_EQ(ticks.lastId, static_cast<unsigned>(id));
        EXPECT_EQ(ticks.lastMsg, 0u);
        if (c.type == kOneShot)
            CZRTimer::UninstallTimeEvent(id, kPeriodMs);
    }
}

TEST(TimeEvent, RefusedPeriodsAndEvents)
{
    Ticks ticks;
    EXPECT_EQ(ticks.Install(0, kPeriodic), -1);
    EXPECT_EQ(ticks.Install(-5, kOneShot), -1);
    EXPECT_EQ(CZRTimer::InstallTimeEvent(kPeriodMs, 1, nullptr, 0, kPeriodic), 0);
    // Events that never fire, until one is refused; an uninstall makes room again.
    std::vector<int> ids;
    for (int id; ids.size() < 1000 && (id = ticks.Install(kQuietPeriodMs, kPeriodic)) > 0;)
        ids.push_back(id);
    ASSERT_TRUE(!ids.empty() && ids.size() < 1000);
    CZRTimer::UninstallTimeEvent(ids.back(), kQuietPeriodMs);
    ids.back() = ticks.Install(kQuietPeriodMs, kPeriodic);
    EXPECT_GT(ids.back(), 0);
    EXPECT_EQ(ticks.Install(kQuietPeriodMs, kPeriodic), 0);
    for (int id : ids)
        CZRTimer::UninstallTimeEvent(id, kQuietPeriodMs);
    EXPECT_EQ(ticks.calls, 0);
}
