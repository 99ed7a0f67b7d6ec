// The library-wide objects, all defined in this one translation unit so that they
// are constructed at load in exactly this order and destroyed in reverse order at
// unload (the language orders the static objects of one translation unit by
// definition). Each object's own code reaches it through an accessor declared by
// its subsystem; nothing else runs at load.
//
// Order:
//   1. the load guard instance
//   2. the cached pointer to the extended file system instance, then that instance
//   3. the statistics console's control list and its command line
//   4. the FILE_ slot table (1024 zeroed slots) and its critical section
//   5. the log mail slot, the log file and the log lock
//
// Constant-initialised, so set before any of these is constructed and left
// untouched at unload (they have no constructor or destructor):
//   - the current timer pointer (null)
//   - the current profiler pointer (null)
//   - the timer's table of time events (every slot free)
//   - the statistics console's shown page (none), visibility and editability
//     (both on) and interpreter (none)
//
// Objects join this file as their subsystems are built; a subsystem never defines
// a library-wide object anywhere else.

#include "Common/Diagnostics/DebugStatisticsState.h"
#include "Common/Diagnostics/ZRDebugStatistics.h"
#include "Common/Diagnostics/ZRLoadGuard.h"
#include "Common/Diagnostics/ZRLogObjects.h"
#include "Common/Diagnostics/ZRProfiler.h"
#include "Common/File/ExtendedFileSystem.h"
#include "Common/File/FileSlotTable.h"
#include "Common/Time/TimeEventTable.h"
#include "Common/Time/ZRTimer.h"

// 1. The load guard instance.
CZRLoadGuard CZRLoadGuard::m_instance;

// 2. The extended file system: the cached pointer is constant-initialised, so it
// is valid before the instance itself is constructed.
CExtendedFileSystem* const CExtendedFileSystem::m_pInstance = &CExtendedFileSystem::m_instance;
CExtendedFileSystem CExtendedFileSystem::m_instance;

// 3. The statistics console's control list (no pages) and command line (empty).
namespace
{
CSTLList<CZRDebugStatisticsControl*> g_debugStatisticsControls;
CZRString g_debugStatisticsEntryBuffer;
}

CSTLList<CZRDebugStatisticsControl*>& GetDebugStatisticsControls() { return g_debugStatisticsControls; }
CZRString& GetDebugStatisticsEntryBuffer() { return g_debugStatisticsEntryBuffer; }

// 4. The FILE_ slot table: every slot starts empty.
namespace
{
sFileSlotTable g_fileSlotTable;
}

sFileSlotTable& GetFileSlotTable() { return g_fileSlotTable; }

// 5. The log mail slot, the log file and the log lock, in this order (members of
// one object, constructed in declaration order).
namespace
{
sLogObjects g_logObjects;
}

sLogObjects& GetLogObjects() { return g_logObjects; }

// The current timer pointer: no timer until the first is constructed.
CZRTimer* CZRTimer::m_pCurrentTimer = nullptr;

// The current profiler pointer: no profiler until the first is constructed.
CZRProfiler* CZRProfiler::m_pCurrentProfiler = nullptr;

// The time event slots: zero, that is free, before anything runs.
namespace
{
sTimeEventTable g_timeEventTable;
}

sTimeEventTable& GetTimeEventTable() { return g_timeEventTable; }

// The statistics console's settings: no page shown and no interpreter until
// pages and an interpreter register; visible and editable.
long CZRDebugStatistics::m_lCurrentControl = -1;
bool CZRDebugStatistics::m_bStatisticsVisible = true;
bool CZRDebugStatistics::m_bStatisticsEditable = true;
IZRDebugStatisticsInterpreter* CZRDebugStatistics::m_pInterpreter = nullptr;
