// Threads of the backend: ids, exit codes, waits on thread handles, handle
// lifetime and priorities.
#include <gtest/gtest.h>

#include "Platform/PlatformTestSupport.h"
#include "Time/SyncTestSupport.h"

using namespace ZRPlatform;
using namespace PlatformTest;
using SyncTest::kBoundMs;
using SyncTest::kShortMs;

namespace
{
constexpr std::uint32_t kExitCode = 42;

// A thread that records its ids, may end holding a mutex, and returns kExitCode
// once the gate is set.
struct GatedThread
{
    Handle gate = EventCreate(true, false, nullptr);
    Handle done = EventCreate(true, false, nullptr);
    Handle mutexToKeep = kNullHandle;
    std::uint32_t createdId = 0, seenCreatedId = 0, ownId = 0;
    ~GatedThread() { ObjectClose(gate), ObjectClose(done); }

    Handle Start(std::uint32_t* id = nullptr)
    {
        return ThreadCreate([](void* argument) {
            auto* self = static_cast<GatedThread*>(argument);
            self->seenCreatedId = self->createdId;
            self->ownId = ThreadCurrentId();
            if (self->mutexToKeep != kNullHandle)
                ObjectWait(self->mutexToKeep, kBoundMs);   // ends holding it
            ObjectWait(self->gate, kBoundMs);
            EventSet(self->done);
            return kExitCode;
        }, this, id);
    }
};
} // namespace

TEST(PlatformThread, RunsAtOnceAndIsSignalledWithItsExitCodeAfterItsMutexesAreAbandoned)
{
    GatedThread shared;
    shared.mutexToKeep = MutexCreate(false, nullptr);
    const Handle thread = shared.Start(&shared.createdId);
    ASSERT_NE(thread, kNullHandle);
    EXPECT_NE(shared.createdId, 0u);
    std::uint32_t code = 0;
    EXPECT_TRUE(ThreadGetExitCode(thread, &code));
    EXPECT_EQ(code, kThreadStillActive);
    EXPECT_EQ(ObjectWait(thread, kShortMs), WaitResult::Timeout);

    EventSet(shared.gate);
    EXPECT_EQ(ObjectWait(thread, kBoundMs), WaitResult::Signaled);
    EXPECT_EQ(ObjectWait(thread, 0), WaitResult::Signaled);   // stays signalled
    EXPECT_TRUE(ThreadGetExitCode(thread, &code));
    EXPECT_EQ(code, kExitCode);
    EXPECT_EQ(shared.seenCreatedId, shared.createdId);
    EXPECT_EQ(shared.ownId, shared.createdId);
    // The mutex it held at the end was abandoned before the thread was signalled.
    EXPECT_EQ(ObjectWait(shared.mutexToKeep, 0), WaitResult::Abandoned);
    EXPECT_TRUE(MutexRelease(shared.mutexToKeep) && ObjectClose(shared.mutexToKeep) && ObjectClose(thread));
    // Every thread has its own id, never 0, and keeps it.
    const std::uint32_t mine = ThreadCurrentId();
    EXPECT_TRUE(mine != 0 && mine != shared.ownId && ThreadCurrentId() == mine);
    const std::uint32_t other = SyncTest::OnOtherThread([] { return ThreadCurrentId(); });
    EXPECT_TRUE(other != 0 && other != mine);
}

TEST(PlatformThread, ClosingEveryHandleLeavesTheThreadRunning)
{
    GatedThread shared;
    const Handle thread = shared.Start();
    const Handle second = ObjectDuplicate(thread);
    EXPECT_TRUE(ObjectClose(thread));
    EXPECT_EQ(ErrorOf([&] { std::uint32_t c; return ThreadGetExitCode(thread, &c); }), Error::InvalidHandle);
    EXPECT_TRUE(ObjectClose(second));
    EventSet(shared.gate);
    EXPECT_EQ(ObjectWait(shared.done, kBoundMs), WaitResult::Signaled);
}

TEST(PlatformThread, PriorityReportsTheLastValueSet)
{
    GatedThread shared;
    const Handle thread = shared.Start();
    EXPECT_EQ(ThreadGetPriority(thread), 0);
    for (int priority : {15, 1, -2, -15, 0})
        EXPECT_TRUE(ThreadSetPriority(thread, priority) && ThreadGetPriority(thread) == priority) << priority;
    EXPECT_EQ(ErrorOf([&] { return ThreadSetPriority(thread, 7); }), Error::InvalidArgument);
    EXPECT_EQ(ThreadGetPriority(thread), 0);
    EventSet(shared.gate);
    ASSERT_EQ(ObjectWait(thread, kBoundMs), WaitResult::Signaled);
    EXPECT_TRUE(ThreadSetPriority(thread, 2) && ThreadGetPriority(thread) == 2);   // kept after the end as well
    ObjectClose(thread);
    EXPECT_EQ(ThreadGetPriority(Handle(0x7654320)), kThreadPriorityError);
    EXPECT_EQ(ErrorOf([&] { return ThreadSetPriority(shared.gate, 1); }), Error::InvalidHandle);   // an event
    EXPECT_EQ(ThreadCreate(nullptr, nullptr, nullptr), kNullHandle);
}
