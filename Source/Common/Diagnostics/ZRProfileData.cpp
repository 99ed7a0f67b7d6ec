#include "Common/Diagnostics/ZRProfileData.h"

CZRProfileData::CZRProfileData()
    : m_szName(), m_fAverageTimePerFrame(0.0f), m_fMinimumTimePerFrame(0.0f),
      m_fMaximumTimePerFrame(0.0f), m_fAbsoluteTimePerFrame(0.0f), m_nNumInstances(0),
      m_nNumParents(0)
{
}

CZRProfileData::CZRProfileData(const CZRProfileData& other) = default;

CZRProfileData& CZRProfileData::operator=(const CZRProfileData& other) = default;

CZRProfileData::~CZRProfileData() = default;

const char* CZRProfileData::GetName() const { return m_szName; }

float CZRProfileData::GetAverageTimePerFrame() const { return m_fAverageTimePerFrame; }

float CZRProfileData::GetMinimumTimePerFrame() const { return m_fMinimumTimePerFrame; }

float CZRProfileData::GetMaximumTimePerFrame() const { return m_fMaximumTimePerFrame; }

float CZRProfileData::GetAbsoluteTimePerFrame() const { return m_fAbsoluteTimePerFrame; }

int CZRProfileData::GetNumInstances() const { return m_nNumInstances; }

int CZRProfileData::GetNumParents() const { return m_nNumParents; }
