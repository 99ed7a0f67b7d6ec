// Fails every OS call of an operation in turn through the platform layer's
// test seam: for each kind asked for, the 1st, 2nd, ... call of that kind,
// until the operation no longer reaches that many. Each run's outcome must be
// one the operation specifies, and a check after each run proves that nothing
// was left behind.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <initializer_list>
#include <set>
#include <string>

#include "Common/Core/ZRException.h"
#include "Common/Platform/PlatformSeam.h"

namespace FaultSweep
{
using ZRPlatform::Seam::OsCall;

// "ok", "false" or the code of the library exception the operation ended in.
inline std::string Outcome(const std::function<bool(int)>& operation, int run)
{
    try
    {
        return operation(run) ? "ok" : "false";
    }
    catch (const CZRException& e)
    {
        return std::to_string(e.GetErrorCode());
    }
}

// operation(run) gets a fresh run number each time; afterEach runs with the
// seam quiet again. Returns the number of runs in which a call failed.
inline int Sweep(std::initializer_list<OsCall> kinds, const std::function<bool(int run)>& operation,
                 const std::set<std::string>& allowed, const std::function<void()>& afterEach)
{
    namespace Seam = ZRPlatform::Seam;
    int run = 0, failedRuns = 0;
    for (OsCall kind : kinds)
        for (std::uint64_t n = 1;; ++n)
        {
            Seam::ResetCounts();
            Seam::FailNth(kind, n, ZRPlatform::Error::Io);
            const std::string outcome = Outcome(operation, ++run);
            const bool reached = !Seam::PlanPending();
            Seam::ResetCounts();
            SCOPED_TRACE("call " + std::to_string(n) + " of kind " + std::to_string(static_cast<int>(kind)) +
                         " failed: " + outcome);
            EXPECT_TRUE(allowed.count(outcome));
            afterEach();
            if (!reached || testing::Test::HasFailure())
                break;
            ++failedRuns;
        }
    return failedRuns;
}
} // namespace FaultSweep
