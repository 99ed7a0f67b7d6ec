// A host control, and what a control prints into a buffer with guard bytes
// behind the size given.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>

#include "Common/Diagnostics/ZRDebugStatisticsControl.h"

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

// What a buffer of nSize holds after text was written: text, then untouched bytes.
inline Rendered Expected(const std::string& text, int nSize)
{
    const std::size_t nTotal = static_cast<std::size_t>(std::max(nSize, 0) + kGuard);
    return {static_cast<int>(text.size()), text + std::string(nTotal - text.size(), kFill)};
}

// Also checks that pointer and size moved by the count returned.
inline Rendered PrintInto(CZRDebugStatisticsControl& control, int nSize)
{
    std::string buffer(static_cast<std::size_t>(std::max(nSize, 0) + kGuard), kFill);
    char* pszCursor = &buffer[0];
    int nLeft = nSize;
    const int nWritten = control.Print(pszCursor, nLeft);
    EXPECT_EQ(&buffer[0] + nWritten, pszCursor);
    EXPECT_EQ(nSize - nWritten, nLeft);
    return {nWritten, buffer};
}
} // namespace StatsTest
