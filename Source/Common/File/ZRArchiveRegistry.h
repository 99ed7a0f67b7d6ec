// The archives registered with an extended file system, in memory only.
// Internal to the library.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "Common/File/ZRArchiveFormat.h"
#include "Common/File/ZRArchiveRecords.h"
#include "Common/Platform/Platform.h"

// Pool index of no archive.
constexpr long ARCHIVE_NONE = -1;
constexpr std::size_t ARCHIVE_INFO_NAME_SIZE = 1024;

// One archive's header and directory as read and checked, with the index that
// finds its entries by name.
struct sArchiveDirectory
{
    // Absolute offset of the archive in its container file.
    std::uint32_t base = 0;
    sArchiveHeader header = {};
    // In directory order; every name terminated.
    std::vector<sArchiveEntry> entries;
    ZRArchiveFormat::CNameIndex index;

    // The first entry in directory order whose name matches; null when none.
    const sArchiveEntry* Find(const char* name) const;
};

// A registered archive. Records refer to each other by pool index, so a copy
// of the registry keeps consistent links.
struct sArchiveInfo
{
    // Top level: the file name with extension; nested: the entry's name.
    char name[ARCHIVE_INFO_NAME_SIZE] = {};
    sArchiveDirectory directory;
    // The most recently registered nested archive of this one.
    long firstChild = ARCHIVE_NONE;
    // The next archive in the parent's child list.
    long nextSibling = ARCHIVE_NONE;
    // The top-level archive whose file holds this one (itself at the top).
    long container = ARCHIVE_NONE;
    // Top level only: the absolute path the file was first opened with, and
    // the identity of the directory that holds it.
    std::string path;
    ZRPlatform::DirectoryId home = {};
};

// The pool of CAPACITY archive records, handed out in order for the life of
// the registry and never given back, and the list of top-level archives, each
// with its nested archives behind it. A record is never moved, so pointers to
// records stay valid as long as the registry. Not locked: the owner locks.
// Copies are deep.
class CZRArchiveRegistry
{
public:
    static constexpr std::size_t CAPACITY = 256;

    CZRArchiveRegistry();
    CZRArchiveRegistry(const CZRArchiveRegistry& other);
    CZRArchiveRegistry& operator=(const CZRArchiveRegistry& other);
    ~CZRArchiveRegistry();

    bool IsFull() const;
    // The nested archive of parent named name. Case is ignored.
    sArchiveInfo* Find(const sArchiveInfo& parent, const char* name);
    // The top-level archive of that file name in the directory home. Case is ignored.
    sArchiveInfo* FindTopLevel(const ZRPlatform::DirectoryId& home, const char* fileName);
    // Whether any top-level archive has that file name, in whatever directory.
    bool HasTopLevelNamed(const char* fileName) const;
    // Takes the next record (the registry must not be full) and puts it at the
    // front of the top-level list, or of parent's child list.
    sArchiveInfo& AddTopLevel(const char* fileName, const std::string& path,
                              const ZRPlatform::DirectoryId& home, sArchiveDirectory&& directory);
    sArchiveInfo& AddNested(sArchiveInfo& parent, const char* name, sArchiveDirectory&& directory);
    // The path of the file that holds archive.
    const std::string& ContainerPath(const sArchiveInfo& archive) const;

private:
    sArchiveInfo& Adopt(long parent, sArchiveDirectory&& directory);
    long IndexOf(const sArchiveInfo& archive) const;

    std::unique_ptr<sArchiveInfo[]> m_pool;
    std::size_t m_count;
    // Head of the top-level list; only its child link is used.
    long m_firstTopLevel;
};
