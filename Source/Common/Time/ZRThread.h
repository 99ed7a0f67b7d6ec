// CZRThread: the base of a worker thread. A derived class puts the work into Run,
// which polls IsStopPending() and returns once it turns true; the owner starts,
// stops and prioritises the thread through the base class.
//
// Start creates a thread that runs InitInstance and, when that returns true, Run
// and then ExitInstance (exit code 0); when InitInstance returns false the thread
// ends at once with exit code 0xFFFFFFFF. Stop raises the stop flag, which the
// worker sees at its next poll, and may wait for the thread; it never reports a
// timeout. IsRunning means that this object has created a thread: it stays true
// after the work has ended and after Stop. A second Start first stops the
// previous thread and waits up to 10 s for it.
//
// Lifetime: the thread uses the object until it ends, and the destructor neither
// stops nor waits: the owner calls Stop(true, ...) before destroying an object
// whose thread may still run. The object holds one handle to its thread and
// closes it in the destructor or when a new Start replaces it; closing the
// handle never ends the thread.
//
// Not copyable: the thread is bound to the object it was started on and reads
// that object's stop flag, so a copy's Stop could never reach it (a Stop that
// waits would wait in vain), and a copied handle would be closed twice.
//
// Constructing with bStart true starts no thread: a thread started from this
// constructor would make its first virtual calls while the derived class's
// constructor is still running (a call of the pure Run, and a data race on the
// object). A derived class that wants to run at once calls Start at the end of
// its own constructor.
#pragma once

#include <atomic>
#include <cstdint>

#include "Common/Core/ZRExport.h"
#include "Common/Core/ZRUserValue.h"
#include "Common/Time/ZRSyncFunctions.h"

// Thread priorities; GetPriority gives -1 for a priority outside this list.
enum eThreadPriority : int
{
    ePriorityLow = 0,
    ePriorityNormal = 1,
    ePriorityHigh = 2,
    ePriorityTimeCritical = 3,
};

class ZR_COMMON_API CZRThread
{
public:
    explicit CZRThread(bool bStart = false);
    CZRThread(const CZRThread&) = delete;
    CZRThread& operator=(const CZRThread&) = delete;
    virtual ~CZRThread();

    // Called on the new thread first; false ends the thread without Run.
    virtual bool InitInstance();
    // Called on the thread after Run has returned.
    virtual void ExitInstance();
    // False when the thread could not be created.
    virtual bool Start(ZRUserValue dwUserParam, eThreadPriority ePriority);
    // dwTimeout in ms; 0xFFFFFFFF or more waits without limit. Always true.
    virtual bool Stop(bool bWait, unsigned long dwTimeout);
    // The work, on the thread; its result is not used.
    virtual unsigned long Run() = 0;
    // Safe to call from any thread.
    virtual bool IsStopPending() const;
    // Safe to call from any thread.
    virtual bool IsRunning() const;

    // Another value than the four listed sets the normal priority.
    void SetPriority(eThreadPriority ePriority);
    eThreadPriority GetPriority() const;
    ZRUserValue GetUserParam() const;

protected:
    // This object's handle to its thread, 0 before the first Start; for waits.
    ZRHANDLE GetThreadHandle() const;

private:
    static std::uint32_t ThreadProcess(void* pParam);
    void CloseThreadHandle();

    // Written by the platform before the thread runs, cleared by the thread at
    // the end of its work.
    std::uint32_t m_nThreadId;
    std::atomic<ZRHANDLE> m_hThread;
    ZRUserValue m_dwUserParam;
    std::atomic<bool> m_bStopPending;
};
