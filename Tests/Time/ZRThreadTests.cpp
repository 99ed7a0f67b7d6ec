// CZRThread: the order of the worker's calls, the cooperative stop and restarts.
// The worker polls only when the test opens its gate, so "at its next poll" is exact.
#include <gtest/gtest.h>

#include <atomic>

#include "Common/Time/ZREvent.h"
#include "Common/Time/ZRThread.h"
#include "Time/SyncTestSupport.h"

using namespace SyncTest;

namespace
{
constexpr ZRUserValue kWideUser = static_cast<ZRUserValue>(0x123456789ABCDEF0ULL);   // every byte of it

struct Worker : CZRThread
{
    bool initResult = true;
    std::atomic<int> inits{0}, runs{0}, exits{0};
    std::atomic<ZRUserValue> seenUser{0};
    CZREvent running, pollGate;

    bool InitInstance() override { return ++inits, initResult; }
    unsigned long Run() override
    {
        seenUser = GetUserParam();
        ++runs;
        running.Signal();
        do
            pollGate.Wait();
        while (!IsStopPending());
        return 0;
    }
    void ExitInstance() override { ++exits; }
};
} // namespace

TEST(Thread, RunsInitRunExitAndStaysRunningAfterItsWork)
{
    Worker worker;
    ASSERT_FALSE(worker.IsRunning());
    ASSERT_TRUE(worker.Start(kWideUser, ePriorityNormal) && worker.IsRunning());
    ASSERT_TRUE(worker.running.TimedWait(kBoundMs));
    EXPECT_FALSE(worker.IsStopPending());
    EXPECT_EQ(worker.seenUser, kWideUser);
    // Stop without waiting returns while the worker is held at its gate.
    RequireFinished(Start([&] { EXPECT_TRUE(worker.Stop(false, 0)); }));
    EXPECT_TRUE(worker.IsStopPending() && worker.exits == 0);
    worker.pollGate.Signal();
    EXPECT_TRUE(worker.Stop(true, SYNC_INFINITE));
    EXPECT_TRUE(worker.inits == 1 && worker.runs == 1 && worker.exits == 1) << "Stop(true) waited";
    EXPECT_TRUE(worker.IsRunning());
}

TEST(Thread, NothingRunsWithoutStartOrAfterARefusedInitInstance)
{
    Worker workers[2];   // default-constructible, also in arrays; the constructor starts nothing
    EXPECT_TRUE(workers[0].Stop(true, SYNC_INFINITE));
    EXPECT_FALSE(workers[0].IsStopPending() || workers[0].IsRunning() || workers[1].IsRunning());
    workers[1].initResult = false;
    ASSERT_TRUE(workers[1].Start(0, ePriorityNormal));
    EXPECT_TRUE(workers[1].Stop(true, kBoundMs));
    EXPECT_TRUE(workers[1].inits == 1 && workers[1].runs + workers[1].exits == 0 && workers[1].IsRunning());
}

TEST(Thread, ASecondStartStopsTheFirstThread)
{
    Worker worker;
    ASSERT_TRUE(worker.Start(1, ePriorityNormal) && worker.running.TimedWait(kBoundMs));
    auto restart = Start([&] { return worker.Start(2, ePriorityNormal); });
    ASSERT_TRUE(WaitUntil([&] { return worker.IsStopPending(); }));
    EXPECT_TRUE(StaysBlocked(restart)) << "waits for the first thread to end";
    worker.pollGate.Signal();
    RequireFinished(restart);
    ASSERT_TRUE(restart.get());
    EXPECT_EQ(worker.exits, 1);
    EXPECT_FALSE(worker.IsStopPending());
    ASSERT_TRUE(worker.running.TimedWait(kBoundMs));
    EXPECT_EQ(worker.seenUser, 2u);
    worker.Stop(false, 0);
    worker.pollGate.Signal();
    EXPECT_TRUE(worker.Stop(true, kBoundMs) && worker.runs == 2);
}
