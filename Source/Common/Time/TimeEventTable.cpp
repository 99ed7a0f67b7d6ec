#include "Common/Time/TimeEventTable.h"

#include "Common/Platform/Platform.h"

namespace
{
// A slot's state word: the phase in the high half, the event id in the low half.
constexpr int kPhaseShift = 32;
constexpr std::uint64_t kIdMask = 0xFFFFFFFFu;
constexpr std::uint64_t kFree = 0;
constexpr std::uint64_t kInstalling = 1ull << kPhaseShift;   // no id yet
constexpr std::uint64_t kLive = 2ull << kPhaseShift;         // may still call back
constexpr std::uint64_t kFired = 3ull << kPhaseShift;        // a one-shot that has returned

std::uint64_t Word(std::uint64_t phase, std::uint32_t eventId) { return phase | eventId; }

bool Reusable(std::uint64_t state)
{
    return state == kFree || (state & ~kIdMask) == kFired;
}

sTimeEventSlot* Claim()
{
    for (sTimeEventSlot& slot : GetTimeEventTable().slots)
    {
        std::uint64_t state = slot.state.load();
        if (Reusable(state) && slot.state.compare_exchange_strong(state, kInstalling))
            return &slot;
    }
    return nullptr;
}

// Runs on the platform's timer thread. The slot's fields are read before the
// call: an uninstall from inside the callback frees the slot at once.
void Dispatch(std::uint32_t eventId, std::uintptr_t slotIndex)
{
    sTimeEventSlot& slot = GetTimeEventTable().slots[slotIndex];
    const LPTIMECALLBACK callback = slot.callback.load();
    const ZRUserValue user = slot.user.load();
    const bool periodic = slot.periodic.load();
    callback(eventId, 0, user, 0, 0);
    if (periodic)
        return;
    std::uint64_t live = Word(kLive, eventId);
    slot.state.compare_exchange_strong(live, Word(kFired, eventId));   // last use of the slot
}

bool Release(sTimeEventSlot& slot, std::uint64_t phase, std::uint32_t eventId)
{
    std::uint64_t expected = Word(phase, eventId);
    return slot.state.compare_exchange_strong(expected, kFree);
}
} // namespace

namespace TimeEvents
{
std::uint32_t Install(std::uint32_t delayMs, std::uint32_t resolutionMs, bool periodic,
                      LPTIMECALLBACK pfnCallback, ZRUserValue dwUser)
{
    if (pfnCallback == nullptr)
        return 0;
    sTimeEventSlot* slot = Claim();
    if (slot == nullptr)
        return 0;
    slot->callback = pfnCallback;
    slot->user = dwUser;
    slot->periodic = periodic;
    const std::uintptr_t index = static_cast<std::uintptr_t>(slot - GetTimeEventTable().slots);
    const std::uint32_t eventId = ZRPlatform::TimerStart(delayMs, resolutionMs, periodic,
                                                         &Dispatch, index);
    if (eventId == 0)
    {
        slot->state = kFree;
        return 0;
    }
    // Nothing else changes a slot being installed. A one-shot that fired before
    // this point could not mark itself fired and keeps its slot until uninstalled.
    slot->state = Word(kLive, eventId);
    return eventId;
}

void Uninstall(std::uint32_t eventId)
{
    ZRPlatform::TimerStop(eventId);
    if (eventId == 0)
        return;
    for (sTimeEventSlot& slot : GetTimeEventTable().slots)
        if (Release(slot, kLive, eventId) || Release(slot, kFired, eventId))
            return;
}
} // namespace TimeEvents
