#include "Common/Time/ZREvent.h"

#include <cstdint>

#include "Common/Platform/Platform.h"

CZREvent::CZREvent() : m_hEvent(SYNC_CreateEvent(false, false, nullptr)) {}

CZREvent::CZREvent(const CZREvent& other) : m_hEvent(ZRPlatform::ObjectDuplicate(other.m_hEvent))
{
}

CZREvent& CZREvent::operator=(const CZREvent& other)
{
    if (this != &other)
    {
        SYNC_DestroyEvent(m_hEvent);
        m_hEvent = ZRPlatform::ObjectDuplicate(other.m_hEvent);
    }
    return *this;
}

CZREvent::~CZREvent() { SYNC_DestroyEvent(m_hEvent); }

void CZREvent::Signal() { SYNC_SignalEvent(m_hEvent); }

void CZREvent::Reset() { SYNC_ResetEvent(m_hEvent); }

void CZREvent::Wait() { SYNC_WaitEvent(m_hEvent); }

bool CZREvent::TimedWait(long lTimeout)
{
    return SYNC_TimedWaitEvent(m_hEvent, static_cast<std::uint32_t>(lTimeout));
}
