// Directory listings: the backend reads the names, the order and the wildcard
// rules are the same on every machine.
#include <algorithm>
#include <map>
#include <mutex>

#include "Common/Platform/PlatformBackend.h"
#include "Common/Platform/PlatformNames.h"

namespace ZRPlatform
{
namespace
{
struct sListing
{
    std::vector<DirectoryEntry> entries;
    std::size_t next = 0;
};

// Open listings by handle; handles are never reused, so a closed or made-up
// one is simply unknown.
struct sFindTable
{
    std::mutex lock;
    FindHandle next = 1;
    std::map<FindHandle, sListing> listings;
};

sFindTable& Finds()
{
    static sFindTable* table = new sFindTable;   // immortal: listings may outlive statics
    return *table;
}

bool EntryBefore(const DirectoryEntry& a, const DirectoryEntry& b)
{
    return Names::ListingBefore(a.name, b.name);
}
} // namespace

FindHandle FindFirst(const char* pattern, DirectoryEntry* entry)
{
    if (pattern == nullptr || entry == nullptr)
    {
        SetLastError(Error::InvalidArgument);
        return 0;
    }
    std::string directory;
    std::string mask;
    Names::SplitPattern(pattern, directory, mask);
    sListing listing;
    const auto wanted = [&mask](std::string_view name) { return Names::MaskMatches(mask, name); };
    if (!Backend::ListDirectory(directory, wanted, listing.entries))
        return 0;
    if (listing.entries.empty())
    {
        SetLastError(Error::NotFound);
        return 0;
    }
    std::sort(listing.entries.begin(), listing.entries.end(), EntryBefore);
    *entry = listing.entries[0];
    listing.next = 1;
    sFindTable& table = Finds();
    std::lock_guard<std::mutex> guard(table.lock);
    const FindHandle handle = table.next++;
    table.listings.emplace(handle, std::move(listing));
    return handle;
}

bool FindNext(FindHandle find, DirectoryEntry* entry)
{
    sFindTable& table = Finds();
    std::lock_guard<std::mutex> guard(table.lock);
    const auto it = table.listings.find(find);
    if (it == table.listings.end() || entry == nullptr)
    {
        SetLastError(entry == nullptr ? Error::InvalidArgument : Error::InvalidHandle);
        return false;
    }
    sListing& listing = it->second;
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
    sFindTable& table = Finds();
    std::lock_guard<std::mutex> guard(table.lock);
    table.listings.erase(find);
}

} // namespace ZRPlatform
