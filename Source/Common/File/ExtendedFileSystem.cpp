#include "Common/File/ExtendedFileSystem.h"

#include <algorithm>
#include <cstdint>
#include <utility>

#include "Common/Core/ZRException.h"
#include "Common/Core/ZRPath.h"
#include "Common/Core/ZRStrFunctions.h"
#include "Common/File/FileFunctions.h"
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

bool IsLineEnd(char c) { return c == kCR || c == kLF; }

// The stream's length, found by seeking to its end; false when it cannot be
// measured or does not fit in 32 bits. The stream is left at its end.
bool MeasureStream(int stream, std::uint32_t& size)
{
    if (FILE_Seek(stream, 0, FILE_ORIGIN_END) != kFileSuccess)
        return false;
    const long end = FILE_Tell(stream);
    if (end < 0 || static_cast<unsigned long>(end) > kMaxFileSize)
        return false;
    size = static_cast<std::uint32_t>(end);
    return true;
}

} // namespace

CExtendedFileSystem* CExtendedFileSystem::Instance() { return m_pInstance; }

// Runs at library load: only initialises members.
CExtendedFileSystem::CExtendedFileSystem() : m_bSetup(false), m_archiveCount(0)
{
    for (sFileInfo& file : m_files)
        file = sFileInfo{XFS_FREE_STREAM, 0, 0, 0};
}

CExtendedFileSystem::CExtendedFileSystem(const CExtendedFileSystem& other) = default;
CExtendedFileSystem& CExtendedFileSystem::operator=(const CExtendedFileSystem& other) = default;
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
    CZRLockGuard guard(m_lock);
    m_roots.push_back(root);
}

void CExtendedFileSystem::AddRoot(const char* root) { AddRoot(CZRString(root)); }

void CExtendedFileSystem::RemoveRoot(const CZRString& root)
{
    if (root.IsEmpty())
        return;
    CZRLockGuard guard(m_lock);
    auto found = std::find_if(m_roots.begin(), m_roots.end(), [&](const CZRString& entry) {
        return entry.CompareNoCase(root.GetString()) == 0;
    });
    if (found != m_roots.end())
        m_roots.erase(found);
}

void CExtendedFileSystem::RemoveRoot(const char* root) { RemoveRoot(CZRString(root)); }

void CExtendedFileSystem::RemoveAllRoots()
{
    CZRLockGuard guard(m_lock);
    m_roots.clear();
}

long CExtendedFileSystem::GetRootCount() const { return static_cast<long>(m_roots.size()); }

bool CExtendedFileSystem::HasRoots() const { return !m_roots.empty(); }

const CZRString& CExtendedFileSystem::GetRoot(long index) const
{
    return m_roots[static_cast<std::size_t>(index)];
}

void CExtendedFileSystem::AddCallback(XfsCallback function, unsigned long user)
{
    if (function == nullptr)
        return;
    CZRLockGuard guard(m_lock);
    m_callbacks.push_back(sCallback{function, user});
}

void CExtendedFileSystem::RemoveCallback(XfsCallback function)
{
    if (function == nullptr)
        return;
    CZRLockGuard guard(m_lock);
    auto found = std::find_if(m_callbacks.begin(), m_callbacks.end(),
                              [&](const sCallback& entry) { return entry.function == function; });
    if (found != m_callbacks.end())
        m_callbacks.erase(found);
}

long CExtendedFileSystem::GetCallbackCount() const
{
    return static_cast<long>(m_callbacks.size());
}

bool CExtendedFileSystem::HasCallbacks() const { return !m_callbacks.empty(); }

void CExtendedFileSystem::Notify(int event, unsigned long param1, unsigned long param2) const
{
    for (const sCallback& callback : m_callbacks)
        callback.function(event, param1, param2, callback.user);
}

unsigned long CExtendedFileSystem::OpenFile(const char* name)
{
    CZRLockGuard guard(m_lock);
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
    // Freeing a record must not race with another thread's open searching the table.
    CZRLockGuard guard(m_lock);
    ReleaseFile(GetOpenFile(handle));
    return true;
}

bool CExtendedFileSystem::FileExists(const char* name)
{
    CZRLockGuard guard(m_lock);
    const unsigned long handle = LookupFile(name);
    if (handle == INVALID_HANDLE)
        return false;
    ReleaseFile(*GetFileForHandle(handle));
    return true;
}

// The name as given first, then under each root in order; the first hit wins.
unsigned long CExtendedFileSystem::LookupFile(const char* name)
{
    if (name == nullptr || *name == '\0')
        return INVALID_HANDLE;
    unsigned long handle = ArchiveFileOpen(name);
    for (std::size_t i = 0; handle == INVALID_HANDLE && i < m_roots.size(); ++i)
    {
        CZRPath path(m_roots[i]);
        path.Append(CZRPath(name));
        path.MakeBackwardslashes();
        handle = ArchiveFileOpen(~path);
    }
    return handle;
}

unsigned long CExtendedFileSystem::ArchiveFileOpen(const char* path)
{
    if (path == nullptr)
        return INVALID_HANDLE;
    sFileInfo* file = AllocFileInfo();
    if (file == nullptr)
        return INVALID_HANDLE;
    const int stream = FILE_Open(path, kModeRead);   // refuses directories
    if (stream == FILE_INVALID_HANDLE)
        return OpenFromArchive(*file, path);
    std::uint32_t size = 0;
    if (!MeasureStream(stream, size) || FILE_Seek(stream, 0, FILE_ORIGIN_START) != kFileSuccess)
    {
        FILE_Close(stream);
        return INVALID_HANDLE;
    }
    *file = sFileInfo{stream, 0, size, 0};
    return GetHandleForFile(file);
}

// Relative to the current directory only. atEnd: size and position start at
// the stream's current length, otherwise both are 0.
unsigned long CExtendedFileSystem::OpenForWriting(const char* name, const char* mode, bool atEnd,
                                                  unsigned long failureCode)
{
    if (name == nullptr)
        return INVALID_HANDLE;
    CZRLockGuard guard(m_lock);
    sFileInfo* file = AllocFileInfo();
    if (file == nullptr)
        ThrowError(XFS_ERROR_TOO_MANY_OPEN_FILES, __LINE__);
    const int stream = FILE_Open(name, mode);
    if (stream == FILE_INVALID_HANDLE)
        ThrowError(failureCode, __LINE__);
    std::uint32_t size = 0;
    if (atEnd && !MeasureStream(stream, size))
    {
        FILE_Close(stream);
        ThrowError(failureCode, __LINE__);
    }
    *file = sFileInfo{stream, 0, size, size};
    return GetHandleForFile(file);
}

unsigned long CExtendedFileSystem::ReadFile(unsigned long handle, void* buffer, unsigned long count)
{
    sFileInfo& file = GetOpenFile(handle);
    if (count == 0)
        return 0;
    if (buffer == nullptr)
        ThrowError(XFS_ERROR_INVALID_HANDLE, __LINE__);
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
    sFileInfo& file = GetOpenFile(handle);
    if (buffer == nullptr)
        ThrowError(XFS_ERROR_INVALID_HANDLE, __LINE__);
    if (!WriteFits(file, count))
        ThrowError(XFS_ERROR_WRITE_FAILED, __LINE__);
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
    sFileInfo& file = GetOpenFile(handle);
    if (size == 0 || buffer == nullptr)
        ThrowError(XFS_ERROR_INVALID_HANDLE, __LINE__);
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
    sFileInfo& file = GetOpenFile(handle);
    if (text == nullptr)
        ThrowError(XFS_ERROR_INVALID_HANDLE, __LINE__);
    const unsigned long length = static_cast<unsigned long>(STR_strlen(text));
    if (!WriteFits(file, length))
        ThrowError(XFS_ERROR_WRITE_FAILED, __LINE__);
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
    sFileInfo& file = GetOpenFile(handle);
    if (format == nullptr)
        ThrowError(XFS_ERROR_INVALID_HANDLE, __LINE__);
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
    sFileInfo& file = GetOpenFile(handle);
    if (position > file.size || !SeekTo(file, static_cast<std::uint32_t>(position)))
        ThrowError(XFS_ERROR_SEEK_FAILED, __LINE__);
    return true;
}

bool CExtendedFileSystem::SeekCurrent(unsigned long handle, long delta)
{
    sFileInfo& file = GetOpenFile(handle);
    // Compared without forming position + delta, which could overflow.
    const bool inRange = delta < 0 ? static_cast<unsigned long>(-(delta + 1)) < file.position
                                   : static_cast<unsigned long>(delta) <= file.size - file.position;
    if (!inRange || !SeekTo(file, static_cast<std::uint32_t>(file.position + delta)))
        ThrowError(XFS_ERROR_SEEK_FAILED, __LINE__);
    return true;
}

bool CExtendedFileSystem::SeekEnd(unsigned long handle, unsigned long distance)
{
    sFileInfo& file = GetOpenFile(handle);
    if (distance > file.size || !SeekTo(file, static_cast<std::uint32_t>(file.size - distance)))
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
    return FILE_Flush(GetOpenFile(handle).stream) == kFileSuccess;
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
        ThrowError(XFS_ERROR_INVALID_HANDLE, __LINE__);
    return m_files[handle - 1];
}

// The record is free even when the close reports an error: the stream is gone.
void CExtendedFileSystem::ReleaseFile(sFileInfo& file)
{
    FILE_Close(file.stream);
    file.stream = XFS_FREE_STREAM;
}

bool CExtendedFileSystem::ReadBytes(sFileInfo& file, void* buffer, unsigned long count)
{
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
    FILE_Seek(file.stream, static_cast<long>(file.start) + file.position, FILE_ORIGIN_START);
}

bool CExtendedFileSystem::SeekTo(sFileInfo& file, std::uint32_t position)
{
    if (FILE_Seek(file.stream, static_cast<long>(file.start) + position, FILE_ORIGIN_START) !=
        kFileSuccess)
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

void CExtendedFileSystem::ThrowException(unsigned long code, unsigned long line, const char* file,
                                         const char* message) const
{
    throw CXfsException(code, line, file, message);
}
