// Files and directories of the POSIX backend: Windows-style paths resolved without
// regard to case, Windows attributes, and wildcard listings. Only code for POSIX goes here.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <map>
#include <vector>

#include "Common/Platform/Posix/PosixObjects.h"
#include "Common/Platform/Posix/PosixText.h"

namespace ZRPlatform
{
namespace Posix
{
namespace
{

constexpr mode_t kWriteBits = S_IWUSR | S_IWGRP | S_IWOTH;
constexpr mode_t kPermissionBits = 07777;
constexpr mode_t kNewDirectoryMode = 0777;   // narrowed by the umask
constexpr char kCurrentDirectory[] = ".";
constexpr char kParentDirectory[] = "..";
constexpr char kAnyExtension[] = ".*";

// Separators become '/', a drive prefix ("C:") is dropped; "\\server\share" stays
// "//server/share".
std::string ConvertPath(const std::string& path)
{
    std::string converted = path;
    if (converted.size() >= 2 && std::isalpha(static_cast<unsigned char>(converted[0])) &&
        converted[1] == ':')
        converted.erase(0, 2);
    std::replace(converted.begin(), converted.end(), '\\', '/');
    return converted;
}

bool NameExists(const std::string& path)
{
    struct stat info;
    return lstat(path.c_str(), &info) == 0;
}

// The fixed listing order: without regard to case, ties by byte order.
bool NameBefore(const std::string& a, const std::string& b)
{
    const int order = CompareNoCase(a, b);
    return order != 0 ? order < 0 : a < b;
}

// The entry of directory that equals name ignoring case, first in the fixed order.
bool FindNameNoCase(const std::string& directory, const std::string& name, std::string& found)
{
    DIR* dir = opendir(directory.empty() ? kCurrentDirectory : directory.c_str());
    if (dir == nullptr)
        return false;
    bool any = false;
    while (const dirent* entry = readdir(dir))
    {
        const std::string candidate = entry->d_name;
        if (CompareNoCase(candidate, name) == 0 && (!any || candidate < found))
        {
            found = candidate;
            any = true;
        }
    }
    closedir(dir);
    return any;
}

// Case-matches a converted path: as spelled when it exists, otherwise component by
// component until one is missing; the rest stays as given.
std::string ResolveConverted(const std::string& path)
{
    if (path.empty() || NameExists(path))
        return path;
    std::string result;
    std::size_t pos = 0;
    while (pos < path.size() && path[pos] == '/')
        result += path[pos++];
    bool matching = true;
    while (pos < path.size())
    {
        std::size_t end = path.find('/', pos);
        if (end == std::string::npos)
            end = path.size();
        std::string component = path.substr(pos, end - pos);
        const bool special = component.empty() || component == kCurrentDirectory ||
                             component == kParentDirectory;
        std::string onDisk = component;
        if (matching && !special && !NameExists(result + component))
            matching = FindNameNoCase(result, component, onDisk);
        result += onDisk;
        if (end < path.size())
            result += '/';
        pos = end + 1;
    }
    return result;
}

// The path to hand to the OS for a Windows-style path ("C:" alone is the current
// directory).
std::string OsPath(const char* path)
{
    const std::string converted = ConvertPath(path);
    if (converted.empty() && path[0] != '\0')
        return kCurrentDirectory;
    return ResolveConverted(converted);
}

std::string LastComponent(const std::string& path)
{
    std::size_t end = path.find_last_not_of('/');
    if (end == std::string::npos)
        return std::string();
    const std::size_t slash = path.rfind('/', end);
    const std::size_t begin = slash == std::string::npos ? 0 : slash + 1;
    return path.substr(begin, end + 1 - begin);
}

std::string ParentOf(const std::string& path)
{
    const std::size_t end = path.find_last_not_of('/');
    const std::size_t slash = end == std::string::npos ? std::string::npos : path.rfind('/', end);
    if (slash == std::string::npos)
        return kCurrentDirectory;
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Windows tells a missing name (NotFound) from a missing directory on the way
// (PathNotFound); errno says ENOENT for both.
void SetPathError(int errnoValue, const std::string& path)
{
    struct stat parent;
    const bool parentMissing =
        stat(ParentOf(path).c_str(), &parent) != 0 || !S_ISDIR(parent.st_mode);
    if (TranslateErrno(errnoValue) == Error::NotFound && parentMissing)
        SetLastError(Error::PathNotFound);
    else
        SetLastErrorFromErrno(errnoValue);
}

// Follows symbolic links; a dangling link still counts as an existing name.
bool StatName(const std::string& path, struct stat& info)
{
    return stat(path.c_str(), &info) == 0 || lstat(path.c_str(), &info) == 0;
}

bool IsHiddenName(const std::string& name)
{
    return !name.empty() && name[0] == '.' && name != kCurrentDirectory && name != kParentDirectory;
}

// Read-only when the mode grants no write permission to anybody, or when the
// calling user may not write. The first test is what FileSetAttributes sets; it
// keeps the attribute meaningful for root, whom access() lets write anything.
bool IsReadOnly(const std::string& path, const struct stat& info)
{
    return (info.st_mode & kWriteBits) == 0 ||
           faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0;
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

// Windows wildcards, without regard to case: '*' any run, '?' one character.
bool WildcardMatch(const std::string& pattern, const std::string& name)
{
    std::size_t p = 0;
    std::size_t n = 0;
    std::size_t starP = std::string::npos;
    std::size_t starN = 0;
    while (n < name.size())
    {
        if (p < pattern.size() && pattern[p] == '*')
        {
            starP = p++;
            starN = n;
        }
        else if (p < pattern.size() &&
                 (pattern[p] == '?' || AsciiLower(pattern[p]) == AsciiLower(name[n])))
        {
            ++p;
            ++n;
        }
        else if (starP != std::string::npos)
        {
            p = starP + 1;
            n = ++starN;
        }
        else
            return false;
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

// As on Windows, a trailing ".*" also accepts a name without extension, so "*.*"
// lists everything and "readme.*" finds "readme".
bool MaskMatches(const std::string& mask, const std::string& name)
{
    if (WildcardMatch(mask, name))
        return true;
    const std::size_t suffix = sizeof(kAnyExtension) - 1;
    return mask.size() >= suffix &&
           mask.compare(mask.size() - suffix, suffix, kAnyExtension) == 0 &&
           name.find('.') == std::string::npos &&
           WildcardMatch(mask.substr(0, mask.size() - suffix), name);
}

struct Listing
{
    std::vector<DirectoryEntry> entries;
    std::size_t next = 0;
};

// "." and ".." first, as Windows lists them, then the fixed order.
bool ListingBefore(const DirectoryEntry& a, const DirectoryEntry& b)
{
    const std::string nameA = a.name;
    const std::string nameB = b.name;
    const int rankA = nameA == kCurrentDirectory ? 0 : (nameA == kParentDirectory ? 1 : 2);
    const int rankB = nameB == kCurrentDirectory ? 0 : (nameB == kParentDirectory ? 1 : 2);
    return rankA != rankB ? rankA < rankB : NameBefore(nameA, nameB);
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

// Reads the matches of mask in directory (which ends in '/' or is empty).
bool ReadListing(const std::string& directory, const std::string& mask, Listing& listing)
{
    const std::string opened = directory.empty() ? kCurrentDirectory : directory;
    DIR* dir = opendir(opened.c_str());
    if (dir == nullptr)
    {
        if (TranslateErrno(errno) == Error::NotFound)
            SetLastError(Error::PathNotFound);
        else
            SetLastErrorFromErrno(errno);
        return false;
    }
    DirectoryEntry entry{};
    while (const dirent* found = readdir(dir))
        if (MaskMatches(mask, found->d_name) && MakeEntry(directory, found->d_name, entry))
            listing.entries.push_back(entry);
    closedir(dir);
    std::sort(listing.entries.begin(), listing.entries.end(), ListingBefore);
    return true;
}

// Open listings by handle; handles are never reused, so a closed or made-up one
// is simply unknown.
struct FindTable
{
    std::mutex lock;
    FindHandle next = 1;
    std::map<FindHandle, Listing> listings;
};

FindTable& Finds()
{
    static FindTable* table = new FindTable;   // immortal, like the handle table
    return *table;
}

bool CheckPath(const char* path)
{
    if (path != nullptr)
        return true;
    SetLastError(Error::InvalidArgument);
    return false;
}

bool CopyOut(const std::string& text, char* buffer, std::size_t size)
{
    if (buffer == nullptr || text.size() >= size)
    {
        SetLastError(Error::InvalidArgument);
        return false;
    }
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return true;
}

} // namespace
} // namespace Posix

using namespace Posix;

bool PathResolve(const char* path, char* resolved, std::size_t size)
{
    return CheckPath(path) && CopyOut(ResolveConverted(ConvertPath(path)), resolved, size);
}

std::uint32_t FileGetAttributes(const char* path)
{
    if (!CheckPath(path))
        return kAttrInvalid;
    const std::string osPath = OsPath(path);
    struct stat info;
    if (!StatName(osPath, info))
    {
        SetPathError(errno, osPath);
        return kAttrInvalid;
    }
    return AttributesOf(osPath, LastComponent(osPath), info);
}

// Read-only clears every write bit; clearing it gives the owner write permission
// back (which group and other bits were set before is not known). As on Windows,
// read-only is not applied to directories: it would stop files being created there.
bool FileSetAttributes(const char* path, std::uint32_t attributes)
{
    if (!CheckPath(path))
        return false;
    const std::string osPath = OsPath(path);
    struct stat info;
    if (stat(osPath.c_str(), &info) != 0)
    {
        SetPathError(errno, osPath);
        return false;
    }
    if (S_ISDIR(info.st_mode))
        return true;
    const mode_t mode = info.st_mode & kPermissionBits;
    const mode_t wanted = (attributes & kAttrReadOnly) != 0 ? mode & ~kWriteBits : mode | S_IWUSR;
    if (wanted != mode && chmod(osPath.c_str(), wanted) != 0)
    {
        SetLastErrorFromErrno(errno);
        return false;
    }
    return true;
}

// As on Windows, directories and read-only files are not deleted (AccessDenied).
bool FileDelete(const char* path)
{
    if (!CheckPath(path))
        return false;
    const std::string osPath = OsPath(path);
    struct stat info;
    if (lstat(osPath.c_str(), &info) != 0)
    {
        SetPathError(errno, osPath);
        return false;
    }
    if (S_ISDIR(info.st_mode) || (!S_ISLNK(info.st_mode) && IsReadOnly(osPath, info)))
    {
        SetLastError(Error::AccessDenied);
        return false;
    }
    if (unlink(osPath.c_str()) != 0)
    {
        SetLastErrorFromErrno(errno);
        return false;
    }
    return true;
}

bool DirectoryCreate(const char* path)
{
    if (!CheckPath(path))
        return false;
    const std::string osPath = OsPath(path);
    if (mkdir(osPath.c_str(), kNewDirectoryMode) != 0)
    {
        SetPathError(errno, osPath);
        return false;
    }
    return true;
}

bool DirectoryRemove(const char* path)
{
    if (!CheckPath(path))
        return false;
    const std::string osPath = OsPath(path);
    if (rmdir(osPath.c_str()) != 0)
    {
        SetPathError(errno, osPath);
        return false;
    }
    return true;
}

bool DirectorySetCurrent(const char* path)
{
    if (!CheckPath(path))
        return false;
    const std::string osPath = OsPath(path);
    if (chdir(osPath.c_str()) != 0)
    {
        SetPathError(errno, osPath);
        return false;
    }
    return true;
}

bool DirectoryGetCurrent(char* buffer, std::size_t size)
{
    if (buffer == nullptr || size == 0)
    {
        SetLastError(Error::InvalidArgument);
        return false;
    }
    if (getcwd(buffer, size) == nullptr)
    {
        SetLastErrorFromErrno(errno);
        return false;
    }
    return true;
}

FindHandle FindFirst(const char* pattern, DirectoryEntry* entry)
{
    if (!CheckPath(pattern) || entry == nullptr)
    {
        SetLastError(Error::InvalidArgument);
        return 0;
    }
    const std::string converted = ConvertPath(pattern);
    const std::size_t slash = converted.rfind('/');
    const std::string directory =
        slash == std::string::npos ? std::string() : converted.substr(0, slash + 1);
    const std::string mask = converted.substr(directory.size());
    Listing listing;
    if (!ReadListing(ResolveConverted(directory), mask, listing))
        return 0;
    if (listing.entries.empty())
    {
        SetLastError(Error::NotFound);
        return 0;
    }
    *entry = listing.entries[0];
    listing.next = 1;
    FindTable& table = Finds();
    std::lock_guard<std::mutex> guard(table.lock);
    const FindHandle handle = table.next++;
    table.listings.emplace(handle, std::move(listing));
    return handle;
}

bool FindNext(FindHandle find, DirectoryEntry* entry)
{
    FindTable& table = Finds();
    std::lock_guard<std::mutex> guard(table.lock);
    auto it = table.listings.find(find);
    if (it == table.listings.end() || entry == nullptr)
    {
        SetLastError(entry == nullptr ? Error::InvalidArgument : Error::InvalidHandle);
        return false;
    }
    Listing& listing = it->second;
    if (listing.next >= listing.entries.size())
    {
        SetLastError(Error::NotFound);
        return false;
    }
    *entry = listing.entries[listing.next++];
    return true;
}

void FindClose(FindHandle find)
{
    FindTable& table = Finds();
    std::lock_guard<std::mutex> guard(table.lock);
    table.listings.erase(find);
}

} // namespace ZRPlatform
