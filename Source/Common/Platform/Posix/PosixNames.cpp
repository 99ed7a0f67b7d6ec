// The listing cache behind case matching. A directory's names are read once and
// kept with the directory's identity (device, inode) and change time; every use
// costs one stat of the directory, and any difference reads it again. A listing
// taken within the directory's current time tick is not trusted, because a
// name added in the same tick would leave the change time as it was: such a
// directory is read again until its change time is safely in the past.
#include "Common/Platform/Posix/PosixNames.h"

#include <time.h>

#include <algorithm>
#include <functional>
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
    std::uint64_t serial = 0;   // new for every reading
    std::vector<sName> names;
};

// What the lookup scopes of this thread have examined: directories whose
// listing stands for the rest of the outermost scope, known by a hash of their
// path and the serial of the listing that was examined (serials are never
// reused, so a hash that two paths share cannot mix their listings up). Fixed
// room, so a scope costs no heap; a directory beyond it is examined again.
constexpr int kScopeDirectories = 8;

struct sExamined
{
    std::size_t hash;
    std::uint64_t serial;
};

struct sScopeState
{
    int depth = 0;
    int count = 0;
    sExamined examined[kScopeDirectories];

    const sExamined* Find(std::size_t hash) const
    {
        for (int i = 0; i < count; ++i)
            if (examined[i].hash == hash)
                return &examined[i];
        return nullptr;
    }

    void Remember(std::size_t hash, std::uint64_t serial)
    {
        if (depth > 0 && count < kScopeDirectories)
            examined[count++] = sExamined{hash, serial};
    }
};

ZR_FAST_THREAD_LOCAL sScopeState t_scope;

std::size_t PathHash(std::string_view path) { return std::hash<std::string_view>()(path); }

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
    enum class Result
    {
        Found,     // onDisk holds the spelling
        Missing,   // no spelling exists, or the directory cannot be read
        Unknown,   // examinedOnly, and the scope has not examined the directory
    };

    // Copies into onDisk the spelling of name in directory: the exact one when it
    // exists, else the first of its case variants in byte order. examinedOnly:
    // answer only from what the thread's scope has already examined.
    Result Find(const char* directory, std::string_view name, std::string_view fold,
                char* onDisk, bool examinedOnly)
    {
        std::lock_guard<std::mutex> guard(m_lock);
        const sListing* listing = examinedOnly ? Examined(directory) : Current(directory);
        if (listing == nullptr)
            return examinedOnly ? Result::Unknown : Result::Missing;
        auto first = std::lower_bound(
            listing->names.begin(), listing->names.end(), fold,
            [](const sName& entry, std::string_view key) { return entry.fold < key; });
        if (first == listing->names.end() || first->fold != fold)
            return Result::Missing;
        std::string_view chosen = first->name;
        for (auto it = first; it != listing->names.end() && it->fold == fold; ++it)
            if (it->name == name)
                chosen = it->name;
        std::memcpy(onDisk, chosen.data(), chosen.size());
        return Result::Found;
    }

    // What the cached listing of directory, however old, says of a name: a hint
    // of which call to make first, never an answer. Unknown without a listing.
    Result Hint(const char* directory, std::string_view fold)
    {
        std::lock_guard<std::mutex> guard(m_lock);
        const auto cached = m_listings.find(std::string_view(directory));
        if (cached == m_listings.end())
            return Result::Unknown;
        const std::vector<sName>& names = cached->second.names;
        const auto first = std::lower_bound(
            names.begin(), names.end(), fold,
            [](const sName& entry, std::string_view key) { return entry.fold < key; });
        return first != names.end() && first->fold == fold ? Result::Found : Result::Missing;
    }

    // The directory's identity, from the scope when it has examined it.
    bool Identify(const char* directory, DirectoryId& id)
    {
        std::lock_guard<std::mutex> guard(m_lock);
        const sListing* listing = Examined(directory);
        if (listing == nullptr)
        {
            sStamp stamp;
            std::int64_t tick = 0;
            if (!ReadStamp(directory, stamp, tick))
                return false;
            id = DirectoryId{static_cast<std::uint64_t>(stamp.device), static_cast<std::uint64_t>(stamp.inode)};
            return true;
        }
        id = DirectoryId{static_cast<std::uint64_t>(listing->stamp.device),
                         static_cast<std::uint64_t>(listing->stamp.inode)};
        return true;
    }

private:
    // The listing the thread's scope examined, if it is still the one cached.
    const sListing* Examined(const char* directory)
    {
        if (t_scope.depth == 0)
            return nullptr;
        const sExamined* examined = t_scope.Find(PathHash(directory));
        if (examined == nullptr)
            return nullptr;
        const auto cached = m_listings.find(std::string_view(directory));
        return cached != m_listings.end() && cached->second.serial == examined->serial
                   ? &cached->second
                   : nullptr;
    }

    // The listing of directory, read again unless the cached one is still good.
    const sListing* Current(const char* directory)
    {
        if (const sListing* examined = Examined(directory))
            return examined;
        const sListing* listing = Validated(directory);
        if (listing != nullptr)
            t_scope.Remember(PathHash(directory), listing->serial);
        return listing;
    }

    const sListing* Validated(const char* directory)
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
        listing.serial = ++m_serial;
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
    std::uint64_t m_serial = 0;
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

// Finds the component at resolved.text + pos (length bytes) in the directory
// resolved so far, the bytes before pos; when found it replaces the
// component's bytes in place (same length, other case).
CNameCache::Result MatchComponent(sOsPath& resolved, std::size_t pos, std::size_t length,
                                  bool examinedOnly)
{
    if (length > NAME_MAX)
        return CNameCache::Result::Missing;
    char* component = resolved.text + pos;
    char name[NAME_MAX + 1];
    char fold[NAME_MAX + 1];
    for (std::size_t i = 0; i < length; ++i)
    {
        name[i] = component[i];
        fold[i] = Names::AsciiLower(component[i]);
    }
    // The directory is the text before the component, terminated there for the call.
    const char saved = component[0];
    component[0] = '\0';
    const char* directory = pos == 0 ? kCurrentDirectory : resolved.text;
    const CNameCache::Result result =
        Cache().Find(directory, std::string_view(name, length), std::string_view(fold, length),
                     name, examinedOnly);
    component[0] = saved;
    if (result == CNameCache::Result::Found)
        std::memcpy(component, name, length);
    return result;
}

// Walks the components of path through the cache. examinedOnly: only as far
// as the thread's scope has examined the directories; Unknown past that.
CNameCache::Result Walk(const sOsPath& path, sOsPath& resolved, Error& missing, bool examinedOnly)
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
        if (!IsSpecial(std::string_view(resolved.text + pos, stop - pos)))
        {
            const CNameCache::Result result = MatchComponent(resolved, pos, stop - pos, examinedOnly);
            if (result == CNameCache::Result::Missing)
                missing = stop < resolved.length ? Error::PathNotFound : Error::NotFound;
            if (result != CNameCache::Result::Found)
                return result;
        }
        pos = stop + 1;
    }
    return CNameCache::Result::Found;
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
    return Walk(path, resolved, missing, false) == CNameCache::Result::Found;
}

bool KnownMissing(const sOsPath& path, Error& missing)
{
    if (t_scope.depth == 0)
        return false;
    sOsPath resolved;
    return Walk(path, resolved, missing, true) == CNameCache::Result::Missing;
}

bool IdentifyDirectory(const char* path, DirectoryId& id) { return Cache().Identify(path, id); }

bool ListingSaysMissing(const sOsPath& path)
{
    std::size_t start = 0;
    while (start < path.length && path.text[start] == '/')
        ++start;
    const char* end = static_cast<const char*>(std::memchr(path.text + start, '/', path.length - start));
    const std::size_t stop = end == nullptr ? path.length : static_cast<std::size_t>(end - path.text);
    const std::string_view first(path.text + start, stop - start);
    if (IsSpecial(first) || first.size() > NAME_MAX)
        return false;
    char fold[NAME_MAX + 1];
    for (std::size_t i = 0; i < first.size(); ++i)
        fold[i] = Names::AsciiLower(first[i]);
    const char* directory = start == 0 ? kCurrentDirectory : "/";
    return Cache().Hint(directory, std::string_view(fold, first.size())) == CNameCache::Result::Missing;
}

} // namespace Posix

LookupScope::LookupScope() { ++Posix::t_scope.depth; }

LookupScope::~LookupScope()
{
    if (--Posix::t_scope.depth == 0)
        Posix::t_scope.count = 0;
}
} // namespace ZRPlatform
