// The listing cache behind case matching. A directory's names are read once and
// kept with the directory's identity (device, inode) and change time; every use
// costs one stat of the directory, and any difference reads it again. A listing
// taken within the directory's current time tick is not trusted, because a
// name added in the same tick would leave the change time as it was: such a
// directory is read again until its change time is safely in the past.
#include "Common/Platform/Posix/PosixNames.h"

#include <time.h>

#include <algorithm>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <unordered_set>

#include "Common/Platform/PlatformNames.h"
#include "Common/Platform/Posix/PosixSys.h"

namespace ZRPlatform
{
namespace Posix
{
namespace
{
constexpr char kCurrentDirectory[] = ".";
constexpr char kParentDirectory[] = "..";
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

struct sListing
{
    sStamp stamp;
    bool trusted = false;   // taken safely after the last change
    // Folded name -> the first of its spellings in the fixed order.
    std::unordered_map<std::string, std::string> byFold;
    // Folded names with more than one spelling: an exact spelling wins there.
    std::unordered_set<std::string> ambiguous;
};

bool ReadStamp(const std::string& directory, sStamp& stamp, std::int64_t& tick)
{
    struct stat info;
    if (Sys::Stat(directory.c_str(), &info) != 0 || !S_ISDIR(info.st_mode))
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

bool ReadNames(const std::string& directory, sListing& listing)
{
    DIR* dir = Sys::OpenDir(directory.c_str());
    if (dir == nullptr)
        return false;
    while (const dirent* entry = readdir(dir))
    {
        const std::string name = entry->d_name;
        const std::string fold = Names::AsciiLowerCopy(name);
        auto [it, added] = listing.byFold.emplace(fold, name);
        if (!added)
        {
            listing.ambiguous.insert(fold);
            if (name < it->second)
                it->second = name;
        }
    }
    closedir(dir);
    return true;
}

class CNameCache
{
public:
    // Found: onDisk is the spelling to use. Missing: no spelling exists. Unreadable:
    // the directory cannot be read (missing or no permission).
    enum class Result { Found, Missing, Unreadable };

    Result Find(const std::string& directory, const std::string& name, std::string& onDisk)
    {
        std::lock_guard<std::mutex> guard(m_lock);
        const sListing* listing = Current(directory);
        if (listing == nullptr)
            return Result::Unreadable;
        const std::string fold = Names::AsciiLowerCopy(name);
        const auto found = listing->byFold.find(fold);
        if (found == listing->byFold.end())
            return Result::Missing;
        onDisk = found->second;
        if (listing->ambiguous.count(fold) != 0 && onDisk != name && Exists(directory, name))
            onDisk = name;
        return Result::Found;
    }

    void Clear()
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_listings.clear();
    }

private:
    static bool Exists(const std::string& directory, const std::string& name)
    {
        struct stat info;
        return Sys::LStat((directory == kCurrentDirectory ? name : directory + "/" + name).c_str(),
                          &info) == 0;
    }

    // The listing of directory, read again unless the cached one is still good.
    const sListing* Current(const std::string& directory)
    {
        sStamp stamp;
        std::int64_t tick = 0;
        if (!ReadStamp(directory, stamp, tick))
            return nullptr;
        auto cached = m_listings.find(directory);
        if (cached != m_listings.end() && cached->second.trusted && cached->second.stamp == stamp)
            return &cached->second;
        const std::int64_t listedAt = Now();
        sListing listing;
        listing.stamp = stamp;
        listing.trusted = listedAt - stamp.changed > tick;
        if (!ReadNames(directory, listing))
            return nullptr;
        if (m_listings.size() >= kMaxDirectories && cached == m_listings.end())
            m_listings.clear();
        sListing& stored = m_listings[directory];
        stored = std::move(listing);
        return &stored;
    }

    std::mutex m_lock;
    std::unordered_map<std::string, sListing> m_listings;
};

CNameCache& Cache()
{
    static CNameCache* cache = new CNameCache;   // immortal: used until the process ends
    return *cache;
}

bool IsSpecial(const std::string& component)
{
    return component.empty() || component == kCurrentDirectory || component == kParentDirectory;
}
} // namespace

std::string ConvertPath(const char* path)
{
    std::string converted = path;
    const std::size_t drive = Names::DriveLength(converted);
    converted.erase(0, drive);
    std::replace(converted.begin(), converted.end(), '\\', '/');
    if (converted.empty() && drive != 0)
        return kCurrentDirectory;
    return converted;
}

bool ResolveNoCase(const std::string& path, std::string& resolved, Error& missing)
{
    resolved.clear();
    std::size_t pos = 0;
    while (pos < path.size() && path[pos] == '/')
        resolved += path[pos++];
    bool matching = true;
    while (pos < path.size())
    {
        std::size_t end = path.find('/', pos);
        if (end == std::string::npos)
            end = path.size();
        const std::string component = path.substr(pos, end - pos);
        std::string onDisk = component;
        if (matching && !IsSpecial(component))
        {
            const std::string directory = resolved.empty() ? kCurrentDirectory : resolved;
            if (Cache().Find(directory, component, onDisk) != CNameCache::Result::Found)
            {
                matching = false;
                missing = end < path.size() ? Error::PathNotFound : Error::NotFound;
            }
        }
        resolved += onDisk;
        if (end < path.size())
            resolved += '/';
        pos = end + 1;
    }
    return matching;
}

void ForgetListings() { Cache().Clear(); }

} // namespace Posix
} // namespace ZRPlatform
