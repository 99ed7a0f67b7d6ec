// Archives registered from memory: every file reads as out of the same archive
// on disk, an image comes before a file of its name, and a name with files
// open cannot be unregistered. Damaged images: ArchiveFormatTests.
#include <gtest/gtest.h>

#include <string>

#include "Common/File/FileIO.h"
#include "File/FileTestSupport.h"

using ArchiveImage = ScratchDirectoryTest;

TEST_F(ArchiveImage, ReadsAsTheSameArchiveOnDiskAndComesBeforeIt)
{
    WriteDisk("src/Game/top.txt", "top");
    WriteDisk("src/Game/Levels/one.map", std::string(70000, 'm') + "end");   // past a stream buffer
    WriteDisk("src/Game/Levels/Deep/two.map", "deep");
    WriteDisk("src/Other/top.txt", "other");
    ASSERT_TRUE(xfs.CreateArchive("Game", "src/Game") && xfs.CreateArchive("Other", "src/Other"));
    const std::string game = ReadDisk("Game.arc"), other = ReadDisk("Other.arc");
    ASSERT_TRUE(xfs.RegisterArchiveImage("Mem", game.data(), static_cast<unsigned long>(game.size())));
    for (const std::string inner : {"top.txt", "Levels\\one.map", "LEVELS\\deep\\TWO.map", "Levels"})
        EXPECT_EQ(ReadAll(("Mem\\" + inner).c_str()), ReadAll(("Game\\" + inner).c_str())) << inner;
    CFileIO file;
    char tail[4] = {};
    ASSERT_TRUE(file.Open("mem/levels/ONE.MAP", FILEMODE_READ));
    EXPECT_TRUE(file.Skip(70000) && file.Read(tail, 3) && std::string(tail) == "end");
    file.Close();

    for (const char* refused : {"Mem", "a\\b", ""})
        EXPECT_FALSE(xfs.RegisterArchiveImage(refused, other.data(), static_cast<unsigned long>(other.size())));
    EXPECT_FALSE(xfs.RegisterArchiveImage("Null", nullptr, 10));
    ASSERT_TRUE(xfs.RegisterArchiveImage("game", other.data(), static_cast<unsigned long>(other.size())));
    EXPECT_EQ(ReadAll("Game\\top.txt"), "other") << "the image comes before Game.arc";

    const unsigned long open = xfs.OpenFile("Mem\\Levels\\Deep\\two.map");
    EXPECT_FALSE(xfs.UnregisterArchiveImage("MEM")) << "a file out of it is open";
    xfs.CloseFile(open);
    EXPECT_TRUE(xfs.UnregisterArchiveImage("MEM"));
    EXPECT_FALSE(xfs.UnregisterArchiveImage("Mem"));
    ExpectXfsError([&] { xfs.OpenFile("Mem\\top.txt"); }, 4002, "File not found.");
    EXPECT_TRUE(xfs.UnregisterArchiveImage("Game"));
    EXPECT_EQ(ReadAll("Game\\top.txt"), "top") << "Game.arc on disk again";
}
