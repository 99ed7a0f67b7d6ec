#include <gtest/gtest.h>

#include <algorithm>
#include <utility>

#include "Common/File/FileFunctions.h"
#include "File/FileTestSupport.h"
#include "Support/OpenDescriptors.h"

namespace fs = std::filesystem;

namespace
{
constexpr int kPathBufferSize = 4096;

class FileFunctions : public ScratchDirectoryTest
{
protected:
    // The scratch path in Windows spelling: drive, backslashes.
    std::string Win(const std::string& relative) const { return WindowsName(m_dir / relative); }

    std::string Make(const std::string& relative, const std::string& content)
    {
        WriteDisk(m_dir / relative, content);
        return Win(relative);
    }
};

// The attributes of path, less the archive bit that Windows sets on every file
// written (Wine on every file) and that POSIX has no use for.
unsigned long Attributes(const std::string& path)
{
    const unsigned long attributes = FILE_GetFileAttributes(path.c_str());
#if defined(_WIN32)
    if (attributes != FILE_ATTR_INVALID && (attributes & FILE_ATTR_ARCHIVE) != 0)
        return attributes == FILE_ATTR_ARCHIVE ? FILE_ATTR_NORMAL : attributes & ~FILE_ATTR_ARCHIVE;
#endif
    return attributes;
}

std::string Split(const char* path)
{
    char drive[FILE_MAX_DRIVE], dir[FILE_MAX_DIR], name[FILE_MAX_FNAME], ext[FILE_MAX_EXT];
    FILE_SplitPath(path, drive, dir, name, ext);
    return std::string(drive) + "|" + dir + "|" + name + "|" + ext;
}
} // namespace

TEST_F(FileFunctions, WritesAndReadsBackThroughWindowsNames)
{
    const int out = FILE_Open(Win("Data.txt").c_str(), "wb");
    ASSERT_NE(FILE_INVALID_HANDLE, out);
    const int words[3] = {1, 2, 3};
    EXPECT_EQ(3ul, FILE_Write(out, words, sizeof(int), 3));
    EXPECT_EQ(1, FILE_Puts(out, "abc\n"));
    EXPECT_EQ(5, FILE_Printf(out, "%d|%s", 42, "zz"));
    EXPECT_EQ(1, FILE_Flush(out));
    EXPECT_EQ(21, FILE_Tell(out));   // no line end added by FILE_Puts
    EXPECT_EQ(1, FILE_Close(out));

    const int in = FILE_Open(Win("DATA.TXT").c_str(), "rb");   // case-insensitive fallback
    ASSERT_NE(FILE_INVALID_HANDLE, in);
    int read[4] = {};
    EXPECT_EQ(3ul, FILE_Read(in, read, sizeof(int), 3));
    EXPECT_EQ(3, read[2]);
    char line[16];
    for (const auto& [size, text] : {std::pair(3, "ab"), std::pair(16, "c\n"), std::pair(16, "42|zz")})
        EXPECT_TRUE(FILE_Gets(in, line, size) == 1 && std::string(line) == text) << text;
    EXPECT_EQ(-1, FILE_Gets(in, line, sizeof(line)));
    EXPECT_EQ(0ul, FILE_Read(in, read, 1, 1));
    EXPECT_EQ(1, FILE_Close(in));
}

TEST_F(FileFunctions, SeekOriginsAreTranslated)
{
    const int handle = FILE_Open(Make("digits", "0123456789").c_str(), "rb");
    ASSERT_NE(FILE_INVALID_HANDLE, handle);
    // offset, origin, result, position afterwards; origin 7 counts as the start.
    const long steps[][4] = {{4, FILE_ORIGIN_START, 1, 4},    {0, FILE_ORIGIN_END, 1, 10},
                             {-1, FILE_ORIGIN_CURRENT, 1, 9}, {3, 7, 1, 3},
                             {2, FILE_ORIGIN_CURRENT, 1, 5},  {0, FILE_ORIGIN_START, 1, 0},
                             {-1, FILE_ORIGIN_START, -1, 0}};
    for (const auto& s : steps)
    {
        EXPECT_EQ(s[2], FILE_Seek(handle, s[0], static_cast<int>(s[1]))) << s[0] << "/" << s[1];
        EXPECT_EQ(s[3], FILE_Tell(handle)) << s[0] << "/" << s[1];
    }
    EXPECT_EQ(1, FILE_Close(handle));
}

TEST_F(FileFunctions, EmptyHandlesFailWithoutEffect)
{
    const int closed = FILE_Open(Make("x", "x").c_str(), "rb");
    ASSERT_NE(FILE_INVALID_HANDLE, closed);
    EXPECT_EQ(1, FILE_Close(closed));
    char buffer[8] = "";
    for (const int handle : {closed, -1, FILE_MAX_OPEN, 5000})
    {
        const std::vector<long> results = {
            long(FILE_Read(handle, buffer, 1, 1)),      long(FILE_Write(handle, buffer, 1, 1)),
            FILE_Gets(handle, buffer, sizeof(buffer)), FILE_Puts(handle, "x"),
            FILE_Tell(handle),                         FILE_Seek(handle, 0, FILE_ORIGIN_START),
            FILE_Flush(handle),                        FILE_Printf(handle, "%d", 1),
            FILE_Close(handle)};
        EXPECT_EQ(results, std::vector<long>({0, 0, -1, -1, -1, -1, -1, -1, -1})) << handle;
    }
    // A failed open leaves its slot empty for the next one.
    EXPECT_EQ(FILE_INVALID_HANDLE, FILE_Open(Win("missing").c_str(), "rb"));
    EXPECT_EQ(FILE_INVALID_HANDLE, FILE_Open(nullptr, "rb"));
    const int reopened = FILE_Open(Win("x").c_str(), "rb");
    EXPECT_EQ(closed, reopened);
    EXPECT_EQ(1, FILE_Close(reopened));
}

TEST_F(FileFunctions, AllSlotsTakenThenLowestFreeSlotIsReused)
{
    constexpr std::size_t kSpareDescriptors = 64;
    const DescriptorLimit limit(FILE_MAX_OPEN + kSpareDescriptors);
    if (!limit.Raised())
        GTEST_SKIP() << "cannot raise the open-descriptor limit above " << FILE_MAX_OPEN;

    const std::string path = Make("shared", "s");
    for (int round = 0; round < 2; ++round)   // the second round proves nothing leaked
    {
        std::vector<int> handles;
        for (int i = 0; i < FILE_MAX_OPEN; ++i)
            handles.push_back(FILE_Open(path.c_str(), "rb"));
        for (int i = 0; i < FILE_MAX_OPEN; ++i)
            ASSERT_EQ(i, handles[i]) << "round " << round;
        EXPECT_EQ(FILE_INVALID_HANDLE, FILE_Open(path.c_str(), "rb"));
        EXPECT_EQ(1, FILE_Close(handles[500]));
        EXPECT_EQ(500, FILE_Open(path.c_str(), "rb"));
        EXPECT_EQ(FILE_INVALID_HANDLE, FILE_Open(path.c_str(), "rb"));
        for (const int handle : handles)
            EXPECT_EQ(1, FILE_Close(handle));
    }
}

TEST_F(FileFunctions, FullDiskIsReportedNotFatal)
{
    const int handle = FILE_Open("/dev/full", "wb");
    ASSERT_NE(FILE_INVALID_HANDLE, handle);
    const std::vector<char> block(1 << 20, 'x');
    EXPECT_LT(FILE_Write(handle, block.data(), 1, block.size()), block.size());
    EXPECT_EQ(1ul, FILE_Write(handle, "y", 1, 1));   // still buffered
    EXPECT_EQ(-1, FILE_Flush(handle));
    EXPECT_EQ(1ul, FILE_Write(handle, "z", 1, 1));
    EXPECT_EQ(-1, FILE_Close(handle));   // its flush of "z" fails
    EXPECT_EQ(-1, FILE_Tell(handle));   // the slot is empty even after a failed close
}

TEST(FileSplitPath, WindowsSemantics)
{
    const std::string longName(300, 'n');
    const std::string longDir = "\\" + std::string(300, 'd') + "\\";
    const std::pair<std::string, std::string> cases[] = {
        {"C:\\a\\b\\c.txt", "C:|\\a\\b\\|c|.txt"},
        {"\\\\server\\share\\x.txt", "|\\\\server\\share\\|x|.txt"},
        {"a/b.c/name", "|a/b.c/|name|"},
        {"file.tar.gz", "||file.tar|.gz"},
        {"d:.cfg", "d:|||.cfg"},
        {"1:\\x", "|1:\\|x|"},
        {"C:", "C:|||"},
        {"", "|||"},
        {longName + ".e", "||" + longName.substr(0, FILE_MAX_FNAME - 1) + "|.e"},
        {longDir + "f", "|" + longDir.substr(0, FILE_MAX_DIR - 1) + "|f|"},
    };
    for (const auto& [path, parts] : cases)
        EXPECT_EQ(parts, Split(path.c_str())) << path;

    char ext[FILE_MAX_EXT];
    FILE_SplitPath("C:\\x\\y.z", nullptr, nullptr, nullptr, ext);
    EXPECT_STREQ(".z", ext);
}

TEST_F(FileFunctions, AttributesAndDeletion)
{
    const std::string hidden = Make(".hidden", "h");
    const std::string file = Make("ro.txt", "r");
#if defined(_WIN32)
    SetFileAttributesA(hidden.c_str(), FILE_ATTRIBUTE_HIDDEN);   // POSIX hides by the dot
#endif
    EXPECT_TRUE(FILE_SetFileAttributes(hidden.c_str(), FILE_ATTR_READONLY));
    EXPECT_EQ(FILE_ATTR_READONLY | FILE_ATTR_HIDDEN, Attributes(hidden));
    EXPECT_EQ(FILE_ATTR_NORMAL, Attributes(file));
    EXPECT_EQ(FILE_ATTR_DIRECTORY, FILE_GetFileAttributes(Win("").c_str()));
    EXPECT_EQ(FILE_ATTR_INVALID, FILE_GetFileAttributes(Win("missing").c_str()));
    EXPECT_FALSE(FILE_SetFileAttributes(Win("missing").c_str(), 0));

    EXPECT_TRUE(FILE_SetFileAttributes(file.c_str(), FILE_ATTR_READONLY | FILE_ATTR_ARCHIVE));
    EXPECT_EQ(-1, FILE_Delete(file.c_str()));   // read-only files stay
    EXPECT_TRUE(FILE_SetFileAttributes(file.c_str(), 0));
    EXPECT_EQ(FILE_ATTR_NORMAL, Attributes(file));
    EXPECT_EQ(1, FILE_Delete(file.c_str()));
    EXPECT_EQ(-1, FILE_Delete(file.c_str()));
    EXPECT_FALSE(fs::exists(m_dir / "ro.txt"));
    EXPECT_TRUE(FILE_SetFileAttributes(hidden.c_str(), 0));   // Windows removes no read-only file
}

TEST_F(FileFunctions, DirectoriesAndWorkingDirectory)
{
    char original[kPathBufferSize];
    ASSERT_EQ(1, DIR_GetWorkingDirectory(original, sizeof(original)));
    EXPECT_EQ(1, DIR_Create(Win("Sub").c_str()));
    EXPECT_EQ(-1, DIR_Create(Win("Sub").c_str()));
    EXPECT_EQ(-1, DIR_Create(Win("none\\deeper").c_str()));
    ASSERT_EQ(1, DIR_Change(Win("sub").c_str()));

    char current[kPathBufferSize];
    EXPECT_EQ(1, DIR_GetWorkingDirectory(current, sizeof(current)));
    // Spelled as on disk (POSIX) or as named (Windows): the same name either way.
    EXPECT_EQ(0, CZRString(current).CompareNoCase(fs::canonical(m_dir / "Sub").string().c_str()))
        << current;
    EXPECT_EQ(-1, DIR_GetWorkingDirectory(current, 2));
    const int relative = FILE_Open("rel.txt", "wb");
    EXPECT_EQ(1, FILE_Close(relative));
    EXPECT_EQ(1, DIR_Change(original));
    EXPECT_EQ(-1, DIR_Change(Win("missing").c_str()));

    EXPECT_EQ(-1, FILE_Open(Win("Sub").c_str(), "rb"));   // a directory is no file
    EXPECT_EQ(-1, DIR_Remove(Win("Sub").c_str()));   // not empty
    EXPECT_EQ(1, FILE_Delete(Win("Sub\\rel.txt").c_str()));
    EXPECT_EQ(1, DIR_Remove(Win("Sub").c_str()));
    EXPECT_EQ(-1, DIR_Remove(Win("Sub").c_str()));
}
