// CZRMailSlot: the wire format byte for byte, the 400-byte bound on both ends,
// lengths from the other end checked before use, errors, handles and copies,
// broadcasts, and messages between processes.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <string>
#include <vector>

#include "Common/Common.h"

namespace
{
constexpr unsigned long kBufferSize = CZRMailSlot::MESSAGE_BUFFER_SIZE;
using Bytes = std::vector<unsigned char>;

std::string SlotName(const char* host, const std::string& leaf)
{
    return std::string("\\\\") + host + "\\mailslot\\zrtest\\" + std::to_string(getpid()) + "\\" + leaf;
}

// The code call throws, 0 when it does not.
template <class F> unsigned long CodeOf(F call)
{
    try
    {
        call();
    }
    catch (const CMailSlotException& e)
    {
        return e.GetErrorCode();
    }
    return 0;
}

Bytes operator+(Bytes a, const Bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}
// A 32-bit little-endian value, and a text as the wire carries it.
Bytes Word(std::uint32_t v)
{
    return {std::uint8_t(v), std::uint8_t(v >> 8), std::uint8_t(v >> 16), std::uint8_t(v >> 24)};
}
Bytes Text(const std::string& s) { return Word(std::uint32_t(s.size())) + Bytes(s.begin(), s.end()); }
// bytes followed by zeros to the buffer's size.
Bytes Padded(Bytes bytes)
{
    bytes.resize(kBufferSize);
    return bytes;
}

void SendRaw(CZRMailSlot& client, const Bytes& bytes)
{
    client.BeginWrite();
    client.Write(bytes.data(), bytes.size());
    client.EndWrite();
}

// Receives the next message and reads the whole buffer.
Bytes ReceiveBuffer(CZRMailSlot& server)
{
    Bytes buffer(kBufferSize);
    server.BeginRead();
    server.Read(buffer.data(), kBufferSize);
    return buffer;
}

std::int32_t ReadInt(CZRMailSlot& server)
{
    std::int32_t value = -1;
    server.Read(&value, sizeof(value));
    return value;
}

class MailSlotTest : public testing::Test
{
protected:
    void OpenPair(const std::string& leaf)
    {
        const std::string name = SlotName(".", leaf);
        ASSERT_TRUE(m_server.Open(name.c_str(), true) && m_client.Open(name.c_str(), false));
    }
    CZRMailSlot m_server, m_client;
};
} // namespace

TEST_F(MailSlotTest, ServerAndClientExchangeMessagesInTheWireFormat)
{
    OpenPair("wire");
    EXPECT_EQ(m_server.GetMessageSize(), CZRMailSlot::NO_MESSAGE);
    EXPECT_EQ(m_server.GetMaxMessageSize(), 0u);   // created for messages of any size
    const std::int32_t number = 0x11223344;
    for (int message = 0; message < 2; ++message)
    {
        m_client.BeginWrite();
        EXPECT_TRUE(m_client.Write(&number, 4) && m_client.Write(CZRString("hello")) &&
                    m_client.Write(CZRString()));
        m_client.EndWrite();
    }
    const Bytes wire = Word(0x11223344) + Text("hello") + Word(0);   // an empty text is its 4-byte length
    EXPECT_EQ(m_client.GetTotalBytesWritten(), 2 * wire.size());
    EXPECT_TRUE(m_server.AreMessagesWaiting());
    EXPECT_EQ(m_server.GetMessageSize(), wire.size());
    EXPECT_EQ(ReceiveBuffer(m_server), Padded(wire));

    CZRString text("old"), kept("keep");
    m_server.BeginRead();
    EXPECT_EQ(ReadInt(m_server), number);
    // The second empty text lies past the end of the message.
    EXPECT_TRUE(m_server.Read(text) && m_server.Read(kept) && m_server.Read(kept));
    EXPECT_EQ(ReadInt(m_server), 0);
    EXPECT_EQ(std::string(text.GetString()), "hello");
    EXPECT_EQ(std::string(kept.GetString()), "keep");   // empty texts leave the string alone
    EXPECT_EQ(m_server.GetTotalBytesRead(), 2 * wire.size());
    EXPECT_FALSE(m_server.AreMessagesWaiting());

    // Each read starts from a cleared buffer: a shorter message, or none, leaves
    // nothing of the one before.
    SendRaw(m_client, Word(7));
    EXPECT_EQ(ReceiveBuffer(m_server), Padded(Word(7)));
    m_server.BeginRead();
    EXPECT_EQ(ReadInt(m_server), 0);
    EXPECT_FALSE(m_client.AreMessagesWaiting());   // a client end is not asked
    EXPECT_EQ(m_client.GetMessageSize() + m_client.GetMaxMessageSize(), 0u);
}

TEST_F(MailSlotTest, TheBufferHoldsExactly400BytesAndAFailedWriteOrReadChangesNothing)
{
    OpenPair("bound");
    Bytes full(kBufferSize);
    for (unsigned long i = 0; i < kBufferSize; ++i)
        full[i] = static_cast<unsigned char>(i * 7 + 1);
    m_client.BeginWrite();
    EXPECT_TRUE(m_client.Write(full.data(), kBufferSize));
    try
    {
        m_client.Write("x", 1);
        ADD_FAILURE() << "a write past 400 bytes was accepted";
    }
    catch (const CMailSlotException& e)
    {
        EXPECT_EQ(e.GetErrorCode(), 5003u);
        EXPECT_EQ(std::string(e.GetErrorString()), "Could not write data to mailslot.");
        EXPECT_EQ(std::string(e.GetFileName()), "Source\\Common\\MailSlot\\ZRMailSlot");
        EXPECT_EQ(e.GetErrorClass(), 10);
    }
    EXPECT_EQ(CodeOf([&] { m_client.Write(CZRString()); }), 5003u);
    m_client.EndWrite();   // the cursor stayed at 400
    EXPECT_EQ(ReceiveBuffer(m_server), full);

    const Bytes lead(kBufferSize - 5, 'a');   // room for a 1-character text, not for 2
    m_client.BeginWrite();
    m_client.Write(lead.data(), lead.size());
    EXPECT_EQ(CodeOf([&] { m_client.Write(CZRString("bc")); }), 5003u);
    EXPECT_TRUE(m_client.Write(CZRString("b")));
    m_client.EndWrite();
    EXPECT_EQ(ReceiveBuffer(m_server), lead + Text("b"));

    Bytes part(kBufferSize);
    m_server.BeginRead();
    EXPECT_TRUE(m_server.Read(part.data(), kBufferSize - 1));
    EXPECT_EQ(CodeOf([&] { m_server.Read(part.data(), 2); }), 5002u);
    EXPECT_TRUE(m_server.Read(part.data(), 1));
    EXPECT_EQ(CodeOf([&] { m_server.Read(part.data(), 1); }), 5002u);
}

TEST_F(MailSlotTest, ReceivedLengthsAreCheckedAgainstTheBufferBeforeUse)
{
    OpenPair("lengths");
    const unsigned long room = kBufferSize - 4;
    // One past the room, the largest length, and two negative ones (0x7A is 'z').
    for (const std::uint32_t length : {std::uint32_t(room + 1), 0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFBu})
    {
        SendRaw(m_client, Word(length) + Bytes(room, 'z'));
        CZRString text("before");
        m_server.BeginRead();
        const bool negative = length >= 0x80000000u;
        EXPECT_EQ(CodeOf([&] { m_server.Read(text); }), negative ? 0u : 5002u) << length;
        EXPECT_EQ(std::string(text.GetString()), "before");
        // A refused text leaves the cursor before its length; a negative one is consumed.
        EXPECT_EQ(std::uint32_t(ReadInt(m_server)), negative ? 0x7A7A7A7Au : length);
    }
    SendRaw(m_client, Word(std::uint32_t(room)) + Bytes(room, 'z'));
    CZRString text;
    m_server.BeginRead();
    EXPECT_TRUE(m_server.Read(text));
    EXPECT_EQ(std::string(text.GetString(), text.GetLength()), std::string(room, 'z'));

    // A length in the last 4 bytes promises what cannot follow; a length cut by
    // the end cannot be read at all.
    SendRaw(m_client, Bytes(room, 0) + Word(1));
    m_server.BeginRead();
    Bytes skip(room);
    m_server.Read(skip.data(), room);
    EXPECT_EQ(CodeOf([&] { m_server.Read(text); }), 5002u);
    m_server.Read(skip.data(), 1);
    EXPECT_EQ(CodeOf([&] { m_server.Read(text); }), 5002u);
    EXPECT_EQ(text.GetLength(), long(room));
}

TEST_F(MailSlotTest, ClosedObjectsThrowAndHandlesCloseOnce)
{
    CZRMailSlot slot;
    try
    {
        slot.BeginWrite();
        ADD_FAILURE() << "BeginWrite on a closed object";
    }
    catch (const CMailSlotException& e)
    {
        EXPECT_EQ(e.GetErrorCode(), 5001u);
        EXPECT_EQ(std::string(e.GetErrorString()), "There is no mailslot opened.");
    }
    EXPECT_EQ(CodeOf([&] { slot.BeginRead(); }), 5001u);
    EXPECT_EQ(CodeOf([&] { slot.EndWrite(); }), 5003u);
    EXPECT_EQ(CodeOf([&] { slot.Open(SlotName(".", "nobody").c_str(), false); }), 5000u);
    EXPECT_FALSE(slot.IsOpened());

    const std::string name = SlotName(".", "close");
    ASSERT_TRUE(slot.Open(name.c_str(), true) && slot.IsOpened());
    EXPECT_EQ(CodeOf([&] { CZRMailSlot().Open(name.c_str(), true); }), 5000u);   // served once
    EXPECT_TRUE(slot.Close());
    EXPECT_FALSE(slot.IsOpened() || slot.Close());
    EXPECT_EQ(CodeOf([&] { CZRMailSlot().Open(name.c_str(), false); }), 5000u);   // really closed

    // Opening an open object closes its old slot first: the name is free again.
    ASSERT_TRUE(slot.Open(name.c_str(), true) && slot.Open(SlotName(".", "reopen").c_str(), true));
    EXPECT_TRUE(CZRMailSlot().Open(name.c_str(), true));
}

TEST_F(MailSlotTest, CopiesHoldTheirOwnHandleAndTheMessageUnderWay)
{
    OpenPair("copies");
    auto* original = new CZRMailSlot(m_client);
    original->BeginWrite();
    original->Write(CZRString("half"));
    CZRMailSlot copy(*original);
    delete original;   // closes only its own handle
    copy.Write(CZRString("whole"));
    copy.EndWrite();
    EXPECT_EQ(ReceiveBuffer(m_server), Padded(Text("half") + Text("whole")));

    CZRMailSlot server;
    server = m_server;
    m_server.Close();
    SendRaw(copy, Word(7));
    server.BeginRead();
    EXPECT_EQ(ReadInt(server), 7);
}

TEST_F(MailSlotTest, SkipTakesTheNextMessageOffUnreadAndLeavesTheBufferAlone)
{
    OpenPair("skip");
    EXPECT_FALSE(m_server.SkipMessage());   // nothing waiting
    SendRaw(m_client, Word(1));
    SendRaw(m_client, Word(2) + Text("skipped"));
    SendRaw(m_client, Word(3));
    m_server.BeginRead();
    EXPECT_EQ(ReadInt(m_server), 1);
    EXPECT_TRUE(m_server.SkipMessage());
    EXPECT_EQ(ReadInt(m_server), 0);        // the cursor and the first message stay
    EXPECT_EQ(m_server.GetTotalBytesRead(), 4u);
    EXPECT_EQ(m_server.GetMessageSize(), 4u);
    m_server.BeginRead();
    EXPECT_EQ(ReadInt(m_server), 3);
    EXPECT_FALSE(m_server.SkipMessage() || m_server.AreMessagesWaiting());

    SendRaw(m_client, Word(4));
    EXPECT_FALSE(m_client.SkipMessage());   // a client end takes nothing off
    EXPECT_EQ(m_server.GetMessageSize(), 4u);
    EXPECT_EQ(CodeOf([] { CZRMailSlot().SkipMessage(); }), 5001u);
}

TEST_F(MailSlotTest, ABroadcastReachesTheServerOfTheNameOrNobody)
{
    CZRMailSlot broadcast;
    ASSERT_TRUE(broadcast.Open(SlotName("*", "everyone").c_str(), false));
    SendRaw(broadcast, Word(1));   // nobody serves the name: sent and lost
    EXPECT_EQ(broadcast.GetTotalBytesWritten(), 4u);
    ASSERT_TRUE(m_server.Open(SlotName(".", "everyone").c_str(), true));
    EXPECT_FALSE(m_server.AreMessagesWaiting());
    SendRaw(broadcast, Word(2));
    m_server.BeginRead();
    EXPECT_EQ(ReadInt(m_server), 2);
    EXPECT_FALSE(m_server.AreMessagesWaiting());
}

TEST_F(MailSlotTest, ProcessesExchangeMessagesByteExact)
{
    const std::string name = SlotName(".", "process");
    ASSERT_TRUE(m_server.Open(name.c_str(), true));
    const pid_t child = fork();
    if (child == 0)
    {
        try
        {
            CZRMailSlot client;
            client.Open(name.c_str(), false);
            const std::int32_t pid = getpid();
            client.BeginWrite();
            client.Write(CZRString("from child"));
            client.Write(&pid, sizeof(pid));
            client.EndWrite();
            _exit(0);
        }
        catch (const CZRException&)
        {
            _exit(1);
        }
    }
    int status = -1;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(ReceiveBuffer(m_server), Padded(Text("from child") + Word(std::uint32_t(child))));
}
