#include <gtest/gtest.h>

#include <stdlib.h>

#include <map>

#include "Common/File/FileIO.h"
#include "Common/Platform/PlatformSeam.h"
#include "File/FileTestSupport.h"
#include "Support/DirectoryLink.h"

namespace
{
namespace fs = std::filesystem;

// Every file and directory below root, by relative path; directories map to "/".
std::map<std::string, std::string> Tree(const fs::path& root)
{
    std::map<std::string, std::string> tree;
    for (const auto& item : fs::recursive_directory_iterator(root))
        tree[fs::relative(item.path(), root).string()] =
            item.is_directory() ? "/" : ReadDisk(item.path());
    return tree;
}

using Item = ArchiveItem;
using ArchiveTest = ScratchDirectoryTest;

TEST_F(ArchiveTest, PackedBytesFollowTheLayoutAndNamesGetTheExtension)
{
    fs::create_directory("empty");
    EXPECT_TRUE(xfs.CreateArchive("empty", "empty"));
    EXPECT_EQ(ReadDisk("empty.arc"), std::string("ARCX\x01\x00\x20\0\0\0\x20\0\0\0\0\0\0\0", 18) +
                                         std::string(14, '\0'));

    WriteDisk("tree/a.txt", "abc");
    fs::create_directories("tree/sub");
    fs::create_directory("out");
    const std::string small = Header(619, 67, 2) + "abc" + Header(32, 32, 0) +
                              Entry("a.txt", 32, 3, 0) + Entry("sub", 35, 32, 1);
    ASSERT_EQ(small.size(), 619u);
    const char* names[][3] = {{"tree", "tree.arc", "tree"}, {"pack", "pack.arc", "tree/"},
                              {"other.ARC", "other.ARC", "tree/"}, {"a.dat", "a.dat.arc", "tree"},
                              {"out/b", "out/b.arc", "tree/"}};  // a trailing separator is fine
    for (const auto& n : names)
    {
        EXPECT_TRUE(xfs.CreateArchive(n[0], n[2]));
        EXPECT_EQ(ReadDisk(n[1]), small) << n[0];
    }
    ExpectXfsError([&] { xfs.CreateArchive("no/dir/x", "tree"); }, 4010, "Could not open file.");
    const char* changeFailed =
        "Could not change the directory. The directory does probably not exist.";
    ExpectXfsError([&] { xfs.CreateArchive("x", "missing"); }, 4016, changeFailed);
    if (!MakeDirectoryLink("..", "tree/loop"))
        GTEST_SKIP() << "this system makes no directory links (Wine)";
    ExpectXfsError([&] { xfs.CreateArchive("x", "tree"); }, 4016, changeFailed);
    EXPECT_EQ(fs::current_path(), m_dir);
}

TEST_F(ArchiveTest, RoundTripRestoresTheTreeAndPackingIsReproducible)
{
    std::string allBytes, big;
    for (int i = 0; i < 256; ++i)
        allBytes += static_cast<char>(i);
    for (int i = 0; i < 200000; ++i)  // more than one copy chunk
        big += static_cast<char>(i * 7 + i / 1000);
    WriteDisk("src/bytes.bin", allBytes);
    WriteDisk("src/empty", "");
    WriteDisk("src/B.txt", "upper");
    WriteDisk("src/a/big.bin", big);
    WriteDisk("src/a/b/c/deep.txt", "deep");
    fs::create_directories("src/a/empty dir");
    EXPECT_TRUE(xfs.CreateArchive("one", "src"));
    EXPECT_TRUE(xfs.CreateArchive("two", "src"));
    EXPECT_EQ(ReadDisk("one.arc"), ReadDisk("two.arc"));

    fs::create_directory("out");
    fs::create_directory("elsewhere");
    fs::current_path("elsewhere");  // the archive is named relative to here
    EXPECT_TRUE(xfs.ExtractArchive("../one", "../out.ext"));  // the extension is dropped
    fs::current_path(m_dir);
    EXPECT_EQ(Tree("out/one"), Tree("src"));
    EXPECT_EQ(ReadAll("one\\a\\b\\c\\deep.txt"), "deep");

    EXPECT_FALSE(xfs.ExtractArchive("missing", "out"));
    ExpectXfsError([&] { xfs.ExtractArchive("one", "nowhere"); }, 4016);
    EXPECT_EQ(fs::current_path(), m_dir);
}

TEST_F(ArchiveTest, OpensThroughNestedArchivesInAnyCaseAndUnderRoots)
{
    WriteDisk("src/Data/top.txt", "top");
    WriteDisk("src/Data/sub/a.txt", "0123456789");
    WriteDisk("src/Pack/Textures/wall.tga", "wall");
    EXPECT_TRUE(xfs.CreateArchive("Data", "src/Data"));
    EXPECT_TRUE(xfs.CreateArchive("Pack", "src/Pack"));
    for (const char* name : {"Data\\sub\\a.txt", "Data\\SUB\\A.TXT", "data/Sub/a.TXT"})
    {
        EXPECT_EQ(ReadAll(name), "0123456789") << name;
        EXPECT_TRUE(xfs.FileExists(name)) << name;
    }
    // An archived file ends at its entry's end although the container goes on.
    const unsigned long h = xfs.OpenFile("Data\\sub\\a.txt");
    char buffer[16] = {};
    xfs.Seek(h, 7);
    EXPECT_EQ(xfs.ReadFile(h, buffer, sizeof buffer), 3u);
    EXPECT_EQ(std::string(buffer), "789");
    EXPECT_TRUE(xfs.IsEof(h));
    xfs.CloseFile(h);
    EXPECT_EQ(ReadAll("Data\\sub").size(), 32u + 10 + 276);  // a nested archive's bytes

    xfs.AddRoot("Pack");
    EXPECT_EQ(ReadAll("Textures\\wall.tga"), "wall");
    CFileIO file;
    ASSERT_TRUE(file.Open("TEXTURES/Wall.tga", FILEMODE_READ));
    char c = 0;
    EXPECT_TRUE(file.Read(c) && c == 'w');
    file.Close();
    for (const char* missing : {"Data\\none.txt", "Data\\top.txt\\x", "Data\\\\top.txt",
                                "Nothing\\top.txt", "Data\\"})
    {
        ExpectXfsError([&] { xfs.OpenFile(missing); }, 4002, "File not found.");
        EXPECT_FALSE(xfs.FileExists(missing));
    }
}

// Beyond the specified lookup: a root given as an absolute path reaches the
// archives below it, nested ones too; where the specified lookup finds the
// file, its answer stands.
TEST_F(ArchiveTest, AnAbsoluteRootReachesTheArchivesBelowIt)
{
    WriteDisk("src/Data/top.txt", "installed");
    WriteDisk("src/Data/sub/a.txt", "nested");
    fs::create_directories("install/game");
    EXPECT_TRUE(xfs.CreateArchive("install/game/Data", "src/Data"));
    const std::string root = (m_dir / "install/game").string() + "/";
    xfs.AddRoot(root.c_str());
    for (const char* name : {"Data\\top.txt", "data/TOP.txt"})
        EXPECT_EQ(ReadAll(name), "installed") << name;
    EXPECT_EQ(ReadAll("Data\\SUB\\a.txt"), "nested");
    EXPECT_EQ(ReadAll((root + "Data\\sub\\a.txt").c_str()), "nested") << "an absolute name alone";
    EXPECT_TRUE(xfs.FileExists("Data\\sub\\a.txt"));
    for (const char* missing : {"Data\\none.txt", "Data\\sub\\none.txt", "install\\Data.arc\\top.txt"})
        ExpectXfsError([&] { xfs.OpenFile(missing); }, 4002, "File not found.");

    WriteDisk("cwd/Data/top.txt", "current");
    EXPECT_TRUE(xfs.CreateArchive("Data", "cwd/Data"));
    EXPECT_EQ(ReadAll("Data\\top.txt"), "current");
    EXPECT_EQ(ReadAll("Data\\sub\\a.txt"), "nested") << "the current Data.arc has no sub";
}

using Records = std::vector<std::vector<std::string>>;

void Record(int event, XfsParam param1, XfsParam param2, XfsParam user)
{
    // The records are read by their layout: texts of 260 characters each.
    const char* record = reinterpret_cast<const char*>(param1);
    const int texts = event == XFS_EVENT_EXTRACT_DIRECTORY ? 1
                      : event == XFS_EVENT_EXTRACT_FILE  ? 3
                                                         : 2;
    std::vector<std::string> recorded = {std::to_string(event)};
    for (int i = 0; i < texts; ++i)
        recorded.emplace_back(record + 260 * i);
    recorded.push_back(std::to_string(param2));
    reinterpret_cast<Records*>(user)->push_back(recorded);
}

TEST_F(ArchiveTest, CallbacksReceiveTheirRecords)
{
    WriteDisk("cb/f1.txt", "1");
    WriteDisk("cb/sub/f2.txt", "2");
    fs::create_directory("out");
    Records events;
    xfs.AddCallback(Record, reinterpret_cast<XfsParam>(&events));
    xfs.CreateArchive("cb", "cb");
    xfs.ExtractArchive("cb", "out");
    xfs.RemoveCallback(Record);
    // Directories as the OS reports the current one, joined names with '\\'.
    const auto d = [this](const char* relative) {
        return (m_dir / relative).make_preferred().string();
    };
    EXPECT_EQ(events, (Records{
        {"4", d("cb"), "f1.txt", "0"},
        {"4", d("cb"), "sub", "0"},
        {"1", d("cb"), "f1.txt", "0"},
        {"4", d("cb/sub"), "f2.txt", "0"},
        {"1", d("cb/sub"), "f2.txt", "0"},
        {"3", d("out") + "\\cb", "0"},
        {"2", d("out/cb"), "cb", "f1.txt", "0"},
        {"3", d("out/cb") + "\\sub", "0"},
        {"2", d("out/cb/sub"), "sub", "f2.txt", "0"}}));
}

std::string FoldAscii(std::string text, char from = 'A', char to = 'a')
{
    for (char& c : text)
        c = c >= from && c <= from + 25 ? static_cast<char>(c - from + to) : c;
    return text;
}

TEST_F(ArchiveTest, LookupIndexAgreesWithAScanInDirectoryOrder)
{
    std::vector<std::string> names;
    for (int i = 0; i < 3000; ++i)
        names.push_back((i % 3 == 0 ? "File" : "fIlE") + std::to_string(i % 1000) + ".Txt");
    for (const char* name : {"dup", "DUP", "Dup", "dup", "\xC4x", "\xE4x", "a-Z_[]"})
        names.push_back(name);
    std::vector<Item> items;
    for (std::size_t i = 0; i < names.size(); ++i)
        items.push_back({names[i], std::to_string(i), false});
    WriteDisk("big.arc", Archive(items));

    std::vector<std::string> queries = {"none", "\xC4X", "A-z_[]", "file1000.txt"};
    for (const std::string& name : names)
        queries.insert(queries.end(), {name, FoldAscii(name), FoldAscii(name, 'a', 'A')});
    for (const std::string& query : queries)
    {
        std::size_t first = 0;
        while (first < names.size() && FoldAscii(names[first]) != FoldAscii(query))
            ++first;
        const std::string path = "big\\" + query;
        if (first == names.size())
            EXPECT_FALSE(xfs.FileExists(path.c_str())) << query;
        else
            ASSERT_EQ(ReadAll(path.c_str()), std::to_string(first)) << query;
    }
}

// More nested archives than the registration pool holds: extraction reads
// them for its walk alone, so none is skipped and lookups keep their pool.
TEST_F(ArchiveTest, ExtractionOfManySubdirectoriesIsComplete)
{
    constexpr int kSubdirectories = 300;
    static_assert(kSubdirectories > CExtendedFileSystem::MAX_ARCHIVES, "more than the pool");
    for (int i = 0; i < kSubdirectories; ++i)
        WriteDisk("src/d" + std::to_string(i) + "/f" + std::to_string(i % 7),
                  std::string(i, static_cast<char>(i)));
    WriteDisk("src/d7/deeper/last", "last");
    fs::create_directory("out");
    EXPECT_TRUE(xfs.CreateArchive("many", "src"));
    EXPECT_TRUE(xfs.ExtractArchive("many", "out"));
    EXPECT_EQ(Tree("out/many"), Tree("src"));
    EXPECT_EQ(ReadAll("many\\d7\\deeper\\last"), "last");
}

// The pool of archive records lasts for the process: the 257th archive is not
// registered, a registered one stays as read, and the test seam's reset gives
// the pool back so that archives are read afresh. The test runs in a child
// process of its own (a fresh pool, and no other test of this executable loses
// records to it); CTest, through gtest_discover_tests, also starts a process
// per test.
TEST_F(ArchiveTest, The257thArchiveIsNotRegistered)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            int failures = 0;
            fs::create_directory("out");
            for (unsigned long i = 0; i <= CExtendedFileSystem::MAX_ARCHIVES; ++i)
            {
                const std::string name = "a" + std::to_string(i);
                WriteDisk(name + ".arc", Archive({{"x", name, false}}));
                const bool registered = i < CExtendedFileSystem::MAX_ARCHIVES;
                failures += xfs.FileExists((name + "\\x").c_str()) != registered;
                failures += xfs.ExtractArchive(name.c_str(), "out") != registered;
            }
            fs::rename("a0.arc", "a0.old");  // the registered file stays open under another name
            WriteDisk("a0.arc", Archive({{"y", "new", false}}));
            failures += ReadAll("a0\\x") != "a0";  // the registered directory
            ZRPlatform::Seam::ForgetArchives();
            failures += ReadAll("a256\\x") != "a256";
            failures += ReadAll("a0\\y") != "new";
            failures += xfs.FileExists("a0\\x");
            ZRPlatform::Seam::ForgetArchives();  // closes their files, as TearDown would
            fs::current_path(m_oldDir);
            fs::remove_all(m_dir);
            exit(failures);
        },
        ::testing::ExitedWithCode(0), "");
}
} // namespace
