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
#include "Common/Platform/PlatformSeam.h"
#include "File/FileTestSupport.h"

using ZRPlatform::Error;
using ZRPlatform::Seam::OsCall;
namespace Seam = ZRPlatform::Seam;
namespace fs = std::filesystem;

namespace
{
const OsCall kKinds[] = {OsCall::Open,  OsCall::Read, OsCall::Write,  OsCall::Close,
                         OsCall::Stat,  OsCall::List, OsCall::Change, OsCall::CurrentDirectory};

class FaultInjection : public ScratchDirectoryTest
{
protected:
    void SetUp() override
    {
        ScratchDirectoryTest::SetUp();
        WriteDisk("Data/Textures/wall.tga", std::string(40000, 'w'));
        WriteDisk("Tree/a.txt", "alpha");
        WriteDisk("Tree/Sub/b.txt", std::string(30000, 'b'));
        ASSERT_TRUE(xfs.CreateArchive("Pack.arc", "Tree"));
    }
    void TearDown() override
    {
        Seam::ResetCounts();
        ScratchDirectoryTest::TearDown();
    }

    // Runs operation with the nth call of each kind failing, n = 1, 2, ... as
    // long as the operation reaches it. outcome: "ok", "false" or the code of
    // the exception; each must be in allowed.
    void Sweep(const std::function<bool(int run)>& operation, const std::set<std::string>& allowed)
    {
        int run = 0;
        for (OsCall kind : kKinds)
            for (std::uint64_t n = 1;; ++n)
            {
                Seam::ResetCounts();
                Seam::FailNth(kind, n, Error::Io);
                const std::string outcome = Outcome(operation, ++run);
                const bool reached = !Seam::PlanPending();
                Seam::ResetCounts();
                SCOPED_TRACE("call " + std::to_string(n) + " of kind " +
                             std::to_string(static_cast<int>(kind)) + " failed: " + outcome);
                EXPECT_TRUE(allowed.count(outcome));
                ExpectNothingLeaked();
                if (!reached || HasFailure())
                    break;
            }
    }

    static std::string Outcome(const std::function<bool(int)>& operation, int run)
    {
        try
        {
            return operation(run) ? "ok" : "false";
        }
        catch (const CZRException& e)
        {
            return std::to_string(e.GetErrorCode());
        }
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

TEST_F(FaultInjection, ReadingThroughARoot)
{
    xfs.AddRoot("Data");
    Sweep([](int) { return ReadWhole("Textures\\wall.tga", 40000); }, {"ok", "4002", "4006"});
}

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
