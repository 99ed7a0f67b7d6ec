// CZRDataFormat: the saved record byte for byte, older versions loaded with
// only their controllers, a wrong tag or name ending the load quietly, copies.
#include <gtest/gtest.h>

#include <array>
#include <tuple>
#include <utility>
#include <vector>

#include "Common/File/ZRDataStream.h"
#include "Common/Serialisation/ZRDataFormat.h"
#include "Common/Serialisation/ZRVariableControllerBase.h"

namespace
{
using Bytes = std::vector<unsigned char>;
using Unit = std::array<int, 3>; // health, strength, armour

Bytes Contents(const CZRDataStream& s) { return Bytes(s.GetBuffer(), s.GetBuffer() + s.GetSize()); }

// Writes the base tag, then the record's int at the index it holds as its value.
class CIntController : public CZRVariableControllerBase
{
public:
    CIntController(int index, unsigned long tag) : CZRVariableControllerBase(index, tag) {}
    void Serialize(unsigned char* record, CZRDataStream& stream) override
    {
        CZRVariableControllerBase::Serialize(record, stream);
        int& field = reinterpret_cast<int*>(record)[GetValue()];
        stream.IsStoring() ? (void)(stream << field) : (void)(stream >> field);
        ++m_nCalls;
    }
    int m_nCalls = 0;
};

struct DataFormatTest : ::testing::Test
{
    // "HP  ", "STR " and "ARM "
    CIntController health{0, 0x48502020}, strength{1, 0x53545220}, armour{2, 0x41524D20};

    // "Unit" version 3 has health and strength since version 1, armour since 3.
    void Serialize(Unit& unit, CZRDataStream& stream)
    {
        CZRDataFormat format("Unit", 3);
        format.AddVariable(1, health);
        format.AddVariable(1, strength);
        format.AddVariable(3, armour);
        format.Serialize(reinterpret_cast<unsigned char*>(unit.data()), stream);
    }
};
} // namespace

TEST_F(DataFormatTest, SavesTagNameVersionAndEveryController)
{
    Unit unit{100, 200, 7}, loaded{};
    CZRDataStream out(STREAM_STORING);
    Serialize(unit, out);
    const Bytes expected = {'F', 4, 0, 0, 0, 'U', 'n', 'i', 't', 3, 0, 0, 0,
                            'H', 'P', ' ', ' ', 100, 0, 0, 0,
                            'S', 'T', 'R', ' ', 200, 0, 0, 0,
                            'A', 'R', 'M', ' ', 7, 0, 0, 0};
    EXPECT_EQ(Contents(out), expected);
    CZRDataStream in(out);
    Serialize(loaded, in);
    EXPECT_EQ(loaded, unit);
}

TEST_F(DataFormatTest, LoadsOlderVersionsAndStopsQuietlyAtAWrongTagOrName)
{
    const std::tuple<Bytes, unsigned long, Unit> cases[] = {
        // No armour in version 2; the controllers' tags are read but not checked.
        {{'F', 4, 0, 0, 0, 'U', 'n', 'i', 't', 2, 0, 0, 0, 'h', 'p', '?', '?', 50, 0, 0, 0,
          'S', 'T', 'R', ' ', 60, 0, 0, 0, 'A', 'R', 'M', ' '}, 29, {50, 60, 3}},
        {{'G', 4, 0, 0, 0, 'U', 'n', 'i', 't', 3, 0, 0, 0}, 1, {1, 2, 3}},
        {{'F', 4, 0, 0, 0, 'u', 'n', 'i', 't', 3, 0, 0, 0}, 9, {1, 2, 3}},
        {{'F', 0, 0, 0, 0, 3, 0, 0, 0}, 5, {1, 2, 3}},
    };
    for (const auto& [bytes, stopsAt, loaded] : cases)
    {
        Unit unit{1, 2, 3};
        CZRDataStream in(bytes.data(), bytes.size(), STREAM_LOADING, false);
        Serialize(unit, in);
        EXPECT_EQ(in.GetStreamPosition(), stopsAt);
        EXPECT_EQ(loaded, unit);
    }
}

TEST_F(DataFormatTest, CopiesShareControllersButNotTheList)
{
    CZRDataFormat first("Unit", 3);
    first.AddVariable(1, health);
    CZRDataFormat second(first), assigned("Other", 9);
    second.AddVariable(3, armour);
    assigned = first;
    Unit unit{5, 0, 6};
    auto* record = reinterpret_cast<unsigned char*>(unit.data());
    CZRDataStream a(STREAM_STORING), b(STREAM_STORING), c(STREAM_STORING);
    first.Serialize(record, a);
    second.Serialize(record, b);
    assigned.Serialize(record, c);
    EXPECT_EQ(a.GetSize() + 8, b.GetSize());
    EXPECT_EQ(Contents(c), Contents(a));
    EXPECT_EQ(std::make_pair(3, 1), std::make_pair(health.m_nCalls, armour.m_nCalls));
}
