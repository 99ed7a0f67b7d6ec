// Every test starts from an empty console; Render draws it into a buffer with
// guard bytes behind the size given.
#pragma once

#include "Common/Diagnostics/ZRDebugStatistics.h"
#include "Common/Diagnostics/ZRDebugStatisticsPage.h"
#include "Common/Diagnostics/ZRDebugStatisticsSeparator.h"
#include "Diagnostics/DebugStatisticsTestSupport.h"

namespace StatsTest
{
inline Rendered Render(int nSize)
{
    std::string buffer(static_cast<std::size_t>(std::max(nSize, 0) + kGuard), kFill);
    const int nWritten = CZRDebugStatistics::Print(&buffer[0], nSize);
    return {nWritten, buffer};
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
