// Clocks and periodic timers of the Windows backend: the performance counter,
// timeGetTime, and the multimedia timer events (timeSetEvent) with their
// periods.
//
// Timers: each running timer has a record in a table of the backend, found by
// a key of its own that the multimedia timer passes to the callback. A
// callback whose record is gone (the timer was stopped while the OS was
// already delivering it) does nothing, and TimerStop waits for a callback that
// is running, so that on its return the callback neither runs nor will run.
// Multimedia timers run every callback on one thread of winmm, so a callback
// never runs concurrently with itself.
#include "Common/Platform/Win32/Win32Sys.h"

#include <mmsystem.h>

#include <condition_variable>
#include <map>
#include <mutex>
#include <set>

namespace ZRPlatform
{
namespace
{
constexpr std::uint64_t kMicrosPerSecond = 1000000;
constexpr std::uint64_t kMicrosPerMilli = 1000;
// The delays timeSetEvent accepts (timeGetDevCaps' range on Windows).
constexpr std::uint32_t kMinDelayMs = 1;
constexpr std::uint32_t kMaxDelayMs = 1000000;

// The performance counter's ticks per second; 0 when the machine has none.
std::int64_t CounterFrequency()
{
    static const std::int64_t s_frequency = [] {
        LARGE_INTEGER frequency{};
        return ::QueryPerformanceFrequency(&frequency) ? frequency.QuadPart : 0;
    }();
    return s_frequency;
}

// Frozen microseconds as counter ticks, without overflowing for long times.
std::int64_t MicrosToTicks(std::uint64_t micros, std::int64_t frequency)
{
    const auto perSecond = static_cast<std::uint64_t>(frequency);
    return static_cast<std::int64_t>((micros / kMicrosPerSecond) * perSecond +
                                     (micros % kMicrosPerSecond) * perSecond / kMicrosPerSecond);
}

struct sTimer
{
    TimerCallback callback;
    std::uintptr_t user;
    bool periodic;
    UINT osId;            // 0 until timeSetEvent has returned
    DWORD runningThread;  // the thread running the callback now, 0 for none
};

class CTimerTable
{
public:
    static CTimerTable& Instance()
    {
        static CTimerTable* table = new CTimerTable;   // immortal: callbacks may come late
        return *table;
    }

    std::uint32_t Start(std::uint32_t delayMs, std::uint32_t resolutionMs, bool periodic,
                        TimerCallback callback, std::uintptr_t user);
    bool Stop(std::uint32_t timerId);

private:
    static void CALLBACK Deliver(UINT osId, UINT message, DWORD_PTR key, DWORD_PTR, DWORD_PTR);
    void Run(UINT osId, DWORD_PTR key);

    std::mutex m_lock;
    std::condition_variable m_callbackDone;
    std::map<DWORD_PTR, sTimer> m_timers;   // by key
    std::set<DWORD_PTR> m_running;          // keys whose callback runs now
    DWORD_PTR m_nextKey = 1;
};

std::uint32_t CTimerTable::Start(std::uint32_t delayMs, std::uint32_t resolutionMs, bool periodic,
                                 TimerCallback callback, std::uintptr_t user)
{
    DWORD_PTR key = 0;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        key = m_nextKey++;
        m_timers.emplace(key, sTimer{callback, user, periodic, 0, 0});
    }
    const UINT kind = (periodic ? TIME_PERIODIC : TIME_ONESHOT) | TIME_CALLBACK_FUNCTION |
                      TIME_KILL_SYNCHRONOUS;
    const MMRESULT osId = ::timeSetEvent(delayMs, resolutionMs, &CTimerTable::Deliver, key, kind);
    std::lock_guard<std::mutex> guard(m_lock);
    const auto it = m_timers.find(key);
    if (osId == 0)
    {
        m_timers.erase(key);
        SetLastError(Error::InvalidArgument);
        return 0;
    }
    if (it != m_timers.end())
        it->second.osId = osId;   // a one-shot timer may have fired and ended already
    return osId;
}

bool CTimerTable::Stop(std::uint32_t timerId)
{
    std::unique_lock<std::mutex> lock(m_lock);
    auto it = m_timers.begin();
    while (it != m_timers.end() && it->second.osId != timerId)
        ++it;
    if (it == m_timers.end())
    {
        SetLastError(Error::InvalidArgument);
        return false;
    }
    const DWORD_PTR key = it->first;
    const DWORD running = it->second.runningThread;
    m_timers.erase(it);
    lock.unlock();
    ::timeKillEvent(timerId);
    lock.lock();
    // From inside its own callback the stop only cancels; waiting would deadlock.
    if (running != ::GetCurrentThreadId())
        m_callbackDone.wait(lock, [&] { return m_running.count(key) == 0; });
    return true;
}

void CALLBACK CTimerTable::Deliver(UINT osId, UINT /*message*/, DWORD_PTR key, DWORD_PTR, DWORD_PTR)
{
    Instance().Run(osId, key);
}

void CTimerTable::Run(UINT osId, DWORD_PTR key)
{
    std::unique_lock<std::mutex> lock(m_lock);
    const auto it = m_timers.find(key);
    if (it == m_timers.end())
        return;
    const sTimer timer = it->second;
    it->second.runningThread = ::GetCurrentThreadId();
    m_running.insert(key);
    lock.unlock();
    timer.callback(osId, timer.user);
    lock.lock();
    m_running.erase(key);
    const auto after = m_timers.find(key);
    if (after != m_timers.end())
    {
        after->second.runningThread = 0;
        if (!timer.periodic)
            m_timers.erase(after);   // a one-shot timer ends with its callback
    }
    m_callbackDone.notify_all();
}
} // namespace

std::uint32_t ClockTickMs()
{
    std::uint64_t frozenMicros = 0;
    if (Seam::ClockFrozen(&frozenMicros))
        return static_cast<std::uint32_t>(frozenMicros / kMicrosPerMilli);
    return ::timeGetTime();
}

bool ClockHasCounter() { return !Seam::ClockCounterFailing() && CounterFrequency() != 0; }

std::int64_t ClockCounter()
{
    if (!ClockHasCounter())
        return 0;
    std::uint64_t frozenMicros = 0;
    if (Seam::ClockFrozen(&frozenMicros))
        return MicrosToTicks(frozenMicros, CounterFrequency());
    LARGE_INTEGER now{};
    return ::QueryPerformanceCounter(&now) ? now.QuadPart : 0;
}

std::int64_t ClockFrequency() { return ClockHasCounter() ? CounterFrequency() : 0; }

std::uint32_t TimerStart(std::uint32_t delayMs, std::uint32_t resolutionMs, bool periodic,
                         TimerCallback callback, std::uintptr_t user)
{
    if (callback == nullptr || delayMs < kMinDelayMs || delayMs > kMaxDelayMs)
    {
        SetLastError(Error::InvalidArgument);
        return 0;
    }
    return CTimerTable::Instance().Start(delayMs, resolutionMs, periodic, callback, user);
}

bool TimerStop(std::uint32_t timerId)
{
    if (timerId == 0)
    {
        SetLastError(Error::InvalidArgument);
        return false;
    }
    return CTimerTable::Instance().Stop(timerId);
}

std::uint32_t TimerBeginPeriod(std::uint32_t periodMs) { return ::timeBeginPeriod(periodMs); }

std::uint32_t TimerEndPeriod(std::uint32_t periodMs) { return ::timeEndPeriod(periodMs); }

} // namespace ZRPlatform
