// The rules of the archive format, written once for every reader and writer of
// archives in the library and its tools: what a sound header and a sound entry
// are, which entry names are safe, how names match without regard to case and
// how archive file names are formed. Internal to the library.
//
// The checks take records already decoded (ZRArchiveRecords.h) and the number
// of bytes really available to the archive; they read nothing themselves, so a
// caller checks a header before it reads or allocates the directory, and each
// entry before it trusts the next.
//
// The name rules are inline: the tools use them too, and they link the shared
// library, which exports nothing of this header.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "Common/Core/ZRStrFunctions.h"
#include "Common/File/FileFunctions.h"
#include "Common/File/ZRArchiveRecords.h"

namespace ZRArchiveFormat
{
// What breaks the format; None for a sound header or entry.
enum class eFault
{
    None,
    TooFewBytes,        // less room than one header
    BadMagic,           // not «ARCX»
    BadVersion,         // not 1.0
    TotalTooSmall,      // total size below one header
    TotalPastEnd,       // total size beyond the bytes available
    TotalNotEntrySize,  // a nested archive whose total size is not its entry's size
    DirectoryOutside,   // directory offset before the data area or past the end
    DirectoryPastEnd,   // entry count × entry size runs past the end
    NameUnterminated,   // no terminator within the name field
    NameEmpty,
    NameDot,            // "." or ".."
    NameSeparator,      // a '\' or '/'
    NameDrive,          // "C:" in front
    DataOutside,        // data not inside the data area [header, directory)
    DataOutOfOrder,     // data starts before the previous entry's data ends
};

// Wrong magic or version: not an archive this library reads, as opposed to a
// damaged one.
bool IsVersionFault(eFault fault);

// Room for a header in the bytes available to the archive.
eFault CheckRoom(std::uint64_t available);
// Magic and version, which decide whether the other fields mean anything.
eFault CheckVersion(const sArchiveHeader& header);
// A nested archive fills its entry exactly; a top-level archive may be
// followed by bytes that belong to no archive, but never runs past the file.
eFault CheckTotalSize(const sArchiveHeader& header, std::uint64_t available, bool nested);
// The directory lies between the header and end, so the entry count is
// bounded by the bytes really there and reading it allocates no more.
eFault CheckDirectory(const sArchiveHeader& header, std::uint64_t end);
// Every check above, in order; the first fault.
eFault CheckHeader(const sArchiveHeader& header, std::uint64_t available, bool nested);

// A name terminated within its field, and safe.
eFault CheckEntryName(const sArchiveEntry& entry);
// One path component that stays inside the directory it is extracted to: not
// empty, not "." or "..", without separator, without drive.
eFault CheckSafeName(const char* name);
// The data lies inside the data area and starts no earlier than dataEnd, the
// end of the previous entry's data (ARCHIVE_HEADER_SIZE for the first): data
// lies back to back in directory order, so entries never overlap and a nested
// archive lies strictly inside its parent, which makes descending end.
eFault CheckEntryData(const sArchiveEntry& entry, const sArchiveHeader& header,
                      std::uint64_t dataEnd);
// offset + size, without overflow.
inline std::uint64_t DataEnd(const sArchiveEntry& entry)
{
    return std::uint64_t{entry.offset} + entry.size;
}


// ---- Names ------------------------------------------------------------------

// A path separator.
inline bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// The first separator of path that starts a character (in code page 932 a
// trail byte equal to '\' is part of its character); null when there is none.
inline const char* FindSeparator(const char* path)
{
    for (const char* p = path; *p != '\0'; p = STR_strinc(p))
        if (IsSeparator(*p))
            return p;
    return nullptr;
}

// A drive in front: a letter and a colon.
inline bool StartsWithDrive(const char* name)
{
    const char c = name[0];
    return ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) && name[1] == ':';
}

// Case-insensitive matching: ASCII letters match either case; every other
// byte matches only itself, and so does the trail byte of a double-byte
// character in code page 932, which is never taken for a letter. No character
// is split, and in a single-byte code page the answer is the same in every
// locale.
inline char FoldByte(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

inline bool IsDoubleByte(const char* p) { return STR_IsLeadByte(*p) && p[1] != '\0'; }

inline bool NamesMatch(const char* a, const char* b)
{
    for (;;)
    {
        if (IsDoubleByte(a))
        {
            if (a[0] != b[0] || a[1] != b[1])
                return false;
            a += 2;
            b += 2;
            continue;
        }
        if (FoldByte(*a) != FoldByte(*b))
            return false;
        if (*a == '\0')
            return true;
        ++a;
        ++b;
    }
}

// The name as NamesMatch sees it: equal folded names match.
inline std::string FoldName(const char* name)
{
    std::string folded;
    for (const char* p = name; *p != '\0';)
    {
        const bool pair = IsDoubleByte(p);
        folded += pair ? *p++ : FoldByte(*p++);
        if (pair)
            folded += *p++;
    }
    return folded;
}

// Finds the first entry, in directory order, whose name matches: the answer a
// scan with NamesMatch gives, without the scan. Entries are grouped by a key
// that folds every byte, which groups together at least the names that match
// in any code page; the group is then checked with NamesMatch in the code page
// current at the lookup, so the index stays right when the code page changes.
class CNameIndex
{
public:
    CNameIndex() = default;
    explicit CNameIndex(const std::vector<sArchiveEntry>& entries);

    // The index of the first matching entry of entries (those the index was
    // built from); entries.size() when none matches.
    std::size_t Find(const std::vector<sArchiveEntry>& entries, const char* name) const;

private:
    static constexpr std::uint32_t kNone = UINT32_MAX;

    struct sKey
    {
        std::string key;
        std::uint32_t first;   // the key's first entry
    };

    // Sorted by key, so that a lookup is a binary search that allocates nothing.
    std::vector<sKey> m_keys;
    std::vector<std::uint32_t> m_next;   // next entry of the same key
};

// ---- Archive file names -----------------------------------------------------

// For creating and extracting: ".arc" is appended unless the extension
// already is ".arc", case aside («a.dat» becomes «a.dat.arc», «pack.ARC» stays).
inline std::string ArchiveFileName(const std::string& name)
{
    char extension[FILE_MAX_EXT];
    FILE_SplitPath(name.c_str(), nullptr, nullptr, nullptr, extension);
    return NamesMatch(extension, ARCHIVE_EXTENSION) ? name : name + ARCHIVE_EXTENSION;
}

// For registering a top-level archive: ".arc" is appended only when the file
// name has no dot at all («Data» becomes «Data.arc», «a.dat» stays). Written
// into a caller's buffer, without allocating; false when it does not fit.
template <std::size_t N> bool RegisteredArchiveFileName(const char* name, char (&fileName)[N])
{
    char extension[FILE_MAX_EXT];
    FILE_SplitPath(name, nullptr, nullptr, nullptr, extension);
    const std::size_t length = std::strlen(name);
    const std::size_t added = extension[0] != '\0' ? 0 : std::strlen(ARCHIVE_EXTENSION);
    if (length + added >= N)
        return false;
    std::memcpy(fileName, name, length);
    std::memcpy(fileName + length, ARCHIVE_EXTENSION, added);
    fileName[length + added] = '\0';
    return true;
}
} // namespace ZRArchiveFormat
