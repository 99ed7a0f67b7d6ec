// The archive format: one directory tree packed into one file «X.arc» that
// stands in for the directory «X». An archive is a 32-byte header, the data of
// its entries back to back, then a directory of 276-byte entries. A
// subdirectory is stored as a complete archive of its own: the data of an
// entry flagged ARCHIVE_ENTRY_NESTED, whose offsets count from the start of
// that data. All integers are unsigned little-endian, without gaps; data is
// stored as it is, without compression or checksum.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

constexpr const char* ARCHIVE_EXTENSION = ".arc";

constexpr std::uint32_t ARCHIVE_MAGIC = 0x58435241;  // the bytes 'A' 'R' 'C' 'X'
constexpr std::uint8_t ARCHIVE_VERSION_MAJOR = 1;
constexpr std::uint8_t ARCHIVE_VERSION_MINOR = 0;

// Header record, at the base of every archive: byte offsets of its fields.
constexpr std::size_t ARCHIVE_HEADER_SIZE = 32;
constexpr std::size_t ARCHIVE_HEADER_MAGIC = 0;        // 4 bytes
constexpr std::size_t ARCHIVE_HEADER_MAJOR = 4;        // 1 byte
constexpr std::size_t ARCHIVE_HEADER_MINOR = 5;        // 1 byte
constexpr std::size_t ARCHIVE_HEADER_TOTAL_SIZE = 6;   // 4 bytes: header, data and directory
constexpr std::size_t ARCHIVE_HEADER_DIRECTORY = 10;   // 4 bytes: directory offset from the base
constexpr std::size_t ARCHIVE_HEADER_COUNT = 14;       // 4 bytes: directory entries
constexpr std::size_t ARCHIVE_HEADER_RESERVED = 18;    // zero up to the end
static_assert(ARCHIVE_HEADER_MAJOR == ARCHIVE_HEADER_MAGIC + 4 &&
                  ARCHIVE_HEADER_MINOR == ARCHIVE_HEADER_MAJOR + 1 &&
                  ARCHIVE_HEADER_TOTAL_SIZE == ARCHIVE_HEADER_MINOR + 1 &&
                  ARCHIVE_HEADER_DIRECTORY == ARCHIVE_HEADER_TOTAL_SIZE + 4 &&
                  ARCHIVE_HEADER_COUNT == ARCHIVE_HEADER_DIRECTORY + 4 &&
                  ARCHIVE_HEADER_RESERVED == ARCHIVE_HEADER_COUNT + 4 &&
                  ARCHIVE_HEADER_SIZE - ARCHIVE_HEADER_RESERVED == 14,
              "header fields follow each other without gaps");

// Directory entry record: byte offsets of its fields.
constexpr std::size_t ARCHIVE_ENTRY_SIZE = 276;
constexpr std::size_t ARCHIVE_NAME_SIZE = 256;     // terminated, at most 255 characters
constexpr std::size_t ARCHIVE_ENTRY_NAME = 0;
constexpr std::size_t ARCHIVE_ENTRY_OFFSET = 256;  // 4 bytes: data offset from the archive's base
constexpr std::size_t ARCHIVE_ENTRY_LENGTH = 260;  // 4 bytes: data length
constexpr std::size_t ARCHIVE_ENTRY_FLAGS = 264;   // 1 byte
constexpr std::size_t ARCHIVE_ENTRY_RESERVED = 265;
constexpr std::size_t ARCHIVE_ENTRY_RESERVED_SIZE = 11;
constexpr std::uint8_t ARCHIVE_ENTRY_NESTED = 0x01;  // flags bit: the data is an archive

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

// Pool index of no archive.
constexpr long ARCHIVE_NONE = -1;
constexpr std::size_t ARCHIVE_INFO_NAME_SIZE = 1024;

// A registered archive, kept in memory by the extended file system. Records
// live in the file system's pool and refer to each other by pool index, so a
// copy of the file system keeps consistent links.
struct sArchiveInfo
{
    // Top level: the file name with extension; nested: the entry's name.
    char name[ARCHIVE_INFO_NAME_SIZE] = {};
    // Absolute offset of the archive in its container file.
    std::uint32_t base = 0;
    sArchiveHeader header = {};
    // The directory, in directory order.
    std::vector<sArchiveEntry> entries;
    // ASCII-lower-cased entry name -> index of the first entry with that name.
    std::unordered_map<std::string, std::uint32_t> index;
    // The most recently registered nested archive of this one.
    long firstChild = ARCHIVE_NONE;
    // The next archive in the parent's child list.
    long nextSibling = ARCHIVE_NONE;
    // The top-level archive whose file holds this one (itself at the top).
    long container = ARCHIVE_NONE;
    // Top level only: the absolute path the file was first opened with.
    std::string path;
};

// Callback events of the extended file system; parameter 1 is the address of
// the record named, valid only during the call, and parameter 2 is 0.
enum eXfsEvent : int
{
    // Creation, before a file's bytes are stored: sArchiveFileNotify.
    XFS_EVENT_ARCHIVE_FILE = 1,
    // Extraction, before a file is written: sExtractFileNotify.
    XFS_EVENT_EXTRACT_FILE = 2,
    // Extraction, before a directory is created and entered: the text
    // "<current directory>\<name>".
    XFS_EVENT_EXTRACT_DIRECTORY = 3,
    // Creation, once per file or subdirectory counted: sArchiveFileNotify.
    XFS_EVENT_COUNT_ENTRY = 4,
};

// Size of each text of the event records, terminator included; longer texts are cut.
constexpr std::size_t XFS_NOTIFY_PATH_SIZE = 260;

struct sArchiveFileNotify
{
    char directory[XFS_NOTIFY_PATH_SIZE];  // the directory being packed
    char name[XFS_NOTIFY_PATH_SIZE];       // the entry's name
};
static_assert(sizeof(sArchiveFileNotify) == 2 * XFS_NOTIFY_PATH_SIZE, "no padding");

struct sExtractFileNotify
{
    char directory[XFS_NOTIFY_PATH_SIZE];         // the directory being filled
    char archiveDirectory[XFS_NOTIFY_PATH_SIZE];  // its name as stored in the archive
    char name[XFS_NOTIFY_PATH_SIZE];              // the file's name
};
static_assert(sizeof(sExtractFileNotify) == 3 * XFS_NOTIFY_PATH_SIZE, "no padding");
