// The archive half of CExtendedFileSystem: opening files inside archives,
// registering archives, packing and unpacking directory trees.
//
// Archives come from disk and are not trusted. Every header and every entry
// passes the format's rules (ZRArchiveFormat.h) before anything more is read
// or allocated: a header must fit the bytes available to it (the file's length
// from the base for a top-level archive, exactly its entry's length for a
// nested one), its directory must lie between the header and its end, and each
// entry needs a safe, terminated name and data inside the data area, after the
// data of the entry before it. A nested archive therefore lies strictly inside
// its parent's data and is strictly smaller, so descending always ends.
// Structurally impossible archives are reported like short reads, with 4006;
// a wrong magic or version with 4014.
#include "Common/File/ExtendedFileSystem.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "Common/File/ExtendedFileSystemState.h"
#include "Common/File/FileFunctions.h"
#include "Common/File/FileSlotTable.h"
#include "Common/File/FileStream.h"
#include "Common/File/ZRArchiveFormat.h"
#include "Common/File/ZRArchiveRecords.h"
#include "Common/Platform/Platform.h"
#include "Common/Time/ZRLockGuard.h"

struct CExtendedFileSystem::sListedName
{
    std::string name;
    bool isDirectory;
    std::uint64_t size;
};

// One directory listing in progress, closed with its owner.
struct CExtendedFileSystem::sListing
{
    sListing() = default;
    sListing(const sListing&) = delete;
    sListing& operator=(const sListing&) = delete;
    ~sListing() { Close(); }

    void Close()
    {
        if (handle != 0)
            ZRPlatform::FindClose(handle);
        handle = 0;
    }

    ZRPlatform::FindHandle handle = 0;
    ZRPlatform::DirectoryEntry entry = {};
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

using ZRArchiveFormat::eFault;
using ZRArchiveFormat::FindSeparator;
using ZRArchiveRecords::DecodeEntry;
using ZRArchiveRecords::DecodeHeader;
using ZRArchiveRecords::EncodeEntry;
using ZRArchiveRecords::EncodeHeader;

bool IsDotEntry(const char* name)
{
    return std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0;
}

// Copies the directory part of path (up to its last separator, or "." when
// there is none) into directory, which has room for path; returns the file name.
template <std::size_t N> const char* SplitDirectory(const char* path, char (&directory)[N])
{
    const char* name = path;
    for (const char* s = FindSeparator(name); s != nullptr; s = FindSeparator(name))
        name = s + 1;
    if (name == path)
        std::strcpy(directory, ".");
    else
    {
        std::memcpy(directory, path, static_cast<std::size_t>(name - path));
        directory[name - path] = '\0';
    }
    return name;
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
    ClearFileCause();
    if (DIR_GetWorkingDirectory(buffer, sizeof buffer) != kFileSuccess)
        return false;
    directory = buffer;
    return true;
}

bool ChangeDirectory(const char* path)
{
    ClearFileCause();
    return DIR_Change(path) == kFileSuccess;
}

// Creates the directory name unless it exists, and enters it. When neither
// works, the creation's cause is the telling one: why the directory is missing.
bool CreateAndEnter(const char* name)
{
    ClearFileCause();
    const bool created = DIR_Create(name) == kFileSuccess;
    const eFileError createCause = FILE_GetLastError();
    if (ChangeDirectory(name))
        return true;
    if (!created && createCause != FILE_ERROR_NONE && createCause != FILE_ERROR_ALREADY_EXISTS)
        FILE_SetLastError(createCause);
    return false;
}

// Goes back to the directory current at construction: through Restore, which
// reports failure, or quietly, keeping the cause of the failure that left the
// scope, when the scope is left by an exception (a failed Restore included).
class CDirectoryReturn
{
public:
    CDirectoryReturn() : m_bValid(WorkingDirectory(m_path)), m_bPending(m_bValid) {}
    ~CDirectoryReturn()
    {
        if (!m_bPending)
            return;
        CKeepFileCause keep;
        DIR_Change(m_path.c_str());
    }
    CDirectoryReturn(const CDirectoryReturn&) = delete;
    CDirectoryReturn& operator=(const CDirectoryReturn&) = delete;

    bool IsValid() const { return m_bValid; }
    const std::string& Path() const { return m_path; }
    // When the change fails, the destructor tries once more on the way out of
    // the exception that the caller then throws.
    bool Restore()
    {
        m_bPending = m_bValid && !ChangeDirectory(m_path.c_str());
        return m_bValid && !m_bPending;
    }

private:
    std::string m_path;
    bool m_bValid;
    bool m_bPending;
};

// Owns a FILE_ stream and closes it on every way out; a close on the way out
// of a failure keeps that failure's cause.
class CStream
{
public:
    explicit CStream(int handle) : m_handle(handle) {}
    ~CStream()
    {
        if (!IsOpen())
            return;
        CKeepFileCause keep;
        FILE_Close(Release());
    }
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
    bool Close()
    {
        ClearFileCause();
        return IsOpen() && FILE_Close(Release()) == kFileSuccess;
    }

private:
    int m_handle;
};

int OpenStream(const char* path, const char* mode)
{
    ClearFileCause();
    return FILE_Open(path, mode);
}

bool ReadExactly(int stream, void* buffer, std::size_t count)
{
    ClearFileCause();
    return FILE_Read(stream, buffer, 1, count) == count;
}

bool WriteExactly(int stream, const void* buffer, std::size_t count)
{
    ClearFileCause();
    return FILE_Write(stream, buffer, 1, count) == count;
}

bool SeekStream(int stream, std::uint64_t position)
{
    ClearFileCause();
    return FileSeekTo(stream, position);
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

bool IsNested(const sArchiveEntry& entry) { return (entry.flags & ARCHIVE_ENTRY_NESTED) != 0; }

// The directory identity under which images in memory are registered: no
// directory on disk has it.
constexpr ZRPlatform::DirectoryId kImageHome = {~std::uint64_t{0}, ~std::uint64_t{0}};

bool IsExistingDirectory(const std::string& path)
{
    const std::uint32_t attributes = ZRPlatform::FileGetAttributes(path.c_str());
    return attributes != ZRPlatform::kAttrInvalid && (attributes & ZRPlatform::kAttrDirectory) != 0;
}

// For dir\...\Archive\inner: the separator after the archive's component, where
// the longest prefix before that component is an existing directory; null when
// no prefix is one, or nothing follows the archive's name. The root of an
// absolute path is not searched.
const char* ArchiveAfterDirectory(const char* path)
{
    std::vector<const char*> separators;
    for (const char* separator = FindSeparator(path); separator != nullptr; separator = FindSeparator(separator + 1))
        separators.push_back(separator);
    for (std::size_t i = separators.size(); i-- > 1;)
    {
        const char* directoryEnd = separators[i - 1];
        if (directoryEnd == path || directoryEnd + 1 == separators[i])
            continue;   // the root, or an empty archive name
        if (IsExistingDirectory(std::string(path, directoryEnd)))
            return separators[i];
    }
    return nullptr;
}

} // namespace

// Walks the components in place, so that an open through registered archives
// allocates nothing.
unsigned long CExtendedFileSystem::OpenFromArchive(sFileInfo& file, const char* path, const char* topEnd)
{
    char component[ARCHIVE_INFO_NAME_SIZE];
    sArchiveInfo* archive = nullptr;
    const char* rest = path;
    for (const char* separator = topEnd != nullptr ? topEnd : FindSeparator(rest); separator != nullptr;
         separator = FindSeparator(rest))
    {
        const auto length = static_cast<std::size_t>(separator - rest);
        if (length == 0 || length >= sizeof component)
            return INVALID_HANDLE;
        std::memcpy(component, rest, length);
        component[length] = '\0';
        archive = RegisterArchive(archive, component);
        if (archive == nullptr)
            return INVALID_HANDLE;
        rest = separator + 1;
    }
    if (archive == nullptr || *rest == '\0')
        return INVALID_HANDLE;
    const sArchiveEntry* entry = archive->directory.Find(rest);
    if (entry == nullptr)
        return INVALID_HANDLE;
    CStream container(OpenContainer(*m_state->archives.Container(*archive)));
    const std::uint32_t start = archive->directory.base + entry->offset;
    if (!SeekStream(container.Get(), start))
        ThrowError(XFS_ERROR_READ_FAILED, __LINE__);
    file = sFileInfo{container.Release(), start, entry->size, 0};
    return GetHandleForFile(&file);
}

unsigned long CExtendedFileSystem::ArchiveFileOpenUnderDirectory(const char* path)
{
    const char* topEnd = ArchiveAfterDirectory(path);
    if (topEnd == nullptr)
        return INVALID_HANDLE;
    CZRLockGuard guard(m_lock);
    sFileInfo* file = AllocFileInfo();
    if (file == nullptr)
    {
        FILE_SetLastError(FILE_ERROR_TOO_MANY_OPEN);
        return INVALID_HANDLE;
    }
    return OpenFromArchive(*file, path, topEnd);
}

bool CExtendedFileSystem::RegisterArchiveImage(const char* name, const void* image, unsigned long size)
{
    static const unsigned char s_noBytes = 0;   // an empty image is checked like an empty file
    char fileName[ARCHIVE_INFO_NAME_SIZE];
    if (name == nullptr || *name == '\0' || (image == nullptr && size != 0) || FindSeparator(name) != nullptr ||
        !ZRArchiveFormat::RegisteredArchiveFileName(name, fileName))
        return false;
    if (size == 0)
        image = &s_noBytes;
    CZRLockGuard guard(m_lock);
    CZRArchiveRegistry& archives = m_state->archives;
    if (archives.FindTopLevel(kImageHome, fileName) != nullptr || archives.IsFull())
        return false;
    auto container = std::make_shared<const CArchiveContainer>(image, size);
    sArchiveDirectory directory;
    {
        CStream file(OpenContainer(*container));
        directory = ReadArchive(file.Get(), 0, size, false);
    }
    archives.AddTopLevel(fileName, std::move(container), kImageHome, std::move(directory));
    return true;
}

bool CExtendedFileSystem::UnregisterArchiveImage(const char* name)
{
    char fileName[ARCHIVE_INFO_NAME_SIZE];
    if (name == nullptr || !ZRArchiveFormat::RegisteredArchiveFileName(name, fileName))
        return false;
    CZRLockGuard guard(m_lock);
    sArchiveInfo* archive = m_state->archives.FindTopLevel(kImageHome, fileName);
    if (archive == nullptr)
        return false;
    const auto* first = static_cast<const unsigned char*>(archive->file->Image());
    for (const sFileInfo& file : m_files)
    {
        const CFileStream* stream = file.stream == XFS_FREE_STREAM ? nullptr : FileStreamOf(file.stream);
        if (stream != nullptr && stream->Memory() == first)
            return false;   // a file out of the image is still open
    }
    m_state->archives.RemoveTopLevel(*archive);
    return true;
}

sArchiveInfo* CExtendedFileSystem::RegisterArchive(sArchiveInfo* parent, const char* name)
{
    if (name == nullptr)
        return nullptr;
    return parent == nullptr ? RegisterTopLevelArchive(name) : RegisterNestedArchive(*parent, name);
}

// A registered archive is found by its file name and the identity of the
// directory holding it, which a lookup has usually examined already: finding
// it again costs no call to the OS.
sArchiveInfo* CExtendedFileSystem::RegisterTopLevelArchive(const char* name)
{
    char fileName[ARCHIVE_INFO_NAME_SIZE];
    if (!ZRArchiveFormat::RegisteredArchiveFileName(name, fileName))
        return nullptr;
    char directory[ARCHIVE_INFO_NAME_SIZE];
    const char* bareName = SplitDirectory(fileName, directory);
    CZRArchiveRegistry& archives = m_state->archives;
    if (bareName == fileName)   // a bare name: an image registered under it comes first
        if (sArchiveInfo* image = archives.FindTopLevel(kImageHome, bareName))
            return image;
    ZRPlatform::DirectoryId home{};
    bool homeKnown = false;
    if (archives.HasTopLevelNamed(bareName))
    {
        homeKnown = ZRPlatform::DirectoryIdentify(directory, &home);
        if (sArchiveInfo* known = homeKnown ? archives.FindTopLevel(home, bareName) : nullptr)
            return known;
    }
    std::uint64_t size = 0;
    ClearFileCause();
    const ZRPlatform::FileHandle opened = ZRPlatform::FileOpen(fileName, ZRPlatform::kFileRead, &size);
    if (opened == ZRPlatform::kInvalidFile)
        return nullptr;
    auto container = std::make_shared<const CArchiveContainer>(opened, size);
    if (archives.IsFull())
    {
        FILE_SetLastError(FILE_ERROR_TOO_MANY_OPEN);
        return nullptr;
    }
    if (!homeKnown && !ZRPlatform::DirectoryIdentify(directory, &home))
        return nullptr;
    sArchiveDirectory archive;
    {
        CStream file(OpenContainer(*container));
        archive = ReadArchive(file.Get(), 0, size, false);
    }
    return &archives.AddTopLevel(bareName, std::move(container), home, std::move(archive));
}

sArchiveInfo* CExtendedFileSystem::RegisterNestedArchive(sArchiveInfo& parent, const char* name)
{
    CZRArchiveRegistry& archives = m_state->archives;
    if (sArchiveInfo* known = archives.Find(parent, name))
        return known;
    const sArchiveEntry* entry = parent.directory.Find(name);
    if (entry == nullptr || !IsNested(*entry))
        return nullptr;
    CStream file(OpenContainer(*archives.Container(parent)));
    if (archives.IsFull())
    {
        FILE_SetLastError(FILE_ERROR_TOO_MANY_OPEN);
        return nullptr;
    }
    sArchiveDirectory directory = ReadNestedArchive(file.Get(), parent.directory, *entry);
    return &archives.AddNested(parent, entry->name, std::move(directory));
}

sArchiveDirectory CExtendedFileSystem::ReadNestedArchive(int stream, const sArchiveDirectory& parent,
                                                         const sArchiveEntry& entry) const
{
    const std::uint32_t base = parent.base + entry.offset;
    if (!SeekStream(stream, base))
        ThrowError(XFS_ERROR_READ_FAILED, __LINE__);
    return ReadArchive(stream, base, entry.size, true);
}

sArchiveDirectory CExtendedFileSystem::ReadArchive(int stream, std::uint32_t base,
                                                   std::uint64_t available, bool nested) const
{
    sArchiveDirectory archive;
    archive.base = base;
    archive.header = ReadArchiveHeader(stream, available, nested);
    archive.entries = ReadArchiveDirectory(stream, base, archive.header);
    archive.index = ZRArchiveFormat::CNameIndex(archive.entries);
    return archive;
}

sArchiveHeader CExtendedFileSystem::ReadArchiveHeader(int stream, std::uint64_t available,
                                                      bool nested) const
{
    if (ZRArchiveFormat::CheckRoom(available) != eFault::None)
        ThrowDataError(XFS_ERROR_READ_FAILED, __LINE__);
    unsigned char bytes[ARCHIVE_HEADER_SIZE];
    if (!ReadExactly(stream, bytes, sizeof bytes))
        ThrowError(XFS_ERROR_READ_FAILED, __LINE__);
    const sArchiveHeader header = DecodeHeader(bytes);
    const eFault fault = ZRArchiveFormat::CheckHeader(header, available, nested);
    if (ZRArchiveFormat::IsVersionFault(fault))
        ThrowDataError(XFS_ERROR_ARCHIVE_VERSION, __LINE__);
    if (fault != eFault::None)
        ThrowDataError(XFS_ERROR_READ_FAILED, __LINE__);
    return header;
}

// Each entry is checked before the next is read, so nothing is trusted unchecked.
std::vector<sArchiveEntry> CExtendedFileSystem::ReadArchiveDirectory(
    int stream, std::uint32_t base, const sArchiveHeader& header) const
{
    std::vector<sArchiveEntry> entries;
    if (header.entryCount == 0)
        return entries;
    if (!SeekStream(stream, std::uint64_t{base} + header.directoryOffset))
        ThrowError(XFS_ERROR_READ_FAILED, __LINE__);
    entries.reserve(header.entryCount);   // bounded by the archive's size
    std::uint64_t dataEnd = ARCHIVE_HEADER_SIZE;
    unsigned char bytes[ARCHIVE_ENTRY_SIZE];
    for (std::uint32_t i = 0; i < header.entryCount; ++i)
    {
        if (!ReadExactly(stream, bytes, sizeof bytes))
            ThrowError(XFS_ERROR_READ_FAILED, __LINE__);
        const sArchiveEntry& entry = entries.emplace_back(DecodeEntry(bytes));
        if (ZRArchiveFormat::CheckEntryName(entry) != eFault::None ||
            ZRArchiveFormat::CheckEntryData(entry, header, dataEnd) != eFault::None)
            ThrowDataError(XFS_ERROR_READ_FAILED, __LINE__);
        dataEnd = ZRArchiveFormat::DataEnd(entry);
    }
    return entries;
}

int CExtendedFileSystem::OpenContainer(const CArchiveContainer& container) const
{
    ClearFileCause();
    const int stream = container.Image() != nullptr ? FileOpenMemory(container.Image(), container.Size())
                                                    : FileOpenBorrowed(container.File(), container.Size());
    if (stream == FILE_INVALID_HANDLE)
        ThrowError(XFS_ERROR_OPEN_FAILED, __LINE__);
    return stream;
}

// A listing that cannot be started for another reason than an empty result
// throws 4010: packing on would silently leave the directory's files out.
char* CExtendedFileSystem::FindFiles(sListing& listing, const char* pattern, bool* isDirectory,
                                     unsigned long* size)
{
    bool found = false;
    if (pattern != nullptr)
    {
        listing.Close();
        ClearFileCause();
        listing.handle = ZRPlatform::FindFirst(pattern, &listing.entry);
        found = listing.handle != 0;
        if (!found && FILE_GetLastError() != FILE_ERROR_NOT_FOUND)
            ThrowError(XFS_ERROR_OPEN_FAILED, __LINE__);
    }
    else
        found = listing.handle != 0 && ZRPlatform::FindNext(listing.handle, &listing.entry);
    if (!found)
    {
        listing.Close();
        return nullptr;
    }
    if (isDirectory != nullptr)
        *isDirectory = (listing.entry.attributes & ZRPlatform::kAttrDirectory) != 0;
    if (size != nullptr)
        *size = static_cast<unsigned long>(listing.entry.size);
    return listing.entry.name;
}

bool CExtendedFileSystem::CreateArchive(const char* archive, const char* directory)
{
    CCauseOnSuccess cause;
    if (archive == nullptr)
        ThrowError(XFS_ERROR_OPEN_FAILED, __LINE__, FILE_ERROR_INVALID_ARGUMENT);
    const std::string archiveName = ZRArchiveFormat::ArchiveFileName(archive);
    CStream file(OpenStream(archiveName.c_str(), kModeCreate));
    if (!file.IsOpen())
        ThrowError(XFS_ERROR_OPEN_FAILED, __LINE__);
    std::string tree(directory != nullptr ? directory : "");
    while (!tree.empty() && ZRArchiveFormat::IsSeparator(tree.back()))
        tree.pop_back();
    char drive[FILE_MAX_DRIVE], folder[FILE_MAX_DIR], name[FILE_MAX_FNAME];
    FILE_SplitPath(tree.c_str(), drive, folder, name, nullptr);
    const std::string parent = std::string(drive) + folder;
    CDirectoryReturn back;
    if (!back.IsValid() || (!parent.empty() && !ChangeDirectory(parent.c_str())))
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
    std::vector<sListedName> names;
    sListing listing;
    bool isDirectory = false;
    unsigned long size = 0;
    for (const char* name = FindFiles(listing, kListAll, &isDirectory, &size); name != nullptr;
         name = FindFiles(listing, nullptr, &isDirectory, &size))
    {
        if (IsDotEntry(name))
            continue;
        if (std::strlen(name) >= ARCHIVE_NAME_SIZE)
            ThrowDataError(XFS_ERROR_ARCHIVE_DIRECTORY, __LINE__);
        names.push_back(sListedName{name, isDirectory, size});
        NotifyArchiveFile(XFS_EVENT_COUNT_ENTRY, directory, name);
    }
    return names;
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
    if (!back.IsValid() || !ChangeDirectory(name) || !WorkingDirectory(here))
        ThrowError(XFS_ERROR_CHANGE_DIRECTORY, __LINE__);
    if (std::find(ancestors.begin(), ancestors.end(), here) != ancestors.end())
        ThrowDataError(XFS_ERROR_CHANGE_DIRECTORY, __LINE__);
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
    CStream source(OpenStream(listed.name.c_str(), kModeRead));
    if (!source.IsOpen())
        ThrowError(XFS_ERROR_OPEN_FAILED, __LINE__);
    CopyText(entry.name, listed.name);
    entry.offset = OffsetFrom(file, base, XFS_ERROR_WRITE_FAILED);
    if (listed.size > kMaxOffset - entry.offset)
        ThrowDataError(XFS_ERROR_WRITE_FAILED, __LINE__);   // beyond the format's 32 bits
    NotifyArchiveFile(XFS_EVENT_ARCHIVE_FILE, directory, listed.name);
    CopyBytes(source.Get(), file, listed.size);
    entry.size = static_cast<std::uint32_t>(listed.size);
}

bool CExtendedFileSystem::ExtractArchive(const char* archive, const char* directory)
{
    CCauseOnSuccess cause;
    if (archive == nullptr)
    {
        FILE_SetLastError(FILE_ERROR_INVALID_ARGUMENT);
        return cause.Failed(false);
    }
    const std::string archiveName = ZRArchiveFormat::ArchiveFileName(archive);
    // The walk works on a copy: it runs outside the lock.
    sArchiveDirectory top;
    std::shared_ptr<const CArchiveContainer> container;
    {
        CZRLockGuard guard(m_lock);
        const sArchiveInfo* record = RegisterArchive(nullptr, archiveName.c_str());
        if (record == nullptr)
            return cause.Failed(false);
        top = record->directory;
        container = m_state->archives.Container(*record);
    }
    char drive[FILE_MAX_DRIVE], folder[FILE_MAX_DIR], name[FILE_MAX_FNAME];
    FILE_SplitPath(directory != nullptr ? directory : "", drive, folder, name, nullptr);
    const std::string target = std::string(drive) + folder + name;
    char archiveBase[FILE_MAX_FNAME];
    FILE_SplitPath(archiveName.c_str(), nullptr, nullptr, archiveBase, nullptr);
    CDirectoryReturn back;
    if (!back.IsValid() || (!target.empty() && !ChangeDirectory(target.c_str())))
        ThrowError(XFS_ERROR_CHANGE_DIRECTORY, __LINE__);
    RecursiveArchiveExtract(archiveBase, top, *container);
    if (!back.Restore())
        ThrowError(XFS_ERROR_CHANGE_DIRECTORY, __LINE__);
    return true;
}

// Unpacks archive into the directory name of the current directory: its files
// in directory order, then its nested archives, each into a directory of its
// entry's name. Nested archives are read from the container for this walk
// alone; the registration pool is left alone.
void CExtendedFileSystem::RecursiveArchiveExtract(const char* name, const sArchiveDirectory& archive,
                                                  const CArchiveContainer& container)
{
    CDirectoryReturn back;
    if (!back.IsValid())
        ThrowError(XFS_ERROR_CHANGE_DIRECTORY, __LINE__);
    const std::string created = back.Path() + kBackslash + name;
    Notify(XFS_EVENT_EXTRACT_DIRECTORY, reinterpret_cast<XfsParam>(created.c_str()), 0);
    std::string here;
    if (!CreateAndEnter(name) || !WorkingDirectory(here))
        ThrowError(XFS_ERROR_CHANGE_DIRECTORY, __LINE__);

    for (const sArchiveEntry& entry : archive.entries)
        if (!IsNested(entry))
            ExtractFile(container, archive, entry, here, name);
    for (const sArchiveEntry& entry : archive.entries)
        if (IsNested(entry))
        {
            sArchiveDirectory nested;
            {
                CStream file(OpenContainer(container));
                nested = ReadNestedArchive(file.Get(), archive, entry);
            }
            RecursiveArchiveExtract(entry.name, nested, container);
        }
    if (!back.Restore())
        ThrowError(XFS_ERROR_CHANGE_DIRECTORY, __LINE__);
}

// Writes one entry's data as a file of the current directory.
void CExtendedFileSystem::ExtractFile(const CArchiveContainer& container,
                                      const sArchiveDirectory& archive,
                                      const sArchiveEntry& entry, const std::string& directory,
                                      const char* archiveDirectory)
{
    sExtractFileNotify record;
    CopyText(record.directory, directory);
    CopyText(record.archiveDirectory, archiveDirectory);
    CopyText(record.name, entry.name);
    Notify(XFS_EVENT_EXTRACT_FILE, reinterpret_cast<XfsParam>(&record), 0);
    CStream source(OpenContainer(container));
    CStream target(OpenStream(entry.name, kModeCreate));
    if (!target.IsOpen())
        ThrowError(XFS_ERROR_CREATE_FAILED, __LINE__);
    if (!SeekStream(source.Get(), std::uint64_t{archive.base} + entry.offset))
        ThrowError(XFS_ERROR_READ_FAILED, __LINE__);
    CopyBytes(source.Get(), target.Get(), entry.size);
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
    ClearFileCause();
    std::uint64_t position = 0;
    if (!FileTellAt(stream, position))
        ThrowError(code, __LINE__);
    if (position < base || position - base > kMaxOffset)
        ThrowDataError(code, __LINE__);   // beyond the format's 32 bits
    return static_cast<std::uint32_t>(position - base);
}

void CExtendedFileSystem::NotifyArchiveFile(int event, const std::string& directory,
                                            const std::string& name) const
{
    sArchiveFileNotify record;
    CopyText(record.directory, directory);
    CopyText(record.name, name);
    Notify(event, reinterpret_cast<XfsParam>(&record), 0);
}
