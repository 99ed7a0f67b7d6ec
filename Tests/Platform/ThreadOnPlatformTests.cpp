// CZRThread on the platform's threads: the priority values it sets and reads
// back, its exit codes, and the handles it closes.
#include <gtest/gtest.h>

#include "Common/Platform/Platform.h"
#include "Common/Time/ZRThread.h"

using namespace ZRPlatform;

namespace
{
constexpr std::uint32_t kBoundMs = 5000;   // never reached in a passing run

class Probe : public CZRThread
{
public:
    bool initResult = true;
    bool InitInstance() override { return initResult; }
    unsigned long Run() override
    {
        while (!IsStopPending())
            ThreadSleep(1);
        return 5;   // not the exit code
    }
    using CZRThread::GetThreadHandle;
};

std::uint32_t ExitCodeAfterEnd(Handle thread)
{
    std::uint32_t code = 0;
    EXPECT_EQ(ObjectWait(thread, kBoundMs), WaitResult::Signaled);
    EXPECT_TRUE(ThreadGetExitCode(thread, &code));
    return code;
}
} // namespace

TEST(ThreadOnPlatform, PrioritiesMapOntoWindowsValuesBothWays)
{
    Probe probe;
    ASSERT_TRUE(probe.Start(0, ePriorityTimeCritical));
    const Handle thread = probe.GetThreadHandle();
    EXPECT_EQ(ThreadGetPriority(thread), 15);
    const struct
    {
        eThreadPriority ePriority;
        int windows;
    } table[] = {{ePriorityLow, -2}, {ePriorityHigh, 2}, {ePriorityNormal, 0}, {ePriorityTimeCritical, 15}};
    for (const auto& row : table)
    {
        probe.SetPriority(row.ePriority);
        EXPECT_EQ(ThreadGetPriority(thread), row.windows);
        ASSERT_TRUE(ThreadSetPriority(thread, row.windows));
        EXPECT_EQ(probe.GetPriority(), row.ePriority);
    }
    for (int outside : {-15, -1, 1})
    {
        ASSERT_TRUE(ThreadSetPriority(thread, outside));
        EXPECT_EQ(probe.GetPriority(), static_cast<eThreadPriority>(-1)) << outside;
    }
    probe.SetPriority(static_cast<eThreadPriority>(9));
    EXPECT_EQ(ThreadGetPriority(thread), 0);
    EXPECT_TRUE(probe.Stop(true, kBoundMs));
}

TEST(ThreadOnPlatform, ExitCodesAndHandlesClosedByRestartAndDestruction)
{
    Handle last = kNullHandle;
    {
        Probe refused;
        refused.initResult = false;
        ASSERT_TRUE(refused.Start(0, ePriorityNormal));
        EXPECT_EQ(ExitCodeAfterEnd(refused.GetThreadHandle()), 0xFFFFFFFFu);

        Probe probe;
        ASSERT_TRUE(probe.Start(0, ePriorityNormal));
        const Handle first = probe.GetThreadHandle();
        ASSERT_TRUE(probe.Start(0, ePriorityNormal));   // stops and waits for the first
        EXPECT_FALSE(ObjectClose(first)) << "the restart closed it";
        last = probe.GetThreadHandle();
        EXPECT_NE(last, first);
        EXPECT_TRUE(probe.Stop(true, kBoundMs));
        EXPECT_EQ(ExitCodeAfterEnd(last), 0u);
    }
    EXPECT_FALSE(ObjectClose(last)) << "the destructor closed it";
}
