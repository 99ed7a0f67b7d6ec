// The archive format: one directory tree packed into one file «X.arc» that
// stands in for the directory «X». An archive is a 32-byte header, the data of
// its entries back to back in directory order, then a directory of 276-byte
// entries. A subdirectory is stored as a complete archive of its own: the data
// of an entry flagged ARCHIVE_ENTRY_NESTED, whose offsets count from the start
// of that data and whose total size is the entry's size. All integers are
// unsigned little-endian, without gaps; data is stored as it is, without
// compression or checksum.
//
// What hosts use: the format's constants and the records the extended file
// system's callbacks receive. Reading and writing the records is the library's.
#pragma once

#include <cstddef>
#include <cstdint>

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
