// The process-wide stream table behind the FILE_ handles.
//
// Internal: not exported. A slot is empty, reserved by an open in progress, or
// holds an open stream; only the FILE_ functions change a slot's state, always
// under the lock, and they use the streams outside it. A state is also read
// without the lock (atomically), by the transfers on a handle that is open.
#pragma once

#include <atomic>
#include <cstdint>

#include "Common/File/FileFunctions.h"
#include "Common/File/FileStream.h"
#include "Common/Time/ZRCriticalSection.h"

enum class eSlotState : unsigned char
{
    Empty,
    Reserved,
    Open,
};

struct sFileSlotTable
{
    CFileStream streams[FILE_MAX_OPEN];
    std::atomic<eSlotState> states[FILE_MAX_OPEN];   // zero, Empty, at load
    CZRCriticalSection lock;
};

// The one table, created with the other library-wide objects at load.
sFileSlotTable& GetFileSlotTable();

// The stream of an open handle; null (InvalidHandle set) for an empty slot or a
// handle outside the table. For the library's own file code.
CFileStream* FileStreamOf(int handle);

// A FILE_ handle for reading a platform file that the caller keeps open for as
// long as the handle is; FILE_Close leaves the file open. FILE_INVALID_HANDLE
// (TooManyOpen) when every slot is taken.
int FileOpenBorrowed(ZRPlatform::FileHandle file, std::uint64_t size);
// A read-only stream over memory the caller keeps alive while it is open.
int FileOpenMemory(const void* data, std::uint64_t size);

// 64-bit positioning for the library's own file code: FILE_Seek and FILE_Tell
// take a long, which has 32 bits on some machines, while archives reach 4 GiB.
// False (with the cause set) for an empty slot or a refused position.
bool FileSeekTo(int handle, std::uint64_t position);
bool FileTellAt(int handle, std::uint64_t& position);
// Moves the stream to its end and tells the file's length.
bool FileMeasure(int handle, std::uint64_t& size);
