// CZRProfileData: what the profiler reports for one sample slot of a frame: the
// sample's name, its share of the frame in percent smoothed over past frames
// (average, minimum, maximum), its absolute time in the frame in seconds
// (nested samples included), how often it was entered and how deeply it was
// nested when it last ended.
//
// A plain value: copies carry every field. The name is always terminated and
// at most NAME_LENGTH bytes long.
#pragma once

#include "Common/Core/ZRExport.h"

class CZRProfiler;

class ZR_COMMON_API CZRProfileData
{
public:
    // Longest name kept; longer names are cut, never split inside a character.
    static constexpr int NAME_LENGTH = 255;

    // An empty name and zeros.
    CZRProfileData();
    CZRProfileData(const CZRProfileData& other);
    CZRProfileData& operator=(const CZRProfileData& other);
    virtual ~CZRProfileData();

    const char* GetName() const;
    // Percent of the frame spent in the sample itself, its children excluded.
    float GetAverageTimePerFrame() const;
    float GetMinimumTimePerFrame() const;
    float GetMaximumTimePerFrame() const;
    // Seconds in the frame, children included.
    float GetAbsoluteTimePerFrame() const;
    int GetNumInstances() const;
    int GetNumParents() const;

private:
    friend class CZRProfiler;

    char m_szName[NAME_LENGTH + 1];
    float m_fAverageTimePerFrame;
    float m_fMinimumTimePerFrame;
    float m_fMaximumTimePerFrame;
    float m_fAbsoluteTimePerFrame;
    int m_nNumInstances;
    int m_nNumParents;
};
