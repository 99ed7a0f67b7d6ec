// CZRFileScanner: walks directory trees on disk and reports the files that match
// a wildcard mask, in the calling thread or in a thread of its own.
#pragma once

#include <vector>

#include "Common/Core/ZRExport.h"
#include "Common/Core/ZRUserValue.h"
#include "Common/Core/ZRString.h"
#include "Common/Time/ZRSyncFunctions.h"

class CZREvent;

// The first argument of a scanner callback.
enum eScannerMode
{
    SCANNER_START = 0,    // the scanning thread begins; no file data
    SCANNER_FILE = 1,     // a matching file was found
    SCANNER_DONE = 2,     // the scanning thread finished every directory; no file data
    SCANNER_STOPPED = 3,  // the scanning thread ended after a stop request; no file data
};

// The file reported with SCANNER_FILE. It lives only during the callback.
struct sFileData
{
    CZRString strName;       // the file's name without a path
    CZRString strDirectory;  // the directory searched: a scan directory as added,
                             // or a subdirectory below it ("dir\sub")
    CZRString strSubPath;    // a path below the directory; empty in every scan
    CZRString strPath;       // directory followed by sub path
};

// Called with the mode, the file (null unless SCANNER_FILE) and the user value
// given to Run or RunThread, unchanged.
typedef void (*FileScannerCallback)(eScannerMode mode, sFileData* pFileData, ZRUserValue ulUser);

// Each scan directory D is walked with its own mask M, in the order added:
// first the files of D matching M (never directories) in listing order, which
// is by name without regard to case; then, when subdirectories are included,
// each subdirectory's whole tree in the same order. Subdirectories whose name
// starts with a dot (".svn") are neither scanned nor counted. A directory that
// does not exist reports nothing. Masks are Windows wildcards ('*', '?'),
// matched without regard to case.
//
// Threads: RunThread scans on a new thread that works on copies of the lists,
// the flag, the callback and the start event, so the scanner may be changed,
// copied or destroyed while it runs; the callback is then called on that thread
// and must not throw. StopThread may be called from any thread. It stops every
// scan of the process (Run or RunThread, of any scanner) begun before the call,
// and none begun after it: the current listing ends after the entry being
// handled (at the earliest after its second entry), no further subdirectory is
// entered, each remaining scan directory still lists at most two entries, and
// a scanning thread ends with SCANNER_STOPPED. One scanner object is used by one
// thread at a time.
class ZR_COMMON_API CZRFileScanner
{
public:
    // The result of GetThreadPriority without a thread (THREAD_PRIORITY_ERROR_RETURN).
    static constexpr int THREAD_PRIORITY_ERROR = 0x7FFFFFFF;

    CZRFileScanner();
    // Copies the flag and both lists; the copy gets a handle of its own to the
    // same thread.
    CZRFileScanner(const CZRFileScanner& other);
    CZRFileScanner& operator=(const CZRFileScanner& other);
    // Releases the thread handle; a running thread goes on and ends by itself.
    virtual ~CZRFileScanner();

    // Whether Run and RunThread descend into subdirectories; true at construction.
    void SetIncludeSubDirs(bool bIncludeSubDirs);
    // Appends a directory (relative to the current directory, or absolute) and
    // its mask. No checks; duplicates are scanned twice.
    void AddScanDirectory(const CZRString& directory, const CZRString& mask);

    // Scans every directory in the calling thread and calls the callback with
    // SCANNER_FILE for each file. A null callback only walks the trees.
    void Run(FileScannerCallback pfnCallback, ZRUserValue ulUser);

    // Starts a thread that waits until pStartEvent is signalled (when one is
    // given), calls the callback with SCANNER_START, scans like Run and ends
    // with SCANNER_DONE or SCANNER_STOPPED. Returns at once; false when no
    // thread could be started. The thread holds a handle of its own to the
    // event, so the caller may destroy its event once it has signalled it. The
    // thread starts at normal priority: set another one before signalling the
    // event to have the whole scan run at it. A thread started earlier by this
    // scanner is left to run on and end by itself.
    bool RunThread(FileScannerCallback pfnCallback, ZRUserValue ulUser, CZREvent* pStartEvent);
    // Stops the scans begun so far, see above; does not wait.
    void StopThread();

    // Waits up to ulTimeout milliseconds (0xFFFFFFFF: without limit) for the
    // thread last started by RunThread to end. True when it has ended, or when
    // no thread was started.
    bool WaitThread(unsigned long ulTimeout) const;
    // Windows thread priorities (-15, -2 to 2, 15) of the thread last started by
    // RunThread, also after it has ended. Set returns false without a thread or
    // for another value; Get returns THREAD_PRIORITY_ERROR without a thread.
    bool SetThreadPriority(int nPriority);
    int GetThreadPriority() const;

    // Sets both counters to 0, then adds the files matching mask and the folders
    // below every scan directory, always descending into subdirectories. The
    // masks of the list, the include flag and stop requests play no part.
    void GetFolderFileCount(int& files, int& folders, const CZRString& mask) const;

private:
    bool m_bIncludeSubDirs;
    ZRHANDLE m_hThread;
    std::vector<CZRString> m_scanDirectories;
    std::vector<CZRString> m_masks;
};
