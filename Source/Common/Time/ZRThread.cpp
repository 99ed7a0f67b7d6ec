#include "Common/Time/ZRThread.h"

#include "Common/Platform/Platform.h"

namespace
{
constexpr std::uint32_t kExitNormal = 0;
constexpr std::uint32_t kExitRefused = 0xFFFFFFFFu;
constexpr unsigned long kRestartWaitMs = 10000;
constexpr int kUnknownPriority = -1;

// The platform priority of each eThreadPriority, in enumeration order.
constexpr int kPlatformPriorities[] = {-2, 0, 2, 15};
constexpr int kPriorityCount = sizeof kPlatformPriorities / sizeof kPlatformPriorities[0];
constexpr int kNormalPlatformPriority = 0;

int ToPlatformPriority(eThreadPriority ePriority)
{
    const int index = static_cast<int>(ePriority);
    return index >= 0 && index < kPriorityCount ? kPlatformPriorities[index]
                                                : kNormalPlatformPriority;
}

eThreadPriority FromPlatformPriority(int nPriority)
{
    for (int index = 0; index < kPriorityCount; ++index)
        if (kPlatformPriorities[index] == nPriority)
            return static_cast<eThreadPriority>(index);
    return static_cast<eThreadPriority>(kUnknownPriority);
}

// Timeouts beyond 32 bits wait without limit rather than wrapping to a short wait.
std::uint32_t ToPlatformTimeout(unsigned long dwTimeout)
{
    return dwTimeout >= ZRPlatform::kInfinite ? ZRPlatform::kInfinite
                                              : static_cast<std::uint32_t>(dwTimeout);
}
} // namespace

CZRThread::CZRThread(bool /*bStart: see the header*/)
    : m_nThreadId(0), m_hThread(0), m_dwUserParam(0), m_bStopPending(false)
{
}

CZRThread::~CZRThread() { CloseThreadHandle(); }

bool CZRThread::InitInstance() { return true; }

void CZRThread::ExitInstance() {}

bool CZRThread::Start(ZRUserValue dwUserParam, eThreadPriority ePriority)
{
    if (IsRunning())
        Stop(true, kRestartWaitMs);
    CloseThreadHandle();
    m_nThreadId = 0;
    m_bStopPending.store(false, std::memory_order_relaxed);
    m_dwUserParam = dwUserParam;
    // Creating the thread publishes the fields above to it.
    m_hThread = ZRPlatform::ThreadCreate(&ThreadProcess, this, &m_nThreadId);
    if (!IsRunning())
        return false;
    SetPriority(ePriority);
    return true;
}

bool CZRThread::Stop(bool bWait, unsigned long dwTimeout)
{
    if (!IsRunning())
        return true;
    m_bStopPending.store(true, std::memory_order_release);
    if (bWait)
        ZRPlatform::ObjectWait(m_hThread, ToPlatformTimeout(dwTimeout));
    return true;
}

bool CZRThread::IsStopPending() const { return m_bStopPending.load(std::memory_order_acquire); }

bool CZRThread::IsRunning() const { return m_hThread != 0; }

void CZRThread::SetPriority(eThreadPriority ePriority)
{
    ZRPlatform::ThreadSetPriority(m_hThread, ToPlatformPriority(ePriority));
}

eThreadPriority CZRThread::GetPriority() const
{
    return FromPlatformPriority(ZRPlatform::ThreadGetPriority(m_hThread));
}

ZRUserValue CZRThread::GetUserParam() const { return m_dwUserParam; }

ZRHANDLE CZRThread::GetThreadHandle() const { return m_hThread; }

std::uint32_t CZRThread::ThreadProcess(void* pParam)
{
    CZRThread* pThread = static_cast<CZRThread*>(pParam);
    if (pThread == nullptr || !pThread->InitInstance())
        return kExitRefused;
    pThread->Run();
    pThread->ExitInstance();
    pThread->m_nThreadId = 0;
    return kExitNormal;
}

void CZRThread::CloseThreadHandle()
{
    const ZRHANDLE hThread = m_hThread.exchange(0);
    if (hThread != 0)
        ZRPlatform::ObjectClose(hThread);
}
