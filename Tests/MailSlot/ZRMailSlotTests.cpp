// CZRMailSlot: the wire format byte for byte, the 400-byte bound on both ends,
// lengths from the other end checked before use, errors, handles and copies,
// skipping, and messages from another process, also by broadcast.
#include <gtest/gtest.h>

#if !defined(_WIN32)
#include <sys/wait.h>
#endif
#include <unistd.h>

#include <cstdint>
#include <string>

#include "Common/Common.h"

namespace
{
constexpr unsigned long kSize = CZRMailSlot::MESSAGE_BUFFER_SIZE;
using Bytes = std::string;   // raw bytes, zeros included

std::string SlotName(const char* host, const std::string& leaf)
{
    return std::string("\\\\") + host + "\\mailslot\\zrtest\\" + std::to_string(getpid()) + "\\" + leaf;
}

// An exception as "class/code file: message"; Thrown gives "" when call throws none.
std::string Error(unsigned long code, const char* message)
{
    return "10/" + std::to_string(code) + " Source\\Common\\MailSlot\\ZRMailSlot: " + message;
}
const std::string kOpenFailed = Error(5000, "Mailslot could not be opened."),
                  kNotOpen = Error(5001, "There is no mailslot opened."),
                  kReadFailed = Error(5002, "Could not read data to mailslot."),
                  kWriteFailed = Error(5003, "Could not write data to mailslot.");
template <class F> std::string Thrown(F call)
{
    try
    {
        call();
    }
    catch (const CMailSlotException& e)
    {
        return std::to_string(int(e.GetErrorClass())) + "/" + std::to_string(e.GetErrorCode()) + " " +
               e.GetFileName() + ": " + e.GetErrorString();
    }
    return "";
}

// A 32-bit little-endian value, a text as the wire carries it, bytes zero-padded to the buffer's size.
Bytes Word(std::uint32_t v) { return {char(v), char(v >> 8), char(v >> 16), char(v >> 24)}; }
Bytes Text(const std::string& s) { return Word(std::uint32_t(s.size())) + s; }
Bytes Padded(Bytes bytes) { return bytes.resize(kSize), bytes; }

void SendRaw(CZRMailSlot& client, const Bytes& bytes)
{
    client.BeginWrite();
    client.Write(bytes.data(), bytes.size());
    client.EndWrite();
}
// Receives the next message and reads the whole buffer.
Bytes ReceiveBuffer(CZRMailSlot& server)
{
    Bytes buffer(kSize, 0);
    server.BeginRead();
    server.Read(&buffer[0], kSize);
    return buffer;
}

struct MailSlotTest : testing::Test
{
    void OpenPair(const std::string& leaf)
    {
        const std::string name = SlotName(".", leaf);
        ASSERT_TRUE(server.Open(name.c_str(), true) && client.Open(name.c_str(), false));
    }
    CZRMailSlot server, client;
};
} // namespace

TEST_F(MailSlotTest, ServerAndClientExchangeMessagesInTheWireFormat)
{
    OpenPair("wire");
    EXPECT_EQ(server.GetMessageSize(), CZRMailSlot::NO_MESSAGE);
    const std::int32_t number = 0x11223344;
    for (int message = 0; message < 2; ++message)
    {
        client.BeginWrite();
        EXPECT_TRUE(client.Write(&number, 4) && client.Write(CZRString("hello")) && client.Write(CZRString()));
        client.EndWrite();
    }
    SendRaw(client, Word(7) + Text("skipped"));
    SendRaw(client, Word(8));
    const Bytes wire = Word(0x11223344) + Text("hello") + Word(0);   // an empty text is its 4-byte length
    EXPECT_EQ(client.GetTotalBytesWritten(), 2 * wire.size() + 15 + 4);
    EXPECT_FALSE(client.AreMessagesWaiting() || client.SkipMessage());   // a client end is not asked
    EXPECT_EQ(server.GetMessageSize(), wire.size());
    EXPECT_EQ(ReceiveBuffer(server), Padded(wire));

    // Skipping takes the next message off unread; the buffer and cursor stay.
    // Texts of length 0, the second one past the end of the message, leave the string alone.
    CZRString text("old"), kept("keep");
    server.BeginRead();
    std::int32_t value = 0;
    EXPECT_TRUE(server.Read(&value, 4) && value == number && server.SkipMessage());
    EXPECT_TRUE(server.Read(text) && server.Read(kept) && server.Read(kept));
    EXPECT_EQ(std::string(text.GetString()) + " " + kept.GetString(), "hello keep");
    EXPECT_EQ(server.GetTotalBytesRead(), 2 * wire.size());
    // Each read starts from a cleared buffer: a shorter message, or none, leaves nothing of the one before.
    EXPECT_EQ(ReceiveBuffer(server), Padded(Word(8)));
    EXPECT_FALSE(server.AreMessagesWaiting() || server.SkipMessage());
    EXPECT_EQ(ReceiveBuffer(server), Bytes(kSize, 0));
}

TEST_F(MailSlotTest, TheBufferHoldsExactly400BytesAndReceivedLengthsAreCheckedBeforeUse)
{
    OpenPair("bound");
    Bytes full;
    while (full.size() < kSize)
        full += char(full.size() * 7 + 1);
    client.BeginWrite();   // a failed write or read changes nothing
    EXPECT_TRUE(client.Write(&full[0], kSize));
    EXPECT_EQ(Thrown([&] { client.Write("x", 1); }), kWriteFailed);
    EXPECT_EQ(Thrown([&] { client.Write(CZRString()); }), kWriteFailed);
    client.EndWrite();   // the cursor stayed at 400
    EXPECT_EQ(ReceiveBuffer(server), full);
    EXPECT_EQ(Thrown([&] { server.Read(&full[0], 1); }), kReadFailed);

    const Bytes lead(kSize - 5, 'a');   // room for a 1-character text, not for 2
    client.BeginWrite();
    client.Write(lead.data(), lead.size());
    EXPECT_EQ(Thrown([&] { client.Write(CZRString("bc")); }), kWriteFailed);
    EXPECT_TRUE(client.Write(CZRString("b")));
    client.EndWrite();
    EXPECT_EQ(ReceiveBuffer(server), lead + Text("b"));

    // The exact room, one past it, the largest length, a negative one (0x7A is
    // 'z'), and a length in the last 4 bytes (after padding), which promises what cannot follow.
    const std::uint32_t room = kSize - 4;
    for (const std::uint32_t length : {room, room + 1, 0x7FFFFFFFu, 0xFFFFFFFBu, 1u})
    {
        const Bytes padding = length == 1 ? Bytes(room, 0) : "";
        SendRaw(client, padding + Word(length) + Bytes(room - padding.size(), 'z'));
        CZRString text("before");
        server.BeginRead();
        server.Read(&full[0], static_cast<unsigned long>(padding.size()));
        const bool refused = length > room - padding.size() && length < 0x80000000u;
        EXPECT_EQ(Thrown([&] { server.Read(text); }), refused ? kReadFailed : "") << length;
        EXPECT_EQ(std::string(text.GetString()), length == room ? Bytes(room, 'z') : "before");
        // A refused text leaves the cursor before its length; a negative one is consumed.
        std::uint32_t next = 0;
        if (length != room && length != 1)
        {
            EXPECT_TRUE(server.Read(&next, 4) && next == (refused ? length : 0x7A7A7A7Au)) << length;
        }
    }
}

TEST_F(MailSlotTest, ClosedObjectsThrowHandlesCloseOnceAndCopiesHoldTheirOwn)
{
    CZRMailSlot slot;
    EXPECT_EQ(Thrown([&] { slot.BeginWrite(); }), kNotOpen);
    EXPECT_EQ(Thrown([&] { slot.BeginRead(); }), kNotOpen);
    EXPECT_EQ(Thrown([&] { slot.SkipMessage(); }), kNotOpen);
    EXPECT_EQ(Thrown([&] { slot.EndWrite(); }), kWriteFailed);
    EXPECT_EQ(Thrown([&] { slot.Open(SlotName(".", "nobody").c_str(), false); }), kOpenFailed);
    const std::string name = SlotName(".", "close");
    ASSERT_TRUE(!slot.IsOpened() && slot.Open(name.c_str(), true) && slot.IsOpened());
    EXPECT_TRUE(slot.Close());
    EXPECT_FALSE(slot.IsOpened() || slot.Close());
    EXPECT_EQ(Thrown([&] { CZRMailSlot().Open(name.c_str(), false); }), kOpenFailed);   // really closed
    // Opening an open object closes its old slot first: the name is free again.
    ASSERT_TRUE(slot.Open(name.c_str(), true) && slot.Open(SlotName(".", "reopen").c_str(), true));
    EXPECT_TRUE(CZRMailSlot().Open(name.c_str(), true));

    // A copy duplicates the handle and takes the message under way along.
    OpenPair("copies");
    auto* original = new CZRMailSlot(client);
    original->BeginWrite();
    original->Write(CZRString("half"));
    CZRMailSlot copy(*original);
    delete original;   // closes only its own handle
    copy.Write(CZRString("whole"));
    copy.EndWrite();
    EXPECT_EQ(ReceiveBuffer(server), Padded(Text("half") + Text("whole")));
    slot = server;
    server.Close();
    SendRaw(copy, Word(7));
    EXPECT_EQ(ReceiveBuffer(slot), Padded(Word(7)));
}

#if !defined(_WIN32)   // forks; on Windows the tools' end-to-end tests cross processes
// A broadcast name is sent to whether or not anybody serves it.
TEST_F(MailSlotTest, AnotherProcessReachesTheServerByteExactAlsoByBroadcast)
{
    const std::string broadcast = SlotName("*", "process");
    ASSERT_TRUE(client.Open(broadcast.c_str(), false));
    SendRaw(client, Word(1));   // nobody serves the name yet: sent and lost
    EXPECT_EQ(client.GetTotalBytesWritten(), 4u);
    ASSERT_TRUE(server.Open(SlotName(".", "process").c_str(), true));
    EXPECT_FALSE(server.AreMessagesWaiting());
    const pid_t child = fork();
    if (child == 0)
    {
        CZRMailSlot sender;   // a throw ends the child abnormally
        sender.Open(broadcast.c_str(), false);
        SendRaw(sender, Text("from child") + Word(std::uint32_t(getpid())));
        _exit(0);
    }
    int status = -1;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(ReceiveBuffer(server), Padded(Text("from child") + Word(std::uint32_t(child))));
}
#endif
