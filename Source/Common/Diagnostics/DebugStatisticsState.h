// The statistics console's library-wide objects: its control list (the pages, in
// the order registered) and its command line. Internal: created at load with
// the other library-wide objects, in LibraryObjects.cpp, and used only by
// CZRDebugStatistics.
#pragma once

#include "Common/Core/ZRString.h"
#include "Common/Diagnostics/STLList.h"

class CZRDebugStatisticsControl;

CSTLList<CZRDebugStatisticsControl*>& GetDebugStatisticsControls();
CZRString& GetDebugStatisticsEntryBuffer();
