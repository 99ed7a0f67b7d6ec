// The buffered streams behind FILE_ handles: any mix of reads, writes and seeks
// leaves the same bytes as a plain model of the file, and failures of the OS
// end in the FILE_ results with their cause kept and no slot lost.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "Common/File/FileFunctions.h"
#include "Common/Platform/PlatformSeam.h"
#include "File/FileTestSupport.h"

using ZRPlatform::Error;
using ZRPlatform::Seam::OsCall;
namespace Seam = ZRPlatform::Seam;

namespace
{
class FileStream : public ScratchDirectoryTest
{
protected:
    void TearDown() override
    {
        Seam::ResetCounts();
        ScratchDirectoryTest::TearDown();
    }
};

// One step of the random walk: the same operation on the stream and the model.
void Step(std::mt19937& random, int handle, std::string& model, std::size_t& position)
{
    const std::size_t size = random() % 3 == 0 ? 20000 + random() % 20000 : random() % 64;
    switch (random() % 4)
    {
    case 0:
    {
        std::string bytes(size, '\0');
        for (char& c : bytes)
            c = static_cast<char>('a' + random() % 26);
        ASSERT_EQ(FILE_Write(handle, bytes.data(), 1, bytes.size()), bytes.size());
        if (model.size() < position + size)
            model.resize(position + size, '\0');
        model.replace(position, size, bytes);
        position += size;
        break;
    }
    case 1:
    {
        std::string read(size, '\0');
        const unsigned long got = FILE_Read(handle, &read[0], 1, size);
        const std::size_t expected = position < model.size() ? std::min(size, model.size() - position) : 0;
        ASSERT_EQ(got, expected);
        ASSERT_EQ(read.substr(0, got), model.substr(position, got));
        position += got;
        break;
    }
    case 2:
        position = model.empty() ? 0 : random() % (model.size() + 1);
        ASSERT_EQ(FILE_Seek(handle, static_cast<long>(position), FILE_ORIGIN_START), 1);
        break;
    default:
        ASSERT_EQ(FILE_Seek(handle, 0, FILE_ORIGIN_END), 1);
        position = model.size();
        break;
    }
    ASSERT_EQ(FILE_Tell(handle), static_cast<long>(position));
}
} // namespace

TEST_F(FileStream, ReadsWritesAndSeeksAgreeWithAModel)
{
    for (unsigned seed = 1; seed <= 8; ++seed)
    {
        std::mt19937 random(seed);
        const int handle = FILE_Open("model.bin", "w+b");
        ASSERT_NE(handle, FILE_INVALID_HANDLE);
        std::string model;
        std::size_t position = 0;
        for (int step = 0; step < 300 && !HasFatalFailure(); ++step)
            Step(random, handle, model, position);
        ASSERT_EQ(FILE_Close(handle), 1);
        EXPECT_EQ(ReadDisk("model.bin"), model) << "seed " << seed;
    }
}

TEST_F(FileStream, AppendWritesAtTheEndWhereverTheStreamStands)
{
    WriteDisk("log.txt", "one\n");
    const int handle = FILE_Open("log.txt", "a+b");
    ASSERT_NE(handle, FILE_INVALID_HANDLE);
    EXPECT_EQ(FILE_Tell(handle), 4);
    EXPECT_EQ(FILE_Seek(handle, 0, FILE_ORIGIN_START), 1);
    char first[4] = {};
    EXPECT_EQ(FILE_Read(handle, first, 1, 3), 3ul);
    EXPECT_EQ(FILE_Puts(handle, "two\n"), 1);
    EXPECT_EQ(FILE_Printf(handle, "%s %d\n", "three", 3), 8);
    EXPECT_EQ(FILE_Tell(handle), 16);
    EXPECT_EQ(FILE_Close(handle), 1);
    EXPECT_EQ(ReadDisk("log.txt"), "one\ntwo\nthree 3\n");
    EXPECT_EQ(std::string(first), "one");
}

TEST_F(FileStream, OsFailuresKeepTheirCauseAndFreeTheSlot)
{
    WriteDisk("in.bin", std::string(100, 'x'));
    Seam::FailNth(OsCall::Open, 1, Error::AccessDenied);
    EXPECT_EQ(FILE_Open("in.bin", "rb"), FILE_INVALID_HANDLE);
    EXPECT_EQ(FILE_GetLastError(), FILE_ERROR_ACCESS_DENIED);
    EXPECT_STREQ(FILE_GetErrorText(FILE_GetLastError()), "permission denied");

    const int handle = FILE_Open("in.bin", "rb");
    EXPECT_EQ(handle, 0) << "the failed open gave its slot back";
    Seam::FailNth(OsCall::Read, 1, Error::Io);
    char bytes[10];
    EXPECT_EQ(FILE_Read(handle, bytes, 1, sizeof bytes), 0ul);
    EXPECT_EQ(FILE_GetLastError(), FILE_ERROR_IO);
    EXPECT_EQ(FILE_Read(handle, bytes, 1, sizeof bytes), sizeof bytes) << "the stream recovers";
    EXPECT_EQ(FILE_Close(handle), 1);

    const int out = FILE_Open("out.bin", "wb");
    ASSERT_EQ(out, 0);
    EXPECT_EQ(FILE_Write(out, bytes, 1, sizeof bytes), sizeof bytes);   // buffered
    Seam::FailNth(OsCall::Write, 1, Error::NoSpace);
    EXPECT_EQ(FILE_Close(out), -1);
    EXPECT_EQ(FILE_GetLastError(), FILE_ERROR_NO_SPACE);
    EXPECT_EQ(FILE_Open("in.bin", "rb"), 0) << "a failed close still frees the slot";
    EXPECT_EQ(FILE_Close(0), 1);
    FILE_SetLastError(FILE_ERROR_NONE);
    EXPECT_EQ(FILE_Read(7, bytes, 1, 1), 0ul);
    EXPECT_EQ(FILE_GetLastError(), FILE_ERROR_INVALID_HANDLE);
}
