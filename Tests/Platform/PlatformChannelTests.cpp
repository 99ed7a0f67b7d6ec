// Pipes and mail slots of the backend: byte order and end of data, message
// boundaries and sizes, names shared by server and client, and their errors.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "Platform/PlatformTestSupport.h"
#include "Support/RunsUnderWine.h"

#if defined(_WIN32)
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include "Common/Platform/Win32/Win32Channels.h"
#else
#include <fcntl.h>

#include <filesystem>
#endif

using namespace ZRPlatform;
using namespace PlatformTest;

namespace
{
constexpr std::uint32_t kMaxMessage = 400;

bool Write(Handle pipe, const std::string& text)
{
    std::uint32_t written = 0;
    return PipeWrite(pipe, text.data(), static_cast<std::uint32_t>(text.size()), &written) &&
           written == text.size();
}

#if !defined(_WIN32)
// The numbers of the descriptors the process holds open (the listing's own,
// closed by now, left out).
std::set<int> OpenDescriptorNumbers()
{
    std::set<int> numbers;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
        numbers.insert(std::stoi(entry.path().filename().string()));
    for (auto it = numbers.begin(); it != numbers.end();)
        it = fcntl(*it, F_GETFD) == -1 ? numbers.erase(it) : std::next(it);
    return numbers;
}
#endif
} // namespace

TEST(PlatformPipe, CarriesBytesInOrderBetweenThreadsAndEndsWithTheWriter)
{
    constexpr std::uint32_t kStreamBytes = 256 * 1024;   // more than a Linux pipe holds
    Handle readEnd = kNullHandle, writeEnd = kNullHandle;
    ASSERT_TRUE(PipeCreate(&readEnd, &writeEnd));
    std::vector<unsigned char> stream(kStreamBytes), received, buffer(4096);
    for (std::uint32_t i = 0; i < kStreamBytes; ++i)
        stream[i] = static_cast<unsigned char>(i % 251);   // prime: no chunk boundary repeats it
    std::thread writer([&] {
        std::uint32_t written = 0;
        EXPECT_TRUE(PipeWrite(writeEnd, stream.data(), kStreamBytes, &written));
        EXPECT_EQ(written, kStreamBytes);
        EXPECT_TRUE(ObjectClose(writeEnd));
    });
    std::uint32_t got = 0;
    while (PipeRead(readEnd, buffer.data(), static_cast<std::uint32_t>(buffer.size()), &got) && got > 0)
        received.insert(received.end(), buffer.begin(), buffer.begin() + got);
    writer.join();
    EXPECT_TRUE(received == stream);
    EXPECT_TRUE(PipeRead(readEnd, buffer.data(), 1, &got));   // write end gone: 0 bytes
    EXPECT_EQ(got, 0u);
    EXPECT_TRUE(ObjectClose(readEnd));
}

// Neither end reaches a program the process starts: close-on-exec descriptors
// on POSIX, handles without inheritance on Windows.
TEST(PlatformPipe, EndsAreNotInheritedByProgramsTheProcessStarts)
{
    Handle readEnd = kNullHandle, writeEnd = kNullHandle;
#if defined(_WIN32)
    ASSERT_TRUE(PipeCreate(&readEnd, &writeEnd));
    for (const auto& [end, kind] : {std::make_pair(readEnd, Win32::ChannelKind::PipeRead),
                                    std::make_pair(writeEnd, Win32::ChannelKind::PipeWrite)})
    {
        const auto channel = Win32::LookupChannelAs<Win32::OsChannel>(end, kind);
        ASSERT_TRUE(channel);
        DWORD flags = 0;
        ASSERT_TRUE(::GetHandleInformation(channel->Os(), &flags));
        EXPECT_EQ(flags & HANDLE_FLAG_INHERIT, 0u);
    }
#else
    const std::set<int> before = OpenDescriptorNumbers();
    ASSERT_TRUE(PipeCreate(&readEnd, &writeEnd));
    const std::set<int> after = OpenDescriptorNumbers();
    std::vector<int> added;
    std::set_difference(after.begin(), after.end(), before.begin(), before.end(),
                        std::back_inserter(added));
    ASSERT_EQ(added.size(), 2u);
    for (int fd : added)
        EXPECT_NE(fcntl(fd, F_GETFD) & FD_CLOEXEC, 0) << "descriptor " << fd;
#endif
    EXPECT_TRUE(ObjectClose(readEnd) && ObjectClose(writeEnd));
}

TEST(PlatformPipe, PeekCountsWaitingBytesAndEndsAreChecked)
{
    Handle readEnd = kNullHandle, writeEnd = kNullHandle;
    ASSERT_TRUE(PipeCreate(&readEnd, &writeEnd));
    std::uint32_t available = 99, got = 0;
    EXPECT_TRUE(PipePeek(readEnd, &available));
    EXPECT_EQ(available, 0u);
    ASSERT_TRUE(Write(writeEnd, "hello world"));
    char buffer[16] = {};
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

// Every backend checks a channel call alike: a handle of the wrong kind first,
// then a missing buffer or count; a refused call reports no count.
TEST(PlatformChannels, RefuseAWrongHandleFirstThenAMissingBufferOrCount)
{
    Handle readEnd = kNullHandle, writeEnd = kNullHandle;
    EXPECT_EQ(ErrorOf([&] { return PipeCreate(nullptr, &writeEnd); }), Error::InvalidArgument);
    EXPECT_EQ(ErrorOf([&] { return PipeCreate(&readEnd, nullptr); }), Error::InvalidArgument);
    ASSERT_TRUE(PipeCreate(&readEnd, &writeEnd));
    const std::string name = SlotName(".", "arguments");
    const Handle server = MailSlotCreate(name.c_str(), 0);
    const Handle client = MailSlotOpen(name.c_str());
    ASSERT_TRUE(server != kNullHandle && client != kNullHandle);

    EXPECT_EQ(ErrorOf([&] { return PipeWrite(readEnd, nullptr, 1, nullptr); }), Error::InvalidHandle);
    EXPECT_EQ(ErrorOf([&] { return PipeRead(writeEnd, nullptr, 1, nullptr); }), Error::InvalidHandle);
    EXPECT_EQ(ErrorOf([&] { return MailSlotSend(server, nullptr, 1, nullptr); }), Error::InvalidHandle);
    EXPECT_EQ(ErrorOf([&] { return MailSlotReceive(client, nullptr, 1, nullptr); }), Error::InvalidHandle);

    char byte = 'x';
    std::uint32_t count = 99;
    EXPECT_EQ(ErrorOf([&] { return PipeWrite(writeEnd, nullptr, 1, &count); }), Error::InvalidArgument);
    EXPECT_EQ(ErrorOf([&] { return PipeWrite(writeEnd, &byte, 1, nullptr); }), Error::InvalidArgument);
    EXPECT_EQ(ErrorOf([&] { return PipeRead(readEnd, nullptr, 1, &count); }), Error::InvalidArgument);
    EXPECT_EQ(ErrorOf([&] { return PipeRead(readEnd, &byte, 1, nullptr); }), Error::InvalidArgument);
    EXPECT_EQ(ErrorOf([&] { return MailSlotSend(client, nullptr, 1, &count); }), Error::InvalidArgument);
    EXPECT_EQ(ErrorOf([&] { return MailSlotReceive(server, nullptr, 1, &count); }), Error::InvalidArgument);
    EXPECT_EQ(ErrorOf([&] { return MailSlotReceive(server, &byte, 1, nullptr); }), Error::InvalidArgument);
    EXPECT_EQ(count, 99u);

    // No bytes need no buffer, and a pipe's count starts at 0; a send may go
    // without a count.
    EXPECT_TRUE(PipeWrite(writeEnd, nullptr, 0, &count));
    EXPECT_EQ(count, 0u);
    EXPECT_TRUE(MailSlotSend(client, &byte, 1, nullptr));
    EXPECT_EQ(Receive(server, 8), "x");
    EXPECT_TRUE(ObjectClose(readEnd) && ObjectClose(writeEnd));
    EXPECT_TRUE(ObjectClose(client) && ObjectClose(server));
}

// Wine's mail slots count one waiting message at most, hold back an empty
// message and every one after it, and block a sender when full, so this test
// and the next skip there.
TEST(PlatformMailSlot, KeepsMessageBoundariesAndReportsSizes)
{
    if (RunsUnderWine())
        GTEST_SKIP() << "Wine's mail slots lack these guarantees";
    const Handle server = MailSlotCreate(SlotName(".", "Boundaries").c_str(), kMaxMessage);
    // "*" and "." name the same slot; names compare without regard to case.
    const Handle client = MailSlotOpen(SlotName("*", "BOUNDARIES").c_str());
    ASSERT_TRUE(server != kNullHandle && client != kNullHandle);
    std::uint32_t maxSize = 0;
    EXPECT_TRUE(MailSlotInfo(server, &maxSize, nullptr, nullptr));
    EXPECT_EQ(maxSize, kMaxMessage);
    EXPECT_EQ(Waiting(server), std::make_pair(kMailSlotNoMessage, 0u));
    EXPECT_EQ(ErrorOf([&] { return Receive(server, 8) != "<failed>"; }), Error::WouldBlock);

    ASSERT_TRUE(Send(client, "abc") && Send(client, "defgh") && Send(client, ""));
    EXPECT_EQ(Waiting(server), std::make_pair(3u, 3u));
    EXPECT_EQ(Receive(server, 64), "abc");
    // Too large for the buffer: refused and kept in front.
    EXPECT_EQ(ErrorOf([&] { return Receive(server, 4) != "<failed>"; }), Error::MessageTooLarge);
    EXPECT_EQ(Waiting(server), std::make_pair(5u, 2u));
    EXPECT_EQ(Receive(server, 5), "defgh");
    EXPECT_EQ(Waiting(server), std::make_pair(0u, 1u));
    EXPECT_EQ(Receive(server, 0), "");
    EXPECT_EQ(Waiting(server), std::make_pair(kMailSlotNoMessage, 0u));

    EXPECT_EQ(ErrorOf([&] { return Send(server, "x"); }), Error::InvalidHandle);
    EXPECT_EQ(ErrorOf([&] { return Receive(client, 8) != "<failed>"; }), Error::InvalidHandle);
    EXPECT_TRUE(ObjectClose(client) && ObjectClose(server));
}

// The slot refuses a sender when the socket queue is full; once a reader drains
// it, a sender on another thread waits for room and every message arrives whole.
TEST(PlatformMailSlot, AFullSlotRefusesASenderInsteadOfBlockingIt)
{
    if (RunsUnderWine())
        GTEST_SKIP() << "Wine's mail slots lack these guarantees";
    constexpr std::uint32_t kSendLimit = 1000, kMessages = 40;   // both above what a socket queue holds
    const Handle server = MailSlotCreate(SlotName(".", "full").c_str(), 0);
    const Handle client = MailSlotOpen(SlotName(".", "full").c_str());
    ASSERT_NE(client, kNullHandle);
    std::uint32_t accepted = 0;
    while (accepted < kSendLimit && Send(client, "m"))
        ++accepted;
    EXPECT_LT(accepted, kSendLimit);
    EXPECT_EQ(ZRPlatform::GetLastError(), Error::WouldBlock);
    EXPECT_EQ(Waiting(server).second, accepted);   // every accepted message is counted, none lost

    std::thread sender([&] {
        for (std::uint32_t i = 2; i < kMessages + 2; ++i)
            EXPECT_TRUE(Send(client, std::string(i, 'm')));
    });
    std::uint32_t received = 0, wrong = 0;
    for (int polls = 0; received < accepted + kMessages && polls < 100000; ++polls, ThreadSleep(0))
        if (const std::string message = Receive(server, kMaxMessage); message != "<failed>")
            wrong += message != std::string(++received <= accepted ? 1 : received - accepted + 1, 'm');
    sender.join();
    EXPECT_EQ(received, accepted + kMessages);
    EXPECT_EQ(wrong, 0u);
    EXPECT_TRUE(ObjectClose(client) && ObjectClose(server));
}

TEST(PlatformMailSlot, NamesAreServedOnceAndClientsNeedAServer)
{
    const std::string name = SlotName(".", "once");
    EXPECT_EQ(ErrorOf([&] { return MailSlotOpen(name.c_str()); }), Error::NotFound);
    const Handle server = MailSlotCreate(name.c_str(), 0);
    ASSERT_NE(server, kNullHandle);
    EXPECT_EQ(ErrorOf([&] { return MailSlotCreate(SlotName("*", "ONCE").c_str(), 0); }), Error::AlreadyExists);
    const Handle client = MailSlotOpen(name.c_str());
    const Handle broadcast = MailSlotOpen(SlotName("*", "once").c_str());
    ASSERT_TRUE(client != kNullHandle && broadcast != kNullHandle);
    EXPECT_TRUE(ObjectClose(server));

    // The server is gone: a local send fails, a broadcast is sent to nobody.
    EXPECT_EQ(ErrorOf([&] { return Send(client, "x"); }), Error::NotFound);
    EXPECT_TRUE(Send(broadcast, "x"));
    const Handle again = MailSlotCreate(name.c_str(), 0);   // the name is free again
    ASSERT_NE(again, kNullHandle);
    EXPECT_TRUE(Send(client, "back"));
    EXPECT_EQ(Receive(again, 16), "back");
    EXPECT_TRUE(ObjectClose(again) && ObjectClose(client) && ObjectClose(broadcast));

    EXPECT_EQ(ErrorOf([] { return MailSlotCreate("\\\\.\\pipe\\x", 0); }), Error::InvalidArgument);
    EXPECT_EQ(ErrorOf([] { return MailSlotOpen("mailslot\\x"); }), Error::InvalidArgument);
    const Error remote = ErrorOf([] { return MailSlotOpen("\\\\no-such-machine.invalid\\mailslot\\x"); });
#if defined(_WIN32)
    EXPECT_NE(remote, Error::None);   // Windows asks the network, where no such host answers
#else
    EXPECT_EQ(remote, Error::NotSupported);   // only this machine's slots are reached
#endif
}
