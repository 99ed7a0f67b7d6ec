#include <gtest/gtest.h>

#include <vector>

#include "Common/Core/ZRString.h"
#include "Common/File/ZRDataStream.h"
#include "Common/Serialisation/ZRDataFormat.h"
#include "Common/Serialisation/ZRVariableControllerBase.h"

namespace
{
using Bytes = std::vector<unsigned char>;

struct sUnit
{
    int nHealth;
    CZRString name;
    int nArmour;
};

// Byte offset of a member, used as the controllers' value.
template <typename T> int OffsetOf(T sUnit::*member)
{
    static const sUnit probe{};
    return static_cast<int>(reinterpret_cast<const unsigned char*>(&(probe.*member)) -
                            reinterpret_cast<const unsigned char*>(&probe));
}

// Writes the base tag, then the field at the record offset it was given.
template <typename T> class CFieldController : public CZRVariableControllerBase
{
public:
    CFieldController(T sUnit::*member, unsigned long tag)
        : CZRVariableControllerBase(OffsetOf(member), tag)
    {
    }
    void Serialize(unsigned char* record, CZRDataStream& stream) override
    {
        CZRVariableControllerBase::Serialize(record, stream);
        T& field = *reinterpret_cast<T*>(record + GetValue());
        if (stream.IsStoring())
            stream << field;
        else
            stream >> field;
        ++m_nCalls;
    }
    int m_nCalls = 0;
};

constexpr unsigned long kIntTag = 0x494E5420; // "INT "
constexpr unsigned long kStrTag = 0x53545220; // "STR "

struct DataFormatTest : ::testing::Test
{
    CFieldController<int> health{&sUnit::nHealth, kIntTag};
    CFieldController<CZRString> name{&sUnit::name, kStrTag};
    CFieldController<int> armour{&sUnit::nArmour, kIntTag};

    CZRDataFormat UnitFormat(const char* formatName, int version, bool withArmour)
    {
        CZRDataFormat format(formatName, version);
        format.AddVariable(1, health);
        format.AddVariable(1, name);
        if (withArmour)
            format.AddVariable(3, armour);
        return format;
    }
};

unsigned char* Record(sUnit& unit) { return reinterpret_cast<unsigned char*>(&unit); }

Bytes Contents(const CZRDataStream& s) { return Bytes(s.GetBuffer(), s.GetBuffer() + s.GetSize()); }

void ExpectUnit(const sUnit& unit, int health, const char* name, int armour)
{
    EXPECT_EQ(unit.nHealth, health);
    EXPECT_STREQ(unit.name.GetString(), name);
    EXPECT_EQ(unit.nArmour, armour);
}
} // namespace

TEST_F(DataFormatTest, SavesTagNameVersionAndEveryController)
{
    sUnit unit{100, "Bob", 7};
    CZRDataStream out(STREAM_STORING);
    UnitFormat("Unit", 3, true).Serialize(Record(unit), out);
    const Bytes expected = {'F', 4, 0, 0, 0, 'U', 'n', 'i', 't', 3, 0, 0, 0,
                            'I', 'N', 'T', ' ', 100, 0, 0, 0,
                            'S', 'T', 'R', ' ', 3, 0, 0, 0, 'B', 'o', 'b',
                            'I', 'N', 'T', ' ', 7, 0, 0, 0};
    EXPECT_EQ(Contents(out), expected);

    sUnit loaded{0, "", 0};
    CZRDataStream in(out);
    UnitFormat("Unit", 3, true).Serialize(Record(loaded), in);
    ExpectUnit(loaded, 100, "Bob", 7);
}

TEST_F(DataFormatTest, LoadingOlderDataSkipsLaterVariables)
{
    sUnit old{50, "Ann", 9};
    CZRDataStream out(STREAM_STORING);
    UnitFormat("Unit", 2, false).Serialize(Record(old), out);

    sUnit unit{0, "", 123};
    CZRDataStream in(out);
    health.m_nCalls = name.m_nCalls = 0;
    UnitFormat("Unit", 3, true).Serialize(Record(unit), in);
    EXPECT_EQ(health.m_nCalls, 1);
    EXPECT_EQ(name.m_nCalls, 1);
    EXPECT_EQ(armour.m_nCalls, 0);
    ExpectUnit(unit, 50, "Ann", 123);
    EXPECT_EQ(in.GetRemainingSize(), 0u);
}

TEST_F(DataFormatTest, WrongTagOrNameStopsQuietly)
{
    struct Case
    {
        Bytes bytes;
        unsigned long stopsAt;
    };
    const Case cases[] = {
        {{'G', 4, 0, 0, 0, 'U', 'n', 'i', 't', 3, 0, 0, 0}, 1},
        {{'F', 4, 0, 0, 0, 'u', 'n', 'i', 't', 3, 0, 0, 0}, 9},
        {{'F', 0, 0, 0, 0, 3, 0, 0, 0}, 5},
    };
    for (const Case& c : cases)
    {
        sUnit unit{1, "keep", 2};
        CZRDataStream in(c.bytes.data(), c.bytes.size(), STREAM_LOADING, false);
        UnitFormat("Unit", 3, true).Serialize(Record(unit), in);
        EXPECT_EQ(in.GetStreamPosition(), c.stopsAt);
        ExpectUnit(unit, 1, "keep", 2);
    }
}

TEST_F(DataFormatTest, BaseControllerWritesItsTagAndSkipsItOnLoading)
{
    CZRVariableControllerBase base(0, 0x41424344);
    CZRVariableControllerBase copy(base);
    CZRDataStream out(STREAM_STORING);
    copy.Serialize(nullptr, out);
    EXPECT_EQ(Contents(out), (Bytes{'A', 'B', 'C', 'D'}));

    const unsigned char other[] = {'W', 'X', 'Y', 'Z', 5};
    CZRDataStream in(other, sizeof(other), STREAM_LOADING, false);
    base.Serialize(nullptr, in);
    EXPECT_EQ(in.GetStreamPosition(), 4u);
}

TEST_F(DataFormatTest, CopiesShareControllersButNotTheList)
{
    CZRDataFormat first("Unit", 3);
    first.AddVariable(1, health);
    CZRDataFormat second(first);
    second.AddVariable(3, armour);
    CZRDataFormat assigned("Other", 9);
    assigned = first;

    sUnit unit{5, "", 6};
    CZRDataStream a(STREAM_STORING), b(STREAM_STORING), c(STREAM_STORING);
    first.Serialize(Record(unit), a);
    second.Serialize(Record(unit), b);
    assigned.Serialize(Record(unit), c);
    EXPECT_EQ(a.GetSize(), 21u);
    EXPECT_EQ(b.GetSize(), 29u);
    EXPECT_EQ(Contents(c), Contents(a));
    EXPECT_EQ(health.m_nCalls, 3);
    EXPECT_EQ(armour.m_nCalls, 1);
}
