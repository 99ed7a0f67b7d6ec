// Files and directories of the Windows backend: open files as Windows handles
// with positioned transfers (the offset travels in an OVERLAPPED, so a handle
// has no position the layer relies on), Windows' own attributes, directory
// calls, directory identities, and the raw listing under the shared listing
// rules. Windows already takes both separators and ignores case in names.
// Only code for Windows goes here.
#include <io.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "Common/Platform/PlatformBackend.h"
#include "Common/Platform/PlatformNames.h"
#include "Common/Platform/Win32/Win32Scope.h"
#include "Common/Platform/Win32/Win32Sys.h"

namespace ZRPlatform
{
namespace Win32
{
namespace
{
// A file opened for appending carries this bit in its handle, so that every
// write goes to the end (an OVERLAPPED offset of all ones) whatever offset is
// given. Windows handles never have it: they are multiples of four.
constexpr FileHandle kAppendTag = 1;
// One ReadFile / WriteFile moves at most this much, as a DWORD counts bytes.
constexpr std::size_t kMaxTransfer = 0x40000000;
// An OVERLAPPED offset of all ones writes at the end of the file.
constexpr std::uint64_t kEndOfFile = ~std::uint64_t{0};
constexpr std::uint64_t kMaxOffset = 0x7FFFFFFFFFFFFFFFull;
// The attributes SetFileAttributesA accepts.
constexpr DWORD kSettableAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                      FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                                      FILE_ATTRIBUTE_NORMAL | FILE_ATTRIBUTE_TEMPORARY |
                                      FILE_ATTRIBUTE_OFFLINE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
// FILETIME counts 100 ns from 1601-01-01; the layer counts seconds from 1970.
constexpr std::int64_t kFileTimePerSecond = 10000000;
constexpr std::int64_t kFileTimeAt1970 = 116444736000000000;
constexpr char kCurrentDirectory[] = ".";
constexpr char kEverything[] = "*";

static_assert(kAttrReadOnly == FILE_ATTRIBUTE_READONLY && kAttrHidden == FILE_ATTRIBUTE_HIDDEN &&
                  kAttrSystem == FILE_ATTRIBUTE_SYSTEM &&
                  kAttrDirectory == FILE_ATTRIBUTE_DIRECTORY &&
                  kAttrArchive == FILE_ATTRIBUTE_ARCHIVE && kAttrNormal == FILE_ATTRIBUTE_NORMAL &&
                  kAttrInvalid == INVALID_FILE_ATTRIBUTES,
              "the layer's attribute bits are Windows' own");

HANDLE FileToOs(FileHandle file) { return reinterpret_cast<HANDLE>(file & ~kAppendTag); }

FileHandle FileFromOs(HANDLE handle, bool append)
{
    return reinterpret_cast<FileHandle>(handle) | (append ? kAppendTag : 0);
}

// The empty name is the current directory, as on every backend.
const char* OsName(const char* path) { return *path == '\0' ? kCurrentDirectory : path; }

bool CheckPath(const char* path)
{
    if (path != nullptr)
        return true;
    SetLastError(Error::InvalidArgument);
    return false;
}

bool Done(BOOL result)
{
    if (!result)
        SetLastErrorFromOs();
    return result != FALSE;
}

// A change the thread made: what its lookup scope saw no longer holds.
bool Changed(BOOL result)
{
    if (!result)
        return Done(result);
    Scope::Forget();
    return true;
}

// The failure of a lookup that needed path to exist, noted for the scope.
void LookupFailed(const char* path)
{
    SetLastErrorFromOs();
    Scope::NoteMissing(path, GetLastError());
}

DWORD Access(std::uint32_t flags)
{
    DWORD access = 0;
    if (flags & kFileRead)
        access |= GENERIC_READ;
    if (flags & (kFileWrite | kFileAppend))
        access |= GENERIC_WRITE;
    return access;
}

DWORD Disposition(std::uint32_t flags)
{
    const bool create = (flags & kFileCreate) != 0;
    const bool truncate = (flags & kFileTruncate) != 0;
    if (create)
        return truncate ? CREATE_ALWAYS : OPEN_ALWAYS;
    return truncate ? TRUNCATE_EXISTING : OPEN_EXISTING;
}

bool CheckTransfer(FileHandle file, std::uint64_t offset, const void* buffer, std::size_t size)
{
    if (file == kInvalidFile || file == 0)
    {
        SetLastError(Error::InvalidHandle);
        return false;
    }
    if (offset > kMaxOffset || (buffer == nullptr && size > 0))
    {
        SetLastError(Error::InvalidArgument);
        return false;
    }
    return true;
}

std::int64_t UnixSeconds(const FILETIME& time)
{
    const std::int64_t ticks =
        static_cast<std::int64_t>((static_cast<std::uint64_t>(time.dwHighDateTime) << 32) |
                                  time.dwLowDateTime);
    return (ticks - kFileTimeAt1970) / kFileTimePerSecond;
}

bool MakeEntry(const WIN32_FIND_DATAA& found, DirectoryEntry& entry)
{
    const std::size_t length = std::strlen(found.cFileName);
    if (length >= sizeof(entry.name))
        return false;   // would not fit: left out rather than cut
    std::memcpy(entry.name, found.cFileName, length + 1);
    const bool directory = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    entry.attributes = found.dwFileAttributes;
    entry.size = directory ? 0
                           : (static_cast<std::uint64_t>(found.nFileSizeHigh) << 32) |
                                 found.nFileSizeLow;
    entry.writeTime = UnixSeconds(found.ftLastWriteTime);
    return true;
}
} // namespace
} // namespace Win32

using namespace Win32;

// A directory is refused by CreateFileA itself (ERROR_ACCESS_DENIED).
FileHandle FileOpen(const char* path, std::uint32_t flags, std::uint64_t* size)
{
    const bool mustExist = (flags & kFileCreate) == 0;
    if (!CheckPath(path) || (mustExist && Scope::KnownMissing(path)))
        return kInvalidFile;
    const HANDLE file = Sys::OpenFile(path, Access(flags), Disposition(flags));
    if (file == INVALID_HANDLE_VALUE)
    {
        if (mustExist)
            LookupFailed(path);
        else
            SetLastErrorFromOs();
        return kInvalidFile;
    }
    if (!mustExist)
        Scope::Forget();
    LARGE_INTEGER length{};
    if (!Sys::FileSize(file, &length))
    {
        SetLastErrorFromOs();
        ::CloseHandle(file);
        return kInvalidFile;
    }
    if (size != nullptr)
        *size = static_cast<std::uint64_t>(length.QuadPart);
    return FileFromOs(file, (flags & kFileAppend) != 0);
}

// Windows reports a read that starts at or past the end as ERROR_HANDLE_EOF:
// that is 0 bytes read, not a failure.
bool FileReadAt(FileHandle file, std::uint64_t offset, void* buffer, std::size_t size,
                std::size_t* read)
{
    std::size_t done = 0;
    if (read != nullptr)
        *read = 0;
    if (!CheckTransfer(file, offset, buffer, size))
        return false;
    while (done < size)
    {
        const DWORD chunk = static_cast<DWORD>(size - done < kMaxTransfer ? size - done : kMaxTransfer);
        OVERLAPPED at = AtOffset(offset + done);
        DWORD got = 0;
        if (!Sys::ReadAt(FileToOs(file), static_cast<char*>(buffer) + done, chunk, &got, &at))
        {
            const DWORD code = ::GetLastError();
            if (code == ERROR_HANDLE_EOF)
                break;
            SetLastErrorFrom(code);
            if (read != nullptr)
                *read = done;
            return false;
        }
        done += got;
        if (got < chunk)
            break;   // the end of the file
    }
    if (read != nullptr)
        *read = done;
    return true;
}

bool FileWriteAt(FileHandle file, std::uint64_t offset, const void* buffer, std::size_t size,
                 std::size_t* written)
{
    std::size_t done = 0;
    if (written != nullptr)
        *written = 0;
    if (!CheckTransfer(file, offset, buffer, size))
        return false;
    const bool append = (file & kAppendTag) != 0;
    while (done < size)
    {
        const DWORD chunk = static_cast<DWORD>(size - done < kMaxTransfer ? size - done : kMaxTransfer);
        OVERLAPPED at = AtOffset(append ? kEndOfFile : offset + done);
        DWORD put = 0;
        if (!Sys::WriteAt(FileToOs(file), static_cast<const char*>(buffer) + done, chunk, &put, &at))
        {
            SetLastErrorFromOs();
            break;
        }
        if (put == 0)
        {
            SetLastError(Error::NoSpace);
            break;
        }
        done += put;
    }
    if (written != nullptr)
        *written = done;
    return done == size;
}

bool FileGetSize(FileHandle file, std::uint64_t* size)
{
    if (file == kInvalidFile || file == 0)
    {
        SetLastError(Error::InvalidHandle);
        return false;
    }
    LARGE_INTEGER length{};
    if (!Done(Sys::FileSize(FileToOs(file), &length)))
        return false;
    if (size != nullptr)
        *size = static_cast<std::uint64_t>(length.QuadPart);
    return true;
}

bool FileClose(FileHandle file)
{
    if (file == kInvalidFile || file == 0)
    {
        SetLastError(Error::InvalidHandle);
        return false;
    }
    return Done(Sys::Close(FileToOs(file)));
}

std::uint32_t FileGetAttributes(const char* path)
{
    if (!CheckPath(path) || Scope::KnownMissing(path))
        return kAttrInvalid;
    const DWORD attributes = Sys::Attributes(OsName(path));
    if (attributes == INVALID_FILE_ATTRIBUTES)
        LookupFailed(path);
    return attributes;
}

bool FileSetAttributes(const char* path, std::uint32_t attributes)
{
    if (!CheckPath(path))
        return false;
    const DWORD current = Sys::Attributes(OsName(path));
    if (current == INVALID_FILE_ATTRIBUTES)
        return Done(FALSE);
    if (current & FILE_ATTRIBUTE_DIRECTORY)
        return true;   // never read-only, see the contract
    DWORD wanted = (current & kSettableAttributes & ~FILE_ATTRIBUTE_NORMAL & ~FILE_ATTRIBUTE_READONLY) |
                   (attributes & FILE_ATTRIBUTE_READONLY);
    if (wanted == 0)
        wanted = FILE_ATTRIBUTE_NORMAL;
    const DWORD before = current & kSettableAttributes;
    return wanted == before || Done(Sys::SetAttributes(OsName(path), wanted));
}

// DeleteFileA refuses directories and read-only files (ERROR_ACCESS_DENIED).
bool FileDelete(const char* path) { return CheckPath(path) && Changed(Sys::RemoveFile(path)); }

bool DirectoryCreate(const char* path)
{
    return CheckPath(path) && Changed(Sys::MakeDirectory(path));
}

bool DirectoryRemove(const char* path)
{
    return CheckPath(path) && Changed(Sys::DeleteDirectory(path));
}

bool DirectorySetCurrent(const char* path)
{
    return CheckPath(path) && Changed(Sys::ChangeDirectory(OsName(path)));
}

bool DirectoryGetCurrent(char* buffer, std::size_t size)
{
    if (buffer == nullptr || size == 0)
    {
        SetLastError(Error::InvalidArgument);
        return false;
    }
    const DWORD room = static_cast<DWORD>(std::min<std::uint64_t>(size, MAXDWORD));
    const DWORD length = Sys::CurrentDirectory(room, buffer);
    if (length == 0)
        return Done(FALSE);
    if (length >= room)
    {
        SetLastError(Error::InvalidArgument);   // the size needed came back instead
        return false;
    }
    return true;
}

// The volume serial number and the file index, read from a handle on the
// directory itself; a name that is not a directory fails with PathNotFound.
bool DirectoryIdentify(const char* path, DirectoryId* id)
{
    if (!CheckPath(path) || id == nullptr)
    {
        SetLastError(Error::InvalidArgument);
        return false;
    }
    if (Scope::KnownMissing(path))
        return false;
    const HANDLE directory = Sys::OpenForIdentity(OsName(path));
    if (directory == INVALID_HANDLE_VALUE)
    {
        LookupFailed(path);
        return false;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    const BOOL known = ::GetFileInformationByHandle(directory, &info);
    const DWORD code = ::GetLastError();
    ::CloseHandle(directory);
    if (!known)
    {
        SetLastErrorFrom(code);
        return false;
    }
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
    {
        SetLastError(Error::PathNotFound);
        return false;
    }
    id->device = info.dwVolumeSerialNumber;
    id->file = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    return true;
}

// A console, not merely a character device (the NUL device is one too).
bool StandardStreamIsTerminal(StandardStream stream)
{
    const int descriptor = stream == StandardStream::Input ? 0 : (stream == StandardStream::Output ? 1 : 2);
    const DWORD which = stream == StandardStream::Input    ? STD_INPUT_HANDLE
                        : stream == StandardStream::Output ? STD_OUTPUT_HANDLE
                                                           : STD_ERROR_HANDLE;
    DWORD mode = 0;
    return ::_isatty(descriptor) != 0 && ::GetConsoleMode(::GetStdHandle(which), &mode) != FALSE;
}

namespace Backend
{

// A directory without entries (a drive's empty root lists not even "." and
// "..") is an empty listing; a missing one fails with PathNotFound.
bool ListDirectory(const std::string& directory,
                   const std::function<bool(std::string_view)>& wanted,
                   std::vector<DirectoryEntry>& entries)
{
    const std::string pattern = directory + kEverything;
    if (Scope::KnownMissing(pattern.c_str()))
    {
        SetLastError(Error::PathNotFound);
        return false;
    }
    WIN32_FIND_DATAA found{};
    const HANDLE find = Sys::FindFirst(pattern.c_str(), &found);
    if (find == INVALID_HANDLE_VALUE)
    {
        const DWORD code = ::GetLastError();
        if (code == ERROR_FILE_NOT_FOUND)
            return true;
        const Error error = TranslateError(code);
        SetLastError(error == Error::NotFound ? Error::PathNotFound : error);
        Scope::NoteMissing(pattern.c_str(), GetLastError());
        return false;
    }
    DirectoryEntry entry{};
    do
    {
        if (wanted(found.cFileName) && MakeEntry(found, entry))
            entries.push_back(entry);
    } while (::FindNextFileA(find, &found));
    ::FindClose(find);
    return true;
}

} // namespace Backend
} // namespace ZRPlatform
