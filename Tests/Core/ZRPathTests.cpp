#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>

#include <unistd.h>

#include "Common/Core/ZRPath.h"
#include "Common/Core/ZRStrFunctions.h"
#include "Common/File/FileFunctions.h"

namespace
{
std::string S(const CZRString& text) { return text.GetString() != nullptr ? text.GetString() : ""; }
std::string S(const CZRPath& path) { return S(static_cast<const CZRString&>(path)); }
} // namespace

TEST(ZRPath, QueriesOnNamesDrivesAndComponents)
{
    struct Case
    {
        const char* path;
        int components, extension;
        const char *nameWithExt, *nameWithoutExt, *parent;
        int drive;
        bool unc;
    };
    const Case cases[] = {
        {"C:\\dir\\file.txt", 3, 11, "file.txt", "file", "C:\\dir", 2, false},
        {"dir\\", 1, -1, "dir", "dir", "dir", -1, false},
        {"\\", 0, -1, "", "", "", -1, false},
        {"", 0, -1, "", "", "", -1, false},
        {"\\\\server\\share", 3, -1, "share", "share", "\\\\server", -1, true},
        {"C:\\a.b\\file", 3, -1, "file", "file", "C:\\a.b", 2, false},
        {"C:\\dir\\.cfg", 3, -1, ".cfg", "", "C:\\dir", 2, false},
        {"x.tar.gz", 1, 5, "x.tar.gz", "x.tar", "", -1, false},
        {"C:\\dir\\sub\\", 3, -1, "sub", "sub", "C:\\dir\\sub", 2, false},
        {"d:\\x", 2, -1, "x", "x", "d:", 3, false},
        {"1:\\x", 2, -1, "x", "x", "1:", -1, false},
        {"//srv/x.y/", 3, 7, "x.y", "x", "//srv/x.y", -1, false},
        {"a\\\\b", 3, -1, "b", "b", "a\\", -1, false},
    };
    for (const Case& c : cases)
    {
        const CZRPath path(c.path);
        EXPECT_EQ(c.components, path.GetNumPathComponents()) << c.path;
        EXPECT_EQ(c.extension, path.FindExtension()) << c.path;
        EXPECT_EQ(c.extension < 0 ? "" : std::string(c.path + c.extension), S(path.GetExtension())) << c.path;
        EXPECT_EQ(c.nameWithExt, S(path.GetFileName(true))) << c.path;
        EXPECT_EQ(c.nameWithoutExt, S(path.GetFileName(false))) << c.path;
        EXPECT_EQ(c.parent, S(path.GetPath())) << c.path;
        EXPECT_EQ(c.drive, path.GetDriveNumber()) << c.path;
        EXPECT_EQ(c.unc, path.IsUNC()) << c.path;
    }
}

TEST(ZRPath, ComponentsByPositionAndByIteration)
{
    const CZRPath file("C:\\dir\\file.txt");
    EXPECT_EQ("dir", S(file.GetComponent(1, 1)));
    EXPECT_EQ("dir\\file.txt", S(file.GetComponent(1, 2)));
    EXPECT_EQ("C:\\dir", S(file.GetComponent(0, 2)));
    EXPECT_EQ("C:\\dir\\file.txt", S(file.GetComponent(5, 1)));
    EXPECT_EQ("", S(file.GetComponent(0, 0)));
    EXPECT_EQ("dir", S(CZRPath("\\dir\\x").GetComponent(0, 1)));
    EXPECT_EQ(7, file.GetComponentPosition(2));
    EXPECT_EQ(0, file.GetComponentPosition(5));
    EXPECT_EQ(1, CZRPath("/dir").GetComponentPosition(0));

    const auto iterate = [](const char* text) {
        std::string joined;
        CZRString part("unchanged");
        long pos = -1;
        for (bool more = CZRPath(text).GetFirstComponent(part, pos); more;
             more = CZRPath(text).GetNextComponent(part, pos))
            joined += "[" + S(part) + "]";
        return joined + S(part);
    };
    EXPECT_EQ("[a][][b]b", iterate("a\\\\b"));
    EXPECT_EQ("[a][]", iterate("a\\"));
    EXPECT_EQ("[][server][share]share", iterate("\\\\server\\share"));
    EXPECT_EQ("unchanged", iterate(""));
}

TEST(ZRPath, ComparisonsIgnoreCaseButNotSeparators)
{
    struct Case
    {
        const char *a, *b;
        bool same, sameIgnoringSlashes, below, above, belowOrSame, aboveOrSame;
    };
    const Case cases[] = {
        {"C:\\Data", "c:\\data\\maps", false, false, true, false, true, false},
        {"C:\\Data", "C:/Data/maps", false, false, false, false, false, false},
        {"c:\\data\\maps\\x", "C:\\DATA", false, false, false, true, false, true},
        {"a\\b", "a\\b\\", false, true, false, false, true, true},
        {"a", "x\\y", false, false, false, false, false, false},
        {"\\a\\b", "a\\b", false, true, false, false, true, true},
        {"A\\B", "a\\b", true, true, false, false, true, true},
        {"", "", true, true, false, false, true, true},
    };
    for (const Case& c : cases)
    {
        const CZRPath a(c.a), b(c.b);
        EXPECT_EQ(c.same, a.IsSame(b, 0, false, false)) << c.a << " / " << c.b;
        EXPECT_EQ(c.sameIgnoringSlashes, a.IsSame(b, 7, true, true)) << c.a << " / " << c.b;
        EXPECT_EQ(c.below, a.IsBelow(b)) << c.a << " / " << c.b;
        EXPECT_EQ(c.above, a.IsAbove(b)) << c.a << " / " << c.b;
        EXPECT_EQ(c.belowOrSame, a.IsBelowOrSame(b)) << c.a << " / " << c.b;
        EXPECT_EQ(c.aboveOrSame, a.IsAboveOrSame(b)) << c.a << " / " << c.b;
    }
    EXPECT_FALSE(CZRPath("a\\").IsSame(CZRPath("a"), 0, true, false));
    EXPECT_TRUE(CZRPath("a\\").IsSame(CZRPath("a"), 0, false, true));
}

TEST(ZRPath, EditingOperations)
{
    using Edit = std::function<void(CZRPath&)>;
    struct Case
    {
        const char* start;
        Edit edit;
        const char* result;
    };
    const Case cases[] = {
        {"a/", [](CZRPath& p) { p.AddTrailingBackslash(); }, "a/\\"},
        {"a\\", [](CZRPath& p) { p.AddTrailingBackslash(); }, "a\\"},
        {"", [](CZRPath& p) { p.AddTrailingForwardslash(); }, "/"},
        {"a\\\\", [](CZRPath& p) { p.RemoveTrailingBackslash(); }, "a\\"},
        {"a/", [](CZRPath& p) { p.RemoveTrailingBackslash(); }, "a/"},
        {"a/", [](CZRPath& p) { p.RemoveTrailingForwardslash(); }, "a"},
        {"/a", [](CZRPath& p) { p.AddLeadingBackslash(); }, "\\/a"},
        {"\\a", [](CZRPath& p) { p.AddLeadingBackslash(); }, "\\a"},
        {"\\a", [](CZRPath& p) { p.AddLeadingForwardslash(); }, "/\\a"},
        {"\\\\a", [](CZRPath& p) { p.RemoveLeadingBackslash(); }, "\\a"},
        {"/a", [](CZRPath& p) { p.RemoveLeadingBackslash(); }, "/a"},
        {"a/", [](CZRPath& p) { p.Append("b"); }, "a/b"},
        {"a", [](CZRPath& p) { p += CZRPath("\\b"); }, "a\\\\b"},
        {"", [](CZRPath& p) { p.Append("b"); }, "b"},
        {"a", [](CZRPath& p) { p.Append(p); }, "a\\a"},
        {"x.tar.gz", [](CZRPath& p) { p.RemoveExtension(); }, "x.tar"},
        {"C:\\dir\\.cfg", [](CZRPath& p) { p.RemoveExtension(); }, "C:\\dir\\.cfg"},
        {"a", [](CZRPath& p) { p.AddExtension(".bak"); }, "a.bak"},
        {"\\file", [](CZRPath& p) { p.StripPath(); }, "file"},
        {"C:/d\\f.x", [](CZRPath& p) { p.StripPath(); }, "f.x"},
        {"file", [](CZRPath& p) { p.StripPath(); }, "file"},
        {"A\\B.Txt", [](CZRPath& p) { p.MakePretty(); }, "a\\b.txt"},
        {"a\\b.txt", [](CZRPath& p) { p.MakeUpper(); }, "A\\B.TXT"},
        {"a\\b", [](CZRPath& p) { p.CompactPath(CZRPath("x"), 1); }, "a\\b"},
    };
    for (const Case& c : cases)
    {
        CZRPath path(c.start);
        c.edit(path);
        EXPECT_EQ(c.result, S(path)) << c.start << " -> " << c.result;
    }

    CZRPath mixed("a\\b\\c/d");
    EXPECT_EQ(2, mixed.MakeForwardslashes());
    EXPECT_EQ("a/b/c/d", S(mixed));
    EXPECT_EQ(3, mixed.MakeBackwardslashes());
    EXPECT_EQ("a\\b\\c\\d", S(mixed));
}

TEST(ZRPath, EndsRootsAndConstruction)
{
    const CZRPath back("\\a/"), fore("/a\\"), empty;
    EXPECT_TRUE(back.HasLeadingBackslash() && !back.HasLeadingForwardslash() && back.HasLeadingSlash());
    EXPECT_TRUE(back.HasTrailingForwardslash() && !back.HasTrailingBackslash() && back.HasTrailingSlash());
    EXPECT_TRUE(fore.HasLeadingForwardslash() && !fore.HasLeadingBackslash());
    EXPECT_TRUE(fore.HasTrailingBackslash() && !fore.HasTrailingForwardslash());
    EXPECT_FALSE(empty.HasLeadingSlash() || empty.HasTrailingSlash());
    EXPECT_EQ(nullptr, ~empty);
    EXPECT_TRUE(empty.IsEmpty());
    EXPECT_EQ(0, empty.CompareNoCase(nullptr));

    EXPECT_EQ("C:\\", S(CZRPath::BuildRoot(2)));
    EXPECT_EQ("Z:\\", S(CZRPath::BuildRoot(25)));
    EXPECT_TRUE(CZRPath::BuildRoot(26).IsEmpty());
    EXPECT_TRUE(CZRPath::BuildRoot(-1).IsEmpty());
    EXPECT_EQ(0, CZRPath("a:").GetDriveNumber());
    EXPECT_TRUE(CZRPath::IsSlash('/') && CZRPath::IsSlash('\\') && !CZRPath::IsSlash(':'));
    EXPECT_TRUE(CZRPath::IsDriveLetter('z') && !CZRPath::IsDriveLetter('@') && !CZRPath::IsDriveLetter('['));

    CZRPath copy(CZRPath(CZRString("C:\\X")));
    EXPECT_EQ(0, copy.CompareNoCase("c:\\x"));
    EXPECT_EQ(4, copy.GetLength());
    copy = "y";
    EXPECT_STREQ("y", ~copy);
    copy.Empty();
    EXPECT_TRUE(copy.IsEmpty());

    // A pointer value below 0x10000 names a string resource.
    const auto previous = s_pfnLoadString;
    s_pfnLoadString = [](long id, CZRString& text) {
        text = "res";
        return id == 5;
    };
    EXPECT_EQ("res", S(CZRPath(reinterpret_cast<const char*>(5))));
    s_pfnLoadString = previous;
}

// A Shift-JIS trail byte equal to '\' is not a separator.
TEST(ZRPath, DoubleByteTrailIsNoSeparator)
{
    const unsigned int previous = STR_GetCodePage();
    ASSERT_TRUE(STR_SetCodePage(STR_CODEPAGE_SHIFTJIS));
    const CZRPath path("dir\\\x83\x5C");
    EXPECT_FALSE(path.HasTrailingBackslash());
    EXPECT_EQ(2, path.GetNumPathComponents());
    EXPECT_EQ("\x83\x5C", S(path.GetFileName(true)));
    STR_SetCodePage(previous);
}

TEST(ZRPath, AttributesComeFromTheFileLayer)
{
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / ("zrpath-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    EXPECT_EQ(FILE_ATTR_DIRECTORY, CZRPath(dir.string().c_str()).GetAttributes());
    EXPECT_EQ(FILE_ATTR_DIRECTORY, CZRPath::GetPathAttributes(dir.string().c_str()));
    std::filesystem::remove(dir);
    EXPECT_EQ(0xFFFFFFFFul, CZRPath(dir.string().c_str()).GetAttributes());
    EXPECT_EQ(0xFFFFFFFFul, CZRPath::GetPathAttributes(CZRString()));
}
