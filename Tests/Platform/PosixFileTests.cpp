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

#include "Common/Platform/Platform.h"

using namespace ZRPlatform;
namespace fs = std::filesystem;

namespace
{
constexpr std::size_t kPathSize = 4096;
constexpr std::int64_t kClockSlackSeconds = 5;

template <class F>
Error ErrorOf(F call)
{
    SetLastError(Error::None);
    return call() ? Error::None : GetLastError();
}

std::string Windows(std::string path)
{
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

class PosixFile : public ::testing::Test
{
protected:
    void SetUp() override
    {
        static int s_count = 0;
        const std::string unique =
            std::to_string(ProcessCurrentId()) + "-" + std::to_string(++s_count);
        m_root = fs::temp_directory_path() / ("zrplatform-" + unique);
        fs::create_directories(m_root);
    }

    void TearDown() override
    {
        std::error_code ignored;
        for (const auto& entry : fs::recursive_directory_iterator(m_root, ignored))
            fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ignored);
        fs::remove_all(m_root, ignored);
    }

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
        return "C:" + Windows((m_root / relative).string());
    }

    std::string Resolve(const std::string& path)
    {
        char resolved[kPathSize];
        return PathResolve(path.c_str(), resolved, sizeof(resolved)) ? resolved : "<failed>";
    }

    std::vector<std::string> List(const std::string& pattern)
    {
        std::vector<std::string> names;
        DirectoryEntry entry{};
        const FindHandle find = FindFirst(pattern.c_str(), &entry);
        if (find == 0)
            return names;
        do
            names.push_back(entry.name);
        while (FindNext(find, &entry));
        EXPECT_EQ(GetLastError(), Error::NotFound);
        FindClose(find);
        return names;
    }

    fs::path m_root;
};
} // namespace

TEST_F(PosixFile, ResolvesEachComponentWithoutRegardToCase)
{
    Make("Alpha/Beta/Gamma.txt");
    fs::create_directories(m_root / "Dup");
    fs::create_directories(m_root / "dup");
    const std::string root = m_root.string();
    EXPECT_EQ(Resolve(Win("ALPHA/beta/gamma.TXT")), root + "/Alpha/Beta/Gamma.txt");
    EXPECT_EQ(Resolve(Win("alpha/BETA/Missing/x.txt")), root + "/Alpha/Beta/Missing/x.txt");
    EXPECT_EQ(Resolve(Win("dup")), root + "/dup");   // an exact match wins
    EXPECT_EQ(Resolve(Win("DUP")), root + "/Dup");   // else the first in the fixed order
    char small[4];
    EXPECT_FALSE(PathResolve(Win("alpha").c_str(), small, sizeof(small)));
    EXPECT_EQ(FileGetAttributes(Win("aLpHa\\BeTa\\GAMMA.txt").c_str()), kAttrNormal);
}

TEST_F(PosixFile, AttributesFollowTheFileAndReadOnlyProtectsIt)
{
    const std::string file = Make("plain.txt");
    Make(".hidden");
    EXPECT_EQ(FileGetAttributes(Win("").c_str()), kAttrDirectory);
    EXPECT_EQ(FileGetAttributes(Win(".hidden").c_str()), kAttrHidden);
    EXPECT_EQ(FileGetAttributes(Win("PLAIN.TXT").c_str()), kAttrNormal);
    EXPECT_EQ(FileGetAttributes(Win("missing").c_str()), kAttrInvalid);
    EXPECT_EQ(GetLastError(), Error::NotFound);
    EXPECT_EQ(FileGetAttributes(Win("missing/file").c_str()), kAttrInvalid);
    EXPECT_EQ(GetLastError(), Error::PathNotFound);

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
    EXPECT_EQ(ErrorOf([&] { return DirectoryCreate(Win("parent/CHILD").c_str()); }),
              Error::AlreadyExists);
    EXPECT_EQ(ErrorOf([&] { return DirectoryCreate(Win("none/x").c_str()); }), Error::PathNotFound);
    EXPECT_EQ(ErrorOf([&] { return FileDelete(Win("parent").c_str()); }), Error::AccessDenied);
    EXPECT_EQ(ErrorOf([&] { return DirectoryRemove(Win("parent").c_str()); }), Error::NotEmpty);

    const fs::path before = fs::current_path();
    ASSERT_TRUE(DirectorySetCurrent(Win("parent/child").c_str()));
    char current[kPathSize];
    ASSERT_TRUE(DirectoryGetCurrent(current, sizeof(current)));
    EXPECT_EQ(fs::path(current), fs::canonical(m_root / "Parent" / "Child"));
    char small[2];
    EXPECT_EQ(ErrorOf([&] { return DirectoryGetCurrent(small, sizeof(small)); }),
              Error::InvalidArgument);
    fs::current_path(before);

    EXPECT_TRUE(DirectoryRemove(Win("parent\\child").c_str()));
    EXPECT_FALSE(fs::exists(m_root / "Parent" / "Child"));
    EXPECT_FALSE(DirectorySetCurrent(Win("parent/child").c_str()));
}

TEST_F(PosixFile, ListingIsSortedWithoutRegardToCaseDotsFirst)
{
    for (const char* name : {"b", "A", "a", "C"})
        Make(std::string("dir/") + name);
    const std::vector<std::string> expected = {".", "..", "A", "a", "b", "C"};
    EXPECT_EQ(List(Win("DIR/*")), expected);
    EXPECT_EQ(List(Win("dir/*.*")), expected);
    EXPECT_EQ(List(Win("dir/?")), std::vector<std::string>({".", "A", "a", "b", "C"}));
}

TEST_F(PosixFile, WildcardsMatchWithoutRegardToCase)
{
    for (const char* name : {"one.txt", "TWO.TXT", "three.dat", "readme", "x.txt.bak", "*yx"})
        Make(std::string("w/") + name, "12345");
    fs::create_directories(m_root / "w" / "sub.txt");
    using Names = std::vector<std::string>;
    EXPECT_EQ(List(Win("w/*.txt")), Names({"one.txt", "sub.txt", "TWO.TXT"}));
    EXPECT_EQ(List(Win("w/t*")), Names({"three.dat", "TWO.TXT"}));
    EXPECT_EQ(List(Win("w/?NE.*")), Names({"one.txt"}));
    EXPECT_EQ(List(Win("w/readme.*")), Names({"readme"}));
    EXPECT_EQ(List(Win("w/*.t?t*")), Names({"one.txt", "sub.txt", "TWO.TXT", "x.txt.bak"}));
    EXPECT_EQ(List(Win("w/*x")), Names({"*yx"}));   // a '*' in a name is no wildcard
    EXPECT_EQ(List(Win("w/*.zip")), Names());
    EXPECT_EQ(GetLastError(), Error::NotFound);
    EXPECT_EQ(List(Win("nowhere/*")), Names());
    EXPECT_EQ(GetLastError(), Error::PathNotFound);

    DirectoryEntry entry{};
    const FindHandle find = FindFirst(Win("W/one.TXT").c_str(), &entry);
    ASSERT_NE(find, 0u);
    EXPECT_STREQ(entry.name, "one.txt");
    EXPECT_EQ(entry.size, 5u);
    EXPECT_EQ(entry.attributes, kAttrNormal);
    const std::int64_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
    EXPECT_LE(std::abs(entry.writeTime - now), kClockSlackSeconds);
    EXPECT_FALSE(FindNext(find, &entry));
    FindClose(find);
    EXPECT_FALSE(FindNext(find, &entry));
    EXPECT_EQ(GetLastError(), Error::InvalidHandle);
    FindClose(find);   // closing twice, or 0, is harmless
    FindClose(0);

    const FindHandle directory = FindFirst(Win("w/sub.*").c_str(), &entry);
    ASSERT_NE(directory, 0u);
    EXPECT_EQ(entry.attributes, kAttrDirectory);
    EXPECT_EQ(entry.size, 0u);
    FindClose(directory);
}
