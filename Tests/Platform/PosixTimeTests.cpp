// Clocks and timer callbacks of the backend: periodic and one-shot timers, due
// order, and what TimerStop guarantees.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "Common/Platform/Platform.h"

using namespace ZRPlatform;

namespace
{
constexpr std::uint32_t kBoundMs = 5000;   // never reached in a passing run
constexpr std::uint32_t kSleepMs = 20;
constexpr std::uint32_t kFastPeriodMs = 1;
constexpr std::uint32_t kMarkerDelayMs = 40;   // several periods of the timers under test
constexpr std::uint32_t kMadeUpTimer = 0x7FFF1234;

struct Counter
{
    std::atomic<int> calls{0};
    std::atomic<bool> inside{false};
    std::atomic<bool> overlapped{false};
    std::atomic<std::uint32_t> seenId{0};
    std::atomic<int> order{0};   // value of a shared sequence at the first call
    std::atomic<int>* sequence = nullptr;
    int target = 1;
    bool stopSelf = false;
    Handle reached = EventCreate(true, false, nullptr);

    ~Counter() { ObjectClose(reached); }
};

// Stays busy for a moment so that a TimerStop that did not wait would see it inside.
void Count(std::uint32_t timerId, std::uintptr_t user)
{
    auto* counter = reinterpret_cast<Counter*>(user);
    if (counter->inside.exchange(true))
        counter->overlapped = true;
    counter->seenId = timerId;
    if (counter->sequence != nullptr && counter->calls == 0)
        counter->order = ++*counter->sequence;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    if (counter->stopSelf)
    {
        EXPECT_TRUE(TimerStop(timerId));   // must not wait for itself
    }
    if (++counter->calls == counter->target)
        EventSet(counter->reached);
    counter->inside = false;
}

std::uintptr_t UserOf(Counter& counter) { return reinterpret_cast<std::uintptr_t>(&counter); }

// Callbacks run in due order on one thread: once a later one-shot has fired, every
// earlier callback has returned.
void WaitForLaterMarker()
{
    Counter marker;
    const std::uint32_t id = TimerStart(kMarkerDelayMs, 1, false, Count, UserOf(marker));
    ASSERT_NE(id, 0u);
    EXPECT_EQ(ObjectWait(marker.reached, kBoundMs), WaitResult::Signaled);
    TimerStop(id);   // its callback may still be returning; marker must outlive it
}
} // namespace

TEST(PosixTime, ClocksAreMonotonicAndAgree)
{
    EXPECT_EQ(ClockFrequency(), 1000000000);
    const std::int64_t counter = ClockCounter();
    const std::uint32_t ticks = ClockTickMs();
    ThreadSleep(kSleepMs);
    const std::int64_t elapsedCounter = ClockCounter() - counter;
    const std::uint32_t elapsedTicks = ClockTickMs() - ticks;
    EXPECT_GE(elapsedCounter, static_cast<std::int64_t>(kSleepMs) * ClockFrequency() / 1000);
    EXPECT_GE(elapsedTicks, kSleepMs);
    EXPECT_LE(elapsedTicks, elapsedCounter * 1000 / ClockFrequency() + 1);
}

TEST(PosixTime, PeriodicTimerRepeatsAndStopsWithNoCallbackRunning)
{
    Counter counter;
    counter.target = 5;
    const std::uint32_t id = TimerStart(kFastPeriodMs, 1, true, Count, UserOf(counter));
    ASSERT_NE(id, 0u);
    ASSERT_EQ(ObjectWait(counter.reached, kBoundMs), WaitResult::Signaled);
    EXPECT_TRUE(TimerStop(id));
    EXPECT_FALSE(counter.inside);
    const int callsAtStop = counter.calls;
    WaitForLaterMarker();
    EXPECT_EQ(counter.calls, callsAtStop);
    EXPECT_FALSE(counter.overlapped);
    EXPECT_EQ(counter.seenId, id);
    EXPECT_FALSE(TimerStop(id));
}

TEST(PosixTime, OneShotFiresOnceAndRunsInDueOrder)
{
    std::atomic<int> sequence{0};
    Counter late;
    Counter early;
    late.sequence = early.sequence = &sequence;
    const std::uint32_t lateId = TimerStart(2 * kSleepMs, 1, false, Count, UserOf(late));
    const std::uint32_t earlyId = TimerStart(kSleepMs, 1, false, Count, UserOf(early));
    ASSERT_NE(lateId, 0u);
    ASSERT_NE(earlyId, lateId);
    ASSERT_EQ(ObjectWait(late.reached, kBoundMs), WaitResult::Signaled);
    WaitForLaterMarker();
    EXPECT_EQ(early.order, 1);
    EXPECT_EQ(late.order, 2);
    EXPECT_EQ(early.calls, 1);
    EXPECT_EQ(late.calls, 1);
    EXPECT_FALSE(TimerStop(earlyId));   // a fired one-shot is gone
}

TEST(PosixTime, TimerStoppedFromItsOwnCallbackEnds)
{
    Counter counter;
    counter.stopSelf = true;
    ASSERT_NE(TimerStart(kFastPeriodMs, 1, true, Count, UserOf(counter)), 0u);
    ASSERT_EQ(ObjectWait(counter.reached, kBoundMs), WaitResult::Signaled);
    WaitForLaterMarker();
    EXPECT_EQ(counter.calls, 1);
}

TEST(PosixTime, BadArgumentsAndPeriods)
{
    Counter counter;
    EXPECT_EQ(TimerStart(kSleepMs, 1, false, nullptr, 0), 0u);
    EXPECT_EQ(TimerStart(0, 1, false, Count, UserOf(counter)), 0u);
    EXPECT_EQ(GetLastError(), Error::InvalidArgument);
    EXPECT_FALSE(TimerStop(0));
    EXPECT_FALSE(TimerStop(kMadeUpTimer));
    EXPECT_EQ(TimerBeginPeriod(1), 0u);
    EXPECT_EQ(TimerEndPeriod(1), 0u);
    EXPECT_NE(TimerBeginPeriod(0), 0u);
    EXPECT_NE(TimerEndPeriod(0), 0u);
}
