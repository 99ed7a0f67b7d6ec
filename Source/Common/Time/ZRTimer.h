// CZRTimer: the engine's clock. One timer holds four independent stopwatch
// channels on one time source: the high-resolution counter when the machine has
// one, otherwise the millisecond clock (frequency 1000, whole-millisecond steps).
// A channel is defined with a name, then started, stopped, paused, continued,
// reset or set to a time; once per frame Update freezes its frame time and
// works out the rate of that frame alone (1 / the time since the last Update).
//
// The most recently constructed timer (a copy excepted) is the current one,
// returned by ZRGetTimer() and read by CTimer; destroying any timer, a copy
// included, leaves no current timer. The current timer pointer is constant-
// initialised, so it is null before any timer exists.
//
// Channel numbers run from 0 to 3. DefineChannel and UndefineChannel report a
// number outside that range; every other operation ignores it (reads give 0).
// A stopped or undefined channel reads 0.0. Start, Reset and SetTime on a paused
// channel take effect at once: it reads the new time while paused and goes on
// from it after Continue.
//
// Millisecond results are unsigned long, of which only the low 4 bytes count:
// values are cut to 32 bits (negative ones wrap), as where unsigned long is 32
// bits. Not safe for concurrent use of one timer.
//
// Time events call a function on the library's timer thread, once or
// periodically, until UninstallTimeEvent; once that returns, the function is not
// running and will not run again for that event.
#pragma once

#include "Common/Core/ZRExport.h"
#include "Common/Core/ZRUserValue.h"
#include "Common/Core/ZRString.h"

// The calling convention of time event callbacks: that of the Windows
// multimedia timer on Windows, the default elsewhere.
#if defined(_WIN32)
#define ZR_TIMECALLBACK __stdcall
#else
#define ZR_TIMECALLBACK
#endif

// A time event callback: the event id, a message (always 0), the user value
// given to InstallTimeEvent and two reserved values (0).
typedef void(ZR_TIMECALLBACK* LPTIMECALLBACK)(unsigned int uTimerId, unsigned int uMsg,
                                               ZRUserValue dwUser, ZRUserValue dw1,
                                               ZRUserValue dw2);

class CZRTimer;

class ZR_COMMON_API CZRTimer
{
public:
    static constexpr int NUM_CHANNELS = 4;
    // InstallTimeEvent's nType for a periodic event; any other value is one-shot.
    static constexpr int TIME_EVENT_PERIODIC = 1;

    // Becomes the current timer; every channel undefined.
    CZRTimer();
    // Copies the time source and the channels; does not become the current timer.
    CZRTimer(const CZRTimer& other);
    CZRTimer& operator=(const CZRTimer& other);
    // Leaves no current timer, whichever timer was current.
    virtual ~CZRTimer();

    // False for a number outside 0..3 or a defined channel. Clears every field.
    bool DefineChannel(int nChannel, const char* pszName);
    // False for a number outside 0..3. Empties the name; the rest is kept.
    bool UndefineChannel(int nChannel);

    // Channel time 0 now, running (a paused channel stays paused).
    void Start(int nChannel);
    void Stop(int nChannel);
    // Channel time 0 now.
    void Reset(int nChannel);
    // Channel time dSeconds now (and the frozen frame time, when enabled).
    void SetTime(int nChannel, double dSeconds);
    // A paused channel reads the time at which it was paused; a second Pause
    // keeps that time.
    void Pause(int nChannel);
    // Goes on from where Pause stopped the channel.
    void Continue(int nChannel);

    // GetFrameTime then returns the time frozen at the last Update (at once: now).
    void EnableFrameTime(int nChannel);
    void DisableFrameTime(int nChannel);

    // Seconds since Start, less the time paused; 0.0 unless defined and running.
    double GetTime(int nChannel) const;
    unsigned long GetTimeInMs(int nChannel) const;
    // The time source's own reading in seconds, no channel involved.
    double GetTimeDirect() const;
    unsigned long GetTimeInMsDirect() const;
    // 0.0 unless defined and running; the frozen time when frame time is
    // enabled, else the live time.
    double GetFrameTime(int nChannel) const;
    // 1 / the channel time between the last two Updates; 0 when that was not positive.
    double GetFPS(int nChannel) const;

    // Freezes the frame time and works out the rate; nothing unless defined and running.
    void Update(int nChannel);
    // Update of every defined and running channel, in ascending order.
    void UpdateAll();

    bool IsDefined(int nChannel) const;
    bool IsRunning(int nChannel) const;
    bool IsPaused(int nChannel) const;
    bool IsFrameTimeEnabled(int nChannel) const;
    bool IsDefinedAndRunning(int nChannel) const;
    // Never null: "" for a channel without a name.
    const char* GetChannelName(int nChannel) const;
    // The lowest defined channel whose name equals pszName regardless of case, or -1.
    int GetChannelByName(const char* pszName) const;
    int GetNumChannels() const;

    // Asks for a timer resolution of nPeriod ms and calls pfnCallback after
    // nPeriod ms, every nPeriod ms when nType is TIME_EVENT_PERIODIC. Returns the
    // event id; 0 when the event was refused (the resolution stays asked for),
    // -1 when the resolution was refused. nResolution is a hint.
    static int InstallTimeEvent(int nPeriod, int nResolution, LPTIMECALLBACK pfnCallback,
                                ZRUserValue dwUser, int nType);
    // Ends the event and the resolution nPeriod. On return the callback is not
    // running (unless this is called from it) and never runs again.
    static void UninstallTimeEvent(int nEventId, int nPeriod);

private:
    struct sChannel
    {
        bool bDefined;
        CZRString strName;
        bool bRunning;
        bool bPaused;
        long long nPauseReference;   // time source ticks
        bool bFrameTimeEnabled;
        double dFrameTime;           // seconds
        double dPreviousFrameTime;   // seconds
        double dFramesPerSecond;
        long long nStartReference;   // time source ticks that read as channel time 0
    };

    bool IsHighResolutionTimerAvailable() const;
    void UseHighResolutionTimer(bool bUse);
    bool IsHighResolutionTimerActive() const;
    long long GetHardwareTime() const;
    long long GetHardwareTimerFrequency() const;

    sChannel* Find(int nChannel);
    const sChannel* Find(int nChannel) const;
    // Makes the channel read nTicks now, also while paused.
    void MoveStart(sChannel& channel, long long nTicks) const;
    double ChannelTime(const sChannel& channel) const;

    static void ClearChannel(sChannel& channel);

    friend ZR_COMMON_API CZRTimer* ZRGetTimer();
    static CZRTimer* m_pCurrentTimer;

    bool m_bHighResolution;
    sChannel m_channels[NUM_CHANNELS];
};

// The current timer, or null. (Declared first as a friend of the class, with
// its export attribute, as Windows compilers want it.)
ZR_COMMON_API CZRTimer* ZRGetTimer();

// Reads channel 0 of the current timer.
class ZR_COMMON_API CTimer
{
public:
    CTimer();
    CTimer(const CTimer& other);
    CTimer& operator=(const CTimer& other);
    virtual ~CTimer();

    // GetTime(0) of the current timer; 0.0 without one.
    static double GetCurTime();
    // GetTimeInMs(0) of the current timer; 0 without one.
    static unsigned long GetCurTimeInMs();
};
