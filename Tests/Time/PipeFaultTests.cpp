// Every OS call of a pipe's life failing in turn: each failure ends in false,
// never an exception; a failed typed read leaves its target as it was; both
// ends are closed after all.
#include <gtest/gtest.h>

#include "Common/Core/ZRString.h"
#include "Common/Time/ZRPipe.h"
#include "Support/FaultSweep.h"
#include "Support/OpenDescriptors.h"

TEST(PipeFaults, EveryChannelCallFailingEndsInFalseAndClosesBothEnds)
{
    const int before = OpenDescriptors();
    int keptTargets = 0;
    const int failed = FaultSweep::Sweep(
        {FaultSweep::OsCall::Channel},
        [&](int) {
            CZRPipe pipe;
            if (!pipe.Open())
                return false;
            const bool wrote = pipe.Write(-7) && pipe.Write(CZRString("payload")) && pipe.Write(2.5);
            int number = 1;
            CZRString text("kept");
            double real = 1.0;
            // Reading what was not all written would wait for ever.
            const bool read = wrote && pipe.Read(number) && pipe.Read(text) && pipe.Read(real);
            if (read)
                return number == -7 && text.Compare("payload") == 0 && real == 2.5 && !pipe.HasData();
            // Each target holds its old value or, read before the failure, the one sent.
            keptTargets += wrote && (number == 1 || number == -7) &&
                           (text.Compare("kept") == 0 || text.Compare("payload") == 0) && real == 1.0;
            return false;
        },
        {"ok", "false"}, [&] { EXPECT_EQ(OpenDescriptors(), before) << "a pipe end was left open"; });
    EXPECT_GT(failed, 0);
    EXPECT_GT(keptTargets, 0) << "no read failed";
}
