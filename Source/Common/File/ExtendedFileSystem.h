// CExtendedFileSystem: the one virtual file system of the process.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "Common/Core/ZRExport.h"
#include "Common/Core/ZRString.h"
#include "Common/Core/ZRUserValue.h"
#include "Common/File/FileFunctions.h"
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

// The archive records behind the implementation.
struct sArchiveDirectory;
struct sArchiveEntry;
struct sArchiveHeader;
struct sArchiveInfo;
class CArchiveContainer;

// The parameters and user value of a callback. Parameter 1 carries an address.
typedef ZRUserValue XfsParam;

// Receives progress events (eXfsEvent): (event, parameter 1, parameter 2, user value).
typedef void (*XfsCallback)(int event, XfsParam param1, XfsParam param2, XfsParam user);

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
// the handle stays usable. The handle table, the roots, the callbacks and the
// archive registry are guarded by the object's lock, so any thread may open,
// close, add or remove roots and callbacks, and read them back, at any time.
// A plain file is opened outside the lock, which is then taken only to claim
// its record, so opens on several threads reach the disk in parallel; the
// archive route runs under the lock.
// Every other handle operation takes no lock, so a handle must be used by one
// thread at a time.
//
// Causes: after a CXfsException, FILE_GetLastError() on the throwing thread
// tells why. When a FILE_ call failed, it is that call's cause (none when the
// call recorded none, as at the end of a stream), and the cleanup that follows
// (closing streams, going back to a directory) does not replace it. When the
// data is at fault (a damaged archive, 4006 or 4014; a seek out of range,
// 4009; a bad handle or argument, 4008; a file or offset past 32 bits; a link
// back into a directory being packed) it is FILE_ERROR_NONE. A full handle
// table or archive pool gives FILE_ERROR_TOO_MANY_OPEN. 4002 gives the most
// telling cause of the places tried: the first that is not "not found", else
// FILE_ERROR_NOT_FOUND. An operation that returns normally leaves the cause as
// it found it, unless its result reports a failure (FileExists, Flush and
// ExtractArchive returning false), which leaves the cause of that failure.
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
    // Copies every member, roots, callbacks and registered archives included;
    // the copy gets a lock of its own.
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
    // index must be below GetRootCount(). The reference stays valid while roots
    // are added, and until this root is removed (RemoveRoot, RemoveAllRoots),
    // the object is assigned to or it is destroyed.
    const CZRString& GetRoot(long index) const;

    // A null function is ignored; a function may be added more than once and
    // is then called once per registration.
    void AddCallback(XfsCallback function, XfsParam user);
    // Removes the first registration of function; null or unknown: nothing.
    void RemoveCallback(XfsCallback function);
    long GetCallbackCount() const;
    bool HasCallbacks() const;
    // Callbacks run on the thread of the operation that raises the event,
    // outside the lock: a callback may add or remove callbacks, which then
    // take effect from the next event on.

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

    // Archives held in memory (beyond the classic lookup). Registers the
    // archive image of size bytes under name (no separator; «.arc» is implied
    // as for files), so that name\path\file opens out of the image exactly as
    // out of name.arc on disk, nested archives included, and before any such
    // file on disk. The caller keeps the bytes unchanged and alive until it
    // unregisters the name. The image is checked as strictly as a file before
    // anything is registered: a damaged one throws 4006, a wrong magic or
    // version 4014. False for a null or empty name, a null image of non-zero
    // size, a name with a separator, a name already registered, or a full
    // archive registry (each registration takes one record per archive in the
    // image, given back only with the process).
    bool RegisterArchiveImage(const char* name, const void* image, unsigned long size);
    // False when no image is registered under name, or while a file opened out
    // of it is still open.
    bool UnregisterArchiveImage(const char* name);

    // Archives. Both change the process's current directory while they run and
    // restore it on every way out, so no other thread may rely on relative
    // names meanwhile, and only one of them may run at a time.
    //
    // Packs the tree of directory into the file archive («.arc» is appended
    // when its extension differs, case aside). The last component of directory,
    // without its extension, is the directory packed. Entries are the files,
    // then the subdirectories, each in the platform's listing order, so a tree
    // always packs to the same bytes. Callbacks get XFS_EVENT_COUNT_ENTRY and
    // XFS_EVENT_ARCHIVE_FILE. True; throws 4010 when a file cannot be opened or
    // a directory cannot be listed, 4006/4007 on short reads and writes,
    // 4012/4013 when header or directory cannot be written, 4016 when a
    // directory cannot be entered (a link back into a directory being packed
    // included). A failure leaves a partial archive behind.
    bool CreateArchive(const char* archive, const char* directory);
    // Unpacks archive into the directory «<archive's base name>» inside
    // directory (whose last component loses its extension; empty: the current
    // directory). False when the archive cannot be registered. Callbacks get
    // XFS_EVENT_EXTRACT_DIRECTORY and XFS_EVENT_EXTRACT_FILE. Nested archives
    // are read for the walk only and take no record of the registration pool,
    // so a tree of any size comes out whole. Throws 4006/4014 for a damaged
    // archive (found where the walk reaches it, so the files before it are
    // already written), 4005 for a file that cannot be created, 4006/4007 on
    // short reads and writes, 4010 when the archive cannot be reopened, 4016
    // when a directory cannot be created or entered.
    bool ExtractArchive(const char* archive, const char* directory);

private:
    struct sCallback
    {
        XfsCallback function;
        XfsParam user;
    };
    struct sState;
    struct sListing;
    struct sListedName;

    static CExtendedFileSystem* const m_pInstance;
    static CExtendedFileSystem m_instance;

    // Calls every registered function in order with its own user value; the
    // list is copied under the lock and called outside it.
    void Notify(int event, XfsParam param1, XfsParam param2) const;

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

    // Takes the lock where it needs it (records, roots, registry); plain files
    // are opened outside it. INVALID_HANDLE when nothing was found; the cause
    // then is the lookup's.
    unsigned long LookupFile(const char* name);
    // The plain file path, else the archive route (under the lock); the record
    // stays free on failure.
    unsigned long ArchiveFileOpen(const char* path);
    // Claims a record for a plain file's stream; closes it when none is free.
    unsigned long AdoptPlainFile(int stream);
    // Root index joined with name; false past the last root.
    bool RootedName(std::size_t index, const char* name, std::string& path) const;
    // Each component before a separator names an archive, the first a top-level
    // one, each further one nested in the one before; the last component is
    // looked up in the last archive. Throws what registration throws, 4010
    // when the container cannot be reopened. topEnd, when given, is the
    // separator that ends the top-level archive's name (which then may hold
    // directories); otherwise the first separator does.
    unsigned long OpenFromArchive(sFileInfo& file, const char* path, const char* topEnd = nullptr);
    // Beyond the lookup above, tried when it found nothing: the longest prefix
    // of path that is an existing directory holds the top-level archive named
    // by the component after it.
    unsigned long ArchiveFileOpenUnderDirectory(const char* path);
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
    // its file name has no dot) and is told apart from others by its file name
    // and the identity of its directory. Its file stays open while it is
    // registered, so files are read out of it whatever the current directory
    // is by then. A nested archive is an entry of parent flagged
    // ARCHIVE_ENTRY_NESTED. A registered archive is returned as found. Null
    // when the file or entry is missing or the pool is exhausted; throws 4006
    // for a short or structurally impossible header or directory (every rule
    // of ZRArchiveFormat.h), 4014 for a wrong magic or version, 4010 when a
    // container cannot be reopened.
    sArchiveInfo* RegisterArchive(sArchiveInfo* parent, const char* name);
    sArchiveInfo* RegisterTopLevelArchive(const char* name);
    sArchiveInfo* RegisterNestedArchive(sArchiveInfo& parent, const char* name);
    // Reads and checks header and directory of the archive at base, where the
    // stream stands, in available bytes (a nested archive fills them exactly).
    sArchiveDirectory ReadArchive(int stream, std::uint32_t base, std::uint64_t available,
                                  bool nested) const;
    sArchiveHeader ReadArchiveHeader(int stream, std::uint64_t available, bool nested) const;
    std::vector<sArchiveEntry> ReadArchiveDirectory(int stream, std::uint32_t base,
                                                    const sArchiveHeader& header) const;
    // The nested archive of parent's entry, read from stream, parent's container.
    sArchiveDirectory ReadNestedArchive(int stream, const sArchiveDirectory& parent,
                                        const sArchiveEntry& entry) const;
    // A stream of its own on an archive's open file; throws 4010 when no stream is free.
    int OpenContainer(const CArchiveContainer& container) const;

    // The listing of the current directory kept in listing: a pattern starts
    // it and returns the first name, null continues it; null at its end.
    char* FindFiles(sListing& listing, const char* pattern, bool* isDirectory,
                    unsigned long* size);
    std::vector<sListedName> CountEntries(const std::string& directory);
    void RecursiveArchiveCreate(const char* name, int file, std::vector<std::string>& ancestors);
    void ArchiveFile(int file, std::uint64_t base, const std::string& directory,
                     const sListedName& listed, sArchiveEntry& entry);
    void ArchiveSubdirectory(int file, std::uint64_t base, const sListedName& listed,
                             sArchiveEntry& entry, std::vector<std::string>& ancestors);
    void FinishArchive(int file, std::uint64_t base, sArchiveHeader& header,
                       const std::vector<sArchiveEntry>& entries) const;
    void RecursiveArchiveExtract(const char* name, const sArchiveDirectory& archive,
                                 const CArchiveContainer& container);
    void ExtractFile(const CArchiveContainer& container, const sArchiveDirectory& archive,
                     const sArchiveEntry& entry, const std::string& directory,
                     const char* archiveDirectory);
    // Copies count bytes between streams through a bounded buffer.
    void CopyBytes(int from, int to, std::uint64_t count) const;
    // Offset of the stream's position from base; throws code when it does not
    // fit the format's 32 bits.
    std::uint32_t OffsetFrom(int stream, std::uint64_t base, unsigned long code) const;
    void NotifyArchiveFile(int event, const std::string& directory, const std::string& name) const;

    // Throws code with its message. ThrowError keeps the cause a failing FILE_
    // call recorded; ThrowDataError clears it, the data being at fault; the
    // third form sets cause.
    [[noreturn]] void ThrowError(unsigned long code, unsigned long line) const;
    [[noreturn]] void ThrowDataError(unsigned long code, unsigned long line) const;
    [[noreturn]] void ThrowError(unsigned long code, unsigned long line, eFileError cause) const;
    [[noreturn]] void ThrowException(unsigned long code, unsigned long line, const char* file,
                                     const char* message) const;

    sFileInfo m_files[MAX_OPEN_FILES];
    mutable CZRCriticalSection m_lock;
    bool m_bSetup;
    // Roots, callbacks and the archive registry (never null).
    std::unique_ptr<sState> m_state;
};
