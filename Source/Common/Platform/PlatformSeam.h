// The test seam of the platform layer: every call a backend makes into the OS
// for files, directories, pipes and mail slots passes here first. Test builds (ZR_PLATFORM_SEAM)
// count those calls and can make the Nth call of a chosen kind fail with a
// chosen error, so tests can pin what an operation costs and prove that every
// failure ends cleanly. The backend's clocks also read through here, so tests
// can stop time, move it by exact steps and take the counter away. In other
// builds the seam compiles to nothing.
//
// Internal header: the control functions are exported only from test builds.
#pragma once

#include <cstdint>

#include "Common/Core/ZRExport.h"
#include "Common/Platform/Platform.h"

namespace ZRPlatform
{
namespace Seam
{

// The kinds of OS call a backend makes for files, directories and channels.
enum class OsCall : int
{
    Open,        // open a file or directory
    Read,
    Write,
    Close,
    Stat,        // attributes, size, identity or existence of a name
    List,        // read a directory's names
    Change,      // create, remove, rename, delete, chmod, chdir
    CurrentDirectory,
    Channel,     // create, send to, receive from or query a pipe or mail slot
    Count
};

#if defined(ZR_PLATFORM_SEAM)

// Counts the call; true when this call is the one chosen to fail, in which case
// the backend fails it with InjectedError() instead of calling the OS.
bool Enter(OsCall call);
Error InjectedError();

// Makes the nth call of kind call from now on fail with error (n = 1: the next
// one); n = 0 cancels. One plan at a time; it fires once.
ZR_COMMON_API void FailNth(OsCall call, std::uint64_t n, Error error);
// Whether a plan is set and has not fired yet.
ZR_COMMON_API bool PlanPending();
// Calls of one kind, or of every kind, since the last ResetCounts.
ZR_COMMON_API std::uint64_t Calls(OsCall call);
ZR_COMMON_API std::uint64_t TotalCalls();
// Clears the counters and any plan.
ZR_COMMON_API void ResetCounts();

// A controllable clock. While frozen, ClockCounter and ClockTickMs read a time
// that moves only by ClockAdvance; both show the same time (the tick clock in
// whole milliseconds, cut), and ClockFrequency is unchanged. ClockRelease
// returns to the OS clock. With the counter failing, ClockHasCounter is false and
// ClockCounter and ClockFrequency read 0, frozen or not. Neither touches the
// timer thread's schedule, which always runs on the OS clock.
ZR_COMMON_API void ClockFreeze(std::uint64_t microseconds);
ZR_COMMON_API void ClockAdvance(std::uint64_t microseconds);
ZR_COMMON_API void ClockRelease();
ZR_COMMON_API void ClockCounterFails(bool fails);

// For the backend: the frozen time (true) or the OS clock's turn (false).
bool ClockFrozen(std::uint64_t* microseconds);
bool ClockCounterFailing();

// The extended file system's archive pool hands out its records for the life
// of the process and never takes them back, so a test that registers archives
// without end (a fuzzer) empties the registry between runs. Archived files
// still open keep reading from their own streams; archives are registered
// afresh on the next open. No effect until the file system exists.
ZR_COMMON_API void ForgetArchives();
// For the file system: the function ForgetArchives calls.
void SetArchiveForgetter(void (*forget)());

#else

inline bool Enter(OsCall) { return false; }
inline Error InjectedError() { return Error::None; }
inline bool ClockFrozen(std::uint64_t*) { return false; }
inline bool ClockCounterFailing() { return false; }

#endif

} // namespace Seam
} // namespace ZRPlatform
