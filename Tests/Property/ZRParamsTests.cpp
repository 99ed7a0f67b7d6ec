#include "Property/PropertyTestSupport.h"

#include <functional>

namespace
{
// The elements shown, or with formats each element's format in brackets.
std::string Describe(const CZRParams& params, bool formats = false)
{
    std::string text;
    for (long i = 0; i < params.GetCount(); ++i)
        text += formats ? "[" + Text(params.Get(i).GetFormat()) + "]"
                        : (i ? " " : "") + Shown(params.Get(i));
    return text;
}

CZRParams List(const std::vector<CZRProperty>& elements)
{
    CZRParams params;
    for (const CZRProperty& p : elements)
        params.Add(p);
    return params;
}

const Bytes kIntAndTrue = {0x76, 2, 0, 0, 0, 0, 1, 0, 0, 0x69, 0, 0, 0, 7, 0, 0, 0, 0, 0, 0, 0,
                           0, 1, 0, 0, 0x62, 0, 0, 0, 1, 0, 0, 0, 0};
} // namespace

TEST(ZRParams, ChecksRaiseTheirCodeAndMessageAndPassOtherwise)
{
    const CZRParams three(3), one = List({1});
    EXPECT_EQ(std::make_tuple(three.GetCount(), three.IsEmpty(), three.DoesExist(0)),
              std::make_tuple(3L, false, false));
    const std::vector<std::pair<std::function<void()>, std::string>> failing = {
        {[&] { three.ExpectParameter(0); }, "6003 Parameter 0 is missing"},
        {[&] { three.ExpectParameter(-1); }, "6003 Parameter -1 is missing"},
        {[&] { one.ExpectParameter(1); }, "6003 Parameter 1 is missing"},
        {[&] { one.ExpectParameterCount(2); }, "6001 Wrong number of parameters"},
        {[&] { one.ExpectParameterType(0, PROPTYPE_FLOAT); }, "6002 Parameter 0 is of wrong type"},
        {[&] { one.ExpectParameterType(5, PROPTYPE_INT); }, "6002 Parameter 5 is of wrong type"},
    };
    for (const auto& [check, expected] : failing)
        try
        {
            check();
            ADD_FAILURE() << expected;
        }
        catch (const CZRParamsException& e)
        {
            EXPECT_EQ(std::to_string(e.GetErrorCode()) + " " + e.GetErrorString(), expected);
            EXPECT_EQ(e.GetErrorClass(), eErrorClassFile);
            EXPECT_STREQ(e.GetFileName(), "Source\\Common\\Property\\ZRParams");
        }
    EXPECT_NO_THROW(three.ExpectParameterCount(2));
    EXPECT_NO_THROW(one.ExpectParameterType(0, PROPTYPE_INT));
    EXPECT_NO_THROW(one.ExpectParameter(0));
}

TEST(ZRParams, EditingFollowsTheIndexRules)
{
    const std::vector<std::pair<std::function<void(CZRParams&)>, const char*>> cases = {
        {[](CZRParams& p) { p.InsertAt(3, CZRProperty(9)); }, "i1 i2 i3 i9"},
        {[](CZRParams& p) { p.InsertAt(1, CZRProperty(9)); }, "i1 i9 i2 i3"},
        {[](CZRParams& p) { p.InsertAt(0, p[2]); }, "i3 i1 i2 i3"},   // an element of itself
        {[](CZRParams& p) { p.InsertAt(4, 9), p.InsertAt(-1, 9); }, "i1 i2 i3"},
        {[](CZRParams& p) { p.Remove(0); }, "i2 i3"},
        {[](CZRParams& p) { p.Remove(3), p.Remove(-1); }, "i1 i2 i3"},
        {[](CZRParams& p) { p.ResetAt(1); }, "i1 - i3"},
        {[](CZRParams& p) { p.ResetAt(4); }, "i1 i2 i3 - -"},
        {[](CZRParams& p) { p[5] = 3; }, "i1 i2 i3 - - i3"},
        {[](CZRParams& p) { p.Get(-1) = 3; }, "i1 i2 i3"},   // a scratch outside the list
        {[](CZRParams& p) { p.ResizeList(1); }, "i1"},
        {[](CZRParams& p) { p.ResizeList(-2); }, ""},
        {[](CZRParams& p) { p.Reset(); }, ""},
    };
    for (const auto& [edit, expected] : cases)
    {
        CZRParams params = List({1, 2, 3});
        edit(params);
        EXPECT_EQ(Describe(params), expected);
    }
    const CZRParams constant = List({1});
    EXPECT_EQ(Shown(constant.Get(4)) + Describe(constant), "-i1");
}

// A format belongs to its index: values move, formats stay, new indexes start
// without one.
TEST(ZRParams, FormatsStayAtTheirIndexes)
{
    CZRProperty hex(255);
    hex.SetFormat("%x");
    CZRParams params = List({hex});
    EXPECT_EQ(Describe(params, true), "[]");
    params[0].SetFormat("%x");
    params.InsertAt(0, CZRProperty(16));
    EXPECT_EQ(Describe(params) + Describe(params, true), "i10 i255[%x][]");
    for (int i = 0; i < 100; ++i)   // storage grows several times
        params.Add(CZRProperty(i));
    params.Remove(0);
    EXPECT_EQ(Shown(params[0]) + Describe(params, true).substr(0, 6), "iff[%x][]");
    EXPECT_EQ(Describe(CZRParams(params), true).substr(0, 4), "[][]");
    params = List({1, 2});
    EXPECT_EQ(Describe(params) + Describe(params, true), "i1 i2[%x][]");
}

TEST(ZRParams, StoresItsExactBytesAndLoadsElementsInPlace)
{
    EXPECT_EQ(Store(List({7, true})), kIntAndTrue);
    EXPECT_EQ(Store(CZRParams()), Bytes({0x76, 0, 0, 0, 0}));
    EXPECT_EQ(WriteFile(List({7, true})), Le32(2) + Le32('i') + Le32(7) + Le32('b') + Bytes{1});   // no formats
    EXPECT_FALSE(CZRParams().Write(nullptr) || CZRParams().Read(nullptr));
    CZRParams loaded = List({1, 2, 3});
    loaded[0].SetFormat("%x");
    loaded[0] = 9.5f;
    EXPECT_EQ(Load(loaded, kIntAndTrue), kIntAndTrue.size());
    EXPECT_EQ(Describe(loaded) + Describe(loaded, true), "i7 b1[][]");
    EXPECT_EQ(loaded[0].GetFloat(), 9.5f);   // loaded in place
    Bytes other = kIntAndTrue;
    other[0] = 0x6D;
    EXPECT_EQ(Load(loaded, other), 1u);   // the marker is consumed, the list unchanged
    EXPECT_EQ(Describe(loaded), "i7 b1");
    EXPECT_EQ(Load(loaded, Bytes{0x76} + Le32(0xFFFFFFFF)), 5u);   // a negative count: empty
    EXPECT_TRUE(loaded.IsEmpty());
}

// A stream that ends early throws the stream's 5000; a count the rest of the
// stream cannot hold is refused before the list grows.
TEST(ZRParams, DamagedInputEndsCleanlyWithoutGrowingAhead)
{
    ExpectEveryTruncationThrows<CZRParams>(kIntAndTrue, [](const CZRParams& p, std::size_t n) {
        EXPECT_EQ(p.GetCount(), n < 5 + 2 * 12 ? 0 : 2) << n;   // 12: the smallest element
    });
    const Bytes elements(kIntAndTrue.begin() + 5, kIntAndTrue.end());
    for (std::uint32_t count : {0x7FFFFFFFu, 1000000u, 3u})
    {
        CZRParams params = List({4});
        EXPECT_THROW(Load(params, Bytes{0x76} + Le32(count) + elements), CZRDataStreamException);
        EXPECT_EQ(Describe(params), "i4");
    }
    const Bytes file = WriteFile(List({7, 8}));   // Read keeps what it read before a failure
    CZRParams read = List({1});
    EXPECT_FALSE(ReadFile(read, Le32(0x7FFFFFFF) + Bytes(file.begin() + 4, file.end())));
    EXPECT_EQ(Describe(read), "i7 i8");
    for (std::size_t n = 0; n < file.size(); n += 4)   // cut between values
    {
        EXPECT_FALSE(ReadFile(read, Bytes(file.begin(), file.begin() + static_cast<long>(n))));
        EXPECT_EQ(read.GetCount(), n < 12 ? 0 : 1) << n;
    }
}
