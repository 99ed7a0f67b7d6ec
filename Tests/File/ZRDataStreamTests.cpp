#include <gtest/gtest.h>

#include <functional>
#include <tuple>
#include <vector>

#include "Common/Core/ZRException.h"
#include "Common/Core/ZRFourCC.h"
#include "Common/Core/ZRString.h"
#include "Common/File/ZRDataStream.h"
#include "File/FileTestSupport.h"

namespace
{
using Bytes = std::vector<unsigned char>;
using Action = std::function<void(CZRDataStream&)>;
constexpr long kResourceId = 17;

Bytes Contents(const CZRDataStream& s)
{
    return s.GetSize() == 0 ? Bytes() : Bytes(s.GetBuffer(), s.GetBuffer() + s.GetSize());
}

// A storing stream refuses reads with 5002 inside its capacity, 5000 beyond it.
void ExpectCapacity(CZRDataStream& s, unsigned long capacity)
{
    for (unsigned long n : {capacity, capacity + 1})
        try
        {
            CZRDataStream::Iterator(s).Get(nullptr, n);
        }
        catch (const CZRDataStreamException& e)
        {
            EXPECT_EQ(e.GetErrorCode(), n == capacity ? 5002u : 5000u) << n;
        }
}
} // namespace

TEST(ZRDataStream, TypedItemsHaveTheirExactBytesAndReadBack)
{
    s_pfnLoadString = [](long id, CZRString& text) { return text = "Hello", id == kResourceId; };
    s_pfnIsStringIdentical = [](long id, const CZRString& text) {
        return id == kResourceId && text.Compare("Hello") == 0;
    };
    CZRString resource{CZRStringId(kResourceId)};
    CZRDataStream out(STREAM_STORING);
    out.SerializeBegin(3);
    out << true << false << 'x' << 0x01020304 << -2L << static_cast<long>(0x100000002LL) << 0x89ABCDEFUL << 1.0f
        << "abc" << CZRString() << resource << CZRFourCC("RIFF");
    out.Put(static_cast<const char*>(nullptr));
    out.SerializeEnd();
    const Bytes bytes = {3, 0, 0, 0, 1, 0, 'x', 4, 3, 2, 1, 0xFE, 0xFF, 0xFF, 0xFF, 2, 0, 0, 0,
                         0xEF, 0xCD, 0xAB, 0x89, 0, 0, 0x80, 0x3F, 3, 0, 0, 0, 'a', 'b', 'c',
                         0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 17, 0, 0, 0, 'R', 'I', 'F', 'F',
                         0, 0, 0, 0};
    EXPECT_EQ(Contents(out), bytes);
    EXPECT_EQ(out.GetStreamPosition(), bytes.size());

    // Every item read back writes the same bytes again; the values start different.
    CZRDataStream in(out), again(STREAM_STORING);
    auto echo = [&](auto value) { in >> value; again << value; return value; };
    in.SerializeBegin(0);
    again.SerializeBegin(in.GetVersion());
    echo(false), echo(true), echo('\0'), echo(0);
    EXPECT_EQ(echo(0L), -2L);
    echo(0L);
    EXPECT_EQ(echo(0UL), 0x89ABCDEFUL);
    echo(0.0f);
    const CZRString plain = echo(CZRString(CZRStringId(kResourceId)));   // "abc" fits into "Hello"
    EXPECT_EQ(std::make_pair(plain.Compare("abc"), plain.GetStringId()), std::make_pair(0, kResourceId));
    echo(CZRString("x")), echo(CZRString()), echo(CZRFourCC()), echo(CZRString("y"));
    EXPECT_EQ(Contents(again), bytes);
    EXPECT_EQ(in.GetRemainingSize(), 0u);
    s_pfnLoadString = nullptr;
    s_pfnIsStringIdentical = nullptr;
}

TEST(ZRDataStream, PlainTextReadKeepsTheTargetsStringId)
{
    for (const StringIdCase& c : StringIdCases())
    {
        CZRDataStream in(reinterpret_cast<const unsigned char*>(c.stored.data()), c.stored.size(),
                         STREAM_LOADING, false);
        CZRString s = LoadedHello();
        in >> s;
        EXPECT_EQ(in.GetRemainingSize(), 0u) << c.text;
        EXPECT_TRUE(Holds(s, c.text, c.id)) << c.text << " id " << s.GetStringId();
    }
}

TEST(ZRDataStream, FailuresThrowTheirCodeAndLeaveTheStreamAsItWas)
{
    const unsigned char data[] = {0xFF, 0xFF, 0xFF, 0x7F, 'a', 'b', 0xFF, 0xFF, 0xFF, 0xFF, 1};
    CZRString target;
    const char* const beyond = "Allocated buffer to small, write pointer exceeds memory.";
    const char* const memory = "Could not allocate new memory for stream, out of memory.";
    const char* const readOnly = "Trying to write to a read only stream!";
    const char* const writeOnly = "Trying to read from a write only stream!";
    std::vector<std::tuple<int, unsigned long, Action, unsigned long, const char*>> cases = {
        {STREAM_LOADING, 8, [](CZRDataStream& s) { int v; s.Get(&v, 4); }, 5000, beyond},
        {STREAM_LOADING, 0, [&](CZRDataStream& s) { s >> target; }, 5000, beyond},
        {STREAM_LOADING, 6, [&](CZRDataStream& s) { s >> target; }, 5000, beyond},
        {STREAM_LOADING, 0, [](CZRDataStream& s) { s << 1; }, 5003, readOnly},
        {STREAM_STORING, 0, [](CZRDataStream& s) { char v; s >> v; }, 5002, writeOnly},
        {STREAM_STORING, 0, [](CZRDataStream& s) { s.Get(nullptr, 12); }, 5000, beyond},
        {STREAM_STORING, 0xFFFFFFF0, [&](CZRDataStream& s) { s.Put(data, 32); }, 5001, memory},
    };
    if (sizeof(unsigned long) > 4)   // a count beyond 32 bits
        cases.push_back({STREAM_STORING, 0, [&](CZRDataStream& s) { s.Put(data, ~0UL); }, 5001, memory});
    for (const auto& [mode, advance, action, code, message] : cases)
    {
        CZRDataStream s(data, sizeof(data), mode, true);
        s.Advance(advance);
        const Bytes before = Contents(s);
        target = "keep";
        try
        {
            action(s);
            ADD_FAILURE() << "nothing thrown for code " << code;
        }
        catch (const CZRException& e)
        {
            EXPECT_EQ(std::make_tuple(code, eErrorClassDataStream),
                      std::make_tuple(e.GetErrorCode(), e.GetErrorClass()));
            EXPECT_STREQ(e.GetErrorString(), message);
            EXPECT_STREQ(e.GetFileName(), "Source\\Common\\File\\ZRDataStream");
        }
        EXPECT_EQ(s.GetStreamPosition(), advance);
        EXPECT_EQ(Contents(s), before);
        EXPECT_STREQ(target.GetString(), "keep");
    }
}

TEST(ZRDataStream, GrowsToTwiceTheCapacityPlusTheEndAndCopiesShareUntilWritten)
{
    const unsigned char bytes[12] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    CZRDataStream s(STREAM_STORING);
    s.Put(bytes, 4);
    ExpectCapacity(s, 4);
    s.Put(bytes, 1);
    ExpectCapacity(s, 13);

    unsigned char caller[8] = {9, 9, 9, 9, 9, 9, 9, 9};
    CZRDataStream over(caller, sizeof(caller), STREAM_STORING, false);
    over.Put(bytes, 12);
    ExpectCapacity(over, 28);
    EXPECT_EQ(Bytes(caller, caller + 8), Bytes(8, 9));
    EXPECT_EQ(Contents(over), Bytes(bytes, bytes + 12));

    CZRDataStream reader(over);
    EXPECT_EQ(reader.GetBuffer(), over.GetBuffer());
    over.Advance(3);
    over << 'z'; // 13 bytes plus the skipped ones: 2 x 13 + 16
    EXPECT_NE(reader.GetBuffer(), over.GetBuffer());
    ExpectCapacity(over, 42);
    EXPECT_EQ(Contents(reader), Bytes(bytes, bytes + 12));
    EXPECT_EQ(Contents(over), (Bytes{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 0, 0, 0, 'z'}));
    s.SerializeBegin(0);
    s = reader;
    EXPECT_TRUE(s.IsStoring());
    EXPECT_EQ(s.GetStreamPosition(), 0u);
    EXPECT_EQ(s.GetBuffer(), reader.GetBuffer());
}

// Typed items copy in place only inside the capacity of an unshared stream; a
// value straddling the capacity grows the stream, one written over shared bytes
// detaches them, one read across the capacity fails whole.
TEST(ZRDataStream, TypedItemsAtTheCapacityEdgeAndOnSharedBytes)
{
    CZRDataStream s(6, STREAM_STORING);
    s << 1 << 2; // the second straddles the 6 bytes: 2 x 6 + 8
    ExpectCapacity(s, 20);
    CZRDataStream reader(s);
    s << 'c'; // detaches into exactly size + 1 bytes
    ExpectCapacity(s, 9);
    EXPECT_NE(reader.GetBuffer(), s.GetBuffer());
    EXPECT_EQ(Contents(s), (Bytes{1, 0, 0, 0, 2, 0, 0, 0, 'c'}));

    int values[2] = {};
    reader >> values[0] >> values[1];
    EXPECT_EQ(std::make_pair(values[0], values[1]), std::make_pair(1, 2));
    reader.Rewind();
    reader.Advance(5);
    try
    {
        reader >> values[0];
        ADD_FAILURE() << "a word across the capacity was read";
    }
    catch (const CZRDataStreamException& e)
    {
        EXPECT_EQ(e.GetErrorCode(), 5000u);
    }
    EXPECT_EQ(std::make_pair(values[0], reader.GetStreamPosition()), std::make_pair(1, 5ul));
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
    in.SerializeBegin(0);
    in >> value;
    EXPECT_EQ(std::make_pair(5, 42), std::make_pair(in.GetVersion(), value));
    in.Rewind();
    EXPECT_EQ(std::make_tuple(-1, 0ul, 12ul),
              std::make_tuple(in.GetVersion(), in.GetStreamPosition(), in.GetSize()));
    in.SerializeEnd();
    EXPECT_EQ(in.GetVersion(), -1) << "the rewind emptied the version stack";
    in.SerializeBegin(0);
    in.SerializeBegin(0);
    std::vector<int> versions;
    for (int end = 0; end < 3; ++end)
        in.SerializeEnd(), versions.push_back(in.GetVersion());
    EXPECT_EQ(versions, (std::vector<int>{2, -1, -1}));

    out.Rewind();
    EXPECT_EQ(out.GetSize(), 0u);
    const unsigned char three[] = {3, 0, 0, 0};
    in.Rewind(three, sizeof(three), false);
    in.SerializeBegin(0);
    EXPECT_EQ(std::make_tuple(3, 4ul), std::make_tuple(in.GetVersion(), in.GetSize()));
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
    EXPECT_EQ(it.GetSize(), 4u);
    EXPECT_EQ(it.GetBuffer(), s.GetBuffer() + 8);
    s.Advance(2);
    s << 'e';
    EXPECT_EQ(Contents(s), (Bytes{1, 0, 0, 0, 0xAA, 0xBB, 0xCC, 0xDD, 3, 0, 0, 0, 0, 0, 'e'}));
    EXPECT_EQ(CZRDataStream::Iterator().GetBuffer(), nullptr);
    EXPECT_FALSE(CZRDataStream::Iterator().IsStoring());
}
