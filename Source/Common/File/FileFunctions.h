// FILE_ / DIR_: the flat file and directory layer: buffered streams over the
// platform's files, with the C runtime's stream semantics.
//
// Streams live in one process-wide table of FILE_MAX_OPEN slots; a handle is the
// slot index (0 to FILE_MAX_OPEN - 1) and FILE_INVALID_HANDLE (-1) is the failure
// value of FILE_Open. A handle outside the table behaves as an empty slot. Names
// are Windows names ('\' or '/' separators, an optional drive, case-insensitive
// fallback per component). Nothing here throws: unless stated otherwise a
// function returns 1 for success and -1 for failure.
//
// Any thread may call any function; only the slot table is locked, so one handle
// must not be used by two threads at once.
//
// Causes: when a function fails, FILE_GetLastError() on the same thread tells
// why (a missing file, a denied permission, a full disk, ...) until the next
// failure; success leaves it as it was. The extended file system keeps it the
// same way across its exceptions.
#pragma once

#include <cstdarg>

#include "Common/Core/ZRExport.h"

constexpr int FILE_MAX_OPEN = 1024;
constexpr int FILE_INVALID_HANDLE = -1;

// Seek origins; any other value counts as FILE_ORIGIN_START.
constexpr int FILE_ORIGIN_CURRENT = 0;
constexpr int FILE_ORIGIN_END = 1;
constexpr int FILE_ORIGIN_START = 2;

// The library's attribute flags (each maps to one Windows attribute bit).
constexpr unsigned long FILE_ATTR_ARCHIVE = 1;
constexpr unsigned long FILE_ATTR_COMPRESSED = 2;
constexpr unsigned long FILE_ATTR_DIRECTORY = 4;
constexpr unsigned long FILE_ATTR_HIDDEN = 8;
constexpr unsigned long FILE_ATTR_NORMAL = 16;
constexpr unsigned long FILE_ATTR_READONLY = 32;
constexpr unsigned long FILE_ATTR_SYSTEM = 64;
constexpr unsigned long FILE_ATTR_TEMPORARY = 128;
// Result of FILE_GetFileAttributes for a missing path.
constexpr unsigned long FILE_ATTR_INVALID = 0xFFFFFFFFul;

// Output buffer sizes of FILE_SplitPath, terminator included.
constexpr int FILE_MAX_DRIVE = 3;
constexpr int FILE_MAX_DIR = 256;
constexpr int FILE_MAX_FNAME = 256;
constexpr int FILE_MAX_EXT = 256;

// Why the calling thread's most recent failing file operation failed.
enum eFileError : int
{
    FILE_ERROR_NONE = 0,          // no failure yet, or the failure was in the data itself
    FILE_ERROR_NOT_FOUND,         // the file or directory does not exist
    FILE_ERROR_PATH_NOT_FOUND,    // a directory on the way does not exist
    FILE_ERROR_ACCESS_DENIED,     // no permission, read-only file or medium
    FILE_ERROR_ALREADY_EXISTS,
    FILE_ERROR_NOT_EMPTY,         // a directory that is not empty
    FILE_ERROR_NO_SPACE,          // disk full, quota or file size limit
    FILE_ERROR_TOO_MANY_OPEN,     // descriptor, handle or slot limit reached
    FILE_ERROR_INVALID_ARGUMENT,  // a bad name, mode or value
    FILE_ERROR_INVALID_HANDLE,    // an empty slot or closed handle
    FILE_ERROR_BUSY,
    FILE_ERROR_BROKEN_PIPE,
    FILE_ERROR_WOULD_BLOCK,
    FILE_ERROR_MESSAGE_TOO_LARGE,
    FILE_ERROR_OUT_OF_MEMORY,
    FILE_ERROR_NOT_SUPPORTED,
    FILE_ERROR_IO,                // any other input/output failure
};

ZR_COMMON_API eFileError FILE_GetLastError();
// Sets the calling thread's cause (FILE_ERROR_NONE clears it).
ZR_COMMON_API void FILE_SetLastError(eFileError error);
// A short lower-case English text ("permission denied", ...); never null.
ZR_COMMON_API const char* FILE_GetErrorText(eFileError error);

// Opens path with a C runtime mode ("rb", "wb", "ab", ...) into the lowest empty
// slot. Returns the handle, or -1 when every slot is taken or the open fails.
ZR_COMMON_API int FILE_Open(const char* path, const char* mode);
// Closes the stream and empties the slot, even when the close reports an error.
ZR_COMMON_API int FILE_Close(int handle);
// Items read or written; 0 for an empty slot.
ZR_COMMON_API unsigned long FILE_Read(int handle, void* buffer, unsigned long itemSize,
                                      unsigned long itemCount);
ZR_COMMON_API unsigned long FILE_Write(int handle, const void* buffer, unsigned long itemSize,
                                       unsigned long itemCount);
// Reads one line as fgets does (stops after LF or at size - 1 bytes, keeps the LF).
// -1 at end of file, on error or for an empty slot.
ZR_COMMON_API int FILE_Gets(int handle, char* buffer, int size);
// Writes text without adding a line end.
ZR_COMMON_API int FILE_Puts(int handle, const char* text);
// The stream position; -1 for an empty slot.
ZR_COMMON_API long FILE_Tell(int handle);
// origin: FILE_ORIGIN_CURRENT, FILE_ORIGIN_END or FILE_ORIGIN_START.
ZR_COMMON_API int FILE_Seek(int handle, long offset, int origin);
ZR_COMMON_API int FILE_Flush(int handle);
// Characters written, or -1 on a write error or for an empty slot.
ZR_COMMON_API int FILE_Printf(int handle, const char* format, ...);
ZR_COMMON_API int FILE_Vprintf(int handle, const char* format, va_list args);
ZR_COMMON_API int FILE_Delete(const char* path);

// Splits a Windows path into drive ("C:"), directory (with its trailing
// separator), base name and extension (with its dot). Any output may be null;
// each is zero-terminated and cut to its FILE_MAX_ size.
ZR_COMMON_API void FILE_SplitPath(const char* path, char* drive, char* dir, char* name,
                                  char* ext);

// The FILE_ATTR_ flags of path; FILE_ATTR_INVALID when it does not exist.
ZR_COMMON_API unsigned long FILE_GetFileAttributes(const char* path);
// Sets the attributes given as FILE_ATTR_ flags; true on success.
ZR_COMMON_API bool FILE_SetFileAttributes(const char* path, unsigned long flags);

// The process's standard streams, for FILE_IsTerminal and FILE_SetBinaryMode.
constexpr int FILE_STDIN = 0;
constexpr int FILE_STDOUT = 1;
constexpr int FILE_STDERR = 2;
// Whether a standard stream is an interactive terminal (where a tool may draw
// progress); false for anything else.
ZR_COMMON_API bool FILE_IsTerminal(int standardStream);
// Makes the C runtime's standard stream (stdin, stdout, stderr) pass bytes
// unchanged, as a tool that writes file contents to stdout needs: the Windows
// runtime translates line ends by default, other runtimes never do. False for
// anything else or when the runtime refuses.
ZR_COMMON_API bool FILE_SetBinaryMode(int standardStream);

// Creates one directory.
ZR_COMMON_API int DIR_Create(const char* path);
// Removes an empty directory.
ZR_COMMON_API int DIR_Remove(const char* path);
// Changes the process's current directory.
ZR_COMMON_API int DIR_Change(const char* path);
// Copies the current directory into buffer; -1 when it does not fit or fails.
ZR_COMMON_API int DIR_GetWorkingDirectory(char* buffer, int size);
