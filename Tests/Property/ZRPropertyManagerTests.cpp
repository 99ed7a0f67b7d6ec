#include "Property/PropertyTestSupport.h"

namespace
{
// Every entry in iteration order as name=value (iteration hands out copies, so
// entry formats do not show).
std::string Describe(const CZRPropertyManager& manager)
{
    std::string text;
    CZRString name;
    CZRProperty p;
    long position = 0;
    for (bool more = manager.GetFirstProperty(name, p, position); more;
         more = manager.GetNextProperty(name, p, position))
        text += (text.empty() ? "" : " ") + Text(name) + "=" + Shown(p);
    return text;
}

CZRPropertyManager Named(std::initializer_list<std::pair<const char*, int>> entries)
{
    CZRPropertyManager manager;
    for (const auto& [name, value] : entries)
        manager.SetProperty(name, CZRProperty(value));
    return manager;
}
} // namespace

TEST(ZRPropertyManager, NamesAreCaseSensitiveAndIteratedInByteOrder)
{
    EXPECT_EQ(Describe(Named({{"speed", 1}, {"Speed", 2}, {"", 3}})), "=i3 Speed=i2 speed=i1");
    const CZRPropertyManager manager = Named({{"b", 2}, {"a", 1}, {"c", 3}});
    EXPECT_EQ(Describe(manager), "a=i1 b=i2 c=i3");
    CZRString name;
    CZRProperty p;
    long position = 0, last = 0;
    for (bool more = manager.GetFirstProperty(name, p, position); more;
         more = manager.GetNextProperty(name, p, position))
        last = position;
    EXPECT_EQ(std::make_tuple(Text(name), p.GetInt(), position), std::make_tuple("c", 3, last));
    EXPECT_FALSE(CZRPropertyManager().GetFirstProperty(name, p, position));
}

// A position survives inserts on either side of it; one whose entry is gone,
// or that was never handed out, ends the iteration.
TEST(ZRPropertyManager, IterationGoesOnWhileEntriesAreAdded)
{
    CZRPropertyManager manager = Named({{"b", 2}, {"d", 4}});
    CZRString name;
    CZRProperty p;
    long position = 0;
    std::string seen;
    for (bool more = manager.GetFirstProperty(name, p, position); more;
         more = manager.GetNextProperty(name, p, position))
        if ((seen += Text(name)) == "b")
            for (const char* added : {"a", "c", "e", "ba"})
                manager.SetProperty(added, CZRProperty(0));
    EXPECT_EQ(seen, "bbacde");
    ASSERT_TRUE(manager.GetFirstProperty(name, p, position));
    manager.RemoveProperty("a");
    EXPECT_FALSE(manager.GetNextProperty(name, p, position));
    for (long stale : {0L, -1L, 1000L})
        EXPECT_FALSE(manager.GetNextProperty(name, p, stale));
    manager.RemoveAllProperties();
    manager.SetProperty("a", CZRProperty(1));
    EXPECT_FALSE(manager.GetNextProperty(name, p, position));   // positions are not reused
}

TEST(ZRPropertyManager, MissingNamesAreNoErrorAndOnlyReferencesCarryFormats)
{
    CZRPropertyManager manager = Named({{"a", 1}});
    CZRProperty out(5);
    manager.GetProperty("x", out);
    EXPECT_EQ(Shown(out) + std::to_string(out.GetInt()), "-5");
    CZRProperty& placeholder = manager.FindProperty("x");
    placeholder = 3;
    EXPECT_EQ(&manager.FindProperty(CZRString("y")), &placeholder);
    EXPECT_EQ(Shown(placeholder) + std::to_string(placeholder.GetInt()), "-3");
    const CZRPropertyManager& constant = manager;
    EXPECT_NE(&constant.FindProperty("x"), &placeholder);
    EXPECT_EQ(Shown(constant["x"]), "-");
    EXPECT_EQ(std::make_pair(manager.GetPropertyCount(), manager.HasProperty("x")),
              std::make_pair(1, false));
    manager["x"].SetFormat("%x");   // creates the entry
    CZRProperty formatted(255);
    formatted.SetFormat("[%d]");
    manager.SetProperty("x", formatted);
    manager.SetProperty("new", formatted);
    EXPECT_EQ(Describe(manager), "a=i1 new=i255 x=i255");
    EXPECT_EQ(Shown(manager.FindProperty("x")) + Shown(manager.FindProperty("new")), "iffi255");
    manager.RemoveProperty("missing");
    manager.RemoveProperty("new");
    CZRPropertyManager copy(manager);
    const CZRPropertyManager& self = copy;
    copy = self;
    EXPECT_EQ(Describe(copy) + Shown(copy["x"]), "a=i1 x=i255i255");
    copy = Named({{"z", 1}});
    EXPECT_EQ(Describe(copy), "z=i1");
}

TEST(ZRPropertyManager, StoresItsExactBytesAndLoadingReplacesTheEntries)
{
    const Bytes abSeven = {0x6D, 1, 0, 0, 0, 2, 0, 0, 0, 'a', 'b', 0, 1, 0, 0,
                           0x69, 0, 0, 0, 7, 0, 0, 0, 0, 0, 0, 0};
    CZRPropertyManager manager = Named({{"ab", 7}}), loaded = Named({{"old", 1}});
    EXPECT_EQ(Store(manager), abSeven);
    EXPECT_EQ(Store(CZRPropertyManager()), Bytes({0x6D, 0, 0, 0, 0}));
    Bytes other = abSeven;
    other[0] = 0x76;
    EXPECT_EQ(Load(loaded, other), 1u);
    EXPECT_EQ(Describe(loaded), "old=i1");
    EXPECT_EQ(Load(loaded, abSeven), abSeven.size());
    EXPECT_EQ(Describe(loaded), "ab=i7");

    manager["ab"].SetFormat("%x");   // stored, but not kept by loading
    manager.SetProperty("b", CZRProperty(1));
    Bytes twice = Store(manager) + Bytes(abSeven.begin() + 5, abSeven.end());
    twice[1] = 3;   // a third record: "ab" again, with 26
    twice[twice.size() - 8] = 26;
    EXPECT_EQ(Load(loaded, twice), twice.size());
    EXPECT_EQ(Describe(loaded) + Shown(loaded["ab"]), "ab=i26 b=i1i26");
}

// A name equal to its string resource is stored as the reference. The values
// are the property's own layouts.
TEST(ZRPropertyManager, ResourceNamesRoundTripThroughBothLayouts)
{
    ResourceHooks hooks;
    CZRPropertyManager manager = Named({{"plain", 2}}), viaStream, viaFile;
    manager.SetProperty(CZRString(CZRStringId(17)), CZRProperty(CZRStringId(12)));
    const Bytes stored = Store(manager), resourceName = {0xFF, 0xFF, 0xFF, 0xFF, 17, 0, 0, 0};
    EXPECT_NE(std::search(stored.begin(), stored.end(), resourceName.begin(), resourceName.end()),
              stored.end());
    Load(viaStream, stored);
    EXPECT_TRUE(ReadFile(viaFile, WriteFile(manager)));
    EXPECT_EQ(Describe(viaStream) + " / " + Describe(viaFile), "Hello=Stwelve plain=i2 / Hello=Stwelve plain=i2");
    EXPECT_TRUE(viaStream.HasProperty(CZRString(CZRStringId(17))));
    EXPECT_FALSE(manager.Write(nullptr) || manager.Read(nullptr));
}

TEST(ZRPropertyManager, DamagedInputEndsCleanlyWithTheEntriesReadSoFar)
{
    const Bytes stored = Store(Named({{"a", 1}, {"bb", 2}}));
    // Marker and count, then "a": its name (5 bytes) and its framed property (16).
    ExpectEveryTruncationThrows<CZRPropertyManager>(
        stored, [](const CZRPropertyManager& m, std::size_t n) {
            EXPECT_EQ(m.GetPropertyCount(), n < 5 + 5 + 16 ? 0 : 1) << n;
        });
    CZRPropertyManager loaded;
    Bytes huge = stored;
    huge[1] = huge[2] = huge[3] = 0xFF, huge[4] = 0x7F;
    EXPECT_THROW(Load(loaded, huge), CZRDataStreamException);
    EXPECT_EQ(Describe(loaded), "a=i1 bb=i2");

    CZRPropertyManager merged = Named({{"a", 9}, {"z", 26}}), partial;   // Read merges
    Bytes file = WriteFile(Named({{"a", 1}, {"bb", 2}}));
    EXPECT_TRUE(ReadFile(merged, file));
    EXPECT_EQ(Describe(merged), "a=i1 bb=i2 z=i26");
    file[0] = 0xFF, file[3] = 0x7F;   // and keeps what it read before a failure
    EXPECT_FALSE(ReadFile(partial, file));
    EXPECT_EQ(Describe(partial), "a=i1 bb=i2");
}
