// The archive half of CExtendedFileSystem: opening files inside archives,
// registering archives, packing and unpacking directory trees.
//
// Archives come from disk and are not trusted. Before anything is allocated
// or read, a header must fit in the bytes available to it (the file's length
// from the base for a top-level archive, the entry's length for a nested one)
// and its directory between its directory offset and its end; every entry
// must have a terminated name and data between the header and the directory.
// A nested archive therefore lies strictly inside its parent's data and is
// strictly smaller, so no entry can lead back to its own or an ancestor's
// header, and descending always ends. Structurally impossible archives are
// reported like short reads, with 4006.
#include "Common/File/ExtendedFileSystem.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "Common/File/FileFunctions.h"
#include "Common/Time/ZRLockGuard.h"
#include "Common/File/ZRArchiveRecords.h"
#include "Common/Platform/Platform.h"

struct CExtendedFileSystem::sListedName
{
    std::string name;
    bool isDirectory;
    std::uint64_t size;
};

namespace
{
constexpr int kFileSuccess = 1;
const char* const kModeRead = "rb";
const char* const kModeCreate = "wb";
const char* const kListAll = "*.*";
constexpr std::uint64_t kMaxOffset = UINT32_MAX;
constexpr std::size_t kCopyChunk = 64 * 1024;
constexpr int kWorkingDirectorySize = 4096;
constexpr char kBackslash = '\\';

using ZRArchiveRecords::DecodeEntry;
using ZRArchiveRecords::DecodeHeader;
using ZRArchiveRecords::EncodeEntry;
using ZRArchiveRecords::EncodeHeader;

bool IsSupportedVersion(const sArchiveHeader& header)
{
    return header.magic == ARCHIVE_MAGIC && header.majorVersion == ARCHIVE_VERSION_MAJOR &&
           header.minorVersion == ARCHIVE_VERSION_MINOR;
}

// The archive fits in available bytes, its directory between its offset and
// the archive's end; so the count is bounded by the bytes really there.
bool HeaderFits(const sArchiveHeader& header, std::uint64_t available)
{
    const std::uint64_t total = header.totalSize;
    return total >= ARCHIVE_HEADER_SIZE && total <= available &&
           header.directoryOffset >= ARCHIVE_HEADER_SIZE && header.directoryOffset <= total &&
           std::uint64_t{header.entryCount} * ARCHIVE_ENTRY_SIZE <= total - header.directoryOffset;
}

// A terminated name, and data between the header and the directory.
bool EntryFits(const sArchiveEntry& entry, const sArchiveHeader& header)
{
    return entry.name[ARCHIVE_NAME_SIZE - 1] == '\0' && entry.offset >= ARCHIVE_HEADER_SIZE &&
           std::uint64_t{entry.offset} + entry.size <= header.directoryOffset;
}

// Names compare with ASCII letters folded, byte by byte: the same result in
// every locale and code page, and the same for the index and for a scan.
char FoldAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::string NameKey(const char* name)
{
    std::string key(name);
    std::transform(key.begin(), key.end(), key.begin(), FoldAscii);
    return key;
}

bool NamesMatch(const char* a, const char* b)
{
    for (; FoldAscii(*a) == FoldAscii(*b); ++a, ++b)
        if (*a == '\0')
            return true;
    return false;
}

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

bool IsDriveLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

bool HasDrive(const std::string& path)
{
    return path.size() >= 2 && IsDriveLetter(path[0]) && path[1] == ':';
}

// Whether an entry name stays inside the directory it is extracted to.
bool IsSafeEntryName(const char* name)
{
    const std::string text(name);
    return !text.empty() && text != "." && text != ".." &&
           std::none_of(text.begin(), text.end(), IsSeparator) && !HasDrive(text);
}

bool IsDotEntry(const char* name)
{
    return std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0;
}

// The components between separators; empty when there is an empty one.
std::vector<std::string> SplitComponents(const char* path)
{
    std::vector<std::string> parts(1);
    for (const char* p = path; *p != '\0'; ++p)
    {
        if (!IsSeparator(*p))
            parts.back() += *p;
        else if (parts.back().empty())
            return {};
        else
            parts.emplace_back();
    }
    return parts.back().empty() ? std::vector<std::string>() : parts;
}

std::string FileNameOf(const std::string& path)
{
    const std::size_t separator = path.find_last_of("\\/");
    return separator == std::string::npos ? path : path.substr(separator + 1);
}

// name with ".arc" appended unless its extension is already that, case aside.
std::string WithArchiveExtension(const char* name)
{
    char extension[FILE_MAX_EXT];
    FILE_SplitPath(name, nullptr, nullptr, nullptr, extension);
    return NamesMatch(extension, ARCHIVE_EXTENSION) ? std::string(name)
                                                    : std::string(name) + ARCHIVE_EXTENSION;
}

template <std::size_t N> void CopyText(char (&target)[N], const std::string& text)
{
    const std::size_t length = std::min(text.size(), N - 1);
    std::copy(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(length), target);
    std::fill(target + length, target + N, '\0');
}

bool WorkingDirectory(std::string& directory)
{
    char buffer[kWorkingDirectorySize];
    if (DIR_GetWorkingDirectory(buffer, sizeof buffer) != kFileSuccess)
        return false;
    directory = buffer;
    return true;
}

// The path a relative name has from the current directory; absolute names as given.
bool AbsolutePath(const std::string& name, std::string& path)
{
    if ((!name.empty() && IsSeparator(name[0])) || HasDrive(name))
    {
        path = name;
        return true;
    }
    if (!WorkingDirectory(path))
        return false;
    path += '/';
    path += name;
    return true;
}

// Goes back to the directory current at construction: through Restore, which
// reports failure, or quietly when the scope is left by an exception.
class CDirectoryReturn
{
public:
    CDirectoryReturn() : m_bValid(WorkingDirectory(m_path)), m_bPending(m_bValid) {}
    ~CDirectoryReturn()
    {
        if (m_bPending)
            DIR_Change(m_path.c_str());
    }
    CDirectoryReturn(const CDirectoryReturn&) = delete;
    CDirectoryReturn& operator=(const CDirectoryReturn&) = delete;

    bool IsValid() const { return m_bValid; }
    const std::string& Path() const { return m_path; }
    bool Restore()
    {
        m_bPending = false;
        return m_bValid && DIR_Change(m_path.c_str()) == kFileSuccess;
    }

private:
    std::string m_path;
    bool m_bValid;
    bool m_bPending;
};

// Owns a FILE_ stream and closes it on every way out.
class CStream
{
public:
    explicit CStream(int handle) : m_handle(handle) {}
    ~CStream() { Close(); }
    CStream(const CStream&) = delete;
    CStream& operator=(const CStream&) = delete;

    bool IsOpen() const { return m_handle != FILE_INVALID_HANDLE; }
    int Get() const { return m_handle; }
    int Release()
    {
        const int handle = m_handle;
        m_handle = FILE_INVALID_HANDLE;
        return handle;
    }
    // True when the stream was open and its buffered bytes reached the file.
    bool Close() { return IsOpen() && FILE_Close(Release()) == kFileSuccess; }

private:
    int m_handle;
};

bool ReadExactly(int stream, void* buffer, std::size_t count)
{
    return FILE_Read(stream, buffer, 1, count) == count;
}

bool WriteExactly(int stream, const void* buffer, std::size_t count)
{
    return FILE_Write(stream, buffer, 1, count) == count;
}

bool SeekStream(int stream, std::uint64_t position)
{
    return position <= static_cast<std::uint64_t>(LONG_MAX) &&
           FILE_Seek(stream, static_cast<long>(position), FILE_ORIGIN_START) == kFileSuccess;
}

// The stream's length; the stream is left at its end.
bool MeasureStream(int stream, std::uint64_t& size)
{
    if (FILE_Seek(stream, 0, FILE_ORIGIN_END) != kFileSuccess)
        return false;
    const long end = FILE_Tell(stream);
    size = static_cast<std::uint64_t>(end);
    return end >= 0;
}

bool WriteHeader(int stream, const sArchiveHeader& header)
{
    unsigned char bytes[ARCHIVE_HEADER_SIZE];
    EncodeHeader(header, bytes);
    return WriteExactly(stream, bytes, sizeof bytes);
}

bool WriteDirectory(int stream, const std::vector<sArchiveEntry>& entries)
{
    unsigned char bytes[ARCHIVE_ENTRY_SIZE];
    for (const sArchiveEntry& entry : entries)
    {
        EncodeEntry(entry, bytes);
        if (!WriteExactly(stream, bytes, sizeof bytes))
            return false;
    }
    return true;
}

// The running directory listing of FindFiles; one for the whole process.
struct sFindState
{
    ZRPlatform::FindHandle handle;
    ZRPlatform::DirectoryEntry entry;
};
sFindState g_find = {};

} // namespace

unsigned long CExtendedFileSystem::OpenFromArchive(sFileInfo& file, const char* path)
{
    const std::vector<std::string> parts = SplitComponents(path);
    if (parts.size() < 2)
        return INVALID_HANDLE;
    sArchiveInfo* archive = nullptr;
    for (std::size_t i = 0; i + 1 < parts.size(); ++i)
    {
        archive = RegisterArchive(archive, parts[i].c_str());
        if (archive == nullptr)
            return INVALID_HANDLE;
    }
    const sArchiveEntry* entry = FindArchiveEntry(archive, parts.back().c_str());
    if (entry == nullptr)
        return INVALID_HANDLE;
    CStream container(OpenContainer(*archive));
    const std::uint32_t start = archive->base + entry->offset;
    if (!SeekStream(container.Get(), start))
        ThrowError(XFS_ERROR_READ_FAILED, __LINE__);
    file = sFileInfo{container.Release(), start, entry->size, 0};
    return GetHandleForFile(&file);
}

sArchiveInfo* CExtendedFileSystem::RegisterArchive(sArchiveInfo* parent, const char* name)
{
    if (name == nullptr)
        return nullptr;
    return parent == nullptr ? RegisterTopLevelArchive(name) : RegisterNestedArchive(*parent, name);
}

sArchiveInfo* CExtendedFileSystem::RegisterTopLevelArchive(const char* name)
{
    std::string fileName(name);
    if (FileNameOf(fileName).find('.') == std::string::npos)
        fileName += ARCHIVE_EXTENSION;
    std::string path;
    if (!AbsolutePath(fileName, path))
        return nullptr;
    if (sArchiveInfo* known = FindArchive(nullptr, path.c_str()))
        return known;
    CStream file(FILE_Open(path.c_str(), kModeRead));
    if (!file.IsOpen() || m_archiveCount >= MAX_ARCHIVES)
        return nullptr;
    std::uint64_t size = 0;
    if (!MeasureStream(file.Get(), size) || !SeekStream(file.Get(), 0))
        ThrowError(XFS_ERROR_READ_FAILED, __LINE__);
    sArchiveInfo& archive = ReadArchive(file.Get(), 0, size);
    CopyText(archive.name, FileNameOf(fileName));
    archive.path = path;
    archive.container = static_cast<long>(&archive - m_archives);
    AdoptArchive(m_archiveList, archive);
    return &archive;
}

sArchiveInfo* CExtendedFileSystem::RegisterNestedArchive(sArchiveInfo& parent, const char* name)
{
    if (sArchiveInfo* known = FindArchive(&parent, name))
        return known;
    const sArchiveEntry* entry = FindArchiveEntry(&parent, name);
    if (entry == nullptr || (entry->flags & ARCHIVE_ENTRY_NESTED) == 0)
        return nullptr;
    CStream file(OpenContainer(parent));
    if (m_archiveCount >= MAX_ARCHIVES)
        return nullptr;
    const std::uint32_t base = parent.base + entry->offset;
    if (!SeekStream(file.Get(), base))
        ThrowError(XFS_ERROR_READ_FAILED, __LINE__);
    sArchiveInfo& archive = ReadArchive(file.Get(), base, entry->size);
    CopyText(archive.name, entry->name);
    archive.container = parent.container;
    AdoptArchive(parent, archive);
    return &archive;
}

// Fills the next pool record, which counts as taken only once adopted, so a
// damaged archive costs no record.
sArchiveInfo& CExtendedFileSystem::ReadArchive(int stream, std::uint32_t base,
                                               std::uint64_t available)
{
    sArchiveInfo& archive = m_archives[m_archiveCount];
    archive = sArchiveInfo();
    archive.base = base;
    archive.header = ReadArchiveHeader(stream, available);
    archive.entries = ReadArchiveDirectory(stream, base, archive.header);
    for (std::uint32_t i = 0; i < archive.entries.size(); ++i)
        archive.index.emplace(NameKey(archive.entries[i].name), i);   // keeps the first
    return archive;
}

sArchiveHeader CExtendedFileSystem::ReadArchiveHeader(int stream, std::uint64_t available) const
{
    unsigned char bytes[ARCHIVE_HEADER_SIZE];
    if (available < ARCHIVE_HEADER_SIZE || !ReadExactly(stream, bytes, sizeof bytes))
        ThrowError(XFS_ERROR_READ_FAILED, __LINE__);
    const sArchiveHeader header = DecodeHeader(bytes);
    if (!IsSupportedVersion(header))
        ThrowError(XFS_ERROR_ARCHIVE_VERSION, __LINE__);
    if (!HeaderFits(header, available))
        ThrowError(XFS_ERROR_READ_FAILED, __LINE__);
    return header;
}

std::vector<sArchiveEntry> CExtendedFileSystem::ReadArchiveDirectory(
    int stream, std::uint32_t base, const sArchiveHeader& header) const
{
    std::vector<sArchiveEntry> entries;
    if (header.entryCount == 0)
        return entries;
    if (!SeekStream(stream, std::uint64_t{base} + header.directoryOffset))
        ThrowError(XFS_ERROR_READ_FAILED, __LINE__);
    entries.reserve(header.entryCount);   // bounded by the archive's size
    unsigned char bytes[ARCHIVE_ENTRY_SIZE];
    for (std::uint32_t i = 0; i < header.entryCount; ++i)
    {
        if (!ReadExactly(stream, bytes, sizeof bytes))
            ThrowError(XFS_ERROR_READ_FAILED, __LINE__);
        entries.push_back(DecodeEntry(bytes));
        if (!EntryFits(entries.back(), header))
            ThrowError(XFS_ERROR_READ_FAILED, __LINE__);
    }
    return entries;
}

void CExtendedFileSystem::AdoptArchive(sArchiveInfo& parent, sArchiveInfo& archive)
{
    archive.nextSibling = parent.firstChild;
    parent.firstChild = static_cast<long>(&archive - m_archives);
    ++m_archiveCount;
}

sArchiveInfo* CExtendedFileSystem::FindArchive(sArchiveInfo* parent, const char* name)
{
    const sArchiveInfo& list = parent != nullptr ? *parent : m_archiveList;
    for (long i = list.firstChild; i != ARCHIVE_NONE; i = m_archives[i].nextSibling)
    {
        sArchiveInfo& archive = m_archives[i];
        if (NamesMatch(parent != nullptr ? archive.name : archive.path.c_str(), name))
            return &archive;
    }
    return nullptr;
}

const sArchiveEntry* CExtendedFileSystem::FindArchiveEntry(const sArchiveInfo* archive,
                                                           const char* name) const
{
    if (archive == nullptr || name == nullptr)
        return nullptr;
    const auto found = archive->index.find(NameKey(name));
    return found == archive->index.end() ? nullptr : &archive->entries[found->second];
}

int CExtendedFileSystem::OpenContainer(const sArchiveInfo& archive) const
{
    const int stream = FILE_Open(m_archives[archive.container].path.c_str(), kModeRead);
    if (stream == FILE_INVALID_HANDLE)
        ThrowError(XFS_ERROR_OPEN_FAILED, __LINE__);
    return stream;
}

char* CExtendedFileSystem::FindFiles(const char* pattern, bool* isDirectory, unsigned long* size)
{
    bool found = false;
    if (pattern != nullptr)
    {
        if (g_find.handle != 0)
            ZRPlatform::FindClose(g_find.handle);
        g_find.handle = ZRPlatform::FindFirst(pattern, &g_find.entry);
        found = g_find.handle != 0;
    }
    else
        found = g_find.handle != 0 && ZRPlatform::FindNext(g_find.handle, &g_find.entry);
    if (!found)
    {
        if (g_find.handle != 0)
            ZRPlatform::FindClose(g_find.handle);
        g_find.handle = 0;
        return nullptr;
    }
    if (isDirectory != nullptr)
        *isDirectory = (g_find.entry.attributes & ZRPlatform::kAttrDirectory) != 0;
    if (size != nullptr)
        *size = static_cast<unsigned long>(g_find.entry.size);
    return g_find.entry.name;
}

bool CExtendedFileSystem::CreateArchive(const char* archive, const char* directory)
{
    if (archive == nullptr)
        ThrowError(XFS_ERROR_OPEN_FAILED, __LINE__);
    CStream file(FILE_Open(WithArchiveExtension(archive).c_str(), kModeCreate));
    if (!file.IsOpen())
        ThrowError(XFS_ERROR_OPEN_FAILED, __LINE__);
    std::string tree(directory != nullptr ? directory : "");
    while (!tree.empty() && IsSeparator(tree.back()))
        tree.pop_back();
    char drive[FILE_MAX_DRIVE], folder[FILE_MAX_DIR], name[FILE_MAX_FNAME];
    FILE_SplitPath(tree.c_str(), drive, folder, name, nullptr);
    const std::string parent = std::string(drive) + folder;
    CDirectoryReturn back;
    if (!back.IsValid() || (!parent.empty() && DIR_Change(parent.c_str()) != kFileSuccess))
        ThrowError(XFS_ERROR_CHANGE_DIRECTORY, __LINE__);
    std::vector<std::string> ancestors;
    RecursiveArchiveCreate(name, file.Get(), ancestors);
    if (!back.Restore())
        ThrowError(XFS_ERROR_CHANGE_DIRECTORY, __LINE__);
    if (!file.Close())
        ThrowError(XFS_ERROR_WRITE_FAILED, __LINE__);
    return true;
}

// Every name of the current directory but "." and "..", in listing order,
// each reported to the callbacks.
std::vector<CExtendedFileSystem::sListedName> CExtendedFileSystem::CountEntries(
    const std::string& directory)
{
    std::vector<sListedName> listing;
    bool isDirectory = false;
    unsigned long size = 0;
    for (const char* name = FindFiles(kListAll, &isDirectory, &size); name != nullptr;
         name = FindFiles(nullptr, &isDirectory, &size))
    {
        if (IsDotEntry(name))
            continue;
        if (std::strlen(name) >= ARCHIVE_NAME_SIZE)
            ThrowError(XFS_ERROR_ARCHIVE_DIRECTORY, __LINE__);
        listing.push_back(sListedName{name, isDirectory, size});
        NotifyArchiveFile(XFS_EVENT_COUNT_ENTRY, directory, name);
    }
    return listing;
}

// Writes the archive of directory name at the stream's position: a header,
// the files' data, each subdirectory as a nested archive, the directory, then
// the header again with its final values. ancestors holds the directories
// being packed, so that a link back into one of them cannot recurse forever.
void CExtendedFileSystem::RecursiveArchiveCreate(const char* name, int file,
                                                 std::vector<std::string>& ancestors)
{
    CDirectoryReturn back;
    const std::uint32_t base = OffsetFrom(file, 0, XFS_ERROR_ARCHIVE_HEADER);
    std::string here;
    if (!back.IsValid() || DIR_Change(name) != kFileSuccess || !WorkingDirectory(here) ||
        std::find(ancestors.begin(), ancestors.end(), here) != ancestors.end())
        ThrowError(XFS_ERROR_CHANGE_DIRECTORY, __LINE__);
    ancestors.push_back(here);
    sArchiveHeader header = {ARCHIVE_MAGIC, ARCHIVE_VERSION_MAJOR, ARCHIVE_VERSION_MINOR, 0, 0, 0};
    if (!WriteHeader(file, header))
        ThrowError(XFS_ERROR_ARCHIVE_HEADER, __LINE__);

    const std::vector<sListedName> listing = CountEntries(here);
    std::vector<sArchiveEntry> entries(listing.size(), sArchiveEntry());
    auto entry = entries.begin();
    for (const sListedName& listed : listing)
        if (!listed.isDirectory)
            ArchiveFile(file, base, here, listed, *entry++);
    for (const sListedName& listed : listing)
        if (listed.isDirectory)
            ArchiveSubdirectory(file, base, listed, *entry++, ancestors);
    FinishArchive(file, base, header, entries);
    ancestors.pop_back();
    if (!back.Restore())
        ThrowError(XFS_ERROR_CHANGE_DIRECTORY, __LINE__);
}

void CExtendedFileSystem::ArchiveSubdirectory(int file, std::uint64_t base,
                                              const sListedName& listed, sArchiveEntry& entry,
                                              std::vector<std::string>& ancestors)
{
    CopyText(entry.name, listed.name);
    entry.offset = OffsetFrom(file, base, XFS_ERROR_WRITE_FAILED);
    RecursiveArchiveCreate(listed.name.c_str(), file, ancestors);
    entry.size = OffsetFrom(file, base, XFS_ERROR_WRITE_FAILED) - entry.offset;
    entry.flags = ARCHIVE_ENTRY_NESTED;
}

// Writes the directory after the data, then the header at base again with the
// final values, and leaves the stream at the archive's end.
void CExtendedFileSystem::FinishArchive(int file, std::uint64_t base, sArchiveHeader& header,
                                        const std::vector<sArchiveEntry>& entries) const
{
    header.directoryOffset = OffsetFrom(file, base, XFS_ERROR_ARCHIVE_DIRECTORY);
    header.entryCount = static_cast<std::uint32_t>(entries.size());
    if (!WriteDirectory(file, entries))
        ThrowError(XFS_ERROR_ARCHIVE_DIRECTORY, __LINE__);
    header.totalSize = OffsetFrom(file, base, XFS_ERROR_ARCHIVE_DIRECTORY);
    if (!SeekStream(file, base) || !WriteHeader(file, header) ||
        !SeekStream(file, base + header.totalSize))
        ThrowError(XFS_ERROR_ARCHIVE_DIRECTORY, __LINE__);
}

// Stores one file of the current directory at the stream's position and fills its entry.
void CExtendedFileSystem::ArchiveFile(int file, std::uint64_t base, const std::string& directory,
                                      const sListedName& listed, sArchiveEntry& entry)
{
    CStream source(FILE_Open(listed.name.c_str(), kModeRead));
    if (!source.IsOpen())
        ThrowError(XFS_ERROR_OPEN_FAILED, __LINE__);
    CopyText(entry.name, listed.name);
    entry.offset = OffsetFrom(file, base, XFS_ERROR_WRITE_FAILED);
    if (listed.size > kMaxOffset - entry.offset)
        ThrowError(XFS_ERROR_WRITE_FAILED, __LINE__);   // beyond the format's 32 bits
    NotifyArchiveFile(XFS_EVENT_ARCHIVE_FILE, directory, listed.name);
    CopyBytes(source.Get(), file, listed.size);
    entry.size = static_cast<std::uint32_t>(listed.size);
}

bool CExtendedFileSystem::ExtractArchive(const char* archive, const char* directory)
{
    if (archive == nullptr)
        return false;
    const std::string archiveName = WithArchiveExtension(archive);
    sArchiveInfo* record = nullptr;
    {
        CZRLockGuard guard(m_lock);
        record = RegisterArchive(nullptr, archiveName.c_str());
    }
    if (record == nullptr)
        return false;
    char drive[FILE_MAX_DRIVE], folder[FILE_MAX_DIR], name[FILE_MAX_FNAME];
    FILE_SplitPath(directory != nullptr ? directory : "", drive, folder, name, nullptr);
    const std::string target = std::string(drive) + folder + name;
    char archiveBase[FILE_MAX_FNAME];
    FILE_SplitPath(archiveName.c_str(), nullptr, nullptr, archiveBase, nullptr);
    CDirectoryReturn back;
    if (!back.IsValid() || (!target.empty() && DIR_Change(target.c_str()) != kFileSuccess))
        ThrowError(XFS_ERROR_CHANGE_DIRECTORY, __LINE__);
    RecursiveArchiveExtract(archiveBase, record);
    if (!back.Restore())
        ThrowError(XFS_ERROR_CHANGE_DIRECTORY, __LINE__);
    return true;
}

// Unpacks archive into the directory name of the current directory: its files
// in directory order, then its nested archives, each into a directory of its
// entry's name.
void CExtendedFileSystem::RecursiveArchiveExtract(const char* name, sArchiveInfo* archive)
{
    if (name == nullptr || archive == nullptr)
        return;
    if (!IsSafeEntryName(name))
        ThrowError(XFS_ERROR_CREATE_FAILED, __LINE__);
    CDirectoryReturn back;
    if (!back.IsValid())
        ThrowError(XFS_ERROR_CHANGE_DIRECTORY, __LINE__);
    const std::string created = back.Path() + kBackslash + name;
    Notify(XFS_EVENT_EXTRACT_DIRECTORY, reinterpret_cast<unsigned long>(created.c_str()), 0);
    DIR_Create(name);   // an existing directory is as good
    std::string here;
    if (DIR_Change(name) != kFileSuccess || !WorkingDirectory(here))
        ThrowError(XFS_ERROR_CHANGE_DIRECTORY, __LINE__);

    for (const sArchiveEntry& entry : archive->entries)
        if ((entry.flags & ARCHIVE_ENTRY_NESTED) == 0)
            ExtractFile(*archive, entry, here, name);
    for (const sArchiveEntry& entry : archive->entries)
        if ((entry.flags & ARCHIVE_ENTRY_NESTED) != 0)
        {
            if (!IsSafeEntryName(entry.name))
                ThrowError(XFS_ERROR_CREATE_FAILED, __LINE__);
            sArchiveInfo* nested = nullptr;
            {
                CZRLockGuard guard(m_lock);
                nested = RegisterArchive(archive, entry.name);
            }
            RecursiveArchiveExtract(entry.name, nested);
        }
    if (!back.Restore())
        ThrowError(XFS_ERROR_CHANGE_DIRECTORY, __LINE__);
}

// Writes one entry's data as a file of the current directory.
void CExtendedFileSystem::ExtractFile(const sArchiveInfo& archive, const sArchiveEntry& entry,
                                      const std::string& directory, const char* archiveDirectory)
{
    if (!IsSafeEntryName(entry.name))
        ThrowError(XFS_ERROR_CREATE_FAILED, __LINE__);
    sExtractFileNotify record;
    CopyText(record.directory, directory);
    CopyText(record.archiveDirectory, archiveDirectory);
    CopyText(record.name, entry.name);
    Notify(XFS_EVENT_EXTRACT_FILE, reinterpret_cast<unsigned long>(&record), 0);
    CStream container(OpenContainer(archive));
    CStream target(FILE_Open(entry.name, kModeCreate));
    if (!target.IsOpen())
        ThrowError(XFS_ERROR_CREATE_FAILED, __LINE__);
    if (!SeekStream(container.Get(), std::uint64_t{archive.base} + entry.offset))
        ThrowError(XFS_ERROR_READ_FAILED, __LINE__);
    CopyBytes(container.Get(), target.Get(), entry.size);
    if (!target.Close())
        ThrowError(XFS_ERROR_WRITE_FAILED, __LINE__);
}

void CExtendedFileSystem::CopyBytes(int from, int to, std::uint64_t count) const
{
    std::vector<unsigned char> buffer(kCopyChunk);
    while (count > 0)
    {
        const auto chunk = static_cast<std::size_t>(std::min<std::uint64_t>(count, kCopyChunk));
        if (!ReadExactly(from, buffer.data(), chunk))
            ThrowError(XFS_ERROR_READ_FAILED, __LINE__);
        if (!WriteExactly(to, buffer.data(), chunk))
            ThrowError(XFS_ERROR_WRITE_FAILED, __LINE__);
        count -= chunk;
    }
}

std::uint32_t CExtendedFileSystem::OffsetFrom(int stream, std::uint64_t base,
                                              unsigned long code) const
{
    const long position = FILE_Tell(stream);
    if (position < 0 || static_cast<std::uint64_t>(position) < base ||
        static_cast<std::uint64_t>(position) - base > kMaxOffset)
        ThrowError(code, __LINE__);
    return static_cast<std::uint32_t>(static_cast<std::uint64_t>(position) - base);
}

void CExtendedFileSystem::NotifyArchiveFile(int event, const std::string& directory,
                                            const std::string& name) const
{
    sArchiveFileNotify record;
    CopyText(record.directory, directory);
    CopyText(record.name, name);
    Notify(event, reinterpret_cast<unsigned long>(&record), 0);
}
