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

// The open file of a top-level archive, kept open while the archive is
// registered and shared by every file read out of it: opening an archived file
// costs no open of its own, and its bytes always come from the file whose
// directory was registered, even when the file on disk is replaced meanwhile.
// An archive image held in memory by the host stands in for the file.
class CArchiveContainer
{
public:
    CArchiveContainer(ZRPlatform::FileHandle file, std::uint64_t size) : m_file(file), m_size(size) {}
    CArchiveContainer(const void* image, std::uint64_t size)
        : m_file(ZRPlatform::kInvalidFile), m_image(image), m_size(size)
    {
    }
    ~CArchiveContainer()
    {
        if (m_file != ZRPlatform::kInvalidFile)
            ZRPlatform::FileClose(m_file);
    }
    CArchiveContainer(const CArchiveContainer&) = delete;
    CArchiveContainer& operator=(const CArchiveContainer&) = delete;

    ZRPlatform::FileHandle File() const { return m_file; }
    // The host's image; null for a file.
    const void* Image() const { return m_image; }
    std::uint64_t Size() const { return m_size; }

private:
    ZRPlatform::FileHandle m_file;
    const void* m_image = nullptr;
    std::uint64_t m_size;
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
    // Top level only: the open file, and the identity of the directory that
    // holds it. Copies of a registry share the files.
    std::shared_ptr<const CArchiveContainer> file;
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
    sArchiveInfo& AddTopLevel(const char* fileName, std::shared_ptr<const CArchiveContainer> file,
                              const ZRPlatform::DirectoryId& home, sArchiveDirectory&& directory);
    sArchiveInfo& AddNested(sArchiveInfo& parent, const char* name, sArchiveDirectory&& directory);
    // The file that holds archive.
    const std::shared_ptr<const CArchiveContainer>& Container(const sArchiveInfo& archive) const;
    // Takes the top-level archive and its nested ones out of the lookups; their
    // records stay used until the registry is emptied.
    void RemoveTopLevel(sArchiveInfo& archive);

private:
    sArchiveInfo& Adopt(long parent, sArchiveDirectory&& directory);
    void Release(long index);
    long IndexOf(const sArchiveInfo& archive) const;

    std::unique_ptr<sArchiveInfo[]> m_pool;
    std::size_t m_count;
    // Head of the top-level list; only its child link is used.
    long m_firstTopLevel;
};
