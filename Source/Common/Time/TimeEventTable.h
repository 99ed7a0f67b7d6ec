// The time events of CZRTimer: each installed event holds one slot of a fixed
// table that carries its callback and user value to the platform's timer thread.
//
// The table is constant-initialised and needs no lock: a slot's state word (free,
// being installed, or an event id with its phase) changes only by compare-and-
// swap, so a slot is never handed out twice and the event id in the word keeps
// a late uninstall from freeing a slot reused since. A slot is freed only when
// its event can no longer call back: by UninstallTimeEvent after the platform's
// stop has returned, or by the next install after a one-shot event has fired.
// Internal to the library.
#pragma once

#include <atomic>
#include <cstdint>

#include "Common/Time/ZRTimer.h"

struct sTimeEventSlot
{
    std::atomic<std::uint64_t> state;   // see TimeEventTable.cpp
    std::atomic<LPTIMECALLBACK> callback;
    std::atomic<ZRUserValue> user;
    std::atomic<bool> periodic;
};

struct sTimeEventTable
{
    // Events installed at once; a further install is refused (id 0).
    static constexpr int MAX_EVENTS = 64;
    sTimeEventSlot slots[MAX_EVENTS];
};

// The library-wide table (LibraryObjects.cpp).
sTimeEventTable& GetTimeEventTable();

namespace TimeEvents
{
// Starts a platform timer that calls pfnCallback with dwUser; its id, or 0 when
// no slot is free or the platform refuses.
std::uint32_t Install(std::uint32_t delayMs, std::uint32_t resolutionMs, bool periodic,
                      LPTIMECALLBACK pfnCallback, ZRUserValue dwUser);
// Stops the timer (waiting for a running callback) and frees its slot.
void Uninstall(std::uint32_t eventId);
} // namespace TimeEvents
