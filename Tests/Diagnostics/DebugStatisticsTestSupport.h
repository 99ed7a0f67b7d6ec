// A host control, what a control or the console prints into a buffer with guard
// bytes behind the size given, and the fixture that starts from an empty console.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>

#include "Common/Diagnostics/ZRDebugStatistics.h"
#include "Common/Diagnostics/ZRDebugStatisticsPage.h"
#include "Common/Diagnostics/ZRDebugStatisticsSeparator.h"

namespace StatsTest
{
constexpr char kFill = '#';
constexpr int kGuard = 8;

// The count written, and the whole buffer: the size given plus the guard bytes.
using Rendered = std::pair<int, std::string>;

// A read-out "Label: value\n" whose value the command line sets.
class CTestValue : public CZRDebugStatisticsControl
{
public:
    CTestValue(const char* pszLabel, CZRDebugStatisticsControl* pParent, int nValue = 0)
        : CZRDebugStatisticsControl(pszLabel, pParent), m_nValue(nValue)
    {
    }
    ~CTestValue() override { ++s_nDestroyed; }
    int Print(char*& pszBuffer, int& nSize) override
    {
        CZRString line;
        line.Format("%s: %d\n", GetLabel(), m_nValue);
        return PrintText(pszBuffer, nSize, line);
    }
    void SetValueFromString(const CZRString& str) override { m_nValue = str.ToInt(); }
    bool CanEdit() const override { return true; }

    int m_nValue;
    static inline int s_nDestroyed = 0;
};

inline std::string Blank(int nSize) { return std::string(std::max(nSize, 0) + kGuard, kFill); }

// What a buffer of nSize holds after text was written: text, then untouched bytes.
inline Rendered Expected(const std::string& text, int nSize)
{
    return {static_cast<int>(text.size()), text + Blank(nSize).substr(text.size())};
}

// Also checks that pointer and size moved by the count returned.
inline Rendered PrintInto(CZRDebugStatisticsControl& control, int nSize)
{
    std::string buffer = Blank(nSize);
    char* pszCursor = &buffer[0];
    int nLeft = nSize;
    const int nWritten = control.Print(pszCursor, nLeft);
    EXPECT_EQ(&buffer[0] + nWritten, pszCursor);
    EXPECT_EQ(nSize - nWritten, nLeft);
    return {nWritten, buffer};
}

inline Rendered Render(int nSize)
{
    std::string buffer = Blank(nSize);
    return {CZRDebugStatistics::Print(&buffer[0], nSize), buffer};
}

class DebugStatisticsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        CZRDebugStatistics::m_bStatisticsVisible = true;
        CZRDebugStatistics::Initialize();
        // No page is shown after this unless an earlier test left one registered.
        CZRDebugStatistics::ProcessInput(CZRDebugStatistics::KEY_PREVIOUS_PAGE);
        ASSERT_EQ(Expected("> _\n\n", 64), Render(64));
    }
};
} // namespace StatsTest
