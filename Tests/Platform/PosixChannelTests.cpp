// Pipes and mail slots of the backend: byte order and end of data, message
// boundaries and sizes, names shared by server and client, and their errors.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "Common/Platform/Platform.h"

using namespace ZRPlatform;

namespace
{
// More than a Linux pipe holds, so the writer must wait for the reader.
constexpr std::uint32_t kStreamBytes = 256 * 1024;
constexpr std::uint32_t kReadChunk = 4096;
constexpr std::uint32_t kPatternPeriod = 251;   // prime: no chunk boundary repeats it
constexpr std::uint32_t kMaxMessage = 400;
constexpr std::uint32_t kSendLimit = 1000;   // far above what a socket queue holds

template <class F>
Error ErrorOf(F call)
{
    SetLastError(Error::None);
    return call() ? Error::None : GetLastError();
}

bool Write(Handle pipe, const std::string& text)
{
    std::uint32_t written = 0;
    return PipeWrite(pipe, text.data(), static_cast<std::uint32_t>(text.size()), &written) &&
           written == text.size();
}

// A slot name of this test process, in the form Windows programs spell it.
std::string SlotName(const char* host, const std::string& leaf)
{
    return std::string("\\\\") + host + "\\mailslot\\zrtest\\" +
           std::to_string(ProcessCurrentId()) + "\\" + leaf;
}

bool Send(Handle client, const std::string& text)
{
    std::uint32_t sent = 0;
    return MailSlotSend(client, text.data(), static_cast<std::uint32_t>(text.size()), &sent) &&
           sent == text.size();
}

std::string Receive(Handle server, std::uint32_t size)
{
    std::vector<char> buffer(size + 1);
    std::uint32_t received = 0;
    if (!MailSlotReceive(server, buffer.data(), size, &received))
        return "<failed>";
    return std::string(buffer.data(), received);
}
} // namespace

TEST(PosixPipe, CarriesBytesInOrderBetweenThreadsAndEndsWithTheWriter)
{
    Handle readEnd = kNullHandle;
    Handle writeEnd = kNullHandle;
    ASSERT_TRUE(PipeCreate(&readEnd, &writeEnd));
    std::vector<unsigned char> stream(kStreamBytes);
    for (std::uint32_t i = 0; i < kStreamBytes; ++i)
        stream[i] = static_cast<unsigned char>(i % kPatternPeriod);
    std::thread writer([&] {
        std::uint32_t written = 0;
        EXPECT_TRUE(PipeWrite(writeEnd, stream.data(), kStreamBytes, &written));
        EXPECT_EQ(written, kStreamBytes);
        EXPECT_TRUE(ObjectClose(writeEnd));
    });
    std::vector<unsigned char> received;
    std::vector<unsigned char> buffer(kReadChunk);
    std::uint32_t got = 0;
    while (PipeRead(readEnd, buffer.data(), kReadChunk, &got) && got > 0)
        received.insert(received.end(), buffer.begin(), buffer.begin() + got);
    writer.join();
    EXPECT_TRUE(received == stream);
    EXPECT_TRUE(PipeRead(readEnd, buffer.data(), 1, &got));   // write end gone: 0 bytes
    EXPECT_EQ(got, 0u);
    EXPECT_TRUE(ObjectClose(readEnd));
}

TEST(PosixPipe, PeekCountsWaitingBytesAndEndsAreChecked)
{
    Handle readEnd = kNullHandle;
    Handle writeEnd = kNullHandle;
    ASSERT_TRUE(PipeCreate(&readEnd, &writeEnd));
    std::uint32_t available = 99;
    EXPECT_TRUE(PipePeek(readEnd, &available));
    EXPECT_EQ(available, 0u);
    ASSERT_TRUE(Write(writeEnd, "hello world"));
    EXPECT_TRUE(PipePeek(readEnd, &available));
    EXPECT_EQ(available, 11u);
    char buffer[16] = {};
    std::uint32_t got = 0;
    EXPECT_TRUE(PipeRead(readEnd, buffer, 4, &got));
    EXPECT_EQ(std::string(buffer, got), "hell");
    EXPECT_TRUE(PipePeek(readEnd, &available));
    EXPECT_EQ(available, 7u);

    EXPECT_EQ(ErrorOf([&] { return PipeRead(writeEnd, buffer, 1, &got); }), Error::InvalidHandle);
    EXPECT_EQ(ErrorOf([&] { return Write(readEnd, "x"); }), Error::InvalidHandle);
    EXPECT_EQ(ObjectWait(readEnd, 0), WaitResult::Failed);

    // Without a reader a write fails instead of raising SIGPIPE.
    EXPECT_TRUE(ObjectClose(readEnd));
    EXPECT_EQ(ErrorOf([&] { return Write(writeEnd, "lost"); }), Error::BrokenPipe);
    EXPECT_TRUE(ObjectClose(writeEnd));
}

TEST(PosixMailSlot, KeepsMessageBoundariesAndReportsSizes)
{
    const Handle server = MailSlotCreate(SlotName(".", "Boundaries").c_str(), kMaxMessage);
    ASSERT_NE(server, kNullHandle);
    // "*" and "." name the same slot; names compare without regard to case.
    const Handle client = MailSlotOpen(SlotName("*", "BOUNDARIES").c_str());
    ASSERT_NE(client, kNullHandle);

    std::uint32_t maxSize = 0, nextSize = 0, count = 99;
    EXPECT_TRUE(MailSlotInfo(server, &maxSize, &nextSize, &count));
    EXPECT_EQ(maxSize, kMaxMessage);
    EXPECT_EQ(nextSize, kMailSlotNoMessage);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(ErrorOf([&] { return Receive(server, 8) != "<failed>"; }), Error::WouldBlock);

    ASSERT_TRUE(Send(client, "abc"));
    ASSERT_TRUE(Send(client, "defgh"));
    ASSERT_TRUE(Send(client, ""));
    EXPECT_TRUE(MailSlotInfo(server, nullptr, &nextSize, &count));
    EXPECT_EQ(nextSize, 3u);
    EXPECT_EQ(count, 3u);
    EXPECT_EQ(Receive(server, 64), "abc");

    // Too large for the buffer: refused and kept in front.
    EXPECT_EQ(ErrorOf([&] { return Receive(server, 4) != "<failed>"; }), Error::MessageTooLarge);
    EXPECT_TRUE(MailSlotInfo(server, nullptr, &nextSize, &count));
    EXPECT_EQ(nextSize, 5u);
    EXPECT_EQ(count, 2u);
    EXPECT_EQ(Receive(server, 5), "defgh");
    EXPECT_TRUE(MailSlotInfo(server, nullptr, &nextSize, &count));
    EXPECT_EQ(nextSize, 0u);
    EXPECT_EQ(Receive(server, 0), "");
    EXPECT_TRUE(MailSlotInfo(server, nullptr, &nextSize, nullptr));
    EXPECT_EQ(nextSize, kMailSlotNoMessage);

    EXPECT_EQ(ErrorOf([&] { return Send(server, "x"); }), Error::InvalidHandle);
    EXPECT_EQ(ErrorOf([&] { return Receive(client, 8) != "<failed>"; }), Error::InvalidHandle);
    ObjectClose(client);
    ObjectClose(server);
}

TEST(PosixMailSlot, MessagesFromAnotherThreadArriveWhole)
{
    const Handle server = MailSlotCreate(SlotName(".", "threads").c_str(), 0);
    ASSERT_NE(server, kNullHandle);
    constexpr int kMessages = 40;   // more than the socket queue holds at once
    std::thread sender([&] {
        const Handle client = MailSlotOpen(SlotName(".", "threads").c_str());
        for (int i = 0; i < kMessages; ++i)
            EXPECT_TRUE(Send(client, std::string(static_cast<std::size_t>(i + 1), 'm')));
        ObjectClose(client);
    });
    int received = 0;
    int wrong = 0;
    for (int polls = 0; received < kMessages && polls < 100000; ++polls)
    {
        const std::string message = Receive(server, kMaxMessage);
        if (message == "<failed>")
        {
            EXPECT_EQ(GetLastError(), Error::WouldBlock);
            ThreadSleep(0);
            continue;
        }
        wrong += message != std::string(static_cast<std::size_t>(received + 1), 'm');
        ++received;
    }
    sender.join();
    EXPECT_EQ(received, kMessages);
    EXPECT_EQ(wrong, 0);
    ObjectClose(server);
}

TEST(PosixMailSlot, AFullSlotRefusesASenderInsteadOfBlockingIt)
{
    const Handle server = MailSlotCreate(SlotName(".", "full").c_str(), 0);
    const Handle client = MailSlotOpen(SlotName(".", "full").c_str());
    ASSERT_NE(client, kNullHandle);
    std::uint32_t accepted = 0;
    while (accepted < kSendLimit && Send(client, "message"))
        ++accepted;
    EXPECT_LT(accepted, kSendLimit);
    EXPECT_EQ(GetLastError(), Error::WouldBlock);
    std::uint32_t count = 0;
    EXPECT_TRUE(MailSlotInfo(server, nullptr, nullptr, &count));
    EXPECT_EQ(count, accepted);   // every accepted message is counted, none lost
    EXPECT_TRUE(Send(client, "room again"));
    ObjectClose(client);
    ObjectClose(server);
}

TEST(PosixMailSlot, NamesAreServedOnceAndClientsNeedAServer)
{
    const std::string name = SlotName(".", "once");
    EXPECT_EQ(MailSlotOpen(name.c_str()), kNullHandle);
    EXPECT_EQ(GetLastError(), Error::NotFound);

    const Handle server = MailSlotCreate(name.c_str(), 0);
    ASSERT_NE(server, kNullHandle);
    EXPECT_EQ(MailSlotCreate(SlotName("*", "ONCE").c_str(), 0), kNullHandle);
    EXPECT_EQ(GetLastError(), Error::AlreadyExists);
    const Handle client = MailSlotOpen(name.c_str());
    const Handle broadcast = MailSlotOpen(SlotName("*", "once").c_str());
    ASSERT_NE(client, kNullHandle);
    ASSERT_NE(broadcast, kNullHandle);
    EXPECT_TRUE(ObjectClose(server));

    // The server is gone: a local send fails, a broadcast is sent to nobody.
    EXPECT_EQ(ErrorOf([&] { return Send(client, "x"); }), Error::NotFound);
    EXPECT_TRUE(Send(broadcast, "x"));
    const Handle again = MailSlotCreate(name.c_str(), 0);   // the name is free again
    ASSERT_NE(again, kNullHandle);
    EXPECT_TRUE(Send(client, "back"));
    EXPECT_EQ(Receive(again, 16), "back");
    ObjectClose(again);
    ObjectClose(client);
    ObjectClose(broadcast);

    EXPECT_EQ(MailSlotCreate("\\\\.\\pipe\\x", 0), kNullHandle);
    EXPECT_EQ(GetLastError(), Error::InvalidArgument);
    EXPECT_EQ(MailSlotOpen("mailslot\\x"), kNullHandle);
    EXPECT_EQ(GetLastError(), Error::InvalidArgument);
    EXPECT_EQ(MailSlotOpen("\\\\no-such-machine.invalid\\mailslot\\x"), kNullHandle);
    EXPECT_EQ(GetLastError(), Error::NotSupported);
}
