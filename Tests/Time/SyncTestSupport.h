// Thread helpers for the synchronisation tests. Every wait is bounded, so a
// faulty build reports instead of hanging.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <thread>

namespace SyncTest
{
using Clock = std::chrono::steady_clock;
constexpr long kShortMs = 50;
constexpr long kBoundMs = 5000;   // never runs out in a passing run
constexpr auto kShort = std::chrono::milliseconds(kShortMs);
constexpr auto kBound = std::chrono::milliseconds(kBoundMs);

template <class F> auto OnOtherThread(F f)
{
    decltype(f()) result{};
    std::thread([&] { result = f(); }).join();
    return result;
}

template <class F> auto Start(F f) { return std::async(std::launch::async, f); }

// Lets a new thread reach its wait. Only sharpens a test: a correct build
// passes whether the thread is blocked by then or not.
inline void GiveTimeToBlock() { std::this_thread::sleep_for(kShort); }

// A negative check only: fails when the thread is wrongly not blocked.
template <class T> bool StaysBlocked(const std::future<T>& done)
{
    return done.wait_for(kShort) == std::future_status::timeout;
}

// A thread still blocked would hang the suite in its future's destructor, so
// the failure ends the process.
template <class T> void RequireFinished(const std::future<T>& done)
{
    if (done.wait_for(kBound) == std::future_status::ready)
        return;
    ADD_FAILURE() << "a thread is still blocked after " << kBoundMs << " ms";
    std::fflush(stdout);
    std::_Exit(EXIT_FAILURE);
}

template <class Pred> bool WaitUntil(Pred pred)
{
    for (const Clock::time_point deadline = Clock::now() + kBound; !pred(); std::this_thread::yield())
        if (Clock::now() > deadline)
            return false;
    return true;
}
} // namespace SyncTest
