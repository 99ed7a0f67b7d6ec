// The archive rules shared by the reader and the extended file system: both
// must judge every archive alike, and names must match alike in every code page.
#include <gtest/gtest.h>

#include "Common/Core/ZRStrFunctions.h"
#include "Common/File/FileFunctions.h"
#include "Common/File/ZRArchiveReader.h"
#include "File/FileTestSupport.h"

namespace
{
namespace fs = std::filesystem;
using Action = std::function<void()>;
using Bytes = std::string;

// «a.txt» (3 bytes at 32) and the empty folder «sub» (32 bytes at 35); the
// directory at 67 holds entry 1 at 67 and entry 2 at 343.
const Bytes kSound = Archive({{"a.txt", "abc", false}, {"sub", Header(32, 32, 0), true}});
constexpr std::size_t kEntry1 = 67, kEntry2 = 67 + 276, kNested = 35;
constexpr std::size_t kOffset = 256, kSize = 260, kFlags = 264, kReserved = 265;

// Two one-byte files whose data lies out of directory order, without overlap.
const Bytes kSwapped = Header(34 + 2 * 276, 34, 2) + "yx" + Entry("x", 33, 1, 0) +
                       Entry("y", 32, 1, 0);

class SetCodePage
{
public:
    explicit SetCodePage(unsigned int codePage) : m_old(STR_GetCodePage())
    {
        STR_SetCodePage(codePage);
    }
    ~SetCodePage() { STR_SetCodePage(m_old); }

private:
    unsigned int m_old;
};

using ArchiveFormat = ScratchDirectoryTest;

TEST_F(ArchiveFormat, ReaderErrorsAreExactlyWhatTheFileSystemRefuses)
{
    const Bytes u32max = "\xFF\xFF\xFF\xFF";
    const struct Case
    {
        const Bytes& base;
        std::size_t at;
        Bytes patch;
        unsigned long code;  // of the file system's refusal; 0: accepted
        const char* reached; // a path through the damaged archive
    } cases[] = {
        {kSound, 0, "ARCY", 4014, "a.txt"},
        {kSound, 4, Bytes("\1\1", 2), 4014, "a.txt"},
        {kSound, 6, Le32(700), 4006, "a.txt"},                  // past the file
        {kSound, 6, Le32(20), 4006, "a.txt"},                   // below a header
        {kSound, 10, Le32(10), 4006, "a.txt"},                  // directory in the header
        {kSound, 14, Le32(3), 4006, "a.txt"},                   // count past the end
        {kSound, 14, u32max, 4006, "a.txt"},
        {kSound, kEntry1, Bytes(256, 'x'), 4006, "a.txt"},      // unterminated
        {kSound, kEntry1, Bytes(1, '\0'), 4006, "sub\\x"},      // empty
        {kSound, kEntry1, Bytes("..\0", 3), 4006, "sub\\x"},
        {kSound, kEntry1, Bytes(".\0", 2), 4006, "sub\\x"},
        {kSound, kEntry1, "a\\b", 4006, "sub\\x"},
        {kSound, kEntry1, "a/b", 4006, "sub\\x"},
        {kSound, kEntry1, Bytes("C:x\0", 4), 4006, "sub\\x"},
        {kSound, kEntry2, Bytes("..\0", 3), 4006, "a.txt"},     // a folder's name
        {kSound, kEntry1 + kOffset, Le32(0), 4006, "a.txt"},    // data in the header
        {kSound, kEntry1 + kSize, Le32(40), 4006, "a.txt"},     // into the directory
        {kSound, kEntry1 + kSize, u32max, 4006, "a.txt"},       // wraps around
        {kSound, kEntry1 + kOffset, Le32(35), 4006, "a.txt"},   // overlaps «sub»
        {kSwapped, 0, "", 4006, "x"},
        {kSound, kEntry2 + kSize, Le32(31), 4006, "sub\\x"},    // too small a nest
        {kSound, kNested, "XRCA", 4014, "sub\\x"},
        {kSound, kNested + 6, Le32(33), 4006, "sub\\x"},        // total ≠ entry size
        {kSound, kNested + 6, Le32(31), 4006, "sub\\x"},
        // Warnings only: both accept.
        {kSound, 20, "\1", 0, "a.txt"},                         // reserved header byte
        {kSound, kEntry1 + kFlags, "\x80", 0, "a.txt"},         // unknown flag bit
        {kSound, kEntry1 + kReserved, "\1", 0, "a.txt"},
        {kSound, kEntry1, Bytes("a\0", 2), 0, "sub\\x"},         // unused name bytes
        {kSound, kSound.size(), "trailing", 0, "a.txt"},
    };
    int n = 0;  // a registered archive stays as read, so each case gets its own
    for (const Case& c : cases)
    {
        Bytes bytes = c.base;
        bytes.replace(c.at, c.patch.size(), c.patch);
        const std::string name = "c" + std::to_string(n++);
        WriteDisk(name + ".arc", bytes);
        CZRArchiveReader reader;
        ASSERT_TRUE(reader.Open((name + ".arc").c_str()));
        const bool readerError = CZRArchiveReader::HasErrors(reader.Verify());
        EXPECT_EQ(readerError, c.code != 0) << name << " at " << c.at;
        const std::string path = name + "\\" + c.reached;
        fs::create_directory("out");
        if (c.code == 0)
        {
            EXPECT_TRUE(xfs.ExtractArchive(name.c_str(), "out")) << name;
            continue;
        }
        for (const Action& refused : {Action([&] { xfs.OpenFile(path.c_str()); }),
                                      Action([&] { xfs.ExtractArchive(name.c_str(), "out"); })})
        {
            FILE_SetLastError(FILE_ERROR_IO);  // the data is at fault: the cause is cleared
            ExpectXfsError(refused, c.code);
            EXPECT_EQ(FILE_GetLastError(), FILE_ERROR_NONE) << name;
        }
    }
    EXPECT_EQ(fs::current_path(), m_dir);
}

// In code page 932 the bytes 83 41 are one character whose trail byte is 'A':
// folding it would make it match 83 61, another character. The index is built
// once and must answer by the code page current at each lookup.
TEST_F(ArchiveFormat, NamesFoldAsciiLettersOnlyAndNeverATrailByte)
{
    WriteDisk("kana.arc", Archive({{"\x83\x41", "first", false},
                                   {"\x83\x61", "second", false},
                                   {"Ab", "ascii", false}}));
    const struct { unsigned int codePage; const char* name; const char* expected; } cases[] = {
        {932, "\x83\x61", "second"}, {932, "\x83\x41", "first"}, {932, "aB", "ascii"},
        {0, "\x83\x61", "first"},    {0, "\x83\x41", "first"},   {0, "AB", "ascii"},
        {932, "\x83\x61", "second"}, {1252, "\x83\x61", "first"}};
    for (const auto& c : cases)
    {
        SetCodePage codePage(c.codePage);
        EXPECT_EQ(ReadAll(("kana\\" + std::string(c.name)).c_str()), c.expected)
            << c.codePage << " " << c.name;
    }
    {
        SetCodePage codePage(932);
        EXPECT_FALSE(xfs.FileExists("kana\\\x83\x42"));
    }
}

// 83 5C is one character in code page 932 although its trail byte is '\': a
// name with it is a single component there, and a name with a separator in
// a single-byte code page. Reader and file system agree in both.
TEST_F(ArchiveFormat, ATrailByteIsNeverASeparator)
{
    const Bytes nested = Archive({{"f", "in", false}});
    WriteDisk("sjis.arc", Archive({{"\x83\x5C", nested, true}}));
    for (unsigned int page : {932u, 0u})
    {
        SetCodePage codePage(page);
        CZRArchiveReader reader;
        ASSERT_TRUE(reader.Open("sjis.arc"));
        EXPECT_EQ(CZRArchiveReader::HasErrors(reader.Verify()), page == 0);
        const std::string copy = "sjis" + std::to_string(page);
        WriteDisk(copy + ".arc", ReadDisk("sjis.arc"));
        if (page == 932)
            EXPECT_EQ(ReadAll((copy + "\\\x83\x5C\\f").c_str()), "in");
        else
            ExpectXfsError([&] { xfs.OpenFile((copy + "\\x").c_str()); }, 4006);
    }
}

// Registration appends ".arc" only to a file name without a dot, while
// creation appends it to any other extension.
TEST_F(ArchiveFormat, RegistrationAppendsTheExtensionOnlyWithoutADot)
{
    WriteDisk("tree/f", "f");
    EXPECT_TRUE(xfs.CreateArchive("plain", "tree") && xfs.CreateArchive("dotted.dat", "tree"));
    fs::rename("dotted.dat.arc", "dotted.dat");
    for (const char* path : {"plain\\f", "PLAIN\\f", "dotted.dat\\f"})
        EXPECT_EQ(ReadAll(path), "f") << path;
    EXPECT_FALSE(xfs.FileExists("plain.dat\\f"));
}
} // namespace
