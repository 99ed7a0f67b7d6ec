// Files and directories of the backend: Windows-style paths resolved without regard
// to case, attributes, directory calls and wildcard listings in their fixed order.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "Common/Platform/Posix/PosixNames.h"
#include "Platform/PlatformTestSupport.h"

using namespace ZRPlatform;
using namespace PlatformTest;
namespace fs = std::filesystem;
using Names = std::vector<std::string>;

namespace
{
class PosixFile : public ::testing::Test
{
protected:
    void SetUp() override { fs::create_directories(m_root); }
    void TearDown() override { fs::remove_all(m_root); }

    std::string Make(const std::string& relative, const std::string& content = "abc")
    {
        const fs::path path = m_root / relative;
        fs::create_directories(path.parent_path());
        std::ofstream(path) << content;
        return path.string();
    }

    // The scratch root in Windows spelling, with a drive prefix.
    std::string Win(const std::string& relative)
    {
        std::string path = "C:" + (m_root / relative).string();
        std::replace(path.begin(), path.end(), '/', '\\');
        return path;
    }

    // The spelling on disk, and whether every component exists.
    std::string Resolve(const std::string& path, bool* exists = nullptr)
    {
        Posix::sOsPath converted, resolved;
        Error missing = Error::None;
        const bool found = Posix::ConvertPath(path.c_str(), converted) &&
                           Posix::ResolveNoCase(converted, resolved, missing);
        if (exists != nullptr)
            *exists = found;
        return resolved.c_str();
    }

    Names List(const std::string& pattern)
    {
        Names names;
        DirectoryEntry entry{};
        const FindHandle find = FindFirst(pattern.c_str(), &entry);
        for (bool more = find != 0; more; more = FindNext(find, &entry))
            names.push_back(entry.name);
        EXPECT_TRUE(find == 0 || GetLastError() == Error::NotFound);
        FindClose(find);
        return names;
    }

    const fs::path m_root = fs::temp_directory_path() / ("zrplatform-" + std::to_string(ProcessCurrentId()) + "-" +
                                                         testing::UnitTest::GetInstance()->current_test_info()->name());
};
} // namespace

TEST_F(PosixFile, ResolvesEachComponentWithoutRegardToCase)
{
    Make("Alpha/Beta/Gamma.txt");
    fs::create_directories(m_root / "Dup");
    fs::create_directories(m_root / "dup");
    const std::string root = m_root.string();
    EXPECT_EQ(Resolve(Win("ALPHA/beta/gamma.TXT")), root + "/Alpha/Beta/Gamma.txt");
    bool exists = true;
    EXPECT_EQ(Resolve(Win("alpha/BETA/Missing/x.txt"), &exists), root + "/Alpha/Beta/Missing/x.txt");
    EXPECT_FALSE(exists);
    EXPECT_EQ(Resolve(Win("dup/x")), root + "/dup/x");   // an exact match wins
    EXPECT_EQ(Resolve(Win("DUP/x")), root + "/Dup/x");   // else the first in the fixed order
    Posix::sOsPath converted;
    ASSERT_TRUE(Posix::ConvertPath("C:", converted));
    EXPECT_STREQ(converted.c_str(), ".");
    ASSERT_TRUE(Posix::ConvertPath("\\\\server\\share", converted));
    EXPECT_STREQ(converted.c_str(), "//server/share");
    EXPECT_FALSE(Posix::ConvertPath(std::string(PATH_MAX, 'x').c_str(), converted));
    EXPECT_EQ(FileGetAttributes(Win("aLpHa\\BeTa\\GAMMA.txt").c_str()), kAttrNormal);
}

TEST_F(PosixFile, AttributesFollowTheFileAndReadOnlyProtectsIt)
{
    const std::string file = Make("plain.txt");
    Make(".hidden");
    EXPECT_EQ(FileGetAttributes(Win(".").c_str()), kAttrDirectory);   // "." is no hidden name
    EXPECT_EQ(FileGetAttributes(Win(".hidden").c_str()), kAttrHidden);
    EXPECT_EQ(FileGetAttributes(Win("PLAIN.TXT").c_str()), kAttrNormal);
    EXPECT_EQ(ErrorOf([&] { return FileGetAttributes(Win("missing").c_str()) != kAttrInvalid; }),
              Error::NotFound);
    EXPECT_EQ(ErrorOf([&] { return FileGetAttributes(Win("missing/file").c_str()) != kAttrInvalid; }),
              Error::PathNotFound);

    ASSERT_TRUE(FileSetAttributes(Win("plain.txt").c_str(), kAttrReadOnly | kAttrArchive));
    EXPECT_EQ(fs::status(file).permissions() & fs::perms::owner_write, fs::perms::none);
    EXPECT_EQ(FileGetAttributes(Win("plain.txt").c_str()), kAttrReadOnly);
    EXPECT_EQ(ErrorOf([&] { return FileDelete(Win("plain.txt").c_str()); }), Error::AccessDenied);
    ASSERT_TRUE(FileSetAttributes(Win("plain.txt").c_str(), 0));
    EXPECT_EQ(FileGetAttributes(Win("plain.txt").c_str()), kAttrNormal);
    EXPECT_TRUE(FileDelete(Win("Plain.txt").c_str()));
    EXPECT_FALSE(fs::exists(file));
    EXPECT_EQ(ErrorOf([&] { return FileDelete(Win("plain.txt").c_str()); }), Error::NotFound);
    EXPECT_FALSE(FileSetAttributes(Win("plain.txt").c_str(), 0));
}

TEST_F(PosixFile, DirectoriesAreCreatedRemovedAndEntered)
{
    fs::create_directories(m_root / "Parent");
    ASSERT_TRUE(DirectoryCreate(Win("PARENT/Child").c_str()));
    EXPECT_TRUE(fs::is_directory(m_root / "Parent" / "Child"));
    EXPECT_EQ(ErrorOf([&] { return DirectoryCreate(Win("parent/CHILD").c_str()); }), Error::AlreadyExists);
    EXPECT_EQ(ErrorOf([&] { return DirectoryCreate(Win("none/x").c_str()); }), Error::PathNotFound);
    EXPECT_EQ(ErrorOf([&] { return FileDelete(Win("parent").c_str()); }), Error::AccessDenied);
    EXPECT_EQ(ErrorOf([&] { return DirectoryRemove(Win("parent").c_str()); }), Error::NotEmpty);

    const fs::path before = fs::current_path();
    ASSERT_TRUE(DirectorySetCurrent(Win("parent/child").c_str()));
    char current[4096], small[2];
    ASSERT_TRUE(DirectoryGetCurrent(current, sizeof(current)));
    EXPECT_EQ(fs::path(current), fs::canonical(m_root / "Parent" / "Child"));
    EXPECT_EQ(ErrorOf([&] { return DirectoryGetCurrent(small, sizeof(small)); }), Error::InvalidArgument);
    fs::current_path(before);

    EXPECT_TRUE(DirectoryRemove(Win("parent\\child").c_str()));
    EXPECT_FALSE(fs::exists(m_root / "Parent" / "Child"));
    EXPECT_FALSE(DirectorySetCurrent(Win("parent/child").c_str()));
}

TEST_F(PosixFile, ListingIsSortedWithoutRegardToCaseDotsFirst)
{
    for (const char* name : {"b", "A", "a", "C", "-"})
        Make(std::string("dir/") + name);
    const Names expected = {".", "..", "-", "A", "a", "b", "C"};
    EXPECT_EQ(List(Win("DIR/*")), expected);
    EXPECT_EQ(List(Win("dir/*.*")), expected);
    EXPECT_EQ(List(Win("dir/?")), Names({".", "-", "A", "a", "b", "C"}));
}

TEST_F(PosixFile, WildcardsMatchWithoutRegardToCase)
{
    for (const char* name : {"one.txt", "TWO.TXT", "three.dat", "readme", "x.txt.bak", "*yx"})
        Make(std::string("w/") + name, "12345");
    fs::create_directories(m_root / "w" / "sub.txt");
    const std::pair<const char*, Names> cases[] = {
        {"w/*.txt", {"one.txt", "sub.txt", "TWO.TXT"}},
        {"w/t*", {"three.dat", "TWO.TXT"}},
        {"w/?NE.*", {"one.txt"}},
        {"w/readme.*", {"readme"}},
        {"w/*.t?t*", {"one.txt", "sub.txt", "TWO.TXT", "x.txt.bak"}},
        {"w/*x", {"*yx"}},   // a '*' in a name is no wildcard
    };
    for (const auto& [pattern, names] : cases)
        EXPECT_EQ(List(Win(pattern)), names) << pattern;
    EXPECT_EQ(ErrorOf([&] { return !List(Win("w/*.zip")).empty(); }), Error::NotFound);
    EXPECT_EQ(ErrorOf([&] { return !List(Win("nowhere/*")).empty(); }), Error::PathNotFound);

    DirectoryEntry entry{};
    const FindHandle directory = FindFirst(Win("w/sub.*").c_str(), &entry);
    EXPECT_EQ(std::make_pair(entry.attributes, entry.size), std::make_pair(kAttrDirectory, std::uint64_t(0)));
    FindClose(directory);
    const FindHandle find = FindFirst(Win("W/one.TXT").c_str(), &entry);
    ASSERT_NE(find, 0u);
    EXPECT_STREQ(entry.name, "one.txt");
    EXPECT_EQ(std::make_pair(entry.attributes, entry.size), std::make_pair(kAttrNormal, std::uint64_t(5)));
    const std::int64_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
    EXPECT_LE(std::abs(entry.writeTime - now), 5);
    EXPECT_FALSE(FindNext(find, &entry));
    FindClose(find);
    EXPECT_EQ(ErrorOf([&] { return FindNext(find, &entry); }), Error::InvalidHandle);
    FindClose(find);   // closing twice, or 0, is harmless
    FindClose(0);
}
