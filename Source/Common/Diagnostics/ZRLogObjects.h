// The library-wide objects of the log function: its broadcast mail slot client,
// its log file and its lock, created at load in this order (LibraryObjects.cpp)
// and destroyed in reverse at unload. They belong to _ZR_Log_Fn alone, which
// uses the slot and the file only while it holds the lock.
//
// Internal: not installed, not exported.
#pragma once

#include "Common/File/FileIO.h"
#include "Common/MailSlot/ZRMailSlot.h"
#include "Common/Time/ZRCriticalSection.h"

struct sLogObjects
{
    // Opened by the first entry that sends a record, open until unload (its
    // destructor closes it).
    CZRMailSlot mailSlot;
    // Open only inside one entry.
    CFileIO file;
    // Held for the whole of every entry, message box included.
    CZRCriticalSection lock;
};

sLogObjects& GetLogObjects();
