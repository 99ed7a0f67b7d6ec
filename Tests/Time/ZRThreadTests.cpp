// CZRThread: the order of the worker's calls, the cooperative stop, restarts and
// priorities. A gated worker polls only when the test lets it, so "at its next
// poll" is exact.
#include <gtest/gtest.h>

#include <atomic>

#include "Common/Time/ZREvent.h"
#include "Common/Time/ZRThread.h"
#include "Time/SyncTestSupport.h"

using namespace SyncTest;

namespace
{
constexpr unsigned long kWideUser = 0x123456789ABCDEF0UL;   // all 8 bytes of unsigned long

class Worker : public CZRThread
{
public:
    bool initResult = true;
    bool gated = false;   // each poll waits for a Signal of pollGate
    std::atomic<int> inits{0}, runs{0}, exits{0};
    std::atomic<unsigned long> seenUser{0};
    CZREvent running, ended, pollGate;

    bool InitInstance() override
    {
        ++inits;
        return initResult;
    }
    unsigned long Run() override
    {
        seenUser = GetUserParam();
        ++runs;
        running.Signal();
        for (;;)
        {
            if (gated)
                pollGate.Wait();
            else
                std::this_thread::yield();
            if (IsStopPending())
                return 0;
        }
    }
    void ExitInstance() override
    {
        ++exits;
        ended.Signal();
    }
};
} // namespace

TEST(Thread, RunsInitRunExitAndStaysRunningAfterItsWork)
{
    Worker worker;
    EXPECT_FALSE(worker.IsRunning());
    ASSERT_TRUE(worker.Start(kWideUser, ePriorityNormal));
    EXPECT_TRUE(worker.IsRunning());
    ASSERT_TRUE(worker.running.TimedWait(kBoundMs));
    EXPECT_FALSE(worker.IsStopPending());
    EXPECT_EQ(worker.GetUserParam(), kWideUser);
    EXPECT_TRUE(worker.Stop(true, SYNC_INFINITE));
    EXPECT_EQ(worker.exits, 1) << "Stop(true) waited for the end";
    EXPECT_TRUE(worker.inits == 1 && worker.runs == 1 && worker.seenUser == kWideUser);
    EXPECT_TRUE(worker.IsRunning() && worker.IsStopPending());
}

TEST(Thread, StopWithoutWaitingReturnsAtOnceAndTheWorkerEndsAtItsNextPoll)
{
    Worker worker;
    worker.gated = true;
    ASSERT_TRUE(worker.Start(0, ePriorityNormal));
    ASSERT_TRUE(worker.running.TimedWait(kBoundMs));
    RequireFinished(Start([&] { EXPECT_TRUE(worker.Stop(false, 0)); }));   // the worker cannot end yet
    EXPECT_TRUE(worker.IsStopPending());
    EXPECT_EQ(worker.exits, 0);
    worker.pollGate.Signal();
    EXPECT_TRUE(worker.ended.TimedWait(kBoundMs));
    EXPECT_TRUE(worker.Stop(true, kBoundMs));
}

TEST(Thread, StopOnANeverStartedThreadRaisesNothing)
{
    Worker worker;
    EXPECT_TRUE(worker.Stop(true, SYNC_INFINITE));
    EXPECT_FALSE(worker.IsStopPending() || worker.IsRunning());
    Worker fromConstructor[2];   // default-constructible, also in arrays; nothing starts
    EXPECT_FALSE(fromConstructor[0].IsRunning() || fromConstructor[1].IsRunning());
}

TEST(Thread, RefusedInitInstancePreventsRunAndExitInstance)
{
    Worker worker;
    worker.initResult = false;
    ASSERT_TRUE(worker.Start(0, ePriorityNormal));
    EXPECT_TRUE(worker.Stop(true, kBoundMs));
    EXPECT_EQ(worker.inits, 1);
    EXPECT_EQ(worker.runs + worker.exits, 0);
    EXPECT_TRUE(worker.IsRunning());
}

TEST(Thread, ASecondStartStopsTheFirstThread)
{
    Worker worker;
    ASSERT_TRUE(worker.Start(1, ePriorityNormal));
    ASSERT_TRUE(worker.running.TimedWait(kBoundMs));
    ASSERT_TRUE(worker.Start(2, ePriorityHigh));
    EXPECT_EQ(worker.exits, 1) << "the first thread ended before the second began";
    EXPECT_FALSE(worker.IsStopPending());
    ASSERT_TRUE(worker.running.TimedWait(kBoundMs));
    EXPECT_EQ(worker.seenUser, 2u);
    EXPECT_EQ(worker.GetPriority(), ePriorityHigh);
    EXPECT_TRUE(worker.Stop(true, kBoundMs));
    EXPECT_EQ(worker.runs, 2);
    EXPECT_EQ(worker.exits, 2);
}

TEST(Thread, PrioritiesRoundTrip)
{
    Worker worker;
    EXPECT_EQ(worker.GetPriority(), static_cast<eThreadPriority>(-1)) << "no thread";
    ASSERT_TRUE(worker.Start(0, ePriorityTimeCritical));
    EXPECT_EQ(worker.GetPriority(), ePriorityTimeCritical);
    for (eThreadPriority ePriority : {ePriorityLow, ePriorityHigh, ePriorityNormal})
    {
        worker.SetPriority(ePriority);
        EXPECT_EQ(worker.GetPriority(), ePriority);
    }
    worker.SetPriority(ePriorityHigh);
    worker.SetPriority(static_cast<eThreadPriority>(7));
    EXPECT_EQ(worker.GetPriority(), ePriorityNormal) << "another value sets normal";
    EXPECT_TRUE(worker.Stop(true, kBoundMs));
}
