// Threads of the backend: ids, exit codes, waits on thread handles, handle lifetime,
// priorities and sleep.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "Common/Platform/Platform.h"

using namespace ZRPlatform;

namespace
{
constexpr std::uint32_t kShortMs = 30;
constexpr std::uint32_t kBoundMs = 5000;   // never reached in a passing run
constexpr std::uint32_t kExitCode = 42;
constexpr Handle kMadeUpHandle = 0x7654320;

struct GatedThread
{
    Handle gate = EventCreate(true, false, nullptr);
    Handle done = EventCreate(true, false, nullptr);
    std::uint32_t createdId = 0;       // written by ThreadCreate
    std::uint32_t seenCreatedId = 0;   // what the entry found there
    std::uint32_t ownId = 0;           // ThreadCurrentId on the thread
    Handle mutexToKeep = kNullHandle;

    ~GatedThread()
    {
        ObjectClose(gate);
        ObjectClose(done);
    }
};

std::uint32_t GatedEntry(void* argument)
{
    auto* shared = static_cast<GatedThread*>(argument);
    shared->seenCreatedId = shared->createdId;
    shared->ownId = ThreadCurrentId();
    if (shared->mutexToKeep != kNullHandle)
        ObjectWait(shared->mutexToKeep, kBoundMs);   // ends holding it
    ObjectWait(shared->gate, kBoundMs);
    EventSet(shared->done);
    return kExitCode;
}

template <class F>
Error ErrorOf(F call)
{
    SetLastError(Error::None);
    return call() ? Error::None : GetLastError();
}
} // namespace

TEST(PosixThread, RunsAtOnceAndIsSignalledWithItsExitCodeWhenItEnds)
{
    GatedThread shared;
    const Handle thread = ThreadCreate(GatedEntry, &shared, &shared.createdId);
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
    EXPECT_TRUE(ObjectClose(thread));
}

TEST(PosixThread, ClosingEveryHandleLeavesTheThreadRunning)
{
    GatedThread shared;
    const Handle thread = ThreadCreate(GatedEntry, &shared, nullptr);
    ASSERT_NE(thread, kNullHandle);
    const Handle second = ObjectDuplicate(thread);
    EXPECT_TRUE(ObjectClose(thread));
    EXPECT_EQ(ErrorOf([&] { std::uint32_t c; return ThreadGetExitCode(thread, &c); }),
              Error::InvalidHandle);
    EXPECT_TRUE(ObjectClose(second));

    EventSet(shared.gate);
    EXPECT_EQ(ObjectWait(shared.done, kBoundMs), WaitResult::Signaled);
}

TEST(PosixThread, MutexesHeldAtTheEndAreAbandonedBeforeTheThreadIsSignalled)
{
    GatedThread shared;
    shared.mutexToKeep = MutexCreate(false, nullptr);
    EventSet(shared.gate);
    const Handle thread = ThreadCreate(GatedEntry, &shared, nullptr);
    ASSERT_EQ(ObjectWait(thread, kBoundMs), WaitResult::Signaled);
    EXPECT_EQ(ObjectWait(shared.mutexToKeep, 0), WaitResult::Abandoned);
    EXPECT_TRUE(MutexRelease(shared.mutexToKeep));
    ObjectClose(shared.mutexToKeep);
    ObjectClose(thread);
}

TEST(PosixThread, PriorityReportsTheLastValueSet)
{
    GatedThread shared;
    const Handle thread = ThreadCreate(GatedEntry, &shared, nullptr);
    EXPECT_EQ(ThreadGetPriority(thread), 0);
    for (int priority : {15, 1, -2, -15, 0})
    {
        EXPECT_TRUE(ThreadSetPriority(thread, priority));
        EXPECT_EQ(ThreadGetPriority(thread), priority);
    }
    EXPECT_EQ(ErrorOf([&] { return ThreadSetPriority(thread, 7); }), Error::InvalidArgument);
    EXPECT_EQ(ThreadGetPriority(thread), 0);

    EventSet(shared.gate);
    ASSERT_EQ(ObjectWait(thread, kBoundMs), WaitResult::Signaled);
    EXPECT_TRUE(ThreadSetPriority(thread, 2));   // kept after the end as well
    EXPECT_EQ(ThreadGetPriority(thread), 2);
    ObjectClose(thread);

    EXPECT_EQ(ThreadGetPriority(kMadeUpHandle), kThreadPriorityError);
    const Handle event = EventCreate(false, false, nullptr);
    EXPECT_EQ(ErrorOf([&] { return ThreadSetPriority(event, 1); }), Error::InvalidHandle);
    ObjectClose(event);
    EXPECT_EQ(ThreadCreate(nullptr, nullptr, nullptr), kNullHandle);
}

TEST(PosixThread, IdsAreStablePerThreadAndDistinct)
{
    const std::uint32_t mine = ThreadCurrentId();
    EXPECT_NE(mine, 0u);
    EXPECT_EQ(ThreadCurrentId(), mine);
    std::uint32_t other = 0;
    std::thread([&] { other = ThreadCurrentId(); }).join();
    EXPECT_NE(other, 0u);
    EXPECT_NE(other, mine);
}

TEST(PosixThread, SleepLastsAtLeastTheTimeAsked)
{
    const auto start = std::chrono::steady_clock::now();
    ThreadSleep(kShortMs);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(kShortMs));
    ThreadSleep(0);
}
