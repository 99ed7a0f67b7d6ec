#include "Common/File/ZRArchiveFormat.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace ZRArchiveFormat
{
namespace
{

using eF = eFault;

// The key that groups names for CNameIndex: every byte folded, trail bytes
// too, so that names matching in any code page share it.
std::string IndexKey(const char* name)
{
    std::string key(name);
    for (char& c : key)
        c = FoldByte(c);
    return key;
}

// The same key in a caller's buffer; false when the name is longer than any
// entry name can be (it then matches no entry).
bool IndexKey(const char* name, char (&key)[ARCHIVE_NAME_SIZE], std::size_t& length)
{
    for (length = 0; name[length] != '\0'; ++length)
    {
        if (length == ARCHIVE_NAME_SIZE - 1)
            return false;
        key[length] = FoldByte(name[length]);
    }
    return true;
}
} // namespace

bool IsVersionFault(eFault fault) { return fault == eF::BadMagic || fault == eF::BadVersion; }

eFault CheckRoom(std::uint64_t available)
{
    return available < ARCHIVE_HEADER_SIZE ? eF::TooFewBytes : eF::None;
}

eFault CheckVersion(const sArchiveHeader& header)
{
    if (header.magic != ARCHIVE_MAGIC)
        return eF::BadMagic;
    if (header.majorVersion != ARCHIVE_VERSION_MAJOR ||
        header.minorVersion != ARCHIVE_VERSION_MINOR)
        return eF::BadVersion;
    return eF::None;
}

eFault CheckTotalSize(const sArchiveHeader& header, std::uint64_t available, bool nested)
{
    if (header.totalSize < ARCHIVE_HEADER_SIZE)
        return eF::TotalTooSmall;
    if (nested && header.totalSize != available)
        return eF::TotalNotEntrySize;
    if (header.totalSize > available)
        return eF::TotalPastEnd;
    return eF::None;
}

eFault CheckDirectory(const sArchiveHeader& header, std::uint64_t end)
{
    if (header.directoryOffset < ARCHIVE_HEADER_SIZE || header.directoryOffset > end)
        return eF::DirectoryOutside;
    if (std::uint64_t{header.entryCount} * ARCHIVE_ENTRY_SIZE > end - header.directoryOffset)
        return eF::DirectoryPastEnd;
    return eF::None;
}

eFault CheckHeader(const sArchiveHeader& header, std::uint64_t available, bool nested)
{
    eFault fault = CheckRoom(available);
    if (fault == eF::None)
        fault = CheckVersion(header);
    if (fault == eF::None)
        fault = CheckTotalSize(header, available, nested);
    if (fault == eF::None)
        fault = CheckDirectory(header, header.totalSize);
    return fault;
}

eFault CheckEntryName(const sArchiveEntry& entry)
{
    if (std::memchr(entry.name, '\0', ARCHIVE_NAME_SIZE) == nullptr)
        return eF::NameUnterminated;
    return CheckSafeName(entry.name);
}

eFault CheckSafeName(const char* name)
{
    if (*name == '\0')
        return eF::NameEmpty;
    if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0)
        return eF::NameDot;
    if (FindSeparator(name) != nullptr)
        return eF::NameSeparator;
    if (StartsWithDrive(name))
        return eF::NameDrive;
    return eF::None;
}

eFault CheckEntryData(const sArchiveEntry& entry, const sArchiveHeader& header,
                      std::uint64_t dataEnd)
{
    if (entry.offset < ARCHIVE_HEADER_SIZE || DataEnd(entry) > header.directoryOffset)
        return eF::DataOutside;
    if (entry.offset < dataEnd)
        return eF::DataOutOfOrder;
    return eF::None;
}

CNameIndex::CNameIndex(const std::vector<sArchiveEntry>& entries) : m_next(entries.size(), kNone)
{
    std::vector<sKey> keys;
    keys.reserve(entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i)
        keys.push_back(sKey{IndexKey(entries[i].name), static_cast<std::uint32_t>(i)});
    // Stable: the entries of one key stay in directory order, chained behind the first.
    std::stable_sort(keys.begin(), keys.end(),
                     [](const sKey& a, const sKey& b) { return a.key < b.key; });
    for (std::size_t i = 0; i < keys.size(); ++i)
    {
        if (!m_keys.empty() && m_keys.back().key == keys[i].key)
            m_next[keys[i - 1].first] = keys[i].first;
        else
            m_keys.push_back(std::move(keys[i]));
    }
}

std::size_t CNameIndex::Find(const std::vector<sArchiveEntry>& entries, const char* name) const
{
    char buffer[ARCHIVE_NAME_SIZE];
    std::size_t length = 0;
    if (!IndexKey(name, buffer, length))
        return entries.size();
    const std::string_view key(buffer, length);
    const auto found = std::lower_bound(m_keys.begin(), m_keys.end(), key,
                                        [](const sKey& a, std::string_view b) { return a.key < b; });
    if (found == m_keys.end() || found->key != key)
        return entries.size();
    for (std::uint32_t i = found->first; i != kNone; i = m_next[i])
        if (NamesMatch(entries[i].name, name))
            return i;
    return entries.size();
}
} // namespace ZRArchiveFormat
