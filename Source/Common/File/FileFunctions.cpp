#include "Common/File/FileFunctions.h"

#include <climits>
#include <cstdint>
#include <cstdio>

#include "Common/Core/ZRStrFunctions.h"
#include "Common/File/FileSlotTable.h"
#include "Common/Platform/Platform.h"
#include "Common/Time/ZRLockGuard.h"

namespace
{

constexpr int kSuccess = 1;
constexpr int kFailure = -1;

// "C:": a letter and a colon.
constexpr std::size_t kDriveLength = 2;

// Windows attribute bits the platform layer never reports but the flags can carry.
constexpr std::uint32_t kWinAttrTemporary = 0x100;
constexpr std::uint32_t kWinAttrCompressed = 0x800;

struct sAttributeBit
{
    unsigned long flag;
    std::uint32_t windowsBit;
};

constexpr sAttributeBit kAttributeBits[] = {
    {FILE_ATTR_ARCHIVE, ZRPlatform::kAttrArchive},
    {FILE_ATTR_COMPRESSED, kWinAttrCompressed},
    {FILE_ATTR_DIRECTORY, ZRPlatform::kAttrDirectory},
    {FILE_ATTR_HIDDEN, ZRPlatform::kAttrHidden},
    {FILE_ATTR_NORMAL, ZRPlatform::kAttrNormal},
    {FILE_ATTR_READONLY, ZRPlatform::kAttrReadOnly},
    {FILE_ATTR_SYSTEM, ZRPlatform::kAttrSystem},
    {FILE_ATTR_TEMPORARY, kWinAttrTemporary},
};

bool IsValidHandle(int handle) { return handle >= 0 && handle < FILE_MAX_OPEN; }

// Claims the lowest empty slot; FILE_INVALID_HANDLE (TooManyOpen) when all are taken.
int ReserveSlot()
{
    sFileSlotTable& table = GetFileSlotTable();
    CZRLockGuard guard(table.lock);
    for (int handle = 0; handle < FILE_MAX_OPEN; ++handle)
    {
        if (table.states[handle] == eSlotState::Empty)
        {
            table.states[handle] = eSlotState::Reserved;
            return handle;
        }
    }
    ZRPlatform::SetLastError(ZRPlatform::Error::TooManyOpen);
    return FILE_INVALID_HANDLE;
}

void SetSlotState(int handle, eSlotState state)
{
    sFileSlotTable& table = GetFileSlotTable();
    CZRLockGuard guard(table.lock);
    table.states[handle].store(state, std::memory_order_release);
}

// Takes the stream of handle out of its slot, which becomes reserved until the
// stream is closed; null for an empty slot.
CFileStream* TakeStream(int handle)
{
    sFileSlotTable& table = GetFileSlotTable();
    if (IsValidHandle(handle))
    {
        CZRLockGuard guard(table.lock);
        if (table.states[handle] == eSlotState::Open)
        {
            table.states[handle] = eSlotState::Reserved;
            return &table.streams[handle];
        }
    }
    ZRPlatform::SetLastError(ZRPlatform::Error::InvalidHandle);
    return nullptr;
}

int SeekOrigin(int origin)
{
    switch (origin)
    {
    case FILE_ORIGIN_CURRENT:
        return SEEK_CUR;
    case FILE_ORIGIN_END:
        return SEEK_END;
    default:
        return SEEK_SET;
    }
}

int Result(bool success) { return success ? kSuccess : kFailure; }

// Copies count bytes of text into an output of capacity bytes, cut to fit, and
// terminates it; a double-byte character cut in half loses its lead byte.
void CopyPart(char* out, std::size_t capacity, const char* text, std::size_t count)
{
    if (out == nullptr)
        return;
    const std::size_t copied = count < capacity ? count : capacity - 1;
    STR_strncpy(out, text, copied);
    out[copied] = '\0';
}

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

} // namespace

// The causes are the platform's errors, value for value.
static_assert(FILE_ERROR_NONE == static_cast<int>(ZRPlatform::Error::None) &&
                  FILE_ERROR_ACCESS_DENIED == static_cast<int>(ZRPlatform::Error::AccessDenied) &&
                  FILE_ERROR_INVALID_HANDLE == static_cast<int>(ZRPlatform::Error::InvalidHandle) &&
                  FILE_ERROR_IO == static_cast<int>(ZRPlatform::Error::Io),
              "file errors mirror the platform's errors");

eFileError FILE_GetLastError() { return static_cast<eFileError>(ZRPlatform::GetLastError()); }

void FILE_SetLastError(eFileError error)
{
    ZRPlatform::SetLastError(static_cast<ZRPlatform::Error>(error));
}

const char* FILE_GetErrorText(eFileError error)
{
    return ZRPlatform::DescribeError(static_cast<ZRPlatform::Error>(error));
}

// Lock-free: a handle in use by the calling thread cannot change state under it.
CFileStream* FileStreamOf(int handle)
{
    sFileSlotTable& table = GetFileSlotTable();
    if (IsValidHandle(handle) && table.states[handle].load(std::memory_order_acquire) == eSlotState::Open)
        return &table.streams[handle];
    ZRPlatform::SetLastError(ZRPlatform::Error::InvalidHandle);
    return nullptr;
}

int FILE_Open(const char* path, const char* mode)
{
    if (path == nullptr || mode == nullptr)
    {
        ZRPlatform::SetLastError(ZRPlatform::Error::InvalidArgument);
        return FILE_INVALID_HANDLE;
    }
    const int handle = ReserveSlot();
    if (handle == FILE_INVALID_HANDLE)
        return FILE_INVALID_HANDLE;
    const bool opened = GetFileSlotTable().streams[handle].Open(path, mode);
    SetSlotState(handle, opened ? eSlotState::Open : eSlotState::Empty);
    return opened ? handle : FILE_INVALID_HANDLE;
}

int FileOpenBorrowed(ZRPlatform::FileHandle file, std::uint64_t size)
{
    const int handle = ReserveSlot();
    if (handle == FILE_INVALID_HANDLE)
        return FILE_INVALID_HANDLE;
    GetFileSlotTable().streams[handle].OpenBorrowed(file, size);
    SetSlotState(handle, eSlotState::Open);
    return handle;
}

int FileOpenMemory(const void* data, std::uint64_t size)
{
    const int handle = ReserveSlot();
    if (handle == FILE_INVALID_HANDLE)
        return FILE_INVALID_HANDLE;
    GetFileSlotTable().streams[handle].OpenMemory(data, size);
    SetSlotState(handle, eSlotState::Open);
    return handle;
}

bool FileSeekTo(int handle, std::uint64_t position)
{
    CFileStream* stream = FileStreamOf(handle);
    if (stream == nullptr)
        return false;
    if (position > static_cast<std::uint64_t>(INT64_MAX))
    {
        ZRPlatform::SetLastError(ZRPlatform::Error::InvalidArgument);
        return false;
    }
    return stream->Seek(static_cast<std::int64_t>(position), SEEK_SET);
}

bool FileTellAt(int handle, std::uint64_t& position)
{
    const CFileStream* stream = FileStreamOf(handle);
    if (stream != nullptr)
        position = stream->Tell();
    return stream != nullptr;
}

bool FileMeasure(int handle, std::uint64_t& size)
{
    CFileStream* stream = FileStreamOf(handle);
    if (stream == nullptr || !stream->Seek(0, SEEK_END))
        return false;
    size = stream->Tell();
    return true;
}

int FILE_Close(int handle)
{
    CFileStream* stream = TakeStream(handle);
    if (stream == nullptr)
        return kFailure;
    const bool closed = stream->Close();
    SetSlotState(handle, eSlotState::Empty);
    return Result(closed);
}

unsigned long FILE_Read(int handle, void* buffer, unsigned long itemSize, unsigned long itemCount)
{
    CFileStream* stream = FileStreamOf(handle);
    if (stream == nullptr || buffer == nullptr || itemSize == 0 || itemCount == 0)
        return 0;
    if (itemCount > SIZE_MAX / itemSize)
        itemCount = SIZE_MAX / itemSize;
    return static_cast<unsigned long>(stream->Read(buffer, itemSize * itemCount) / itemSize);
}

unsigned long FILE_Write(int handle, const void* buffer, unsigned long itemSize,
                         unsigned long itemCount)
{
    CFileStream* stream = FileStreamOf(handle);
    if (stream == nullptr || buffer == nullptr || itemSize == 0 || itemCount == 0)
        return 0;
    if (itemCount > SIZE_MAX / itemSize)
        itemCount = SIZE_MAX / itemSize;
    return static_cast<unsigned long>(stream->Write(buffer, itemSize * itemCount) / itemSize);
}

int FILE_Gets(int handle, char* buffer, int size)
{
    CFileStream* stream = FileStreamOf(handle);
    if (stream == nullptr || buffer == nullptr || size < 1)
        return kFailure;
    return Result(stream->Gets(buffer, size));
}

int FILE_Puts(int handle, const char* text)
{
    CFileStream* stream = FileStreamOf(handle);
    if (stream == nullptr || text == nullptr)
        return kFailure;
    const std::size_t length = STR_strlen(text);
    return Result(stream->Write(text, length) == length);
}

// Positions beyond what a long holds cannot be told; FILE_ offsets are longs.
long FILE_Tell(int handle)
{
    CFileStream* stream = FileStreamOf(handle);
    if (stream == nullptr)
        return kFailure;
    if (stream->Tell() > static_cast<std::uint64_t>(LONG_MAX))
    {
        ZRPlatform::SetLastError(ZRPlatform::Error::InvalidArgument);
        return kFailure;
    }
    return static_cast<long>(stream->Tell());
}

int FILE_Seek(int handle, long offset, int origin)
{
    CFileStream* stream = FileStreamOf(handle);
    return Result(stream != nullptr && stream->Seek(offset, SeekOrigin(origin)));
}

int FILE_Flush(int handle)
{
    CFileStream* stream = FileStreamOf(handle);
    return Result(stream != nullptr && stream->Flush());
}

int FILE_Printf(int handle, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    const int written = FILE_Vprintf(handle, format, args);
    va_end(args);
    return written;
}

int FILE_Vprintf(int handle, const char* format, va_list args)
{
    CFileStream* stream = FileStreamOf(handle);
    if (stream == nullptr || format == nullptr)
        return kFailure;
    return stream->VPrintf(format, args);
}

int FILE_Delete(const char* path) { return Result(ZRPlatform::FileDelete(path)); }

// Scans by characters so that a trail byte equal to '\' or '.' in a double-byte
// character is not taken for a separator or a dot.
void FILE_SplitPath(const char* path, char* drive, char* dir, char* name, char* ext)
{
    if (path == nullptr)
        path = "";
    const std::size_t driveLength = IsLetter(path[0]) && path[1] == ':' ? kDriveLength : 0;
    const char* rest = path + driveLength;
    const char* fileStart = rest;
    const char* lastDot = nullptr;
    const char* end = rest;
    for (; *end != '\0'; end = STR_strinc(end))
    {
        if (IsSeparator(*end))
            fileStart = end + 1;
        else if (*end == '.')
            lastDot = end;
    }
    if (lastDot == nullptr || lastDot < fileStart)
        lastDot = end;
    CopyPart(drive, FILE_MAX_DRIVE, path, driveLength);
    CopyPart(dir, FILE_MAX_DIR, rest, fileStart - rest);
    CopyPart(name, FILE_MAX_FNAME, fileStart, lastDot - fileStart);
    CopyPart(ext, FILE_MAX_EXT, lastDot, end - lastDot);
}

// 0 and FILE_ATTR_INVALID pass through unchanged; bits outside the table are dropped.
unsigned long FILE_GetFileAttributes(const char* path)
{
    if (path == nullptr)
        return FILE_ATTR_INVALID;
    const std::uint32_t windowsBits = ZRPlatform::FileGetAttributes(path);
    if (windowsBits == ZRPlatform::kAttrInvalid)
        return FILE_ATTR_INVALID;
    unsigned long flags = 0;
    for (const sAttributeBit& bit : kAttributeBits)
        if ((windowsBits & bit.windowsBit) != 0)
            flags |= bit.flag;
    return flags;
}

bool FILE_SetFileAttributes(const char* path, unsigned long flags)
{
    std::uint32_t windowsBits = 0;
    if (flags == FILE_ATTR_INVALID)
        windowsBits = ZRPlatform::kAttrInvalid;
    else
        for (const sAttributeBit& bit : kAttributeBits)
            if ((flags & bit.flag) != 0)
                windowsBits |= bit.windowsBit;
    return path != nullptr && ZRPlatform::FileSetAttributes(path, windowsBits);
}

namespace
{
bool ToStandardStream(int standardStream, ZRPlatform::StandardStream& stream)
{
    switch (standardStream)
    {
    case FILE_STDIN: stream = ZRPlatform::StandardStream::Input; return true;
    case FILE_STDOUT: stream = ZRPlatform::StandardStream::Output; return true;
    case FILE_STDERR: stream = ZRPlatform::StandardStream::Error; return true;
    default: return false;
    }
}
} // namespace

bool FILE_IsTerminal(int standardStream)
{
    ZRPlatform::StandardStream stream;
    return ToStandardStream(standardStream, stream) && ZRPlatform::StandardStreamIsTerminal(stream);
}

bool FILE_SetBinaryMode(int standardStream)
{
    ZRPlatform::StandardStream stream;
    return ToStandardStream(standardStream, stream) && ZRPlatform::StandardStreamSetBinary(stream);
}

int DIR_Create(const char* path) { return Result(ZRPlatform::DirectoryCreate(path)); }

int DIR_Remove(const char* path) { return Result(ZRPlatform::DirectoryRemove(path)); }

int DIR_Change(const char* path) { return Result(ZRPlatform::DirectorySetCurrent(path)); }

int DIR_GetWorkingDirectory(char* buffer, int size)
{
    if (buffer == nullptr || size < 1)
        return kFailure;
    return Result(ZRPlatform::DirectoryGetCurrent(buffer, static_cast<std::size_t>(size)));
}
