// CZRMailSlot on the platform's mail slots: a message larger than its buffer,
// which only the platform can send, stays first until it is skipped.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "Common/MailSlot/ZRMailSlot.h"
#include "Platform/PlatformTestSupport.h"

using namespace ZRPlatform;
using namespace PlatformTest;

TEST(MailSlotOnPlatform, AMessageTooLargeForTheBufferStaysFirstUntilSkipped)
{
    const std::string name = SlotName(".", "oversized");
    CZRMailSlot server;
    ASSERT_TRUE(server.Open(name.c_str(), true));
    const Handle client = MailSlotOpen(name.c_str());
    ASSERT_NE(client, kNullHandle);
    const std::uint32_t tooLarge = CZRMailSlot::MESSAGE_BUFFER_SIZE + 1;
    ASSERT_TRUE(Send(client, std::string(tooLarge, 'x')) && Send(client, "next"));

    for (int attempt = 0; attempt < 2; ++attempt)
    {
        EXPECT_EQ(server.GetMessageSize(), tooLarge);
        server.BeginRead();   // receives nothing: the buffer stays zero
        char first = 'x';
        server.Read(&first, 1);
        EXPECT_EQ(first, 0);
        EXPECT_EQ(server.GetTotalBytesRead(), 0u);
    }
    EXPECT_TRUE(server.SkipMessage());
    EXPECT_EQ(server.GetTotalBytesRead(), 0u);
    EXPECT_EQ(server.GetMessageSize(), 4u);
    server.BeginRead();
    char next[4] = {};
    server.Read(next, sizeof(next));
    EXPECT_EQ(std::string(next, sizeof(next)), "next");
    EXPECT_FALSE(server.SkipMessage());
    EXPECT_TRUE(ObjectClose(client));
}
