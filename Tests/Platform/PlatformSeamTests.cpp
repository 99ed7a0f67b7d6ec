// The test seam and the listing cache of the file backend: injected failures end
// in the chosen error, counts tell what an operation costs, and the cache never
// hides a change.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "Common/Platform/PlatformSeam.h"
#include "Platform/PlatformTestSupport.h"

using namespace ZRPlatform;
using namespace PlatformTest;
using Seam::OsCall;
namespace fs = std::filesystem;

namespace
{
class PlatformSeam : public ::testing::Test
{
protected:
    void SetUp() override
    {
        fs::create_directories(m_root);
        Seam::ResetCounts();
    }
    void TearDown() override
    {
        Seam::ResetCounts();
        fs::remove_all(m_root);
    }

    std::string Make(const std::string& relative, const std::string& content = "abc")
    {
        const fs::path path = m_root / relative;
        fs::create_directories(path.parent_path());
        std::ofstream(path) << content;
        return path.string();
    }

    std::string Path(const std::string& relative) const { return (m_root / relative).string(); }

    // Opens and closes; true when the open succeeded.
    static bool Opens(const std::string& path)
    {
        const FileHandle file = FileOpen(path.c_str(), kFileRead);
        return file != kInvalidFile && FileClose(file);
    }

    // A directory whose last change is older than any time tick, so that its
    // listing is trusted from the first read on.
    static void Age() { std::this_thread::sleep_for(std::chrono::milliseconds(60)); }

    const fs::path m_root = fs::temp_directory_path() /
                            ("zrseam-" + std::to_string(ProcessCurrentId()) + "-" +
                             testing::UnitTest::GetInstance()->current_test_info()->name());
};
} // namespace

TEST_F(PlatformSeam, InjectedFailuresEndInTheChosenError)
{
    const std::string file = Make("data.bin", "0123456789");
    const struct
    {
        OsCall call;
        Error error;
        std::function<bool()> operation;
    } cases[] = {
        {OsCall::Open, Error::AccessDenied, [&] { return Opens(file); }},
        {OsCall::Open, Error::TooManyOpen, [&] { return Opens(file); }},
        {OsCall::Stat, Error::Io, [&] { return FileGetAttributes(file.c_str()) != kAttrInvalid; }},
        {OsCall::Change, Error::NoSpace, [&] { return DirectoryCreate(Path("sub").c_str()); }},
        {OsCall::List, Error::AccessDenied,
         [&] {
             DirectoryEntry entry{};
             const FindHandle find = FindFirst(Path("*").c_str(), &entry);
             FindClose(find);
             return find != 0;
         }},
        {OsCall::Read, Error::Io,
         [&] {
             const FileHandle handle = FileOpen(file.c_str(), kFileRead);
             char bytes[4];
             std::size_t read = 0;
             const bool ok = FileReadAt(handle, 2, bytes, sizeof bytes, &read);
             FileClose(handle);
             return ok && read == sizeof bytes;
         }},
    };
    for (const auto& c : cases)
    {
        Seam::FailNth(c.call, 1, c.error);
        EXPECT_EQ(ErrorOf(c.operation), c.error) << static_cast<int>(c.call);
        EXPECT_EQ(ErrorOf(c.operation), Error::None) << "a plan fires once";
        fs::remove_all(m_root / "sub");
    }
}

TEST_F(PlatformSeam, TheNthCallFailsAndCountsAreKept)
{
    const std::string file = Make("a.txt");
    Seam::FailNth(OsCall::Open, 3, Error::Io);
    EXPECT_TRUE(Opens(file));
    EXPECT_TRUE(Opens(file));
    EXPECT_FALSE(Opens(file));
    EXPECT_TRUE(Opens(file));
    EXPECT_EQ(Seam::Calls(OsCall::Open), 4u);
    EXPECT_EQ(Seam::Calls(OsCall::Close), 3u);
    // A file opened as spelled costs an open, a stat of the descriptor and a close.
    Seam::ResetCounts();
    EXPECT_TRUE(Opens(file));
    EXPECT_EQ(Seam::TotalCalls(), 3u);
}

TEST_F(PlatformSeam, TrustedListingsCostOneStatPerDirectory)
{
    Make("Dir/Alpha.txt");
    Age();
    const fs::path before = fs::current_path();
    fs::current_path(m_root);
    EXPECT_TRUE(Opens("dir/ALPHA.TXT"));
    Seam::ResetCounts();
    EXPECT_TRUE(Opens("DIR/alpha.txt"));
    EXPECT_EQ(Seam::Calls(OsCall::List), 0u) << "both listings came from the cache";
#if defined(_WIN32)
    // Windows opens any spelling itself: the open and the stat of its handle.
    EXPECT_EQ(Seam::Calls(OsCall::Stat), 1u);
    EXPECT_EQ(Seam::Calls(OsCall::Open), 1u);
#else
    EXPECT_EQ(Seam::Calls(OsCall::Stat), 3u);   // "." and "Dir", then the descriptor
    EXPECT_EQ(Seam::Calls(OsCall::Open), 2u);   // as spelled, then as on disk
#endif
    EXPECT_EQ(ErrorOf([&] { return Opens("dir/missing.txt"); }), Error::NotFound);
    EXPECT_EQ(ErrorOf([&] { return Opens("nodir/missing.txt"); }), Error::PathNotFound);
    fs::current_path(before);
}

TEST_F(PlatformSeam, CachedListingsNeverHideAChange)
{
    Make("Dir/Alpha.txt");
    EXPECT_TRUE(Opens(Path("dir/ALPHA.TXT")));
    // Within the same time tick as the listing: seen all the same.
    Make("Dir/Beta.txt");
    EXPECT_TRUE(Opens(Path("dir/BETA.TXT")));
    fs::remove(m_root / "Dir" / "Alpha.txt");
    EXPECT_EQ(ErrorOf([&] { return Opens(Path("dir/alpha.txt")); }), Error::NotFound);
    // After the listing was trusted: a new name changes the directory's stamp.
    Age();
    EXPECT_TRUE(Opens(Path("DIR/beta.txt")));
    Make("Dir/Gamma.txt");
    EXPECT_TRUE(Opens(Path("dir/GAMMA.TXT")));
    fs::rename(m_root / "Dir" / "Gamma.txt", m_root / "Dir" / "Delta.txt");
    EXPECT_FALSE(Opens(Path("dir/gamma.txt")));
    EXPECT_TRUE(Opens(Path("dir/DELTA.txt")));
    // Another directory in the same place (new identity) is listed anew.
    fs::remove_all(m_root / "Dir");
    Age();
    Make("Dir/Alpha.txt");
    EXPECT_TRUE(Opens(Path("dir/alpha.TXT")));
    EXPECT_FALSE(Opens(Path("dir/beta.txt")));
}

TEST_F(PlatformSeam, ALookupScopeAsksEachQuestionOnce)
{
    Make("Dir/Alpha.txt");
    Age();
    const fs::path before = fs::current_path();
    fs::current_path(m_root);
    DirectoryId outside{}, inside{};
    ASSERT_TRUE(DirectoryIdentify("DIR", &outside));
    {
        LookupScope scope;
        EXPECT_EQ(ErrorOf([] { return Opens("Textures/wall.tga"); }), Error::PathNotFound);
        Seam::ResetCounts();
        EXPECT_EQ(ErrorOf([] { return Opens("TEXTURES.arc"); }), Error::NotFound);
        EXPECT_EQ(ErrorOf([] { return Opens("textures/other.tga"); }), Error::PathNotFound);
#if defined(_WIN32)
        // Windows is asked for the file, once; the missing directory is known.
        EXPECT_EQ(Seam::TotalCalls(), 1u);
#else
        EXPECT_EQ(Seam::TotalCalls(), 0u) << "the scope knows '.' holds no such name";
#endif
        Make("Textures.arc");
        EXPECT_FALSE(Opens("textures.arc")) << "the scope sees the disk as it first looked";
        EXPECT_TRUE(Opens("dir/alpha.txt"));
        ASSERT_TRUE(DirectoryIdentify("Dir", &inside));
    }
    EXPECT_TRUE(Opens("textures.arc")) << "after the scope the disk is asked again";
    EXPECT_EQ(outside, inside);
    fs::current_path(before);
}

TEST_F(PlatformSeam, FilesTransferAtOffsetsBeyondFourGigabytes)
{
    const std::string path = Path("sparse.bin");
    constexpr std::uint64_t kFar = (5ull << 30) + 3;
    std::uint64_t size = 1;
    const FileHandle file = FileOpen(path.c_str(), kFileRead | kFileWrite | kFileCreate, &size);
    ASSERT_NE(file, kInvalidFile);
    EXPECT_EQ(size, 0u);
    std::size_t moved = 0;
    ASSERT_TRUE(FileWriteAt(file, kFar, "far", 3, &moved));
    EXPECT_EQ(moved, 3u);
    char back[8] = {};
    EXPECT_TRUE(FileReadAt(file, kFar - 1, back, sizeof back, &moved));
    EXPECT_EQ(std::string(back, moved), std::string("\0far", 4)) << "a short read at the end";
    ASSERT_TRUE(FileGetSize(file, &size));
    EXPECT_EQ(size, kFar + 3);
    EXPECT_TRUE(FileClose(file));
    EXPECT_EQ(ErrorOf([&] { return FileOpen(m_root.string().c_str(), kFileRead) != kInvalidFile; }),
              Error::AccessDenied) << "a directory is no file";
}
