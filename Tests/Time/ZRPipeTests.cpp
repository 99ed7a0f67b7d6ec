// CZRPipe: the exact bytes of every value between two threads, what HasData
// sees, copies with handles of their own, and text lengths that cannot be
// trusted (no allocation follows them; Close ends a reader waiting for them).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "Common/Time/ZRPipe.h"
#include "Support/CountingNew.h"
#include "Time/SyncTestSupport.h"

using namespace SyncTest;

namespace
{
using Bytes = std::vector<unsigned char>;

// A 2^31 - 1 byte text of which 100 bytes arrive.
const Bytes kHostileText = [] {
    Bytes bytes{0xFF, 0xFF, 0xFF, 0x7F};
    bytes.resize(104, 'x');
    return bytes;
}();
constexpr std::size_t kSmallAllocation = 1 << 20;

void WriteOneOfEach(CZRPipe& pipe)
{
    EXPECT_TRUE(pipe.Write(true) && pipe.Write('z') && pipe.Write(short(-2)) &&
                pipe.Write(static_cast<unsigned short>(0xBEEF)) && pipe.Write(-2) && pipe.Write(0x01020304u) &&
                pipe.Write(-3L) && pipe.Write(static_cast<long>(0x123456789LL)) &&
                pipe.Write(static_cast<unsigned long>(0xAABBCCDD11223344ULL)) &&
                pipe.Write(1.5f) && pipe.Write(-2.25) && pipe.Write(CZRString("abc")) && pipe.Write("\0\1\2", 3));
}
const Bytes kOneOfEach = {
    0x01, 'z', 0xFE, 0xFF, 0xEF, 0xBE, 0xFE, 0xFF, 0xFF, 0xFF, 0x04, 0x03, 0x02, 0x01,
    0xFD, 0xFF, 0xFF, 0xFF, 0x89, 0x67, 0x45, 0x23, 0x44, 0x33, 0x22, 0x11,
    0x00, 0x00, 0xC0, 0x3F, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x02, 0xC0,
    0x03, 0x00, 0x00, 0x00, 'a', 'b', 'c', 0x00, 0x01, 0x02};

Bytes ReadRaw(CZRPipe& pipe, std::size_t size)
{
    Bytes bytes(size);
    EXPECT_TRUE(pipe.Read(bytes.data(), size));
    return bytes;
}

// Serves kHostileText through the raw Read, which every typed read goes
// through, and fails at its end, as a pipe whose writer is gone.
struct ScriptedPipe : CZRPipe
{
    std::size_t served = 0;
    bool Read(void* pData, unsigned long dwSize) override
    {
        const std::size_t size = std::min<std::size_t>(dwSize, kHostileText.size() - served);
        std::memcpy(pData, kHostileText.data() + served, size);
        return (served += size) && size == dwSize;
    }
    using CZRPipe::Read;
};
} // namespace

TEST(Pipe, EveryValueTravelsAsItsExactLittleEndianBytes)
{
    CZRPipe pipe;
    ASSERT_TRUE(pipe.Open() && pipe.IsOpen());
    auto writer = Start([&] { WriteOneOfEach(pipe), WriteOneOfEach(pipe); });
    EXPECT_EQ(ReadRaw(pipe, kOneOfEach.size()), kOneOfEach);

    bool b = false; char c = 0; short s = 0; unsigned short us = 0; int i = 0; unsigned u = 0;
    long l1 = 0, l2 = 0; unsigned long ul = 0; float f = 0; double d = 0; CZRString text;
    EXPECT_TRUE(pipe.Read(b) && pipe.Read(c) && pipe.Read(s) && pipe.Read(us) && pipe.Read(i) && pipe.Read(u) &&
                pipe.Read(l1) && pipe.Read(l2) && pipe.Read(ul) && pipe.Read(f) && pipe.Read(d) && pipe.Read(text));
    RequireFinished(writer);
    EXPECT_TRUE(b && c == 'z' && s == -2 && us == 0xBEEF && i == -2 && u == 0x01020304u);
    EXPECT_EQ(l1, -3L) << "sign-extended";
    EXPECT_EQ(l2, 0x23456789L) << "cut to 4 bytes";
    EXPECT_EQ(ul, 0x11223344UL);
    EXPECT_TRUE(f == 1.5f && d == -2.25);
    EXPECT_EQ(std::string(text.GetString(), text.GetLength()), "abc");
    EXPECT_EQ(ReadRaw(pipe, 3), (Bytes{0, 1, 2}));
    EXPECT_FALSE(pipe.HasData());

    // An empty text is its length alone; lengths below 1 leave the text as it was.
    CZRString kept("keep");
    int marker = 0;
    EXPECT_TRUE(pipe.Write(CZRString()) && pipe.Write(CZRString("")) && pipe.Write(-5) && pipe.Write(9));
    EXPECT_TRUE(pipe.HasData());
    EXPECT_EQ(ReadRaw(pipe, 4), Bytes(4, 0));
    auto reader = Start([&] { return pipe.Read(kept) && pipe.Read(kept) && pipe.Read(marker); });
    RequireFinished(reader);   // a negative length taken as a large one would wait for its bytes
    EXPECT_TRUE(reader.get());
    EXPECT_STREQ(kept.GetString(), "keep");
    EXPECT_EQ(marker, 9);
    EXPECT_FALSE(pipe.HasData());
}

TEST(Pipe, CopiesHaveHandlesOfTheirOwnAndCloseOnlyThose)
{
    CZRPipe never;
    int value = 0;
    EXPECT_FALSE(never.IsOpen() || never.Write(1) || never.Read(value) || never.HasData());
    CZRPipe pipe;
    ASSERT_TRUE(pipe.Open());
    {
        CZRPipe copy(pipe);
        EXPECT_TRUE(copy.IsOpen() && copy.Write(5));
        EXPECT_TRUE(copy.Close() && !copy.IsOpen() && copy.Close());
    }
    CZRPipe assigned;
    assigned = pipe;
    EXPECT_TRUE(pipe.Close());
    EXPECT_FALSE(pipe.Write(1) || pipe.Read(value) || pipe.HasData());
    EXPECT_TRUE(assigned.HasData() && assigned.Read(value));
    EXPECT_EQ(value, 5) << "written through a copy that is gone, read through another";
    EXPECT_TRUE(assigned.Write(6) && assigned.Read(value) && value == 6);
}

TEST(Pipe, AnUntrustedTextLengthAllocatesOnlyForBytesThatArriveAndCloseEndsItsReader)
{
    ScriptedPipe scripted;
    CZRString text("keep");
    ResetLargestAllocation();
    EXPECT_FALSE(scripted.Read(text));
    EXPECT_LT(LargestAllocation(), kSmallAllocation);
    EXPECT_EQ(scripted.served, kHostileText.size()) << "every byte that came was taken";
    EXPECT_STREQ(text.GetString(), "keep");

    CZRPipe pipe;
    ASSERT_TRUE(pipe.Open() && pipe.Write(kHostileText.data(), kHostileText.size()));
    auto reader = Start([&] { return pipe.Read(text); });
    // Not asserted: whatever the reader did, Close below must end it.
    EXPECT_TRUE(WaitUntil([&] { return !pipe.HasData(); })) << "the reader took every byte";
    EXPECT_TRUE(StaysBlocked(reader));
    pipe.Close();
    RequireFinished(reader);
    EXPECT_FALSE(reader.get());
    EXPECT_LT(LargestAllocation(), kSmallAllocation);
    EXPECT_STREQ(text.GetString(), "keep");
}
