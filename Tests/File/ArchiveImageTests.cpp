// Archives registered from memory: every file reads as out of the same archive
// on disk, an image comes before a file of its name, damaged images are
// refused with the file's codes before anything is registered, and a name
// with files open cannot be unregistered.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Common/File/FileIO.h"
#include "File/FileTestSupport.h"

namespace
{
using ArchiveImage = ScratchDirectoryTest;

// The code an action ends in; 0 without an exception.
unsigned long CodeOf(const std::function<void()>& action)
{
    try
    {
        action();
        return 0;
    }
    catch (const CXfsException& error)
    {
        return error.GetErrorCode();
    }
}
} // namespace

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

TEST_F(ArchiveImage, DamagedImagesAreRefusedWithTheCodesOfTheSameFile)
{
    WriteDisk("src/Game/top.txt", "top");
    WriteDisk("src/Game/Sub/a.txt", "nested");
    ASSERT_TRUE(xfs.CreateArchive("Game", "src/Game"));
    const std::string whole = ReadDisk("Game.arc");
    std::string magic = whole;
    magic[0] = 'X';
    std::vector<std::string> damaged = {magic};
    for (std::size_t cut : {std::size_t{0}, std::size_t{10}, std::size_t{32}, whole.size() / 2, whole.size() - 1})
        damaged.push_back(whole.substr(0, cut));
    int run = 0;
    for (const std::string& bytes : damaged)
    {
        const std::string name = "Cut" + std::to_string(++run);
        WriteDisk(name + ".arc", bytes);
        const unsigned long onDisk = CodeOf([&] { xfs.OpenFile((name + "\\top.txt").c_str()); });
        const std::vector<char> image(bytes.begin(), bytes.end());   // exactly its size, for the sanitizers
        const unsigned long inMemory = CodeOf([&] {
            xfs.RegisterArchiveImage("Image", image.data(), static_cast<unsigned long>(image.size()));
        });
        EXPECT_TRUE(onDisk == 4006 || onDisk == 4014) << bytes.size() << ": " << onDisk;
        EXPECT_EQ(inMemory, onDisk) << bytes.size();
        EXPECT_FALSE(xfs.UnregisterArchiveImage("Image")) << "nothing was registered";
    }
}
