// _ZR_Log_Fn: one log entry to up to four outputs, chosen per call by sink bits:
// the debugger output, a text log file, the broadcast mail slot
// "\\*\mailslot\debug" that log viewers serve, and a message box.
#pragma once

#include "Common/Core/ZRExport.h"

// Log classes. The file line and the mail slot record carry the number; only the
// message box shows a name ("Game Message" ... "Catastrophic Error", and
// "Unkown class" for any other number). A catastrophic error shown in a message
// box ends the process once the box is closed.
enum eLogClass
{
    LOG_CLASS_GAME_MESSAGE = 0,
    LOG_CLASS_DUMP = 1,
    LOG_CLASS_INFO = 2,
    LOG_CLASS_MESSAGE = 3,
    LOG_CLASS_NOTE = 4,
    LOG_CLASS_WARNING = 5,
    LOG_CLASS_ERROR = 6,
    LOG_CLASS_CRITICAL_ERROR = 7,
    LOG_CLASS_CATASTROPHIC_ERROR = 8,
};

// Sink bits, in any combination; other bits are ignored.
enum eLogSink : unsigned long
{
    LOG_TO_DEBUGGER = 1,     // the message, then "\n"
    LOG_TO_FILE = 2,         // one line appended to "<log name>.log"
    LOG_TO_MAILSLOT = 4,     // one binary record to "\\*\mailslot\debug"
    LOG_TO_MESSAGEBOX = 8,   // the message, captioned with the class's name
};

extern "C" {

// Writes one entry. The message is pszFormat formatted printf-style with the
// arguments that follow, cut to 255 characters; it is never used as a format
// again, so a "%" in it reaches every output unchanged. Each entry takes the
// computer name (read afresh, at most 256 characters, empty when it cannot be
// read), the process id and the millisecond tick count (as "%d", signed).
// pszContext, pszLocation and nLocationNumber are passed through; nIgnored is
// never read. Null texts count as empty.
//
// The file line, appended to pszLogName + ".log" (opened, written, flushed and
// closed within the entry):
//   computer | log name | pid | class | ticks | context | location | number | message\r\n
// The mail slot record, one message of at most 400 bytes, integers
// little-endian, a text as a 32-bit signed length and its bytes:
//   computer (text), log name (text), pid (4 bytes unsigned), class (4 bytes
//   signed), ticks (text, "%d"), context (text), location (text), location
//   number (4 bytes signed), message (text).
//
// No failure of a sink stops the next one or reaches the caller: a file that
// cannot be opened, written or flushed sends "Error while writing to log file.
// Hard disk full?\n" to the debugger output, and a record that cannot be sent
// (a slot that cannot be opened, or texts beyond the 400 bytes) sends
// "bool _ZR_Log_Fn(): Could not write to mailslot. Please check your network
// connection and settings!" and "\n". The whole entry runs under one lock, so
// entries of different threads are written whole, one after another; a message
// box holds every other thread that logs until it is closed. Always true.
ZR_COMMON_API bool _ZR_Log_Fn(const char* pszLocation, const char* pszLogName,
                              const char* pszContext, int nLocationNumber, int nIgnored,
                              unsigned long dwSinks, int nClass, const char* pszFormat, ...);

} // extern "C"
