// Every OS call of a mail slot exchange failing in turn: each failure ends in
// the slot's exception for the step (5000 open, 5003 send) or in no message
// read; nothing is left open.
#include <gtest/gtest.h>

#include <unistd.h>

#include <string>

#include "Common/Core/ZRString.h"
#include "Common/MailSlot/ZRMailSlot.h"
#include "Support/FaultSweep.h"
#include "Support/OpenDescriptors.h"

TEST(MailSlotFaults, EveryChannelCallFailingEndsInTheStepsException)
{
    const std::string name = "\\\\.\\mailslot\\faults" + std::to_string(getpid());
    const int before = OpenDescriptors();
    const int failed = FaultSweep::Sweep(
        {FaultSweep::OsCall::Channel},
        [&](int) {
            CZRMailSlot server, client;
            server.Open(name.c_str(), true);
            client.Open(name.c_str(), false);
            client.BeginWrite();
            const int number = 42;
            client.Write(&number, sizeof(number));
            client.Write(CZRString("hello"));
            client.EndWrite();
            if (!server.AreMessagesWaiting())
                return false;
            server.BeginRead();
            int got = 0;
            CZRString text;
            server.Read(&got, sizeof(got));
            server.Read(text);
            server.EndRead();
            return got == number && text.Compare("hello") == 0;
        },
        {"ok", "false", "5000", "5003"},
        [&] { EXPECT_EQ(OpenDescriptors(), before) << "a slot end was left open"; });
    EXPECT_GT(failed, 0);
}
