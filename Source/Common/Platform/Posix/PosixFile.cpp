// Files and directories of the POSIX backend: open files as descriptors with
// positioned transfers, Windows attributes from stat, directory calls, and the
// raw listing under the shared listing rules. Names go through PosixNames.
// Only code for POSIX goes here.
#include <climits>
#include <cstring>
#include <string>

#include "Common/Platform/PlatformBackend.h"
#include "Common/Platform/PlatformNames.h"
#include "Common/Platform/Posix/PosixNames.h"
#include "Common/Platform/Posix/PosixSys.h"

namespace ZRPlatform
{
namespace Posix
{
namespace
{
constexpr mode_t kWriteBits = S_IWUSR | S_IWGRP | S_IWOTH;
constexpr mode_t kPermissionBits = 07777;
constexpr mode_t kNewFileMode = 0666;        // narrowed by the umask
constexpr mode_t kNewDirectoryMode = 0777;   // narrowed by the umask
constexpr std::uint64_t kMaxOffset = static_cast<std::uint64_t>(LLONG_MAX);

int OpenFlags(std::uint32_t flags)
{
    const bool read = (flags & kFileRead) != 0;
    const bool write = (flags & (kFileWrite | kFileAppend)) != 0;
    int result = read && write ? O_RDWR : (write ? O_WRONLY : O_RDONLY);
    if (flags & kFileCreate)
        result |= O_CREAT;
    if (flags & kFileTruncate)
        result |= O_TRUNC;
    if (flags & kFileAppend)
        result |= O_APPEND;
    return result;
}

int Descriptor(FileHandle file) { return static_cast<int>(file); }

bool ValidDescriptor(FileHandle file)
{
    if (file >= 0 && file <= INT_MAX)
        return true;
    SetLastError(Error::InvalidHandle);
    return false;
}

// Follows symbolic links; a dangling link still counts as an existing name.
bool StatName(const std::string& path, struct stat& info)
{
    if (Sys::Stat(path.c_str(), &info) == 0)
        return true;
    return errno == ENOENT && Sys::LStat(path.c_str(), &info) == 0;
}

bool IsHiddenName(const std::string& name) { return !name.empty() && name[0] == '.' && !Names::IsDotName(name); }

// Read-only when the mode grants no write permission to anybody, or when the
// calling user may not write. The first test is what FileSetAttributes sets; it
// keeps the attribute meaningful for root, whom access() lets write anything.
bool IsReadOnly(const std::string& path, const struct stat& info)
{
    return (info.st_mode & kWriteBits) == 0 || Sys::Access(path.c_str(), W_OK) != 0;
}

std::string LastComponent(const std::string& path)
{
    const std::size_t end = path.find_last_not_of('/');
    if (end == std::string::npos)
        return std::string();
    const std::size_t slash = path.rfind('/', end);
    const std::size_t begin = slash == std::string::npos ? 0 : slash + 1;
    return path.substr(begin, end + 1 - begin);
}

std::uint32_t AttributesOf(const std::string& path, const std::string& name,
                           const struct stat& info)
{
    std::uint32_t attributes = 0;
    if (S_ISDIR(info.st_mode))
        attributes |= kAttrDirectory;
    if (IsHiddenName(name))
        attributes |= kAttrHidden;
    if (IsReadOnly(path, info))
        attributes |= kAttrReadOnly;
    return attributes == 0 ? kAttrNormal : attributes;
}

bool MakeEntry(const std::string& directory, const std::string& name, DirectoryEntry& entry)
{
    if (name.size() >= sizeof(entry.name))
        return false;   // would not fit: left out rather than cut
    const std::string path = directory + name;
    struct stat info;
    if (!StatName(path, info))
        return false;   // vanished since it was listed
    std::memcpy(entry.name, name.c_str(), name.size() + 1);
    entry.attributes = AttributesOf(path, name, info);
    entry.size = S_ISDIR(info.st_mode) ? 0 : static_cast<std::uint64_t>(info.st_size);
    entry.writeTime = static_cast<std::int64_t>(info.st_mtime);
    return true;
}

// A directory: refused as Windows refuses it.
bool RefuseDirectory(int fd, std::uint64_t* size)
{
    struct stat info;
    if (Sys::FStat(fd, &info) != 0)
    {
        SetLastErrorFromErrno(errno);
        return false;
    }
    if (S_ISDIR(info.st_mode))
    {
        SetLastError(Error::AccessDenied);
        return false;
    }
    if (size != nullptr)
        *size = static_cast<std::uint64_t>(info.st_size);
    return true;
}
} // namespace
} // namespace Posix

using namespace Posix;

FileHandle FileOpen(const char* path, std::uint32_t flags, std::uint64_t* size)
{
    int fd = -1;
    const int osFlags = OpenFlags(flags);
    const bool mustExist = (flags & kFileCreate) == 0;
    if (!OnDisk(path, [&](const char* os) { return (fd = Sys::Open(os, osFlags, kNewFileMode)) >= 0; },
                mustExist))
        return kInvalidFile;
    if (!RefuseDirectory(fd, size))
    {
        const Error cause = GetLastError();
        Sys::Close(fd);
        SetLastError(cause);
        return kInvalidFile;
    }
    return static_cast<FileHandle>(fd);
}

bool FileReadAt(FileHandle file, std::uint64_t offset, void* buffer, std::size_t size,
                std::size_t* read)
{
    std::size_t done = 0;
    if (read != nullptr)
        *read = 0;
    if (!ValidDescriptor(file) || offset > kMaxOffset || (buffer == nullptr && size > 0))
    {
        SetLastError(Error::InvalidArgument);
        return false;
    }
    while (done < size)
    {
        const ssize_t got = Sys::PRead(Descriptor(file), static_cast<char*>(buffer) + done,
                                       size - done, static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
        {
            SetLastErrorFromErrno(errno);
            if (read != nullptr)
                *read = done;
            return false;
        }
        done += static_cast<std::size_t>(got);
        if (got == 0 || done < size)
            break;   // the end of the file: a regular file gives all it has at once
    }
    if (read != nullptr)
        *read = done;
    return true;
}

// On Linux a descriptor opened with O_APPEND writes at the end whatever the
// offset given to pwrite, which is the contract's append.
bool FileWriteAt(FileHandle file, std::uint64_t offset, const void* buffer, std::size_t size,
                 std::size_t* written)
{
    std::size_t done = 0;
    if (written != nullptr)
        *written = 0;
    if (!ValidDescriptor(file) || offset > kMaxOffset || (buffer == nullptr && size > 0))
    {
        SetLastError(Error::InvalidArgument);
        return false;
    }
    while (done < size)
    {
        const ssize_t put = Sys::PWrite(Descriptor(file), static_cast<const char*>(buffer) + done,
                                        size - done, static_cast<off_t>(offset + done));
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
        {
            SetLastErrorFromErrno(put < 0 ? errno : ENOSPC);
            break;
        }
        done += static_cast<std::size_t>(put);
    }
    if (written != nullptr)
        *written = done;
    return done == size;
}

bool FileGetSize(FileHandle file, std::uint64_t* size)
{
    struct stat info;
    if (!ValidDescriptor(file))
        return false;
    if (Sys::FStat(Descriptor(file), &info) != 0)
    {
        SetLastErrorFromErrno(errno);
        return false;
    }
    if (size != nullptr)
        *size = static_cast<std::uint64_t>(info.st_size);
    return true;
}

bool FileClose(FileHandle file)
{
    if (!ValidDescriptor(file))
        return false;
    if (Sys::Close(Descriptor(file)) != 0 && errno != EINTR)
    {
        SetLastErrorFromErrno(errno);
        return false;
    }
    return true;
}

std::uint32_t FileGetAttributes(const char* path)
{
    struct stat info;
    std::string found;
    if (!OnDisk(path, [&](const char* os) {
            found = *os == '\0' ? "." : os;
            return StatName(found, info);
        }, true))
        return kAttrInvalid;
    return AttributesOf(found, LastComponent(found), info);
}

// Read-only clears every write bit; clearing it gives the owner write permission
// back (which group and other bits were set before is not known).
bool FileSetAttributes(const char* path, std::uint32_t attributes)
{
    return OnDisk(path, [&](const char* os) {
        struct stat info;
        if (Sys::Stat(os, &info) != 0)
            return false;
        if (S_ISDIR(info.st_mode))
            return true;
        const mode_t mode = info.st_mode & kPermissionBits;
        const mode_t wanted =
            (attributes & kAttrReadOnly) != 0 ? mode & ~kWriteBits : mode | S_IWUSR;
        return wanted == mode || Sys::Chmod(os, wanted) == 0;
    });
}

bool FileDelete(const char* path)
{
    bool refused = false;
    const bool done = OnDisk(path, [&](const char* os) {
        struct stat info;
        if (Sys::LStat(os, &info) != 0)
            return false;
        refused = S_ISDIR(info.st_mode) || (!S_ISLNK(info.st_mode) && IsReadOnly(os, info));
        return !refused && Sys::Unlink(os) == 0;
    });
    if (refused)
        SetLastError(Error::AccessDenied);
    return done;
}

bool DirectoryCreate(const char* path)
{
    return OnDisk(path, [](const char* os) { return Sys::Mkdir(os, kNewDirectoryMode) == 0; });
}

bool DirectoryRemove(const char* path)
{
    return OnDisk(path, [](const char* os) { return Sys::Rmdir(os) == 0; });
}

bool DirectorySetCurrent(const char* path)
{
    return OnDisk(path, [](const char* os) { return Sys::Chdir(*os == '\0' ? "." : os) == 0; });
}

bool DirectoryGetCurrent(char* buffer, std::size_t size)
{
    if (buffer == nullptr || size == 0)
    {
        SetLastError(Error::InvalidArgument);
        return false;
    }
    if (Sys::Getcwd(buffer, size) == nullptr)
    {
        SetLastError(errno == ERANGE ? Error::InvalidArgument : TranslateErrno(errno));
        return false;
    }
    return true;
}

bool DirectoryIdentify(const char* path, DirectoryId* id)
{
    if (id == nullptr)
    {
        SetLastError(Error::InvalidArgument);
        return false;
    }
    return OnDisk(path, [&](const char* os) {
        if (IdentifyDirectory(*os == '\0' ? "." : os, *id))
            return true;
        if (errno == 0)
            errno = ENOTDIR;
        return false;
    }, true);
}

bool StandardStreamIsTerminal(StandardStream stream)
{
    const int fd = stream == StandardStream::Input ? STDIN_FILENO
                   : stream == StandardStream::Output ? STDOUT_FILENO : STDERR_FILENO;
    return isatty(fd) == 1;
}

bool StandardStreamSetBinary(StandardStream) { return true; }

namespace Backend
{

bool ListDirectory(const std::string& directory,
                   const std::function<bool(std::string_view)>& wanted,
                   std::vector<DirectoryEntry>& entries)
{
    DIR* dir = nullptr;
    std::string prefix;
    const bool opened = OnDisk(directory.empty() ? "." : directory.c_str(), [&](const char* os) {
        prefix = std::strcmp(os, ".") == 0 ? std::string() : std::string(os);
        if (!prefix.empty() && prefix.back() != '/')
            prefix += '/';
        return (dir = Sys::OpenDir(*os == '\0' ? "." : os)) != nullptr;
    });
    if (!opened)
    {
        if (GetLastError() == Error::NotFound)
            SetLastError(Error::PathNotFound);
        return false;
    }
    DirectoryEntry entry{};
    while (const dirent* found = readdir(dir))
        if (wanted(found->d_name) && MakeEntry(prefix, found->d_name, entry))
            entries.push_back(entry);
    closedir(dir);
    return true;
}

} // namespace Backend
} // namespace ZRPlatform
