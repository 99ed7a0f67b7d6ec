#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "Common/Core/ZRException.h"
#include "Common/Core/ZRFourCC.h"
#include "Common/Core/ZRString.h"
#include "Common/File/ZRDataStream.h"

namespace
{
using Bytes = std::vector<unsigned char>;
constexpr long kResourceId = 17;

Bytes Contents(const CZRDataStream& s)
{
    return s.GetSize() == 0 ? Bytes() : Bytes(s.GetBuffer(), s.GetBuffer() + s.GetSize());
}

// The error code thrown by action, or 0.
unsigned long CodeOf(const std::function<void()>& action)
{
    try
    {
        action();
    }
    catch (const CZRDataStreamException& e)
    {
        return e.GetErrorCode();
    }
    return 0;
}

// A storing stream refuses reads with 5002 inside its capacity, 5000 beyond it.
void ExpectCapacity(CZRDataStream& s, unsigned long capacity)
{
    CZRDataStream::Iterator it(s);
    EXPECT_EQ(CodeOf([&] { it.Get(nullptr, capacity); }), 5002u);
    EXPECT_EQ(CodeOf([&] { it.Get(nullptr, capacity + 1); }), 5000u);
}

class ZRDataStreamTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        s_pfnLoadString = [](long id, CZRString& text) {
            text = "Hello";
            return id == kResourceId;
        };
        s_pfnIsStringIdentical = [](long id, const CZRString& text) {
            return id == kResourceId && text.Compare("Hello") == 0;
        };
    }
    void TearDown() override
    {
        s_pfnLoadString = nullptr;
        s_pfnIsStringIdentical = nullptr;
    }
};
} // namespace

TEST_F(ZRDataStreamTest, TypedItemsHaveTheirExactBytes)
{
    CZRString resource;
    ASSERT_TRUE(resource.LoadStringResource(kResourceId));
    struct Case
    {
        std::function<void(CZRDataStream&)> put;
        Bytes bytes;
    };
    const Case cases[] = {
        {[](CZRDataStream& s) { s << true << false; }, {1, 0}},
        {[](CZRDataStream& s) { s << 'x'; }, {0x78}},
        {[](CZRDataStream& s) { s << 0x01020304; }, {4, 3, 2, 1}},
        {[](CZRDataStream& s) { s << -1L; }, {0xFF, 0xFF, 0xFF, 0xFF}},
        {[](CZRDataStream& s) { s << 0x100000002L; }, {2, 0, 0, 0}},
        {[](CZRDataStream& s) { s << 0x89ABCDEFUL; }, {0xEF, 0xCD, 0xAB, 0x89}},
        {[](CZRDataStream& s) { s << 1.0f; }, {0, 0, 0x80, 0x3F}},
        {[](CZRDataStream& s) { s << "abc"; }, {3, 0, 0, 0, 'a', 'b', 'c'}},
        {[](CZRDataStream& s) { s << CZRString(); }, {0, 0, 0, 0}},
        {[](CZRDataStream& s) { s.Put(static_cast<const char*>(nullptr)); }, {0, 0, 0, 0}},
        {[&](CZRDataStream& s) { s << resource; }, {0xFF, 0xFF, 0xFF, 0xFF, 17, 0, 0, 0}},
        {[](CZRDataStream& s) { s << CZRFourCC("RIFF"); }, {'R', 'I', 'F', 'F'}},
        {[](CZRDataStream& s) { s.SerializeBegin(3); s.SerializeEnd(); }, {3, 0, 0, 0}},
    };
    for (const Case& c : cases)
    {
        CZRDataStream s(STREAM_STORING);
        c.put(s);
        EXPECT_EQ(Contents(s), c.bytes);
        EXPECT_EQ(s.GetStreamPosition(), c.bytes.size());
    }
}

TEST_F(ZRDataStreamTest, MixedRecordRoundTrips)
{
    CZRString resource;
    resource.LoadStringResource(kResourceId);
    CZRDataStream out(STREAM_STORING);
    out << true << 'q' << -7 << -2L << 0xFFFFFFFFUL << 2.5f << CZRString("text") << ""
        << resource << CZRFourCC("WAVE");

    CZRDataStream in(out);
    bool b = false;
    char c = 0;
    int i = 0;
    long l = 0;
    unsigned long ul = 0;
    float f = 0;
    CZRString text{CZRStringId(kResourceId)}, empty("x"), loaded;
    CZRFourCC code;
    in >> b >> c >> i >> l >> ul >> f >> text >> empty >> loaded >> code;
    EXPECT_TRUE(b);
    EXPECT_EQ(c, 'q');
    EXPECT_EQ(i, -7);
    EXPECT_EQ(l, -2L);
    EXPECT_EQ(ul, 0xFFFFFFFFUL);
    EXPECT_EQ(f, 2.5f);
    EXPECT_STREQ(text.GetString(), "text");
    EXPECT_FALSE(text.HasStringId());
    EXPECT_TRUE(empty.IsEmpty());
    EXPECT_STREQ(loaded.GetString(), "Hello");
    EXPECT_EQ(loaded.GetStringId(), kResourceId);
    EXPECT_STREQ(code.ToString(), "WAVE");
    EXPECT_EQ(in.GetRemainingSize(), 0u);
}

TEST_F(ZRDataStreamTest, FailuresThrowTheirCodeAndLeaveTheStreamAsItWas)
{
    const unsigned char data[] = {0xFF, 0xFF, 0xFF, 0x7F, 'a', 'b', 0xFF, 0xFF, 0xFF, 0xFF, 1};
    CZRString target;
    struct Case
    {
        int mode;
        unsigned long advance;
        std::function<void(CZRDataStream&)> action;
        unsigned long code;
        const char* message;
    };
    const char* const beyond = "Allocated buffer to small, write pointer exceeds memory.";
    const char* const memory = "Could not allocate new memory for stream, out of memory.";
    const Case cases[] = {
        {STREAM_LOADING, 8, [](CZRDataStream& s) { int v; s.Get(&v, 4); }, 5000, beyond},
        {STREAM_LOADING, 0, [&](CZRDataStream& s) { s >> target; }, 5000, beyond},
        {STREAM_LOADING, 6, [&](CZRDataStream& s) { s >> target; }, 5000, beyond},
        {STREAM_LOADING, 0, [](CZRDataStream& s) { s << 1; }, 5003, "Trying to write to a read only stream!"},
        {STREAM_STORING, 0, [](CZRDataStream& s) { char v; s >> v; }, 5002, "Trying to read from a write only stream!"},
        {STREAM_STORING, 0, [](CZRDataStream& s) { s.Get(nullptr, 12); }, 5000, beyond},
        {STREAM_STORING, 0xFFFFFFF0, [&](CZRDataStream& s) { s.Put(data, 32); }, 5001, memory},
        {STREAM_STORING, 0, [&](CZRDataStream& s) { s.Put(data, 0x100000000UL); }, 5001, memory},
    };
    for (const Case& c : cases)
    {
        CZRDataStream s(data, sizeof(data), c.mode, true);
        s.Advance(c.advance);
        const Bytes before = Contents(s);
        target = "keep";
        try
        {
            c.action(s);
            ADD_FAILURE() << "nothing thrown for code " << c.code;
        }
        catch (const CZRException& e)
        {
            EXPECT_EQ(e.GetErrorCode(), c.code);
            EXPECT_EQ(e.GetErrorClass(), 14);
            EXPECT_STREQ(e.GetErrorString(), c.message);
            EXPECT_STREQ(e.GetFileName(), "Source\\Common\\File\\ZRDataStream");
            EXPECT_GT(e.GetLine(), 0u);
        }
        EXPECT_EQ(s.GetStreamPosition(), c.advance);
        EXPECT_EQ(Contents(s), before);
        EXPECT_STREQ(target.GetString(), "keep");
    }
}

TEST(ZRDataStream, GrowsToTwiceTheCapacityPlusTheEnd)
{
    const unsigned char bytes[12] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    CZRDataStream s(STREAM_STORING);
    EXPECT_EQ(s.GetBuffer(), nullptr);
    s.Put(bytes, 4);
    ExpectCapacity(s, 4);
    s.Put(bytes, 1);
    ExpectCapacity(s, 13);
    EXPECT_EQ(s.GetSize(), 5u);

    unsigned char caller[8] = {9, 9, 9, 9, 9, 9, 9, 9};
    CZRDataStream over(caller, sizeof(caller), STREAM_STORING, false);
    over.Put(bytes, 12);
    ExpectCapacity(over, 28);
    EXPECT_NE(over.GetBuffer(), caller);
    EXPECT_EQ(Bytes(caller, caller + 8), Bytes(8, 9));
    EXPECT_EQ(Contents(over), Bytes(bytes, bytes + 12));
}

TEST(ZRDataStream, CopiesShareUntilTheWriterWrites)
{
    const unsigned char ten[10] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    CZRDataStream writer(STREAM_STORING);
    writer.Put(ten, 10);
    CZRDataStream reader(writer);
    EXPECT_EQ(reader.GetBuffer(), writer.GetBuffer());
    EXPECT_EQ(reader.GetSize(), 10u);
    writer << 'z';
    EXPECT_NE(reader.GetBuffer(), writer.GetBuffer());
    ExpectCapacity(writer, 11);
    EXPECT_EQ(Contents(reader), Bytes(ten, ten + 10));
    EXPECT_EQ(Contents(writer).back(), 'z');

    CZRDataStream assigned(STREAM_STORING);
    assigned.SerializeBegin(0);
    assigned = reader;
    EXPECT_TRUE(assigned.IsStoring());
    EXPECT_EQ(assigned.GetStreamPosition(), 0u);
    EXPECT_EQ(assigned.GetBuffer(), reader.GetBuffer());
}

TEST(ZRDataStream, VersionsNestAndResetsRestoreTheStart)
{
    CZRDataStream out(STREAM_STORING);
    out.SerializeBegin(2);
    out.SerializeBegin(5);
    out << 42;
    out.SerializeEnd();
    out.SerializeEnd();

    CZRDataStream in(out);
    int value = 0;
    in.SerializeBegin(0);
    EXPECT_EQ(in.GetVersion(), 2);
    in.SerializeBegin(0);
    in >> value;
    EXPECT_EQ(in.GetVersion(), 5);
    EXPECT_EQ(value, 42);
    in.SerializeEnd();
    EXPECT_EQ(in.GetVersion(), 2);
    in.SerializeEnd();
    EXPECT_EQ(in.GetVersion(), -1);

    in.Rewind();
    in.SerializeBegin(0);
    in.SerializeBegin(0);
    in.Rewind();
    EXPECT_EQ(in.GetVersion(), -1);
    EXPECT_EQ(in.GetStreamPosition(), 0u);
    in.SerializeEnd();
    EXPECT_EQ(in.GetVersion(), -1);
    EXPECT_EQ(in.GetSize(), 12u);
    value = 0;
    in.Advance(8);
    in >> value;
    EXPECT_EQ(value, 42);

    out.Rewind();
    EXPECT_EQ(out.GetSize(), 0u);
    const unsigned char three[] = {3, 0, 0, 0};
    in.Rewind(three, sizeof(three), false);
    EXPECT_EQ(in.GetSize(), 4u);
    in.SerializeBegin(0);
    EXPECT_EQ(in.GetVersion(), 3);
    in.Clear(three, sizeof(three), true);
    EXPECT_EQ(in.GetSize(), 0u);
    EXPECT_NE(in.GetBuffer(), three);
}

TEST(ZRDataStream, IteratorWritesWithoutMovingTheStream)
{
    CZRDataStream s(STREAM_STORING);
    s << 1 << 2 << 3;
    CZRDataStream::Iterator it(s);
    it.Advance(4);
    const unsigned char patch[] = {0xAA, 0xBB, 0xCC, 0xDD};
    it.Put(patch, 4);
    EXPECT_EQ(s.GetStreamPosition(), 12u);
    EXPECT_EQ(s.GetSize(), 12u);
    EXPECT_EQ(Contents(s), (Bytes{1, 0, 0, 0, 0xAA, 0xBB, 0xCC, 0xDD, 3, 0, 0, 0}));
    EXPECT_EQ(it.GetSize(), 4u);
    EXPECT_EQ(it.GetBuffer(), s.GetBuffer() + 8);

    s.Advance(2);
    s << 'e';
    EXPECT_EQ(Contents(s), (Bytes{1, 0, 0, 0, 0xAA, 0xBB, 0xCC, 0xDD, 3, 0, 0, 0, 0, 0, 'e'}));

    const CZRDataStream::Iterator none;
    EXPECT_EQ(none.GetBuffer(), nullptr);
    EXPECT_FALSE(none.IsStoring());
}
