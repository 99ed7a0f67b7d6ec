// Clocks and the library's timer thread of the POSIX backend, on CLOCK_MONOTONIC and
// std::thread. Only code for POSIX goes here.
//
// Lifetime: the timer service is created on the first TimerStart and never
// destroyed, so its thread never touches a destroyed object of the library. An exit
// handler, registered when the thread starts, stops it: it lets a running callback
// finish (bounded, see kExitWait) and runs no callback after that. Exit handlers run
// in reverse order of registration mixed with static destructors, so the timer stops
// before any static object that existed before the first timer is destroyed.
#include <time.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <set>
#include <thread>
#include <utility>

#include "Common/Platform/PlatformSeam.h"
#include "Common/Platform/Posix/PosixObjects.h"

namespace ZRPlatform
{
namespace
{

constexpr std::int64_t kNanosPerSecond = 1000000000;
constexpr std::int64_t kNanosPerMilli = 1000000;

// timeBeginPeriod accepts the periods of timeGetDevCaps; Windows reports 1..1000000.
constexpr std::uint32_t kMinPeriodMs = 1;
constexpr std::uint32_t kMaxPeriodMs = 1000000;
constexpr std::uint32_t kTimerNoCanDo = 97;   // TIMERR_NOCANDO

// How long process exit waits for a callback that is running at that moment.
constexpr std::chrono::seconds kExitWait{2};

constexpr std::int64_t kNanosPerMicro = 1000;

// The monotonic clock in nanoseconds, or the seam's frozen time in test builds;
// false when the clock cannot be read.
bool MonotonicNanos(std::int64_t* nanos)
{
    std::uint64_t frozenMicros = 0;
    if (Seam::ClockFrozen(&frozenMicros))
    {
        *nanos = static_cast<std::int64_t>(frozenMicros) * kNanosPerMicro;
        return true;
    }
    timespec now{};
    if (clock_gettime(CLOCK_MONOTONIC, &now) != 0)
        return false;
    *nanos = static_cast<std::int64_t>(now.tv_sec) * kNanosPerSecond + now.tv_nsec;
    return true;
}

using Clock = std::chrono::steady_clock;

struct TimerEntry
{
    TimerCallback callback;
    std::uintptr_t user;
    std::chrono::milliseconds period;   // zero for a one-shot timer
    Clock::time_point due;
};

class TimerService
{
public:
    static TimerService& Instance()
    {
        static TimerService* service = new TimerService;   // immortal, see above
        return *service;
    }

    std::uint32_t Start(std::uint32_t delayMs, bool periodic, TimerCallback callback,
                        std::uintptr_t user);
    bool Stop(std::uint32_t id);

private:
    static void StopAtExit() { Instance().Shutdown(); }
    void Shutdown();
    void ThreadMain();
    void FireLocked(std::unique_lock<std::mutex>& lock);
    std::uint32_t NewIdLocked();

    std::mutex m_lock;
    std::condition_variable m_wake;           // the schedule changed or shutdown began
    std::condition_variable m_callbackDone;   // m_running went back to 0
    std::map<std::uint32_t, TimerEntry> m_timers;
    std::set<std::pair<Clock::time_point, std::uint32_t>> m_queue;   // due order
    std::uint32_t m_nextId = 1;
    std::uint32_t m_running = 0;   // id whose callback runs now, 0 for none
    bool m_threadStarted = false;
    bool m_shutdown = false;
    std::thread::id m_threadId;
};

std::uint32_t TimerService::NewIdLocked()
{
    std::uint32_t id = m_nextId++;
    while (id == 0 || m_timers.count(id) != 0)
        id = m_nextId++;
    return id;
}

std::uint32_t TimerService::Start(std::uint32_t delayMs, bool periodic, TimerCallback callback,
                                  std::uintptr_t user)
{
    std::lock_guard<std::mutex> guard(m_lock);
    if (m_shutdown)
    {
        SetLastError(Error::NotSupported);   // the process is ending
        return 0;
    }
    if (!m_threadStarted)
    {
        std::thread(&TimerService::ThreadMain, this).detach();
        std::atexit(&TimerService::StopAtExit);
        m_threadStarted = true;
    }
    const std::uint32_t id = NewIdLocked();
    const std::chrono::milliseconds delay(delayMs);
    const TimerEntry entry{callback, user, periodic ? delay : std::chrono::milliseconds(0),
                           Clock::now() + delay};
    m_timers.emplace(id, entry);
    m_queue.emplace(entry.due, id);
    m_wake.notify_one();
    return id;
}

bool TimerService::Stop(std::uint32_t id)
{
    std::unique_lock<std::mutex> lock(m_lock);
    auto it = m_timers.find(id);
    if (it == m_timers.end())
    {
        SetLastError(Error::InvalidArgument);
        return false;
    }
    m_queue.erase({it->second.due, id});
    m_timers.erase(it);
    m_wake.notify_one();
    // From inside its own callback the stop only cancels; waiting would deadlock.
    if (std::this_thread::get_id() != m_threadId)
        m_callbackDone.wait(lock, [&] { return m_running != id; });
    return true;
}

void TimerService::ThreadMain()
{
    std::unique_lock<std::mutex> lock(m_lock);
    m_threadId = std::this_thread::get_id();
    while (!m_shutdown)
    {
        if (m_queue.empty())
        {
            m_wake.wait(lock);
            continue;
        }
        // A copy: a TimerStop during the wait may free the queue entry, and the
        // wait reads its deadline again when it wakes.
        const Clock::time_point due = m_queue.begin()->first;
        if (Clock::now() < due)
            m_wake.wait_until(lock, due);
        else
            FireLocked(lock);
    }
}

// Runs the earliest due callback with the lock released. A one-shot timer stays
// known until its callback has returned, so TimerStop can still wait for it.
void TimerService::FireLocked(std::unique_lock<std::mutex>& lock)
{
    const std::uint32_t id = m_queue.begin()->second;
    m_queue.erase(m_queue.begin());
    TimerEntry& entry = m_timers.at(id);
    const TimerEntry fired = entry;
    if (fired.period.count() != 0)
    {
        // Fixed rate; a late timer does not make up for lost periods with a burst.
        entry.due = std::max(entry.due + entry.period, Clock::now());
        m_queue.emplace(entry.due, id);
    }
    m_running = id;
    lock.unlock();
    fired.callback(id, fired.user);
    lock.lock();
    m_running = 0;
    if (fired.period.count() == 0)
        m_timers.erase(id);   // no-op when the callback stopped it
    m_callbackDone.notify_all();
}

void TimerService::Shutdown()
{
    std::unique_lock<std::mutex> lock(m_lock);
    m_shutdown = true;
    m_queue.clear();
    m_timers.clear();
    m_wake.notify_one();
    // exit() called from a callback must not wait for that callback.
    if (std::this_thread::get_id() != m_threadId)
        m_callbackDone.wait_for(lock, kExitWait, [&] { return m_running == 0; });
}

} // namespace

std::uint32_t ClockTickMs()
{
    std::int64_t nanos = 0;
    MonotonicNanos(&nanos);
    return static_cast<std::uint32_t>(nanos / kNanosPerMilli);
}

bool ClockHasCounter()
{
    std::int64_t nanos = 0;
    return !Seam::ClockCounterFailing() && MonotonicNanos(&nanos);
}

std::int64_t ClockCounter()
{
    std::int64_t nanos = 0;
    return !Seam::ClockCounterFailing() && MonotonicNanos(&nanos) ? nanos : 0;
}

std::int64_t ClockFrequency() { return ClockHasCounter() ? kNanosPerSecond : 0; }

// The resolution is accepted and ignored: the timer thread wakes at the due time
// as precisely as the OS scheduler allows.
std::uint32_t TimerStart(std::uint32_t delayMs, std::uint32_t /*resolutionMs*/, bool periodic,
                         TimerCallback callback, std::uintptr_t user)
{
    if (callback == nullptr || delayMs < kMinPeriodMs || delayMs > kMaxPeriodMs)
    {
        SetLastError(Error::InvalidArgument);
        return 0;
    }
    return TimerService::Instance().Start(delayMs, periodic, callback, user);
}

bool TimerStop(std::uint32_t timerId) { return TimerService::Instance().Stop(timerId); }

// Linux timers already have millisecond resolution; only the range is checked.
std::uint32_t TimerBeginPeriod(std::uint32_t periodMs)
{
    return periodMs >= kMinPeriodMs && periodMs <= kMaxPeriodMs ? 0 : kTimerNoCanDo;
}

std::uint32_t TimerEndPeriod(std::uint32_t periodMs) { return TimerBeginPeriod(periodMs); }

} // namespace ZRPlatform
