// CZRThread on the platform's threads: the priority values it sets and reads
// back, its exit codes, and the handles it closes.
#include <gtest/gtest.h>

#include "Common/Platform/Platform.h"
#include "Common/Time/ZRThread.h"

using namespace ZRPlatform;

namespace
{
constexpr std::uint32_t kBoundMs = 5000;   // never reached in a passing run
const eThreadPriority kUnknown = static_cast<eThreadPriority>(-1);

struct Probe : CZRThread
{
    bool initResult = true;
    bool InitInstance() override { return initResult; }
    unsigned long Run() override
    {
        while (!IsStopPending())
            ThreadSleep(1);
        return 5;   // not the exit code
    }
    using CZRThread::GetThreadHandle;

    std::uint32_t ExitCode()
    {
        std::uint32_t code = 1;
        EXPECT_EQ(ObjectWait(GetThreadHandle(), kBoundMs), WaitResult::Signaled);
        EXPECT_TRUE(ThreadGetExitCode(GetThreadHandle(), &code));
        return code;
    }
};
} // namespace

TEST(ThreadOnPlatform, PrioritiesMapOntoWindowsValuesBothWays)
{
    Probe probe;
    EXPECT_EQ(probe.GetPriority(), kUnknown) << "no thread";
    ASSERT_TRUE(probe.Start(0, ePriorityTimeCritical));
    const Handle thread = probe.GetThreadHandle();
    EXPECT_EQ(ThreadGetPriority(thread), 15);
    const int windows[] = {-2, 0, 2, 15};   // per eThreadPriority
    for (int e = ePriorityLow; e <= ePriorityTimeCritical; ++e)
    {
        probe.SetPriority(ePriorityTimeCritical);
        probe.SetPriority(static_cast<eThreadPriority>(e));
        EXPECT_EQ(ThreadGetPriority(thread), windows[e]);
        ThreadSetPriority(thread, 1);
        ASSERT_TRUE(ThreadSetPriority(thread, windows[e]));
        EXPECT_EQ(probe.GetPriority(), e);
    }
    for (int outside : {-15, -1, 1})
    {
        ASSERT_TRUE(ThreadSetPriority(thread, outside));
        EXPECT_EQ(probe.GetPriority(), kUnknown) << outside;
    }
    probe.SetPriority(static_cast<eThreadPriority>(9));
    EXPECT_EQ(ThreadGetPriority(thread), 0) << "another value sets normal";
    EXPECT_TRUE(probe.Stop(true, kBoundMs));
}

TEST(ThreadOnPlatform, ExitCodesAndHandlesClosedByRestartAndDestruction)
{
    Handle last = kNullHandle;
    {
        Probe refused, probe;
        refused.initResult = false;
        ASSERT_TRUE(refused.Start(0, ePriorityNormal));
        EXPECT_EQ(refused.ExitCode(), 0xFFFFFFFFu);

        ASSERT_TRUE(probe.Start(0, ePriorityNormal));
        const Handle first = probe.GetThreadHandle();
        ASSERT_TRUE(probe.Start(0, ePriorityNormal));
        last = probe.GetThreadHandle();
        // Windows may give the new thread the value of the handle just closed.
        if (last != first)
        {
            EXPECT_FALSE(ObjectClose(first)) << "the restart closed it";
        }
        EXPECT_TRUE(probe.Stop(true, kBoundMs));
        EXPECT_EQ(probe.ExitCode(), 0u);
    }
    EXPECT_FALSE(ObjectClose(last)) << "the destructor closed it";
}
