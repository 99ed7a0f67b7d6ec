// The listing cache behind case matching. A directory's names are read once and
// kept with the directory's identity (device, inode) and change time; every use
// costs one stat of the directory, and any difference reads it again. A listing
// taken within the directory's current time tick is not trusted, because a
// name added in the same tick would leave the change time as it was: such a
// directory is read again until its change time is safely in the past.
#include "Common/Platform/Posix/PosixNames.h"

#include <time.h>

#include <algorithm>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "Common/Platform/PlatformNames.h"
#include "Common/Platform/Posix/PosixSys.h"

namespace ZRPlatform
{
namespace Posix
{
namespace
{
constexpr char kCurrentDirectory[] = ".";
constexpr std::string_view kParentDirectory = "..";
constexpr std::size_t kMaxDirectories = 128;
constexpr std::int64_t kNanosPerSecond = 1000000000;
// How far a change time may lag behind the real change: one coarse kernel tick
// where times carry nanoseconds; two seconds where they are whole seconds (FAT).
constexpr std::int64_t kFineTickNanos = 20 * 1000000;
constexpr std::int64_t kCoarseTickNanos = 2 * kNanosPerSecond;

std::int64_t Nanos(const timespec& time)
{
    return static_cast<std::int64_t>(time.tv_sec) * kNanosPerSecond + time.tv_nsec;
}

struct sStamp
{
    dev_t device = 0;
    ino_t inode = 0;
    std::int64_t changed = 0;   // ns since the epoch

    bool operator==(const sStamp& other) const
    {
        return device == other.device && inode == other.inode && changed == other.changed;
    }
};

// A name and its folded form; a listing keeps them sorted by fold, then name.
struct sName
{
    std::string fold;
    std::string name;

    bool operator<(const sName& other) const
    {
        return fold != other.fold ? fold < other.fold : name < other.name;
    }
};

struct sListing
{
    sStamp stamp;
    bool trusted = false;   // taken safely after the last change
    std::vector<sName> names;
};

bool ReadStamp(const char* directory, sStamp& stamp, std::int64_t& tick)
{
    struct stat info;
    if (Sys::Stat(directory, &info) != 0 || !S_ISDIR(info.st_mode))
        return false;
    stamp = sStamp{info.st_dev, info.st_ino, Nanos(info.st_ctim)};
    tick = info.st_ctim.tv_nsec == 0 ? kCoarseTickNanos : kFineTickNanos;
    return true;
}

std::int64_t Now()
{
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return Nanos(now);
}

bool ReadNames(const char* directory, sListing& listing)
{
    DIR* dir = Sys::OpenDir(directory);
    if (dir == nullptr)
        return false;
    while (const dirent* entry = readdir(dir))
        listing.names.push_back(sName{Names::AsciiLowerCopy(entry->d_name), entry->d_name});
    closedir(dir);
    std::sort(listing.names.begin(), listing.names.end());
    return true;
}

class CNameCache
{
public:
    // Copies into onDisk the spelling of name in directory: the exact one when it
    // exists, else the first of its case variants in byte order. False when no
    // spelling exists or the directory cannot be read.
    bool Find(const char* directory, std::string_view name, std::string_view fold,
              char* onDisk)
    {
        std::lock_guard<std::mutex> guard(m_lock);
        const sListing* listing = Current(directory);
        if (listing == nullptr)
            return false;
        auto first = std::lower_bound(
            listing->names.begin(), listing->names.end(), fold,
            [](const sName& entry, std::string_view key) { return entry.fold < key; });
        if (first == listing->names.end() || first->fold != fold)
            return false;
        std::string_view chosen = first->name;
        for (auto it = first; it != listing->names.end() && it->fold == fold; ++it)
            if (it->name == name)
                chosen = it->name;
        std::memcpy(onDisk, chosen.data(), chosen.size());
        return true;
    }

    void Clear()
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_listings.clear();
    }

private:
    // The listing of directory, read again unless the cached one is still good.
    const sListing* Current(const char* directory)
    {
        sStamp stamp;
        std::int64_t tick = 0;
        if (!ReadStamp(directory, stamp, tick))
            return nullptr;
        const auto cached = m_listings.find(std::string_view(directory));
        if (cached != m_listings.end() && cached->second.trusted && cached->second.stamp == stamp)
            return &cached->second;
        sListing listing;
        listing.stamp = stamp;
        listing.trusted = Now() - stamp.changed > tick;
        if (!ReadNames(directory, listing))
            return nullptr;
        if (cached != m_listings.end())
        {
            cached->second = std::move(listing);
            return &cached->second;
        }
        if (m_listings.size() >= kMaxDirectories)
            m_listings.clear();
        return &m_listings.emplace(directory, std::move(listing)).first->second;
    }

    std::mutex m_lock;
    std::map<std::string, sListing, std::less<>> m_listings;
};

CNameCache& Cache()
{
    static CNameCache* cache = new CNameCache;   // immortal: used until the process ends
    return *cache;
}

bool IsSpecial(std::string_view component)
{
    return component.empty() || component == kCurrentDirectory || component == kParentDirectory;
}

bool Append(sOsPath& path, std::string_view text)
{
    if (path.length + text.size() >= sizeof path.text)
    {
        SetLastError(Error::InvalidArgument);
        return false;
    }
    std::memcpy(path.text + path.length, text.data(), text.size());
    path.length += text.size();
    path.text[path.length] = '\0';
    return true;
}

// Finds component in the directory resolved so far; on success it replaces
// the component's bytes in place (same length, other case).
bool MatchComponent(const sOsPath& resolved, char* component, std::size_t length)
{
    const std::string_view name(component, length);
    if (IsSpecial(name) || length > NAME_MAX)
        return false;
    char fold[NAME_MAX + 1];
    for (std::size_t i = 0; i < length; ++i)
        fold[i] = Names::AsciiLower(component[i]);
    const char* directory = resolved.length == 0 ? kCurrentDirectory : resolved.c_str();
    return Cache().Find(directory, name, std::string_view(fold, length), component);
}
} // namespace

bool ConvertPath(const char* path, sOsPath& converted)
{
    converted.length = 0;
    converted.text[0] = '\0';
    if (path == nullptr)
    {
        SetLastError(Error::InvalidArgument);
        return false;
    }
    const std::size_t drive = Names::DriveLength(path);
    if (!Append(converted, path + drive))
        return false;
    std::replace(converted.text, converted.text + converted.length, '\\', '/');
    return converted.length > 0 || drive == 0 || Append(converted, kCurrentDirectory);
}

bool ResolveNoCase(const sOsPath& path, sOsPath& resolved, Error& missing)
{
    resolved = path;
    std::size_t pos = 0;
    while (pos < resolved.length && resolved.text[pos] == '/')
        ++pos;
    while (pos < resolved.length)
    {
        const char* end = static_cast<const char*>(
            std::memchr(resolved.text + pos, '/', resolved.length - pos));
        const std::size_t stop = end == nullptr ? resolved.length : static_cast<std::size_t>(end - resolved.text);
        sOsPath directory;   // the directory resolved so far
        directory.length = pos;
        std::memcpy(directory.text, resolved.text, pos);
        directory.text[pos] = '\0';
        const std::string_view component(resolved.text + pos, stop - pos);
        if (!IsSpecial(component) && !MatchComponent(directory, resolved.text + pos, stop - pos))
        {
            missing = stop < resolved.length ? Error::PathNotFound : Error::NotFound;
            return false;
        }
        pos = stop + 1;
    }
    return true;
}

void ForgetListings() { Cache().Clear(); }

} // namespace Posix
} // namespace ZRPlatform
