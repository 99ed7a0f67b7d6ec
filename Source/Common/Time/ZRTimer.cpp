#include "Common/Time/ZRTimer.h"

#include <cstdint>
#include <limits>

#include "Common/Core/ZRStrFunctions.h"
#include "Common/Platform/Platform.h"
#include "Common/Time/TimeEventTable.h"

namespace
{
constexpr long long kMillisecondClockFrequency = 1000;
constexpr double kMillisecondsPerSecond = 1000.0;

// The fraction cut off; NaN gives 0 and values beyond the range its nearest end.
long long CutToInt64(double value)
{
    constexpr double kLimit = 9223372036854775808.0;   // 2^63
    if (!(value == value))
        return 0;
    if (value >= kLimit)
        return std::numeric_limits<long long>::max();
    if (value < -kLimit)
        return std::numeric_limits<long long>::min();
    return static_cast<long long>(value);
}

// Milliseconds, fraction cut, then cut to 32 bits.
unsigned long MillisecondsOf(double dSeconds)
{
    return static_cast<std::uint32_t>(CutToInt64(dSeconds * kMillisecondsPerSecond));
}

// Tick differences wrap instead of overflowing when a reference is far off.
long long TicksBetween(long long nFrom, long long nTo)
{
    return static_cast<long long>(static_cast<unsigned long long>(nTo) -
                                  static_cast<unsigned long long>(nFrom));
}

double Seconds(long long nTicks, long long nFrequency)
{
    return nFrequency > 0 ? static_cast<double>(nTicks) / static_cast<double>(nFrequency) : 0.0;
}
} // namespace

CZRTimer* ZRGetTimer() { return CZRTimer::m_pCurrentTimer; }

CZRTimer::CZRTimer() : m_bHighResolution(false), m_channels()
{
    UseHighResolutionTimer(IsHighResolutionTimerAvailable());
    for (sChannel& channel : m_channels)
        ClearChannel(channel);
    m_pCurrentTimer = this;
}

CZRTimer::CZRTimer(const CZRTimer& other) = default;

CZRTimer& CZRTimer::operator=(const CZRTimer& other) = default;

CZRTimer::~CZRTimer() { m_pCurrentTimer = nullptr; }

bool CZRTimer::DefineChannel(int nChannel, const char* pszName)
{
    sChannel* channel = Find(nChannel);
    if (channel == nullptr || channel->bDefined)
        return false;
    ClearChannel(*channel);
    channel->bDefined = true;
    channel->strName = pszName;
    return true;
}

bool CZRTimer::UndefineChannel(int nChannel)
{
    sChannel* channel = Find(nChannel);
    if (channel == nullptr)
        return false;
    channel->bDefined = false;
    channel->strName.Empty();
    return true;
}

void CZRTimer::Start(int nChannel)
{
    if (sChannel* channel = Find(nChannel))
    {
        channel->bRunning = true;
        MoveStart(*channel, 0);
    }
}

void CZRTimer::Stop(int nChannel)
{
    if (sChannel* channel = Find(nChannel))
        channel->bRunning = false;
}

void CZRTimer::Reset(int nChannel)
{
    if (sChannel* channel = Find(nChannel))
        MoveStart(*channel, 0);
}

void CZRTimer::SetTime(int nChannel, double dSeconds)
{
    sChannel* channel = Find(nChannel);
    if (channel == nullptr)
        return;
    if (channel->bFrameTimeEnabled)
        channel->dFrameTime = dSeconds;
    MoveStart(*channel, CutToInt64(static_cast<double>(GetHardwareTimerFrequency()) * dSeconds));
}

void CZRTimer::Pause(int nChannel)
{
    sChannel* channel = Find(nChannel);
    if (channel == nullptr || channel->bPaused)
        return;
    channel->bPaused = true;
    channel->nPauseReference = GetHardwareTime();
}

void CZRTimer::Continue(int nChannel)
{
    sChannel* channel = Find(nChannel);
    if (channel == nullptr || !channel->bPaused)
        return;
    channel->bPaused = false;
    // Channel time goes on from where it stood at the pause.
    const long long nElapsed = TicksBetween(channel->nStartReference, channel->nPauseReference);
    channel->nStartReference = TicksBetween(nElapsed, GetHardwareTime());
}

void CZRTimer::EnableFrameTime(int nChannel)
{
    if (sChannel* channel = Find(nChannel))
    {
        channel->bFrameTimeEnabled = true;
        channel->dFrameTime = GetTime(nChannel);
    }
}

void CZRTimer::DisableFrameTime(int nChannel)
{
    if (sChannel* channel = Find(nChannel))
        channel->bFrameTimeEnabled = false;
}

double CZRTimer::GetTime(int nChannel) const
{
    const sChannel* channel = Find(nChannel);
    if (channel == nullptr || !channel->bDefined || !channel->bRunning)
        return 0.0;
    return ChannelTime(*channel);
}

unsigned long CZRTimer::GetTimeInMs(int nChannel) const { return MillisecondsOf(GetTime(nChannel)); }

double CZRTimer::GetTimeDirect() const
{
    return Seconds(GetHardwareTime(), GetHardwareTimerFrequency());
}

unsigned long CZRTimer::GetTimeInMsDirect() const { return MillisecondsOf(GetTimeDirect()); }

double CZRTimer::GetFrameTime(int nChannel) const
{
    const sChannel* channel = Find(nChannel);
    if (channel == nullptr || !channel->bDefined || !channel->bRunning)
        return 0.0;
    return channel->bFrameTimeEnabled ? channel->dFrameTime : ChannelTime(*channel);
}

double CZRTimer::GetFPS(int nChannel) const
{
    const sChannel* channel = Find(nChannel);
    return channel != nullptr ? channel->dFramesPerSecond : 0.0;
}

void CZRTimer::Update(int nChannel)
{
    sChannel* channel = Find(nChannel);
    if (channel == nullptr || !channel->bDefined || !channel->bRunning)
        return;
    channel->dFrameTime = ChannelTime(*channel);
    const double dDelta = channel->dFrameTime - channel->dPreviousFrameTime;
    channel->dFramesPerSecond = dDelta > 0.0 ? 1.0 / dDelta : 0.0;   // false for NaN too
    channel->dPreviousFrameTime = channel->dFrameTime;
}

void CZRTimer::UpdateAll()
{
    for (int nChannel = 0; nChannel < NUM_CHANNELS; ++nChannel)
        if (IsDefinedAndRunning(nChannel))
            Update(nChannel);
}

bool CZRTimer::IsDefined(int nChannel) const
{
    const sChannel* channel = Find(nChannel);
    return channel != nullptr && channel->bDefined;
}

bool CZRTimer::IsRunning(int nChannel) const
{
    const sChannel* channel = Find(nChannel);
    return channel != nullptr && channel->bRunning;
}

bool CZRTimer::IsPaused(int nChannel) const
{
    const sChannel* channel = Find(nChannel);
    return channel != nullptr && channel->bPaused;
}

bool CZRTimer::IsFrameTimeEnabled(int nChannel) const
{
    const sChannel* channel = Find(nChannel);
    return channel != nullptr && channel->bFrameTimeEnabled;
}

bool CZRTimer::IsDefinedAndRunning(int nChannel) const
{
    return IsDefined(nChannel) && IsRunning(nChannel);
}

const char* CZRTimer::GetChannelName(int nChannel) const
{
    const sChannel* channel = Find(nChannel);
    const char* pszName = channel != nullptr ? channel->strName.GetString() : nullptr;
    return pszName != nullptr ? pszName : "";
}

int CZRTimer::GetChannelByName(const char* pszName) const
{
    for (int nChannel = 0; nChannel < NUM_CHANNELS; ++nChannel)
        if (m_channels[nChannel].bDefined &&
            STR_stricmp(GetChannelName(nChannel), pszName != nullptr ? pszName : "") == 0)
            return nChannel;
    return -1;
}

int CZRTimer::GetNumChannels() const { return NUM_CHANNELS; }

int CZRTimer::InstallTimeEvent(int nPeriod, int nResolution, LPTIMECALLBACK pfnCallback,
                               ZRUserValue dwUser, int nType)
{
    const std::uint32_t nPeriodMs = static_cast<std::uint32_t>(nPeriod);
    if (ZRPlatform::TimerBeginPeriod(nPeriodMs) != 0)
        return -1;
    return static_cast<int>(TimeEvents::Install(nPeriodMs, static_cast<std::uint32_t>(nResolution),
                                                nType == TIME_EVENT_PERIODIC, pfnCallback, dwUser));
}

void CZRTimer::UninstallTimeEvent(int nEventId, int nPeriod)
{
    TimeEvents::Uninstall(static_cast<std::uint32_t>(nEventId));
    ZRPlatform::TimerEndPeriod(static_cast<std::uint32_t>(nPeriod));
}

bool CZRTimer::IsHighResolutionTimerAvailable() const { return ZRPlatform::ClockHasCounter(); }

void CZRTimer::UseHighResolutionTimer(bool bUse) { m_bHighResolution = bUse; }

bool CZRTimer::IsHighResolutionTimerActive() const { return m_bHighResolution; }

long long CZRTimer::GetHardwareTime() const
{
    return IsHighResolutionTimerActive() ? ZRPlatform::ClockCounter()
                                         : static_cast<long long>(ZRPlatform::ClockTickMs());
}

long long CZRTimer::GetHardwareTimerFrequency() const
{
    return IsHighResolutionTimerActive() ? ZRPlatform::ClockFrequency() : kMillisecondClockFrequency;
}

CZRTimer::sChannel* CZRTimer::Find(int nChannel)
{
    return nChannel >= 0 && nChannel < NUM_CHANNELS ? &m_channels[nChannel] : nullptr;
}

const CZRTimer::sChannel* CZRTimer::Find(int nChannel) const
{
    return nChannel >= 0 && nChannel < NUM_CHANNELS ? &m_channels[nChannel] : nullptr;
}

void CZRTimer::MoveStart(sChannel& channel, long long nTicks) const
{
    const long long nNow = GetHardwareTime();
    channel.nStartReference = TicksBetween(nTicks, nNow);
    if (channel.bPaused)
        channel.nPauseReference = nNow;
}

double CZRTimer::ChannelTime(const sChannel& channel) const
{
    const long long nNow = channel.bPaused ? channel.nPauseReference : GetHardwareTime();
    return Seconds(TicksBetween(channel.nStartReference, nNow), GetHardwareTimerFrequency());
}

void CZRTimer::ClearChannel(sChannel& channel)
{
    channel.bDefined = false;
    channel.strName.Empty();
    channel.bRunning = false;
    channel.bPaused = false;
    channel.nPauseReference = 0;
    channel.bFrameTimeEnabled = false;
    channel.dFrameTime = 0.0;
    channel.dPreviousFrameTime = 0.0;
    channel.dFramesPerSecond = 0.0;
    channel.nStartReference = 0;
}

CTimer::CTimer() = default;

CTimer::CTimer(const CTimer&) = default;

CTimer& CTimer::operator=(const CTimer&) = default;

CTimer::~CTimer() = default;

double CTimer::GetCurTime()
{
    const CZRTimer* pTimer = ZRGetTimer();
    return pTimer != nullptr ? pTimer->GetTime(0) : 0.0;
}

unsigned long CTimer::GetCurTimeInMs()
{
    const CZRTimer* pTimer = ZRGetTimer();
    return pTimer != nullptr ? pTimer->GetTimeInMs(0) : 0;
}
