// The process-wide stream table behind the FILE_ handles.
//
// Internal: not exported. A slot is empty (null), reserved by an open in
// progress, or holds an open stream; only the FILE_ functions read or write the
// slots, always under the lock, and they use the streams outside it.
#pragma once

#include <cstdio>

#include "Common/File/FileFunctions.h"
#include "Common/Time/ZRCriticalSection.h"

struct sFileSlotTable
{
    std::FILE* slots[FILE_MAX_OPEN] = {};
    CZRCriticalSection lock;
};

// The one table, created with the other library-wide objects at load.
sFileSlotTable& GetFileSlotTable();
