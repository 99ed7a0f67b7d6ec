// The archive's header and directory entry as records, and their byte form:
// the one place where the records meet their on-disk bytes (little-endian,
// unpadded, reserved header bytes written as zero). Internal to the library.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "Common/Core/ZRLittleEndian.h"
#include "Common/File/ZRArchive.h"

// The header's fields as read; on disk they take ARCHIVE_HEADER_SIZE bytes.
struct sArchiveHeader
{
    std::uint32_t magic;
    std::uint8_t majorVersion;
    std::uint8_t minorVersion;
    std::uint32_t totalSize;
    std::uint32_t directoryOffset;
    std::uint32_t entryCount;
};

// One directory entry, field for field as on disk.
struct sArchiveEntry
{
    char name[ARCHIVE_NAME_SIZE];
    std::uint32_t offset;
    std::uint32_t size;
    std::uint8_t flags;
    std::uint8_t reserved[ARCHIVE_ENTRY_RESERVED_SIZE];
};
static_assert(offsetof(sArchiveEntry, name) == ARCHIVE_ENTRY_NAME &&
                  offsetof(sArchiveEntry, offset) == ARCHIVE_ENTRY_OFFSET &&
                  offsetof(sArchiveEntry, size) == ARCHIVE_ENTRY_LENGTH &&
                  offsetof(sArchiveEntry, flags) == ARCHIVE_ENTRY_FLAGS &&
                  offsetof(sArchiveEntry, reserved) == ARCHIVE_ENTRY_RESERVED &&
                  sizeof(sArchiveEntry) == ARCHIVE_ENTRY_SIZE,
              "an entry in memory mirrors the record on disk");

namespace ZRArchiveRecords
{
constexpr std::size_t kWordSize = 4;

inline std::uint32_t GetWord(const unsigned char* bytes)
{
    return static_cast<std::uint32_t>(ZRLittleEndian::Decode(bytes, kWordSize));
}

inline void PutWord(std::uint32_t value, unsigned char* bytes)
{
    ZRLittleEndian::Encode(value, bytes, kWordSize);
}

// bytes holds ARCHIVE_HEADER_SIZE bytes.
inline sArchiveHeader DecodeHeader(const unsigned char* bytes)
{
    sArchiveHeader header;
    header.magic = GetWord(bytes + ARCHIVE_HEADER_MAGIC);
    header.majorVersion = bytes[ARCHIVE_HEADER_MAJOR];
    header.minorVersion = bytes[ARCHIVE_HEADER_MINOR];
    header.totalSize = GetWord(bytes + ARCHIVE_HEADER_TOTAL_SIZE);
    header.directoryOffset = GetWord(bytes + ARCHIVE_HEADER_DIRECTORY);
    header.entryCount = GetWord(bytes + ARCHIVE_HEADER_COUNT);
    return header;
}

inline void EncodeHeader(const sArchiveHeader& header, unsigned char* bytes)
{
    std::fill(bytes, bytes + ARCHIVE_HEADER_SIZE, 0);
    PutWord(header.magic, bytes + ARCHIVE_HEADER_MAGIC);
    bytes[ARCHIVE_HEADER_MAJOR] = header.majorVersion;
    bytes[ARCHIVE_HEADER_MINOR] = header.minorVersion;
    PutWord(header.totalSize, bytes + ARCHIVE_HEADER_TOTAL_SIZE);
    PutWord(header.directoryOffset, bytes + ARCHIVE_HEADER_DIRECTORY);
    PutWord(header.entryCount, bytes + ARCHIVE_HEADER_COUNT);
}

// bytes holds ARCHIVE_ENTRY_SIZE bytes; the name is copied whole, terminated or not.
inline sArchiveEntry DecodeEntry(const unsigned char* bytes)
{
    sArchiveEntry entry;
    std::copy(bytes + ARCHIVE_ENTRY_NAME, bytes + ARCHIVE_ENTRY_NAME + ARCHIVE_NAME_SIZE,
              entry.name);
    entry.offset = GetWord(bytes + ARCHIVE_ENTRY_OFFSET);
    entry.size = GetWord(bytes + ARCHIVE_ENTRY_LENGTH);
    entry.flags = bytes[ARCHIVE_ENTRY_FLAGS];
    std::copy(bytes + ARCHIVE_ENTRY_RESERVED,
              bytes + ARCHIVE_ENTRY_RESERVED + ARCHIVE_ENTRY_RESERVED_SIZE, entry.reserved);
    return entry;
}

inline void EncodeEntry(const sArchiveEntry& entry, unsigned char* bytes)
{
    std::copy(entry.name, entry.name + ARCHIVE_NAME_SIZE, bytes + ARCHIVE_ENTRY_NAME);
    PutWord(entry.offset, bytes + ARCHIVE_ENTRY_OFFSET);
    PutWord(entry.size, bytes + ARCHIVE_ENTRY_LENGTH);
    bytes[ARCHIVE_ENTRY_FLAGS] = entry.flags;
    std::copy(entry.reserved, entry.reserved + ARCHIVE_ENTRY_RESERVED_SIZE,
              bytes + ARCHIVE_ENTRY_RESERVED);
}
} // namespace ZRArchiveRecords
