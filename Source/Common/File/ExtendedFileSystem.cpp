#include "Common/File/ExtendedFileSystem.h"

#include <algorithm>
#include <cstdint>
#include <utility>

#include "Common/Core/ZRException.h"
#include "Common/Core/ZRPath.h"
#include "Common/Core/ZRStrFunctions.h"
#include "Common/File/ExtendedFileSystemState.h"
#include "Common/File/FileFunctions.h"
#include "Common/File/FileSlotTable.h"
#include "Common/File/ZRArchiveFormat.h"
#include "Common/Platform/Platform.h"
#include "Common/Platform/PlatformSeam.h"
#include "Common/Time/ZRLockGuard.h"

namespace
{
const char* const kSourceFile = "Source\\Common\\File\\ExtendedFileSystem";

struct sErrorText
{
    unsigned long code;
    const char* message;
};

const sErrorText kErrorTexts[] = {
    {XFS_ERROR_TOO_MANY_OPEN_FILES, "Too many open files."},
    {XFS_ERROR_FILE_NOT_FOUND, "File not found."},
    {XFS_ERROR_CREATE_FAILED, "Could not create file for writing."},
    {XFS_ERROR_READ_FAILED, "Error reading from file."},
    {XFS_ERROR_WRITE_FAILED, "Error writing to file."},
    {XFS_ERROR_INVALID_HANDLE, "Invalid file handle."},
    {XFS_ERROR_SEEK_FAILED, "Error trying to set the file pointer."},
    {XFS_ERROR_OPEN_FAILED, "Could not open file."},
    {XFS_ERROR_ARCHIVE_HEADER, "Unable to write archive header."},
    {XFS_ERROR_ARCHIVE_DIRECTORY, "Error writing archive directory."},
    {XFS_ERROR_ARCHIVE_VERSION, "Incorrect archive version."},
    {XFS_ERROR_APPEND_FAILED, "Could not open file for appending."},
    {XFS_ERROR_CHANGE_DIRECTORY,
     "Could not change the directory. The directory does probably not exist."},
};

const char* const kModeRead = "rb";
const char* const kModeCreate = "wb";
const char* const kModeAppend = "ab";

constexpr int kFileSuccess = 1;
constexpr std::uint32_t kMaxFileSize = UINT32_MAX;
constexpr unsigned int kLowByteMask = 0xFFu;
constexpr char kCR = '\r';
constexpr char kLF = '\n';

static_assert(CExtendedFileSystem::MAX_ARCHIVES == CZRArchiveRegistry::CAPACITY,
              "the registry holds the archives the file system promises");

bool IsLineEnd(char c) { return c == kCR || c == kLF; }

bool IsMissing(eFileError cause)
{
    return cause == FILE_ERROR_NOT_FOUND || cause == FILE_ERROR_PATH_NOT_FOUND;
}

// The cause of a lookup that tries several places: the first that tells more
// than "not found", else "not found".
class CLookupCause
{
public:
    // Call after each attempt, which started with a cleared cause.
    void Note()
    {
        const eFileError cause = FILE_GetLastError();
        if (cause != FILE_ERROR_NONE && (m_cause == FILE_ERROR_NONE || IsMissing(m_cause)) &&
            !IsMissing(cause))
            m_cause = cause;
    }
    void Report() const
    {
        FILE_SetLastError(m_cause != FILE_ERROR_NONE ? m_cause : FILE_ERROR_NOT_FOUND);
    }

private:
    eFileError m_cause = FILE_ERROR_NONE;
};

} // namespace

CExtendedFileSystem::sState::sState(const sState& other)
    : callbacks(other.callbacks), archives(other.archives)
{
    for (const auto& root : other.roots)
        roots.push_back(std::make_unique<const sRoot>(*root));
}

CExtendedFileSystem* CExtendedFileSystem::Instance() { return m_pInstance; }

// Runs at library load: only initialises members.
CExtendedFileSystem::CExtendedFileSystem() : m_bSetup(false), m_state(std::make_unique<sState>())
{
    for (sFileInfo& file : m_files)
        file = sFileInfo{XFS_FREE_STREAM, 0, 0, 0};
#if defined(ZR_PLATFORM_SEAM)
    // Test builds can empty the instance's archive registry (PlatformSeam.h).
    if (this == &m_instance)
        ZRPlatform::Seam::SetArchiveForgetter([] {
            CZRLockGuard guard(m_instance.m_lock);
            m_instance.m_state->archives = CZRArchiveRegistry();
        });
#endif
}

CExtendedFileSystem::CExtendedFileSystem(const CExtendedFileSystem& other) : m_bSetup(false)
{
    CZRLockGuard guard(other.m_lock);
    std::copy(std::begin(other.m_files), std::end(other.m_files), m_files);
    m_bSetup = other.m_bSetup;
    m_state = std::make_unique<sState>(*other.m_state);
}

// The copy is made under other's lock, then swapped in under this one's.
CExtendedFileSystem& CExtendedFileSystem::operator=(const CExtendedFileSystem& other)
{
    if (this == &other)
        return *this;
    CExtendedFileSystem copy(other);
    CZRLockGuard guard(m_lock);
    std::copy(std::begin(copy.m_files), std::end(copy.m_files), m_files);
    m_bSetup = copy.m_bSetup;
    m_state.swap(copy.m_state);
    return *this;
}

CExtendedFileSystem::~CExtendedFileSystem() = default;

bool CExtendedFileSystem::Setup()
{
    m_bSetup = true;
    return true;
}

bool CExtendedFileSystem::IsSetup() const { return m_bSetup; }

void CExtendedFileSystem::AddRoot(const CZRString& root)
{
    if (root.IsEmpty())
        return;
    // Joining as a path adds a backslash unless the root ends in a separator;
    // the joined text then has every slash turned into a backslash.
    CZRPath joined(root);
    joined.Append(CZRPath(""));
    joined.MakeBackwardslashes();
    auto stored = std::make_unique<const sState::sRoot>(sState::sRoot{root, ~joined});
    CZRLockGuard guard(m_lock);
    m_state->roots.push_back(std::move(stored));
}

void CExtendedFileSystem::AddRoot(const char* root) { AddRoot(CZRString(root)); }

void CExtendedFileSystem::RemoveRoot(const CZRString& root)
{
    if (root.IsEmpty())
        return;
    CZRLockGuard guard(m_lock);
    auto& roots = m_state->roots;
    auto found = std::find_if(roots.begin(), roots.end(), [&](const auto& entry) {
        return entry->text.CompareNoCase(root.GetString()) == 0;
    });
    if (found != roots.end())
        roots.erase(found);
}

void CExtendedFileSystem::RemoveRoot(const char* root) { RemoveRoot(CZRString(root)); }

void CExtendedFileSystem::RemoveAllRoots()
{
    CZRLockGuard guard(m_lock);
    m_state->roots.clear();
}

long CExtendedFileSystem::GetRootCount() const
{
    CZRLockGuard guard(m_lock);
    return static_cast<long>(m_state->roots.size());
}

bool CExtendedFileSystem::HasRoots() const { return GetRootCount() > 0; }

const CZRString& CExtendedFileSystem::GetRoot(long index) const
{
    CZRLockGuard guard(m_lock);
    return m_state->roots[static_cast<std::size_t>(index)]->text;
}

void CExtendedFileSystem::AddCallback(XfsCallback function, XfsParam user)
{
    if (function == nullptr)
        return;
    CZRLockGuard guard(m_lock);
    m_state->callbacks.push_back(sCallback{function, user});
}

void CExtendedFileSystem::RemoveCallback(XfsCallback function)
{
    if (function == nullptr)
        return;
    CZRLockGuard guard(m_lock);
    auto& callbacks = m_state->callbacks;
    auto found = std::find_if(callbacks.begin(), callbacks.end(),
                              [&](const sCallback& entry) { return entry.function == function; });
    if (found != callbacks.end())
        callbacks.erase(found);
}

long CExtendedFileSystem::GetCallbackCount() const
{
    CZRLockGuard guard(m_lock);
    return static_cast<long>(m_state->callbacks.size());
}

bool CExtendedFileSystem::HasCallbacks() const { return GetCallbackCount() > 0; }

void CExtendedFileSystem::Notify(int event, XfsParam param1, XfsParam param2) const
{
    std::vector<sCallback> callbacks;
    {
        CZRLockGuard guard(m_lock);
        callbacks = m_state->callbacks;
    }
    for (const sCallback& callback : callbacks)
        callback.function(event, param1, param2, callback.user);
}

unsigned long CExtendedFileSystem::OpenFile(const char* name)
{
    CCauseOnSuccess cause;
    ZRPlatform::LookupScope scope;
    const unsigned long handle = LookupFile(name);
    if (handle == INVALID_HANDLE)
        ThrowError(XFS_ERROR_FILE_NOT_FOUND, __LINE__);
    return handle;
}

unsigned long CExtendedFileSystem::CreateFileA(const char* name)
{
    return OpenForWriting(name, kModeCreate, false, XFS_ERROR_CREATE_FAILED);
}

unsigned long CExtendedFileSystem::AppendFile(const char* name)
{
    return OpenForWriting(name, kModeAppend, true, XFS_ERROR_APPEND_FAILED);
}

bool CExtendedFileSystem::CloseFile(unsigned long handle)
{
    CCauseOnSuccess cause;
    // Freeing a record must not race with another thread's open searching the table.
    CZRLockGuard guard(m_lock);
    ReleaseFile(GetOpenFile(handle));
    return true;
}

bool CExtendedFileSystem::FileExists(const char* name)
{
    CCauseOnSuccess cause;
    ZRPlatform::LookupScope scope;
    const unsigned long handle = LookupFile(name);
    if (handle == INVALID_HANDLE)
        return cause.Failed(false);
    CZRLockGuard guard(m_lock);
    ReleaseFile(*GetFileForHandle(handle));
    return true;
}

// The name as given first, then under each root in order; the first hit wins.
// The caller's lookup scope lets every try after the first reuse what the disk
// has already said, so a miss costs little.
unsigned long CExtendedFileSystem::LookupFile(const char* name)
{
    if (name == nullptr || *name == '\0')
    {
        FILE_SetLastError(FILE_ERROR_INVALID_ARGUMENT);
        return INVALID_HANDLE;
    }
    CLookupCause cause;
    unsigned long handle = ArchiveFileOpen(name);
    cause.Note();
    std::string rooted;
    for (std::size_t i = 0; handle == INVALID_HANDLE && RootedName(i, name, rooted); ++i)
    {
        handle = ArchiveFileOpen(rooted.c_str());
        cause.Note();
    }
    // Only where the lookup above found nothing: archives below a directory
    // named in the path, such as a root given as an absolute path.
    if (handle == INVALID_HANDLE)
        handle = ArchiveFileOpenUnderDirectory(name);
    for (std::size_t i = 0; handle == INVALID_HANDLE && RootedName(i, name, rooted); ++i)
        handle = ArchiveFileOpenUnderDirectory(rooted.c_str());
    if (handle == INVALID_HANDLE)
        cause.Report();
    return handle;
}

// The root's prefix and the name with its slashes turned into backslashes: the
// text of joining the two as paths. A slash is never the trail byte of a
// double-byte character, so the bytes can be turned one by one.
bool CExtendedFileSystem::RootedName(std::size_t index, const char* name, std::string& path) const
{
    {
        CZRLockGuard guard(m_lock);
        if (index >= m_state->roots.size())
            return false;
        path = m_state->roots[index]->prefix;
    }
    const std::size_t start = path.size();
    path += name;
    std::replace(path.begin() + static_cast<std::ptrdiff_t>(start), path.end(), '/', '\\');
    return true;
}

// A plain file is opened outside the lock, which is taken only to claim its
// record; the archive route runs under the lock, which guards the registry.
unsigned long CExtendedFileSystem::ArchiveFileOpen(const char* path)
{
    if (path == nullptr)
        return INVALID_HANDLE;
    CLookupCause cause;
    ClearFileCause();
    const int stream = FILE_Open(path, kModeRead);   // refuses directories
    if (stream != FILE_INVALID_HANDLE)
        return AdoptPlainFile(stream);
    cause.Note();
    ClearFileCause();
    CZRLockGuard guard(m_lock);
    sFileInfo* file = AllocFileInfo();
    if (file == nullptr)
    {
        FILE_SetLastError(FILE_ERROR_TOO_MANY_OPEN);
        return INVALID_HANDLE;
    }
    const unsigned long handle = OpenFromArchive(*file, path);
    cause.Note();
    if (handle == INVALID_HANDLE)
        cause.Report();
    return handle;
}

// The size is the one the open found; the stream stands at 0.
unsigned long CExtendedFileSystem::AdoptPlainFile(int stream)
{
    const CFileStream* opened = FileStreamOf(stream);
    const std::uint64_t size = opened != nullptr ? opened->KnownSize() : kMaxFileSize + 1ull;
    sFileInfo* file = nullptr;
    if (size <= kMaxFileSize)
    {
        CZRLockGuard guard(m_lock);
        file = AllocFileInfo();
        if (file != nullptr)
        {
            *file = sFileInfo{stream, 0, static_cast<std::uint32_t>(size), 0};
            return GetHandleForFile(file);
        }
    }
    FILE_Close(stream);
    FILE_SetLastError(size <= kMaxFileSize ? FILE_ERROR_TOO_MANY_OPEN : FILE_ERROR_NOT_SUPPORTED);
    return INVALID_HANDLE;
}

// Relative to the current directory only. atEnd: size and position start at
// the stream's current length, otherwise both are 0.
unsigned long CExtendedFileSystem::OpenForWriting(const char* name, const char* mode, bool atEnd,
                                                  unsigned long failureCode)
{
    if (name == nullptr)
        return INVALID_HANDLE;
    CCauseOnSuccess cause;
    CZRLockGuard guard(m_lock);
    sFileInfo* file = AllocFileInfo();
    if (file == nullptr)
        ThrowError(XFS_ERROR_TOO_MANY_OPEN_FILES, __LINE__, FILE_ERROR_TOO_MANY_OPEN);
    ClearFileCause();
    const int stream = FILE_Open(name, mode);
    if (stream == FILE_INVALID_HANDLE)
        ThrowError(failureCode, __LINE__);
    std::uint64_t size = 0;
    if (atEnd && (!FileMeasure(stream, size) || size > kMaxFileSize))
    {
        {
            CKeepFileCause keep;
            FILE_Close(stream);
        }
        ThrowError(failureCode, __LINE__);
    }
    const auto length = static_cast<std::uint32_t>(size);
    *file = sFileInfo{stream, 0, length, length};
    return GetHandleForFile(file);
}

unsigned long CExtendedFileSystem::ReadFile(unsigned long handle, void* buffer, unsigned long count)
{
    CCauseOnSuccess cause;
    sFileInfo& file = GetOpenFile(handle);
    if (count == 0)
        return 0;
    if (buffer == nullptr)
        ThrowDataError(XFS_ERROR_INVALID_HANDLE, __LINE__);
    count = std::min<unsigned long>(count, file.size - file.position);
    if (count > 0 && !ReadBytes(file, buffer, count))
        ThrowError(XFS_ERROR_READ_FAILED, __LINE__);
    return count;
}

unsigned long CExtendedFileSystem::WriteFile(unsigned long handle, const void* buffer,
                                             unsigned long count)
{
    if (count == 0)
        return 0;
    CCauseOnSuccess cause;
    sFileInfo& file = GetOpenFile(handle);
    if (buffer == nullptr)
        ThrowDataError(XFS_ERROR_INVALID_HANDLE, __LINE__);
    if (!WriteFits(file, count))
        ThrowDataError(XFS_ERROR_WRITE_FAILED, __LINE__);
    ClearFileCause();
    if (FILE_Write(file.stream, buffer, 1, count) != count)
    {
        RestoreStream(file);
        ThrowError(XFS_ERROR_WRITE_FAILED, __LINE__);
    }
    AdvanceWrite(file, count);
    return count;
}

bool CExtendedFileSystem::WriteFile(unsigned long handle, int c)
{
    const unsigned char byte = static_cast<unsigned char>(c);
    return WriteFile(handle, &byte, 1) == 1;
}

bool CExtendedFileSystem::ReadChar(unsigned long handle, int& c)
{
    unsigned char byte = 0;
    if (ReadFile(handle, &byte, 1) != 1)
        return false;
    c = static_cast<int>((static_cast<unsigned int>(c) & ~kLowByteMask) | byte);
    return true;
}

// After the line, one more CR or LF is consumed unless at most one byte is
// left, so a final CR LF leaves its LF for the next call (an empty line).
bool CExtendedFileSystem::ReadLine(unsigned long handle, char* buffer, unsigned long size)
{
    CCauseOnSuccess cause;
    sFileInfo& file = GetOpenFile(handle);
    if (size == 0 || buffer == nullptr)
        ThrowDataError(XFS_ERROR_INVALID_HANDLE, __LINE__);
    const std::uint32_t lineStart = file.position;
    const unsigned long limit = std::min<unsigned long>(size - 1, file.size - file.position);
    unsigned long length = 0;
    char c = 0;
    while (length < limit)
    {
        if (!ReadBytes(file, &c, 1))
        {
            file.position = lineStart;
            RestoreStream(file);
            ThrowError(XFS_ERROR_READ_FAILED, __LINE__);
        }
        if (IsLineEnd(c))
            break;
        buffer[length++] = c;
    }
    buffer[length] = '\0';
    if (file.size - file.position > 1)
    {
        if (!ReadBytes(file, &c, 1))
            ThrowError(XFS_ERROR_READ_FAILED, __LINE__);
        if (!IsLineEnd(c))
            SeekCurrent(handle, -1);
    }
    return true;
}

bool CExtendedFileSystem::WriteLine(unsigned long handle, const char* text)
{
    CCauseOnSuccess cause;
    sFileInfo& file = GetOpenFile(handle);
    if (text == nullptr)
        ThrowDataError(XFS_ERROR_INVALID_HANDLE, __LINE__);
    const unsigned long length = static_cast<unsigned long>(STR_strlen(text));
    if (!WriteFits(file, length))
        ThrowDataError(XFS_ERROR_WRITE_FAILED, __LINE__);
    ClearFileCause();
    if (FILE_Puts(file.stream, text) != kFileSuccess)
    {
        RestoreStream(file);
        ThrowError(XFS_ERROR_WRITE_FAILED, __LINE__);
    }
    AdvanceWrite(file, length);
    return true;
}

bool CExtendedFileSystem::Printf(unsigned long handle, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    try
    {
        const bool result = VPrintf(handle, format, args);
        va_end(args);
        return result;
    }
    catch (...)
    {
        va_end(args);
        throw;
    }
}

bool CExtendedFileSystem::VPrintf(unsigned long handle, const char* format, va_list args)
{
    CCauseOnSuccess cause;
    sFileInfo& file = GetOpenFile(handle);
    if (format == nullptr)
        ThrowDataError(XFS_ERROR_INVALID_HANDLE, __LINE__);
    ClearFileCause();
    const int written = FILE_Vprintf(file.stream, format, args);
    if (written < 0 || !WriteFits(file, static_cast<unsigned long>(written)))
    {
        RestoreStream(file);
        ThrowError(XFS_ERROR_WRITE_FAILED, __LINE__);
    }
    AdvanceWrite(file, static_cast<unsigned long>(written));
    return true;
}

bool CExtendedFileSystem::Seek(unsigned long handle, unsigned long position)
{
    CCauseOnSuccess cause;
    sFileInfo& file = GetOpenFile(handle);
    if (position > file.size)
        ThrowDataError(XFS_ERROR_SEEK_FAILED, __LINE__);
    if (!SeekTo(file, static_cast<std::uint32_t>(position)))
        ThrowError(XFS_ERROR_SEEK_FAILED, __LINE__);
    return true;
}

bool CExtendedFileSystem::SeekCurrent(unsigned long handle, long delta)
{
    CCauseOnSuccess cause;
    sFileInfo& file = GetOpenFile(handle);
    // Compared without forming position + delta, which could overflow.
    const bool inRange = delta < 0 ? static_cast<unsigned long>(-(delta + 1)) < file.position
                                   : static_cast<unsigned long>(delta) <= file.size - file.position;
    if (!inRange)
        ThrowDataError(XFS_ERROR_SEEK_FAILED, __LINE__);
    if (!SeekTo(file, static_cast<std::uint32_t>(file.position + delta)))
        ThrowError(XFS_ERROR_SEEK_FAILED, __LINE__);
    return true;
}

bool CExtendedFileSystem::SeekEnd(unsigned long handle, unsigned long distance)
{
    CCauseOnSuccess cause;
    sFileInfo& file = GetOpenFile(handle);
    if (distance > file.size)
        ThrowDataError(XFS_ERROR_SEEK_FAILED, __LINE__);
    if (!SeekTo(file, static_cast<std::uint32_t>(file.size - distance)))
        ThrowError(XFS_ERROR_SEEK_FAILED, __LINE__);
    return true;
}

bool CExtendedFileSystem::Rewind(unsigned long handle) { return Seek(handle, 0); }

unsigned long CExtendedFileSystem::Tell(unsigned long handle) const
{
    return GetOpenFile(handle).position;
}

bool CExtendedFileSystem::Flush(unsigned long handle)
{
    CCauseOnSuccess cause;
    const int stream = GetOpenFile(handle).stream;
    ClearFileCause();
    return FILE_Flush(stream) == kFileSuccess ? true : cause.Failed(false);
}

bool CExtendedFileSystem::IsEof(unsigned long handle) const
{
    const sFileInfo& file = GetOpenFile(handle);
    return file.position == file.size;
}

unsigned long CExtendedFileSystem::GetFileSize(unsigned long handle) const
{
    return GetOpenFile(handle).size;
}

bool CExtendedFileSystem::IsFileOpen(unsigned long handle) const
{
    const sFileInfo* file = GetFileForHandle(handle);
    return file != nullptr && file->stream != XFS_FREE_STREAM;
}

sFileInfo* CExtendedFileSystem::AllocFileInfo()
{
    for (sFileInfo& file : m_files)
        if (file.stream == XFS_FREE_STREAM)
            return &file;
    return nullptr;
}

sFileInfo* CExtendedFileSystem::GetFileForHandle(unsigned long handle)
{
    return const_cast<sFileInfo*>(std::as_const(*this).GetFileForHandle(handle));
}

const sFileInfo* CExtendedFileSystem::GetFileForHandle(unsigned long handle) const
{
    if (handle == INVALID_HANDLE || handle > MAX_OPEN_FILES)
        return nullptr;
    return &m_files[handle - 1];
}

unsigned long CExtendedFileSystem::GetHandleForFile(const sFileInfo* file) const
{
    if (file == nullptr)
        return INVALID_HANDLE;
    return static_cast<unsigned long>(file - m_files) + 1;
}

sFileInfo& CExtendedFileSystem::GetOpenFile(unsigned long handle)
{
    return const_cast<sFileInfo&>(std::as_const(*this).GetOpenFile(handle));
}

const sFileInfo& CExtendedFileSystem::GetOpenFile(unsigned long handle) const
{
    if (!IsFileOpen(handle))
        ThrowDataError(XFS_ERROR_INVALID_HANDLE, __LINE__);
    return m_files[handle - 1];
}

// The record is free even when the close reports an error: the stream is gone.
void CExtendedFileSystem::ReleaseFile(sFileInfo& file)
{
    CKeepFileCause keep;
    FILE_Close(file.stream);
    file.stream = XFS_FREE_STREAM;
}

bool CExtendedFileSystem::ReadBytes(sFileInfo& file, void* buffer, unsigned long count)
{
    ClearFileCause();
    if (FILE_Read(file.stream, buffer, 1, count) != count)
    {
        RestoreStream(file);
        return false;
    }
    file.position += static_cast<std::uint32_t>(count);
    return true;
}

bool CExtendedFileSystem::WriteFits(const sFileInfo& file, unsigned long count)
{
    return count <= kMaxFileSize - file.position;
}

void CExtendedFileSystem::AdvanceWrite(sFileInfo& file, unsigned long count)
{
    file.position += static_cast<std::uint32_t>(count);
    file.size = std::max(file.size, file.position);
}

void CExtendedFileSystem::RestoreStream(const sFileInfo& file)
{
    CKeepFileCause keep;
    FileSeekTo(file.stream, std::uint64_t{file.start} + file.position);
}

bool CExtendedFileSystem::SeekTo(sFileInfo& file, std::uint32_t position)
{
    ClearFileCause();
    if (!FileSeekTo(file.stream, std::uint64_t{file.start} + position))
        return false;
    file.position = position;
    return true;
}

void CExtendedFileSystem::ThrowError(unsigned long code, unsigned long line) const
{
    for (const sErrorText& text : kErrorTexts)
        if (text.code == code)
            ThrowException(code, line, kSourceFile, text.message);
    ThrowException(code, line, kSourceFile, "");
}

void CExtendedFileSystem::ThrowDataError(unsigned long code, unsigned long line) const
{
    ThrowError(code, line, FILE_ERROR_NONE);
}

void CExtendedFileSystem::ThrowError(unsigned long code, unsigned long line,
                                     eFileError cause) const
{
    FILE_SetLastError(cause);
    ThrowError(code, line);
}

void CExtendedFileSystem::ThrowException(unsigned long code, unsigned long line, const char* file,
                                         const char* message) const
{
    throw CXfsException(code, line, file, message);
}
