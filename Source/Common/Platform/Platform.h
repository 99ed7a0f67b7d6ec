// The operating-system services the library needs, as one list of contracts.
//
// Everything above this layer reaches the OS only through these declarations.
// What is the same on every OS (name folding, wildcards, listing order,
// listings) is written once beside this header (PlatformNames, PlatformFind);
// a backend, one directory per OS chosen by the build (Posix/, Win32/),
// implements the rest and the few primitives of PlatformBackend.h. Test builds
// pass the backend's OS calls through PlatformSeam.h. The declarations use no OS types: handles
// are opaque integers, times are milliseconds, results follow the Windows semantics
// the library was designed around (recursive mutexes, auto/manual-reset events,
// 0xFFFFFFFF = wait without limit). Unless a contract says otherwise a function
// may be called from any thread, does not block, and reports failure by its result
// with the reason available from GetLastError() on the same thread.
//
// Internal header: not installed, not exported.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ZRPlatform
{

// ---- Errors -------------------------------------------------------------------
// The backend translates OS error numbers in exactly one place into these values.

enum class Error : int
{
    None = 0,
    NotFound,         // file or object does not exist
    PathNotFound,     // a directory on the way does not exist
    AccessDenied,
    AlreadyExists,
    NotEmpty,         // directory not empty
    NoSpace,          // disk full or quota exceeded
    TooManyOpen,      // descriptor, handle or slot limit reached
    InvalidArgument,
    InvalidHandle,    // null, closed or wrong kind of handle
    Busy,
    BrokenPipe,       // the other end of a channel is gone
    WouldBlock,       // nothing to read / no room, and the call must not wait
    MessageTooLarge,
    OutOfMemory,
    NotSupported,
    Io,               // any other I/O failure
};

// The error of the calling thread's most recent failing call (None after start).
Error GetLastError();
// Records err for the calling thread; used by the backend and by test wrappers.
void SetLastError(Error err);
// A short fixed English text for err ("not found", ...); never null.
const char* DescribeError(Error err);

// ---- Kernel objects and waits -------------------------------------------------
// Mutexes, events, semaphores and threads are kernel objects named by handles.
// A handle stays valid until ObjectClose; the object lives until its last handle
// is closed. Using a closed or made-up handle fails with InvalidHandle, never
// crashes. Objects given a non-null name are shared within the process: creating
// a second object of the same kind and name opens the first.

using Handle = std::uintptr_t;
constexpr Handle kNullHandle = 0;
constexpr std::uint32_t kInfinite = 0xFFFFFFFFu;

// Wait outcomes, numerically equal to the Windows wait results.
enum class WaitResult : std::uint32_t
{
    Signaled = 0x000,   // WAIT_OBJECT_0: the object was acquired / was signalled
    Abandoned = 0x080,  // WAIT_ABANDONED: acquired a mutex whose owner ended holding it
    Timeout = 0x102,    // WAIT_TIMEOUT
    Failed = 0xFFFFFFFFu // WAIT_FAILED: bad handle or an object that cannot be waited on
};

// Mutex: recursive, owned by the thread that acquired it; each successful wait adds
// one ownership, each MutexRelease removes one. When the owning thread ends while
// holding it, the next waiter acquires it with WaitResult::Abandoned.
Handle MutexCreate(bool initiallyOwned, const char* name);
// Fails (false, AccessDenied) when the calling thread does not own the mutex.
bool MutexRelease(Handle mutex);

// Event: manual reset stays signalled until EventReset and releases every waiter;
// auto reset releases exactly one waiter and turns unsignalled again. A signal
// with nobody waiting stays set until a wait consumes it.
Handle EventCreate(bool manualReset, bool initiallySignaled, const char* name);
bool EventSet(Handle event);
bool EventReset(Handle event);

// Semaphore: a count between 0 and maximum; a wait takes one unit. Creation fails
// (InvalidArgument) unless 0 <= initial <= maximum and maximum > 0.
Handle SemaphoreCreate(long initialCount, long maximumCount, const char* name);
// Adds releaseCount units. Fails without change (InvalidArgument) when the count
// would exceed the maximum or releaseCount < 1. previousCount may be null.
bool SemaphoreRelease(Handle semaphore, long releaseCount, long* previousCount);

// Waits until the object is signalled or timeoutMs have passed (kInfinite: no
// limit, 0: test only). Threads are signalled once they have ended. Blocks.
WaitResult ObjectWait(Handle object, std::uint32_t timeoutMs);

// A second handle to the same object (Windows DuplicateHandle); kNullHandle on failure.
Handle ObjectDuplicate(Handle object);
// Closes one handle. False (InvalidHandle) for a null or already closed handle.
bool ObjectClose(Handle object);

// ---- Recursive lock -----------------------------------------------------------
// An in-process lock that the owning thread may enter again (Windows critical
// section). The lock lives inside the object: constructing one allocates
// nothing and cannot fail. Not copyable. Enter blocks.

class RecursiveLock
{
public:
    // Room for the backend's lock; each backend checks its lock fits.
    static constexpr std::size_t kStorageSize = 64;
    static constexpr std::size_t kStorageAlign = 16;

    RecursiveLock();
    ~RecursiveLock();
    RecursiveLock(const RecursiveLock&) = delete;
    RecursiveLock& operator=(const RecursiveLock&) = delete;

    void Enter();
    bool TryEnter();
    // Only by the owning thread, once per Enter / successful TryEnter.
    void Leave();

private:
    alignas(kStorageAlign) unsigned char m_storage[kStorageSize];
};

// ---- Threads ------------------------------------------------------------------
// A thread handle is a kernel object: ObjectWait on it returns Signaled once the
// thread's entry has returned. Priorities are Windows thread priorities
// (-15, -2..2, 15); the backend applies what the OS allows and always reports
// back the last value set through ThreadSetPriority.

using ThreadEntry = std::uint32_t (*)(void* argument);
constexpr int kThreadPriorityError = 0x7FFFFFFF;    // THREAD_PRIORITY_ERROR_RETURN
constexpr std::uint32_t kThreadStillActive = 259;   // STILL_ACTIVE

// Starts entry(argument) on a new thread at once. threadId (may be null) receives
// a non-zero id before the thread runs. kNullHandle on failure.
Handle ThreadCreate(ThreadEntry entry, void* argument, std::uint32_t* threadId);
bool ThreadSetPriority(Handle thread, int priority);
// kThreadPriorityError for a bad handle.
int ThreadGetPriority(Handle thread);
// The entry's result once it has returned, kThreadStillActive before.
bool ThreadGetExitCode(Handle thread, std::uint32_t* exitCode);
std::uint32_t ThreadCurrentId();
// Blocks the calling thread for at least ms milliseconds (0: yields).
void ThreadSleep(std::uint32_t ms);

// ---- Clocks and periodic timers -------------------------------------------------

// Milliseconds since an arbitrary start (GetTickCount / timeGetTime); wraps at 2^32.
std::uint32_t ClockTickMs();
// Whether the machine has a high-resolution counter (QueryPerformanceCounter works).
bool ClockHasCounter();
// The monotonic high-resolution counter and its ticks per second; both 0 when
// the machine has no counter.
std::int64_t ClockCounter();
std::int64_t ClockFrequency();

// Periodic or one-shot callbacks on a timer thread of the library
// (timeSetEvent). The callback runs on that thread, never concurrently with
// itself. Returns the timer id, 0 on failure.
using TimerCallback = void (*)(std::uint32_t timerId, std::uintptr_t user);
std::uint32_t TimerStart(std::uint32_t delayMs, std::uint32_t resolutionMs, bool periodic,
                         TimerCallback callback, std::uintptr_t user);
// Stops a timer; on return its callback is not running and will not run again
// (unless called from that callback, which returns normally). False for an unknown id.
bool TimerStop(std::uint32_t timerId);
// timeBeginPeriod / timeEndPeriod: request and end a timer resolution. 0 on
// success, non-zero when the period is out of range (0 ms).
std::uint32_t TimerBeginPeriod(std::uint32_t periodMs);
std::uint32_t TimerEndPeriod(std::uint32_t periodMs);

// ---- Channels -----------------------------------------------------------------
// Pipe: an anonymous byte pipe. Reads block until at least one byte is available
// (or the write end is closed: then 0 bytes and true). Handles are closed with
// ObjectClose.
bool PipeCreate(Handle* readEnd, Handle* writeEnd);
bool PipeWrite(Handle writeEnd, const void* data, std::uint32_t size, std::uint32_t* written);
bool PipeRead(Handle readEnd, void* data, std::uint32_t size, std::uint32_t* read);
// Bytes waiting in the pipe without reading them; never blocks.
bool PipePeek(Handle readEnd, std::uint32_t* available);

// Datagram channel (mail slot): a server end created under a Windows-style name
// ("\\.\mailslot\x" or "\\*\mailslot\x") receives whole messages; client ends open
// the name and send messages. "*" (broadcast) and "." both mean this machine.
// Names are process-independent and, by default, belong to one user: a server
// receives only what processes of its user send, and a client reaches only a
// server of its own user. A backend may offer machine-wide names on request
// (its notes say how). Handles are closed with ObjectClose.
constexpr std::uint32_t kMailSlotNoMessage = 0xFFFFFFFFu;   // MAILSLOT_NO_MESSAGE
Handle MailSlotCreate(const char* name, std::uint32_t maxMessageSize);
// A local name must be served now (NotFound), by the caller's user (AccessDenied);
// a broadcast name opens whether or not anybody serves it.
Handle MailSlotOpen(const char* name);
// A broadcast that no server of the caller's user takes is sent and lost (true);
// a local name whose server has gone fails (NotFound).
bool MailSlotSend(Handle client, const void* data, std::uint32_t size, std::uint32_t* sent);
// Never waits: false (WouldBlock) when no message is waiting; false
// (MessageTooLarge, message kept) when the next message exceeds size.
bool MailSlotReceive(Handle server, void* data, std::uint32_t size, std::uint32_t* received);
// Any pointer may be null. nextSize is kMailSlotNoMessage when none is waiting.
bool MailSlotInfo(Handle server, std::uint32_t* maxMessageSize, std::uint32_t* nextSize,
                  std::uint32_t* messageCount);

// ---- Files and directories ----------------------------------------------------
// Paths are Windows names: '\' and '/' both separate components, an optional
// drive ("C:") may lead, and names compare without regard to case (ASCII
// letters). A backend maps them onto its OS as its own notes say; the results
// below are the same on every OS. Failures set GetLastError(): NotFound for a
// missing name, PathNotFound for a missing directory on the way.

// Open flags. Read and/or Write say what the handle may do; Create makes a
// missing file, Truncate empties an existing one, Append makes every write go
// to the end of the file whatever offset is given.
constexpr std::uint32_t kFileRead = 0x01;
constexpr std::uint32_t kFileWrite = 0x02;
constexpr std::uint32_t kFileCreate = 0x04;
constexpr std::uint32_t kFileTruncate = 0x08;
constexpr std::uint32_t kFileAppend = 0x10;

// An open file: unbuffered, with no position of its own (every transfer names
// its offset), so one handle may serve several readers. Closed with FileClose.
using FileHandle = std::intptr_t;
constexpr FileHandle kInvalidFile = -1;

// Opens a file. A directory is refused (AccessDenied), as Windows refuses it.
// size (may be null) receives the file's length at the open. kInvalidFile on
// failure. May block on the disk.
FileHandle FileOpen(const char* path, std::uint32_t flags, std::uint64_t* size = nullptr);
// Reads up to size bytes at offset; *read receives the count, which is less than
// size at the end of the file (a device may also give less when that is all it
// has at once). May block.
bool FileReadAt(FileHandle file, std::uint64_t offset, void* buffer, std::size_t size,
                std::size_t* read);
// Writes size bytes at offset (at the end for kFileAppend); *written receives the
// count, which is less than size only on failure (NoSpace, ...). May block.
bool FileWriteAt(FileHandle file, std::uint64_t offset, const void* buffer, std::size_t size,
                 std::size_t* written);
// The file's length, from the open handle.
bool FileGetSize(FileHandle file, std::uint64_t* size);
// Closes the handle, even when it reports an error (the handle is gone either way).
bool FileClose(FileHandle file);

// Windows attribute bits as the OS reports them.
constexpr std::uint32_t kAttrReadOnly = 0x01;
constexpr std::uint32_t kAttrHidden = 0x02;
constexpr std::uint32_t kAttrSystem = 0x04;
constexpr std::uint32_t kAttrDirectory = 0x10;
constexpr std::uint32_t kAttrArchive = 0x20;
constexpr std::uint32_t kAttrNormal = 0x80;
constexpr std::uint32_t kAttrInvalid = 0xFFFFFFFFu;

// The Windows attributes of a file or directory; kAttrNormal when none applies,
// kAttrInvalid for a missing path.
std::uint32_t FileGetAttributes(const char* path);
// Applies the read-only bit (the others are accepted and ignored). Directories
// are never made read-only: it would stop files being created in them.
bool FileSetAttributes(const char* path, std::uint32_t attributes);
// Directories and read-only files are refused (AccessDenied).
bool FileDelete(const char* path);
bool DirectoryCreate(const char* path);
bool DirectoryRemove(const char* path);     // empty directories only
bool DirectorySetCurrent(const char* path);
// The current directory; false (InvalidArgument) when size is too small.
bool DirectoryGetCurrent(char* buffer, std::size_t size);

// Directory listing with a Windows wildcard pattern ("dir\*.txt"; '*' and '?'
// match without regard to case, and a trailing ".*" also matches names without
// an extension). "." and ".." come first, as Windows lists them; the rest are in
// the order fixed on every machine: names sorted without regard to case, ties
// by byte order. A name too long for DirectoryEntry::name is left out.
struct DirectoryEntry
{
    char name[260];            // the entry's name, no directory part
    std::uint32_t attributes;  // as FileGetAttributes
    std::uint64_t size;        // bytes, 0 for directories
    std::int64_t writeTime;    // seconds since 1970-01-01 UTC
};
using FindHandle = std::uintptr_t;   // 0 = no listing
// Lists the matches of pattern; 0 (NotFound) when nothing matches. Each listing
// is independent, so any number may run at once on any threads.
FindHandle FindFirst(const char* pattern, DirectoryEntry* entry);
// The next match; false (NotFound) after the last.
bool FindNext(FindHandle find, DirectoryEntry* entry);
void FindClose(FindHandle find);

// A directory's identity (device and file number): two names of one directory
// give the same identity, and a directory replaced under the same name does not.
struct DirectoryId
{
    std::uint64_t device;
    std::uint64_t file;

    bool operator==(const DirectoryId& other) const
    {
        return device == other.device && file == other.file;
    }
};
bool DirectoryIdentify(const char* path, DirectoryId* id);

// A lookup scope. While one is open on a thread, that thread's file calls see
// each directory as it was when they first looked into it during the scope: a
// directory is examined at most once, and a name it does not hold (in any case)
// fails at once, NotFound or PathNotFound, without asking the OS again. A
// search that tries one name in several places (the file system's roots and
// archives) opens one, so the disk answers each question once per search; to
// the caller the disk looks as it did when the search began. Scopes nest; the
// outermost one's end forgets what was seen.
class LookupScope
{
public:
    LookupScope();
    ~LookupScope();
    LookupScope(const LookupScope&) = delete;
    LookupScope& operator=(const LookupScope&) = delete;
};

// The standard streams of the process, for tools.
enum class StandardStream
{
    Input,
    Output,
    Error,
};
// Whether the stream is an interactive terminal (a progress bar is wanted there).
bool StandardStreamIsTerminal(StandardStream stream);
// Makes the C runtime's stream (stdin, stdout, stderr) carry bytes unchanged.
// Windows' runtime turns line feeds into CR LF in its default text mode; POSIX
// runtimes never translate. False when the runtime refuses.
bool StandardStreamSetBinary(StandardStream stream);

// ---- Multibyte text -------------------------------------------------------------
// Zero-terminated text in the process's multibyte code page, one function per C
// runtime multibyte function (Windows: _setmbcp and the _mbs* family). Where the
// OS has no code pages the backend knows code page 0 and every single-byte code
// page (plain byte functions) and 932, Shift-JIS; it refuses the other double-
// byte pages. In a double-byte page a lead byte and the byte after it form one
// character whose code is lead << 8 | trail (a lead byte before the terminator
// stands alone); searches match, and counted copies cut, only at character
// starts. The code page is process-wide; the tokenizer's position is per thread.

// False, changing nothing, for a code page the platform does not support.
bool MbSetCodePage(unsigned int codePage);
unsigned int MbGetCodePage();
bool MbIsLeadByte(int c);
// Comparisons: by character code, ignoring case, by the locale's collation.
int MbCompare(const char* a, const char* b);
int MbCompareNoCase(const char* a, const char* b);
int MbCollate(const char* a, const char* b);
int MbCollateNoCase(const char* a, const char* b);
// In place; each returns s.
char* MbLower(char* s);
char* MbUpper(char* s);
char* MbReverse(char* s);
// Searches; null when nothing matches. c = 0 finds the terminator.
char* MbFindChar(const char* s, unsigned int c);
char* MbFindLastChar(const char* s, unsigned int c);
char* MbFindText(const char* s, const char* sub);
char* MbFindAnyOf(const char* s, const char* set);
// Counted copy and append (_mbsnbcpy, _mbsnbcat); both return dst.
char* MbCopyCounted(char* dst, const char* src, std::size_t count);
char* MbAppendCounted(char* dst, const char* src, std::size_t count);
// The character after p; the one before p scanning from start (null at start).
char* MbNext(const char* p);
char* MbPrevious(const char* start, const char* p);
bool MbIsSpace(unsigned int c);
// strtok in characters, with a position of the calling thread's own.
char* MbTokenize(char* s, const char* delimiters);

// ---- Process and user interface -------------------------------------------------

std::uint32_t ProcessCurrentId();
// Ends the process at once: no exit handlers, no static destructors, no DLL
// detach (TerminateProcess of the process itself on Windows).
[[noreturn]] void ProcessExitNow(std::uint32_t code);
// The machine's name, as the registry value "ComputerName" gives it on Windows.
bool ComputerName(char* buffer, std::size_t size);
// Sends text, as it stands, to the debugger output hook when one is set, else to
// an attached debugger (OutputDebugString), else to standard error. Null sends
// nothing.
void DebugOutput(const char* text);
// Receives every DebugOutput text instead of the debugger and standard error
// (hosts, tools and tests capture output so); null restores the default. A call
// already under way on another thread may still reach the previous hook.
using DebugOutputHook = void (*)(const char* text, void* user);
void DebugOutputSetHook(DebugOutputHook hook, void* user);
bool DebuggerPresent();
// Stops in an attached debugger (a breakpoint trap); without one the OS ends
// the process as it ends it for an unhandled trap.
void DebuggerBreak();

// A modal message box (MessageBoxA). style holds the Windows MB_ bits; the result
// is the Windows button id (IDOK 1, IDCANCEL 2, IDABORT 3, IDRETRY 4, IDYES 6,
// IDNO 7), or 0 (InvalidArgument) for unknown buttons. The default, without a
// handler, shows a real modal box only on Windows, when the process runs on an
// interactive desktop and the environment has no ZR_UNATTENDED variable.
// Otherwise it never waits for a user: it writes "\n" caption "\n" text "\n"
// to standard error and answers with the first button of the set (OK, or Yes
// for Yes/No/Cancel). Tests and unattended runs set a handler or ZR_UNATTENDED.
using MessageBoxHandler = int (*)(const char* text, const char* caption, std::uint32_t style,
                                  void* user);
int MessageBoxShow(const char* text, const char* caption, std::uint32_t style);
// Replaces how message boxes are shown (hosts, tools, tests); user is passed to
// every call of handler. Null restores the default. A box already showing on
// another thread may still be answered by the previous handler.
void MessageBoxSetHandler(MessageBoxHandler handler, void* user);

} // namespace ZRPlatform
