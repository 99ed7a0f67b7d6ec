#include "Common/Diagnostics/ZRFrameTrace.h"

#include <cstdio>
#include <cstring>

#include "Common/Core/ZRStrFunctions.h"
#include "Common/File/FileFunctions.h"
#include "Common/Platform/Platform.h"

namespace
{
constexpr double kMicrosecondsPerSecond = 1e6;
constexpr std::int64_t kOpen = -1;
constexpr unsigned char kFirstPrintable = 0x20;
constexpr unsigned char kFirstHigh = 0x80;

// Appends text as the body of a JSON string.
void AppendEscaped(std::string& json, const char* text)
{
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p != 0; ++p)
    {
        if (*p == '"' || *p == '\\')
        {
            json += '\\';
            json += static_cast<char>(*p);
        }
        else if (*p < kFirstPrintable || *p >= kFirstHigh)
        {
            char escape[8];
            std::snprintf(escape, sizeof(escape), "\\u%04x", *p);
            json += escape;
        }
        else
            json += static_cast<char>(*p);
    }
}
} // namespace

bool CZRFrameTrace::Start(int nFrames, int nSectionsPerFrame)
{
    Stop();
    if (nFrames < 1 || nFrames > MAX_FRAMES || nSectionsPerFrame < 1 ||
        nSectionsPerFrame > MAX_SECTIONS_PER_FRAME ||
        static_cast<long long>(nFrames) * nSectionsPerFrame > MAX_SECTIONS)
        return false;
    m_nFrequency = ZRPlatform::ClockFrequency();
    if (m_nFrequency <= 0)
        return false;   // no high-resolution counter
    m_sections.assign(static_cast<std::size_t>(nFrames) * nSectionsPerFrame, sSection{});
    m_uFramesKept = static_cast<std::uint32_t>(nFrames);
    m_nOrigin = ZRPlatform::ClockCounter();
    return true;
}

void CZRFrameTrace::Stop()
{
    std::vector<sSection>().swap(m_sections);
    m_uNextSerial = 0;
    m_frame = 0;
    m_nOpen = 0;
    m_nUnrecorded = 0;
}

std::int64_t CZRFrameTrace::Now() const { return ZRPlatform::ClockCounter() - m_nOrigin; }

void CZRFrameTrace::Open(const char* pszName)
{
    if (m_nOpen == MAX_DEPTH)
    {
        ++m_nUnrecorded;
        return;
    }
    const std::uint64_t uSerial = m_uNextSerial++;
    const std::uint32_t uSlot = static_cast<std::uint32_t>(uSerial % m_sections.size());
    sSection& section = m_sections[uSlot];
    STR_strncpy(section.szName, pszName, NAME_LENGTH);
    section.szName[NAME_LENGTH] = '\0';
    section.uSerial = uSerial;
    section.uFrame = m_frame;
    section.uDepth = static_cast<std::uint32_t>(m_nOpen);
    section.uThread = ZRPlatform::ThreadCurrentId();
    section.nEnd = kOpen;
    m_open[m_nOpen++] = {uSlot, uSerial};
    section.nBegin = Now();   // last, so that the bookkeeping is not timed
}

void CZRFrameTrace::Close(const char* pszName)
{
    const std::int64_t nNow = Now();
    if (m_nUnrecorded > 0)
    {
        --m_nUnrecorded;
        return;
    }
    char szName[NAME_LENGTH + 1];
    STR_strncpy(szName, pszName, NAME_LENGTH);
    szName[NAME_LENGTH] = '\0';
    for (int i = m_nOpen - 1; i >= 0; --i)
    {
        sSection& section = m_sections[m_open[i].uSlot];
        if (section.uSerial != m_open[i].uSerial || std::strcmp(section.szName, szName) != 0)
            continue;
        section.nEnd = nNow;
        // Sections opened inside it and never ended stay open for good.
        m_nOpen = i;
        return;
    }
}

void CZRFrameTrace::AppendSection(std::string& json, const sSection& section, unsigned uProcess) const
{
    const double dScale = kMicrosecondsPerSecond / static_cast<double>(m_nFrequency);
    char numbers[200];
    json += "{\"name\":\"";
    AppendEscaped(json, section.szName);
    std::snprintf(numbers, sizeof(numbers),
                  "\",\"cat\":\"frame\",\"ph\":\"X\",\"ts\":%.3f,\"dur\":%.3f,\"pid\":%u,\"tid\":%u,"
                  "\"args\":{\"frame\":%u,\"depth\":%u}}",
                  static_cast<double>(section.nBegin) * dScale,
                  static_cast<double>(section.nEnd - section.nBegin) * dScale,
                  uProcess, static_cast<unsigned>(section.uThread),
                  static_cast<unsigned>(section.uFrame), static_cast<unsigned>(section.uDepth));
    json += numbers;
}

std::string CZRFrameTrace::ToJson() const
{
    std::string json = "{\"traceEvents\":[";
    const std::uint64_t uCount = m_sections.size();
    const std::uint64_t uFirst = m_uNextSerial > uCount ? m_uNextSerial - uCount : 0;
    const std::uint32_t uOldestFrame = m_frame >= m_uFramesKept ? m_frame - m_uFramesKept + 1 : 0;
    const unsigned uProcess = static_cast<unsigned>(ZRPlatform::ProcessCurrentId());
    bool bFirst = true;
    for (std::uint64_t uSerial = uFirst; uSerial < m_uNextSerial; ++uSerial)
    {
        const sSection& section = m_sections[uSerial % uCount];
        if (section.nEnd == kOpen || section.uFrame < uOldestFrame)
            continue;
        if (!bFirst)
            json += ',';
        bFirst = false;
        AppendSection(json, section, uProcess);
    }
    json += "],\"displayTimeUnit\":\"ms\"}\n";
    return json;
}

bool CZRFrameTrace::Write(const char* pszFileName) const
{
    const std::string json = ToJson();
    const int nFile = FILE_Open(pszFileName, "wb");
    if (nFile == FILE_INVALID_HANDLE)
        return false;
    const bool bWritten = FILE_Write(nFile, json.data(), 1, static_cast<unsigned long>(json.size())) == json.size();
    return FILE_Close(nFile) == 1 && bWritten;
}
