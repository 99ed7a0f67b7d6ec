// CZREvent: an unnamed auto-reset kernel event, unsignalled when constructed.
//
// Each Signal releases one waiter; a Signal with nobody waiting stays set until
// a wait consumes it. A copy holds a second handle to the same event, and each
// object closes only its own handle.
#pragma once

#include "Common/Core/ZRExport.h"
#include "Common/Time/ZRSyncFunctions.h"

class ZR_COMMON_API CZREvent
{
public:
    CZREvent();
    CZREvent(const CZREvent& other);
    CZREvent& operator=(const CZREvent& other);
    virtual ~CZREvent();

    void Signal();
    void Reset();
    // Waits without limit.
    void Wait();
    // Milliseconds, taken as an unsigned 32-bit value (-1 waits without limit).
    // False only when the wait timed out.
    bool TimedWait(long lTimeout);

private:
    ZRHANDLE m_hEvent;
};
