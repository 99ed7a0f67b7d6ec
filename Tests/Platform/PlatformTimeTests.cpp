// Clocks and timer callbacks of the backend: periodic and one-shot timers, due
// order, and what TimerStop guarantees.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "Common/Platform/Platform.h"

using namespace ZRPlatform;

namespace
{
constexpr std::uint32_t kBoundMs = 5000;   // never reached in a passing run
constexpr std::uint32_t kSleepMs = 20;

struct Counter
{
    std::atomic<int> calls{0}, order{0};   // order: a shared sequence at the first call
    std::atomic<bool> inside{false}, overlapped{false};
    std::atomic<std::uint32_t> seenId{0};
    std::atomic<int>* sequence = nullptr;
    int target = 1;
    bool stopSelf = false;
    Handle reached = EventCreate(true, false, nullptr);
    ~Counter() { ObjectClose(reached); }

    std::uint32_t Start(std::uint32_t delayMs, bool periodic)
    {
        // Stays busy for a moment, so that a TimerStop that did not wait would see it inside.
        return TimerStart(delayMs, 1, periodic, [](std::uint32_t timerId, std::uintptr_t user) {
            auto* self = reinterpret_cast<Counter*>(user);
            self->overlapped = self->inside.exchange(true) || self->overlapped;
            self->seenId = timerId;
            if (self->sequence != nullptr && self->calls == 0)
                self->order = ++*self->sequence;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            EXPECT_TRUE(!self->stopSelf || TimerStop(timerId));   // must not wait for itself
            if (++self->calls == self->target)
                EventSet(self->reached);
            self->inside = false;
        }, reinterpret_cast<std::uintptr_t>(this));
    }

    bool Reached() { return ObjectWait(reached, kBoundMs) == WaitResult::Signaled; }
};

// Callbacks run in due order on one thread: once a later one-shot has fired, every
// earlier callback has returned.
void WaitForLaterMarker()
{
    Counter marker;
    const std::uint32_t id = marker.Start(2 * kSleepMs, false);
    EXPECT_TRUE(id != 0 && marker.Reached());
    TimerStop(id);   // its callback may still be returning; marker must outlive it
}
} // namespace

TEST(PlatformTime, ClocksAgreeAndSleepLastsAtLeastTheTimeAsked)
{
#if defined(_WIN32)
    EXPECT_GE(ClockFrequency(), 1000);   // the performance counter's own rate, never below ms
#else
    EXPECT_EQ(ClockFrequency(), 1000000000);
#endif
    const std::int64_t counter = ClockCounter();
    const std::uint32_t ticks = ClockTickMs();
    ThreadSleep(kSleepMs);
    const std::int64_t elapsedCounter = ClockCounter() - counter;
    const std::uint32_t elapsedTicks = ClockTickMs() - ticks;
    EXPECT_GE(elapsedCounter, static_cast<std::int64_t>(kSleepMs) * ClockFrequency() / 1000);
    EXPECT_GE(elapsedTicks, kSleepMs);
    EXPECT_LE(elapsedTicks, elapsedCounter * 1000 / ClockFrequency() + 1);
}

TEST(PlatformTime, PeriodicTimerRepeatsAndStopsWithNoCallbackRunning)
{
    Counter counter;
    counter.target = 5;
    const std::uint32_t id = counter.Start(1, true);
    ASSERT_TRUE(id != 0 && counter.Reached());
    EXPECT_TRUE(TimerStop(id));
    EXPECT_FALSE(counter.inside);
    const int callsAtStop = counter.calls;
    WaitForLaterMarker();
    EXPECT_EQ(counter.calls, callsAtStop);
    EXPECT_FALSE(counter.overlapped);
    EXPECT_EQ(counter.seenId, id);
    EXPECT_FALSE(TimerStop(id));
}

TEST(PlatformTime, OneShotFiresOnceAndRunsInDueOrder)
{
    std::atomic<int> sequence{0};
    Counter late, early;
    late.sequence = early.sequence = &sequence;
    const std::uint32_t lateId = late.Start(2 * kSleepMs, false), earlyId = early.Start(kSleepMs, false);
    ASSERT_TRUE(lateId != 0 && earlyId != 0 && earlyId != lateId && late.Reached());
    WaitForLaterMarker();
    EXPECT_EQ(early.order, 1);
    EXPECT_EQ(late.order, 2);
    EXPECT_EQ(early.calls + late.calls, 2);
    EXPECT_FALSE(TimerStop(earlyId));   // a fired one-shot is gone
}

TEST(PlatformTime, TimerStoppedFromItsOwnCallbackEnds)
{
    Counter counter;
    counter.stopSelf = true;
    ASSERT_TRUE(counter.Start(1, true) != 0 && counter.Reached());
    WaitForLaterMarker();
    EXPECT_EQ(counter.calls, 1);
}

TEST(PlatformTime, BadArgumentsAndPeriods)
{
    Counter counter;
    EXPECT_EQ(TimerStart(kSleepMs, 1, false, nullptr, 0), 0u);
    EXPECT_EQ(counter.Start(0, false), 0u);
    EXPECT_EQ(GetLastError(), Error::InvalidArgument);
    EXPECT_FALSE(TimerStop(0) || TimerStop(0x7FFF1234));
    EXPECT_EQ(TimerBeginPeriod(1) | TimerEndPeriod(1), 0u);
    EXPECT_TRUE(TimerBeginPeriod(0) != 0 && TimerEndPeriod(0) != 0);
}

TEST(PlatformTime, StoppingTheTimerTheThreadWaitsForLeavesItWorking)
{
    Counter waitedFor;
    const std::uint32_t id = waitedFor.Start(60000, false);   // far past the test's end
    ASSERT_NE(id, 0u);
    ThreadSleep(kSleepMs);   // sharpens only: lets the thread wait for that deadline
    EXPECT_TRUE(TimerStop(id));   // frees the deadline the wait holds (sanitizers see a stale read)
    WaitForLaterMarker();
    EXPECT_EQ(waitedFor.calls, 0);
}
