// CExtendedFileSystem: the one virtual file system of the process.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <string>
#include <vector>

#include "Common/Core/ZRExport.h"
#include "Common/Core/ZRString.h"
#include "Common/File/ZRArchive.h"
#include "Common/Time/ZRCriticalSection.h"

// One record of the handle table. While a record is in use, its stream stands
// at start + position.
struct sFileInfo
{
    std::int32_t stream;     // FILE_ handle; XFS_FREE_STREAM marks a free record
    std::uint32_t start;     // offset of the file's first byte in the stream
    std::uint32_t size;      // length of the file in bytes
    std::uint32_t position;  // current position, relative to start
};

// Stream value of a free record (all bits set).
constexpr std::int32_t XFS_FREE_STREAM = -1;

// Codes of the CXfsException the file system throws.
enum eXfsError : unsigned long
{
    XFS_ERROR_TOO_MANY_OPEN_FILES = 4001,
    XFS_ERROR_FILE_NOT_FOUND = 4002,
    XFS_ERROR_CREATE_FAILED = 4005,
    XFS_ERROR_READ_FAILED = 4006,
    XFS_ERROR_WRITE_FAILED = 4007,
    XFS_ERROR_INVALID_HANDLE = 4008,
    XFS_ERROR_SEEK_FAILED = 4009,
    XFS_ERROR_OPEN_FAILED = 4010,
    XFS_ERROR_ARCHIVE_HEADER = 4012,
    XFS_ERROR_ARCHIVE_DIRECTORY = 4013,
    XFS_ERROR_ARCHIVE_VERSION = 4014,
    XFS_ERROR_APPEND_FAILED = 4015,
    XFS_ERROR_CHANGE_DIRECTORY = 4016,
};

// Receives progress events (eXfsEvent): (event, parameter 1, parameter 2, user value).
typedef void (*XfsCallback)(int event, unsigned long param1, unsigned long param2,
                            unsigned long user);

// Hands out handles 1..MAX_OPEN_FILES for files found under the name as given
// (relative to the current directory), then under each root in the order the
// roots were added; at each place a plain file first, then inside archives
// (ZRArchive.h), where «X.arc» stands in for the directory «X» and nested
// archives for its subdirectories. It keeps its own size and position per
// handle, so an archived file reads like a plain one; all disk work goes
// through the FILE_ layer.
//
// Failures a caller cannot sensibly test for throw CXfsException (error class
// 9); after a failed read, write or seek the handle's position is unchanged and
// the handle stays usable. Opening and closing may happen on any thread: they
// run under the object's lock, as do changes to roots and callbacks. Every other
// handle operation takes no lock, so a handle must be used by one thread at a
// time.
class ZR_COMMON_API CExtendedFileSystem
{
public:
    static constexpr unsigned long MAX_OPEN_FILES = 256;
    // Archives registered over the life of the process; records are never given back.
    static constexpr unsigned long MAX_ARCHIVES = 256;
    // The result of an open that opened nothing; never a valid handle.
    static constexpr unsigned long INVALID_HANDLE = 0;

    // The one library-wide instance; valid from library load to unload.
    static CExtendedFileSystem* Instance();

    CExtendedFileSystem();
    // Copies every member; the copy gets a lock of its own.
    CExtendedFileSystem(const CExtendedFileSystem& other);
    CExtendedFileSystem& operator=(const CExtendedFileSystem& other);
    // Releases roots and callbacks; files still open stay open.
    virtual ~CExtendedFileSystem();

    // Marks the file system as set up; returns true.
    bool Setup();
    bool IsSetup() const;

    // Roots are searched in the order added. Empty texts are ignored; a root
    // may be added twice.
    void AddRoot(const CZRString& root);
    void AddRoot(const char* root);
    // Removes the first root equal to root regardless of case; none: nothing.
    void RemoveRoot(const CZRString& root);
    void RemoveRoot(const char* root);
    void RemoveAllRoots();
    long GetRootCount() const;
    bool HasRoots() const;
    // index must be below GetRootCount().
    const CZRString& GetRoot(long index) const;

    // A null function is ignored; a function may be added more than once and
    // is then called once per registration.
    void AddCallback(XfsCallback function, unsigned long user);
    // Removes the first registration of function; null or unknown: nothing.
    void RemoveCallback(XfsCallback function);
    long GetCallbackCount() const;
    bool HasCallbacks() const;

    // Read-only: the name as given, then under each root. Throws 4002 when no
    // place yields the file, a null or empty name and a full table included.
    // An archive on the way that is damaged (4006, 4014) or cannot be reopened
    // (4010) ends the lookup with that exception.
    unsigned long OpenFile(const char* name);
    // Creates or truncates name (relative to the current directory only).
    // Null name: 0. Throws 4001 with a full table, 4005 when it cannot be created.
    unsigned long CreateFileA(const char* name);
    // Opens name for appending at its end. Null name: 0. Throws 4001 with a
    // full table, 4015 when it cannot be opened.
    unsigned long AppendFile(const char* name);
    // Closes the stream and frees the record; true.
    bool CloseFile(unsigned long handle);

    // Every operation below throws 4008 for a handle that names no open file.

    // Reads at most the bytes left; 0 at the end or for a count of 0. Throws
    // 4008 for a null buffer, 4006 when the stream delivers fewer bytes.
    unsigned long ReadFile(unsigned long handle, void* buffer, unsigned long count);
    // Writes count bytes, extending the file past its end; returns count. A
    // count of 0 returns 0 without looking at the handle. Throws 4008 for a null
    // buffer, 4007 on a short write.
    unsigned long WriteFile(unsigned long handle, const void* buffer, unsigned long count);
    // Writes the low byte of c.
    bool WriteFile(unsigned long handle, int c);
    // Stores one byte in the low byte of c, leaving its other bytes; false at the end.
    bool ReadChar(unsigned long handle, int& c);
    // Reads up to size - 1 bytes, ending at a CR or LF, which is replaced by the
    // terminator. Then, unless at most one byte is left, one more CR or LF is
    // consumed, so CR LF, LF CR and LF LF each end one line (a final CR LF
    // leaves its LF: the next call returns an empty line). Throws 4008 for a
    // size of 0 or a null buffer, 4006 on a read error (position then back at
    // the line's start).
    bool ReadLine(unsigned long handle, char* buffer, unsigned long size);
    // Writes text without adding a line end. Throws 4008 for a null text, 4007
    // on a write error.
    bool WriteLine(unsigned long handle, const char* text);
    // Formatted write. Throws 4008 for a null format, 4007 on a write error.
    bool Printf(unsigned long handle, const char* format, ...);
    bool VPrintf(unsigned long handle, const char* format, va_list args);

    // Seeks stay within 0..size; outside, or when the stream refuses, they
    // throw 4009 and leave the position unchanged.
    bool Seek(unsigned long handle, unsigned long position);
    bool SeekCurrent(unsigned long handle, long delta);
    bool SeekEnd(unsigned long handle, unsigned long distance);
    bool Rewind(unsigned long handle);
    unsigned long Tell(unsigned long handle) const;
    // False when the stream could not be flushed.
    bool Flush(unsigned long handle);
    bool IsEof(unsigned long handle) const;
    unsigned long GetFileSize(unsigned long handle) const;
    // Never throws.
    bool IsFileOpen(unsigned long handle) const;
    // The lookup of OpenFile; false where OpenFile would throw 4002. A file it
    // opens is closed again at once.
    bool FileExists(const char* name);

    // Archives. Both change the process's current directory while they run and
    // restore it on every way out, so no other thread may rely on relative
    // names meanwhile, and only one of them may run at a time.
    //
    // Packs the tree of directory into the file archive («.arc» is appended
    // when its extension differs, case aside). The last component of directory,
    // without its extension, is the directory packed. Entries are the files,
    // then the subdirectories, each in the platform's listing order, so a tree
    // always packs to the same bytes. Callbacks get XFS_EVENT_COUNT_ENTRY and
    // XFS_EVENT_ARCHIVE_FILE. True; throws 4010 when a file cannot be opened,
    // 4006/4007 on short reads and writes, 4012/4013 when header or directory
    // cannot be written, 4016 when a directory cannot be entered (a link back
    // into a directory being packed included). A failure leaves a partial
    // archive behind.
    bool CreateArchive(const char* archive, const char* directory);
    // Unpacks archive into the directory «<archive's base name>» inside
    // directory (whose last component loses its extension; empty: the current
    // directory). False when the archive cannot be registered. Callbacks get
    // XFS_EVENT_EXTRACT_DIRECTORY and XFS_EVENT_EXTRACT_FILE. Throws 4006/4014
    // for a damaged archive, 4005 for a file that cannot be created and for an
    // entry name that would leave its directory (empty, ".", "..", with '\' or
    // '/', or with a drive), 4006/4007 on short reads and writes, 4010 when the
    // archive cannot be reopened, 4016 when a directory cannot be entered. A
    // nested archive that cannot be registered (pool exhausted) is skipped.
    bool ExtractArchive(const char* archive, const char* directory);

private:
    struct sCallback
    {
        XfsCallback function;
        unsigned long user;
    };
    struct sListedName;

    static CExtendedFileSystem* const m_pInstance;
    static CExtendedFileSystem m_instance;

    // Calls every registered function in order with its own user value.
    void Notify(int event, unsigned long param1, unsigned long param2) const;

    // The first free record in table order; null when all are in use.
    sFileInfo* AllocFileInfo();
    // The record of a handle in 1..MAX_OPEN_FILES, free or not; null otherwise.
    sFileInfo* GetFileForHandle(unsigned long handle);
    const sFileInfo* GetFileForHandle(unsigned long handle) const;
    // Record index + 1; INVALID_HANDLE for null.
    unsigned long GetHandleForFile(const sFileInfo* file) const;
    // The record of a handle that names an open file; throws 4008 otherwise.
    sFileInfo& GetOpenFile(unsigned long handle);
    const sFileInfo& GetOpenFile(unsigned long handle) const;
    void ReleaseFile(sFileInfo& file);

    // The caller holds the lock. INVALID_HANDLE when nothing was found.
    unsigned long LookupFile(const char* name);
    // The plain file path, else the archive route; the record stays free on failure.
    unsigned long ArchiveFileOpen(const char* path);
    // Each component before a separator names an archive, the first a top-level
    // one, each further one nested in the one before; the last component is
    // looked up in the last archive. Throws what registration throws, 4010
    // when the container cannot be reopened.
    unsigned long OpenFromArchive(sFileInfo& file, const char* path);
    unsigned long OpenForWriting(const char* name, const char* mode, bool atEnd,
                                 unsigned long failureCode);

    // Reads count bytes (count <= bytes left) and advances the position. On a
    // short read the stream is put back to start + position and the result is false.
    static bool ReadBytes(sFileInfo& file, void* buffer, unsigned long count);
    // False when count more bytes would take the position past 32 bits.
    static bool WriteFits(const sFileInfo& file, unsigned long count);
    // Moves the position past count written bytes; the size follows past the end.
    static void AdvanceWrite(sFileInfo& file, unsigned long count);
    // Puts the stream back to start + position after a failed transfer.
    static void RestoreStream(const sFileInfo& file);
    // Moves stream and position; false when the stream refuses.
    static bool SeekTo(sFileInfo& file, std::uint32_t position);

    // Registration; the caller holds the lock. A top-level archive (parent null)
    // is the file name relative to the current directory («.arc» appended when
    // its file name has no dot) and is told apart from others by its absolute
    // path, by which its container is reopened later, whatever the current
    // directory is by then. A nested archive is an entry of parent flagged
    // ARCHIVE_ENTRY_NESTED. A registered archive is returned as found. Null
    // when the file or entry is missing or the pool is exhausted; throws 4006
    // for a short or structurally impossible header or directory, 4014 for a
    // wrong magic or version, 4010 when a container cannot be reopened.
    sArchiveInfo* RegisterArchive(sArchiveInfo* parent, const char* name);
    sArchiveInfo* RegisterTopLevelArchive(const char* name);
    sArchiveInfo* RegisterNestedArchive(sArchiveInfo& parent, const char* name);
    // Reads header and directory at base, where stream stands, into the next
    // pool record; the archive must fit in available bytes.
    sArchiveInfo& ReadArchive(int stream, std::uint32_t base, std::uint64_t available);
    sArchiveHeader ReadArchiveHeader(int stream, std::uint64_t available) const;
    std::vector<sArchiveEntry> ReadArchiveDirectory(int stream, std::uint32_t base,
                                                    const sArchiveHeader& header) const;
    // Counts archive as taken and puts it at the front of parent's child list.
    void AdoptArchive(sArchiveInfo& parent, sArchiveInfo& archive);
    // Parent null: the top-level archive whose absolute path is name; otherwise
    // the nested archive of parent named name. Case is ignored.
    sArchiveInfo* FindArchive(sArchiveInfo* parent, const char* name);
    // The first entry in directory order whose name equals name, ASCII case
    // ignored; null when absent.
    const sArchiveEntry* FindArchiveEntry(const sArchiveInfo* archive, const char* name) const;
    // A stream on the archive's container file; throws 4010 when it cannot be opened.
    int OpenContainer(const sArchiveInfo& archive) const;

    // The listing of the current directory: a pattern starts one and returns
    // the first name, null continues it; null at its end. One listing runs at
    // a time in the process.
    char* FindFiles(const char* pattern, bool* isDirectory, unsigned long* size);
    std::vector<sListedName> CountEntries(const std::string& directory);
    void RecursiveArchiveCreate(const char* name, int file, std::vector<std::string>& ancestors);
    void ArchiveFile(int file, std::uint64_t base, const std::string& directory,
                     const sListedName& listed, sArchiveEntry& entry);
    void ArchiveSubdirectory(int file, std::uint64_t base, const sListedName& listed,
                             sArchiveEntry& entry, std::vector<std::string>& ancestors);
    void FinishArchive(int file, std::uint64_t base, sArchiveHeader& header,
                       const std::vector<sArchiveEntry>& entries) const;
    void RecursiveArchiveExtract(const char* name, sArchiveInfo* archive);
    void ExtractFile(const sArchiveInfo& archive, const sArchiveEntry& entry,
                     const std::string& directory, const char* archiveDirectory);
    // Copies count bytes between streams through a bounded buffer.
    void CopyBytes(int from, int to, std::uint64_t count) const;
    // Offset of the stream's position from base; throws code when it does not
    // fit the format's 32 bits.
    std::uint32_t OffsetFrom(int stream, std::uint64_t base, unsigned long code) const;
    void NotifyArchiveFile(int event, const std::string& directory, const std::string& name) const;

    // Throws code with its message.
    [[noreturn]] void ThrowError(unsigned long code, unsigned long line) const;
    [[noreturn]] void ThrowException(unsigned long code, unsigned long line, const char* file,
                                     const char* message) const;

    std::vector<CZRString> m_roots;
    sFileInfo m_files[MAX_OPEN_FILES];
    CZRCriticalSection m_lock;
    bool m_bSetup;
    std::vector<sCallback> m_callbacks;
    // Head of the top-level list; only its child list is used.
    sArchiveInfo m_archiveList;
    sArchiveInfo m_archives[MAX_ARCHIVES];
    unsigned long m_archiveCount;
};
