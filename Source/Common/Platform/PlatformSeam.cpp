#include "Common/Platform/PlatformSeam.h"

#if defined(ZR_PLATFORM_SEAM)

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace ZRPlatform
{
namespace Seam
{
namespace
{
constexpr int kKinds = static_cast<int>(OsCall::Count);
// The frozen time's value while the clocks run free.
constexpr std::uint64_t kNotFrozen = ~std::uint64_t{0};

// Counters are atomic so that threads of a test may run through the seam at once.
struct sSeamState
{
    std::atomic<std::uint64_t> calls[kKinds] = {};
    std::atomic<int> planKind{-1};
    std::atomic<std::uint64_t> planCall{0};   // the kind's call count that fails
    std::atomic<int> planError{0};
    std::atomic<std::uint64_t> frozenMicros{kNotFrozen};
    std::atomic<bool> counterFails{false};
};

sSeamState& State()
{
    static sSeamState state;
    return state;
}

// Names of the kinds and errors as ZR_SEAM_FAIL spells them.
const char* const kKindNames[] = {"open", "read", "write", "close", "stat", "list", "change", "cwd", "channel"};
static_assert(sizeof kKindNames / sizeof kKindNames[0] == kKinds, "a name per kind");

struct sErrorName
{
    const char* name;
    Error error;
};
const sErrorName kErrorNames[] = {
    {"not-found", Error::NotFound},     {"access-denied", Error::AccessDenied},
    {"no-space", Error::NoSpace},       {"too-many-open", Error::TooManyOpen},
    {"io", Error::Io},
};

// A process started with ZR_SEAM_FAIL=KIND:N:ERROR (for example
// "open:1:access-denied") fails the Nth call of that kind: how the end-to-end
// tests of the tools meet a failure of the OS.
void PlanFromEnvironment()
{
    const char* plan = std::getenv("ZR_SEAM_FAIL");
    if (plan == nullptr)
        return;
    char kind[16] = {};
    unsigned long long n = 0;
    char error[32] = {};
    if (std::sscanf(plan, "%15[^:]:%llu:%31s", kind, &n, error) != 3)
        return;
    for (int k = 0; k < kKinds; ++k)
        for (const sErrorName& e : kErrorNames)
            if (std::strcmp(kind, kKindNames[k]) == 0 && std::strcmp(error, e.name) == 0)
                FailNth(static_cast<OsCall>(k), n, e.error);
}
} // namespace

bool Enter(OsCall call)
{
    sSeamState& state = State();
    static const bool s_planned = (PlanFromEnvironment(), true);   // once, thread-safe
    (void)s_planned;
    const int kind = static_cast<int>(call);
    const std::uint64_t count = ++state.calls[kind];
    if (state.planKind.load() != kind || state.planCall.load() != count)
        return false;
    int expected = kind;
    return state.planKind.compare_exchange_strong(expected, -1);   // fires once
}

Error InjectedError() { return static_cast<Error>(State().planError.load()); }

void FailNth(OsCall call, std::uint64_t n, Error error)
{
    sSeamState& state = State();
    state.planKind = -1;
    if (n == 0)
        return;
    const int kind = static_cast<int>(call);
    state.planError = static_cast<int>(error);
    state.planCall = state.calls[kind].load() + n;
    state.planKind = kind;
}

bool PlanPending() { return State().planKind.load() != -1; }

std::uint64_t Calls(OsCall call) { return State().calls[static_cast<int>(call)].load(); }

std::uint64_t TotalCalls()
{
    std::uint64_t total = 0;
    for (const auto& count : State().calls)
        total += count.load();
    return total;
}

void ResetCounts()
{
    sSeamState& state = State();
    state.planKind = -1;
    for (auto& count : state.calls)
        count = 0;
}

void ClockFreeze(std::uint64_t microseconds) { State().frozenMicros = microseconds; }

void ClockAdvance(std::uint64_t microseconds)
{
    std::atomic<std::uint64_t>& frozen = State().frozenMicros;
    std::uint64_t now = frozen.load();
    while (now != kNotFrozen && !frozen.compare_exchange_weak(now, now + microseconds))
    {
    }
}

void ClockRelease() { State().frozenMicros = kNotFrozen; }

void ClockCounterFails(bool fails) { State().counterFails = fails; }

bool ClockFrozen(std::uint64_t* microseconds)
{
    const std::uint64_t frozen = State().frozenMicros.load();
    if (frozen == kNotFrozen)
        return false;
    *microseconds = frozen;
    return true;
}

bool ClockCounterFailing() { return State().counterFails.load(); }

namespace
{
// Set once while the library's objects are built, before any thread runs.
void (*s_forgetArchives)() = nullptr;
} // namespace

void SetArchiveForgetter(void (*forget)()) { s_forgetArchives = forget; }

void ForgetArchives()
{
    if (s_forgetArchives != nullptr)
        s_forgetArchives();
}

} // namespace Seam
} // namespace ZRPlatform

#endif
