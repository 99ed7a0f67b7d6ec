// Every OS call of an operation is made to fail in turn (the 1st, 2nd, ... call
// of each kind, until the operation no longer reaches that many): each failure
// ends in one of the operation's specified results, and nothing is leaked (no
// handle, no stream slot, no change of the current directory).
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

#include "Common/File/FileFunctions.h"
#include "Common/File/FileIO.h"
#include "Common/File/ZRFileScanner.h"
#include "Common/Platform/PlatformSeam.h"
#include "File/FileTestSupport.h"
#include "Support/FaultSweep.h"

using ZRPlatform::Error;
using ZRPlatform::Seam::OsCall;
namespace Seam = ZRPlatform::Seam;
namespace fs = std::filesystem;

namespace
{
class FaultInjection : public ScratchDirectoryTest
{
protected:
    void SetUp() override
    {
        ScratchDirectoryTest::SetUp();
        WriteDisk("Tree/a.txt", "alpha");
        WriteDisk("Tree/Sub/b.txt", std::string(30000, 'b'));
        ASSERT_TRUE(xfs.CreateArchive("Pack.arc", "Tree"));
    }
    void TearDown() override
    {
        Seam::ResetCounts();
        ScratchDirectoryTest::TearDown();
    }

    // Returns the number of runs in which a call failed.
    int Sweep(const std::function<bool(int run)>& operation, const std::set<std::string>& allowed)
    {
        return FaultSweep::Sweep({OsCall::Open, OsCall::Read, OsCall::Write, OsCall::Close, OsCall::Stat, OsCall::List,
                           OsCall::Change, OsCall::CurrentDirectory},
                          operation, allowed, [this] { ExpectNothingLeaked(); });
    }

    void ExpectNothingLeaked()
    {
        for (unsigned long handle = 1; handle <= CExtendedFileSystem::MAX_OPEN_FILES; ++handle)
            ASSERT_FALSE(xfs.IsFileOpen(handle)) << "leaked handle " << handle;
        const int probe = FILE_Open("probe.bin", "wb");
        EXPECT_EQ(probe, 0) << "a stream slot was leaked";
        FILE_Close(probe);
        EXPECT_EQ(fs::current_path(), m_dir);
    }
};

bool ReadWhole(const char* name, std::size_t size)
{
    CFileIO file;
    std::string bytes(size, '\0');
    const bool read = file.Open(name, FILEMODE_READ) && file.Read(&bytes[0], size);
    file.Close();
    return read;
}
} // namespace

TEST_F(FaultInjection, ReadingFromANestedArchive)
{
    // A fresh copy per run, so that registration itself meets each failure.
    Sweep(
        [](int run) {
            const std::string name = "Pack" + std::to_string(run);
            fs::copy_file("Pack.arc", name + ".arc");
            return ReadWhole((name + "\\Sub\\b.txt").c_str(), 30000);
        },
        {"ok", "4002", "4006", "4010"});
}

TEST_F(FaultInjection, WritingAFile)
{
    Sweep(
        [](int) {
            CFileIO file;
            const std::string bytes(50000, 'x');
            const bool written = file.Open("out.bin", FILEMODE_WRITE) &&
                                 file.Write(bytes.data(), static_cast<unsigned long>(bytes.size()));
            return file.Close() && written;
        },
        {"ok", "4005", "4007"});
}

TEST_F(FaultInjection, PackingAndUnpacking)
{
    Sweep([this](int) { return xfs.CreateArchive("Out.arc", "Tree"); },
          {"ok", "4005", "4006", "4007", "4010", "4012", "4013", "4016"});
    Sweep(
        [this](int run) {
            const std::string target = "Dest" + std::to_string(run);
            fs::create_directory(target);
            return xfs.ExtractArchive("Pack.arc", (target + "\\").c_str());
        },
        {"ok", "false", "4005", "4006", "4007", "4010", "4014", "4016"});
}

// A file found under a root. A failed read or seek leaves the handle where the
// file system says: open, at a position within the file, from which the right
// bytes follow.
TEST_F(FaultInjection, SeekingAndReadingKeepTheHandleConsistent)
{
    std::string pattern(40000, '\0');
    for (std::size_t i = 0; i < pattern.size(); ++i)
        pattern[i] = static_cast<char>(i % 251);
    WriteDisk("Data/pattern.bin", pattern);
    xfs.AddRoot("Data");
    const auto readAt = [&](unsigned long handle, std::size_t count) {
        const unsigned long at = xfs.Tell(handle);
        std::string bytes(count, '\0');
        bytes.resize(xfs.ReadFile(handle, bytes.data(), static_cast<unsigned long>(count)));
        return bytes == pattern.substr(at, count);
    };
    int recovered = 0;
    Sweep(
        [&](int) {
            const unsigned long handle = xfs.OpenFile("pattern.bin");
            try
            {
                const bool read = xfs.Seek(handle, 1000) && readAt(handle, 5000) &&
                                  xfs.SeekCurrent(handle, 20000) && readAt(handle, 100) &&
                                  xfs.SeekEnd(handle, 10) && readAt(handle, 10) && xfs.IsEof(handle) &&
                                  xfs.Rewind(handle) && readAt(handle, 1);
                xfs.CloseFile(handle);
                return read;
            }
            catch (const CXfsException&)
            {
                // The failure has fired: the handle must still serve the right bytes.
                EXPECT_LE(xfs.Tell(handle), pattern.size());
                EXPECT_TRUE(readAt(handle, 3000));
                xfs.CloseFile(handle);
                ++recovered;
                throw;
            }
        },
        {"ok", "4002", "4006", "4009"});
    EXPECT_GT(recovered, 0) << "no failure met an open handle";
}

TEST_F(FaultInjection, ListingAndCreatingDirectories)
{
    // A listing that fails reports fewer files, never a wrong one.
    static std::set<std::string> s_seen;
    EXPECT_GT(Sweep(
        [](int) {
            s_seen.clear();
            CZRFileScanner scanner;
            scanner.AddScanDirectory("Tree", "*.*");
            scanner.Run([](eScannerMode mode, sFileData* data, ZRUserValue) {
                if (mode == SCANNER_FILE)
                    s_seen.insert(std::string(data->strDirectory.GetString()) + "|" + data->strName.GetString());
            }, 0);
            const std::set<std::string> all = {"Tree|a.txt", "Tree\\Sub|b.txt"};
            EXPECT_TRUE(std::includes(all.begin(), all.end(), s_seen.begin(), s_seen.end()));
            return s_seen == all;
        },
        {"ok", "false"}), 0);
    EXPECT_GT(Sweep(
        [](int run) {
            const std::string path = "New" + std::to_string(run);
            const int created = DIR_Create(path.c_str());
            EXPECT_EQ(created == 1, fs::is_directory(path));
            if (created != 1)
            {
                EXPECT_NE(FILE_GetLastError(), FILE_ERROR_NONE) << "a failure without its cause";
            }
            return created == 1;
        },
        {"ok", "false"}), 0);
}
