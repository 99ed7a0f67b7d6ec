// The archive rules shared by the reader, the extended file system and images
// in memory: each damage is named by the reader and refused by the others
// with the same code before anything is registered or written; warnings are
// accepted by all. Names must match alike in every code page.
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
const Bytes kSwapped = Header(34 + 2 * 276, 34, 2) + "yx" + Entry("x", 33, 1, 0) + Entry("y", 32, 1, 0);
// «sub» holding the file «f»: the nested archive is 309 bytes at 32.
const Bytes kOneNested = Archive({{"sub", Archive({{"f", "x", false}}), true}});

class SetCodePage
{
public:
    explicit SetCodePage(unsigned int codePage) : m_old(STR_GetCodePage()) { STR_SetCodePage(codePage); }
    ~SetCodePage() { STR_SetCodePage(m_old); }

private:
    unsigned int m_old;
};

std::vector<sArchiveProblem> Verify(const std::string& file)
{
    CZRArchiveReader reader;
    EXPECT_TRUE(reader.Open(file.c_str()));
    reader.GetTree();  // must survive whatever Verify reports
    return reader.Verify();
}

bool Mentions(const std::vector<sArchiveProblem>& problems, const std::string& text, bool isError)
{
    for (const sArchiveProblem& problem : problems)
        if (problem.isError == isError && std::string(~problem.text).find(text) != Bytes::npos)
            return true;
    return false;
}

class ArchiveFormat : public ScratchDirectoryTest
{
protected:
    // Every way in refuses bytes with code and leaves the cause cleared (the
    // data is at fault). Damage inside a nested archive is met when a path or
    // the extraction reaches it; any other refuses the archive before anything
    // is registered or written.
    void ExpectRefused(const Bytes& bytes, unsigned long code, const std::string& reached)
    {
        const std::string name = "c" + std::to_string(++m_count);  // a registered archive stays as read
        const std::string path = name + "\\" + reached, out = "out" + name;
        const bool nested = reached.rfind("sub\\", 0) == 0;
        const std::vector<char> image(bytes.begin(), bytes.end());  // exactly its size, for the sanitizers
        WriteDisk(name + ".arc", bytes);
        fs::create_directory(out);
        const auto registerImage = [&] {
            xfs.RegisterArchiveImage("Image", image.data(), static_cast<unsigned long>(image.size()));
        };
        std::vector<Action> refused = {[&] { xfs.OpenFile(path.c_str()); },
                                       [&] { xfs.FileExists(path.c_str()); },
                                       [&] { xfs.ExtractArchive(name.c_str(), out.c_str()); }};
        if (nested)
            registerImage();
        refused.push_back(nested ? Action([&] { xfs.OpenFile(("Image\\" + reached).c_str()); }) : registerImage);
        for (const Action& action : refused)
        {
            FILE_SetLastError(FILE_ERROR_IO);
            ExpectXfsError(action, code);
            EXPECT_EQ(FILE_GetLastError(), FILE_ERROR_NONE) << path;
        }
        EXPECT_EQ(xfs.UnregisterArchiveImage("Image"), nested) << path;
        EXPECT_EQ(fs::is_empty(out), !nested) << path;
    }

    void ExpectAccepted(const Bytes& bytes)
    {
        const std::string name = "c" + std::to_string(++m_count);
        WriteDisk(name + ".arc", bytes);
        fs::create_directory("ok");
        EXPECT_TRUE(xfs.ExtractArchive(name.c_str(), "ok"));
        EXPECT_TRUE(fs::is_directory("ok/" + name + "/sub"));
    }

    int m_count = 0;
};

TEST_F(ArchiveFormat, EachDamageIsNamedByTheReaderAndRefusedAlikeByTheFileSystem)
{
    const Bytes u32max = "\xFF\xFF\xFF\xFF";
    const std::size_t a = kEntry1, sub = kEntry2;
    const struct Case
    {
        const Bytes& base;
        std::size_t at;
        Bytes patch;
        const char* problem;  // what the reader reports
        unsigned long code;   // of the file system's refusal; 0: a warning, accepted
        const char* reached;  // a path through the damaged archive
    } cases[] = {
        {kSound, 0, "ARCY", "t.arc: bad magic \"ARCY\" (expected \"ARCX\")", 4014, "a.txt"},
        {kSound, 0, "arcx", "bad magic \"arcx\"", 4014, "a.txt"},
        {kSound, 4, Bytes("\1\1", 2), "unsupported version 1.1 (expected 1.0)", 4014, "a.txt"},
        {kSound, 4, "\2", "unsupported version 2.0", 4014, "a.txt"},
        {kSound, 6, Le32(700), "total size 700 runs past the end of the file (619", 4006, "a.txt"},
        {kSound, 6, Le32(20), "total size 20 is smaller than the 32-byte header", 4006, "a.txt"},
        {kSound, 10, Le32(10), "directory offset 10 lies outside the archive (32 to 6", 4006, "a.txt"},
        {kSound, 10, Le32(620), "directory offset 620 lies outside", 4006, "a.txt"},
        {kSound, 14, Le32(3), "directory of 3 entries (828 bytes) at offset 67 runs", 4006, "a.txt"},
        {kSound, 14, u32max, "directory of 4294967295 entries", 4006, "a.txt"},
        {kSound, a, Bytes(256, 'x'), "name has no terminator within 256 bytes", 4006, "a.txt"},
        {kSound, a, Bytes(1, '\0'), "t.arc: entry 1 \"\": name is empty", 4006, "x"},
        {kSound, a, Bytes("..\0", 3), "name refers to a directory itself or its parent", 4006, "x"},
        {kSound, a, Bytes(".\0", 2), "name refers to a directory itself or its parent", 4006, "x"},
        {kSound, a, "a\\b", "name contains a path separator", 4006, "x"},
        {kSound, a, "a/b", "name contains a path separator", 4006, "x"},
        {kSound, a, Bytes("C:x\0", 4), "name starts with a drive", 4006, "x"},
        {kSound, sub, Bytes("..\0", 3), "entry 2 \"..\": name refers to", 4006, "a.txt"},
        {kSound, a + kOffset, Le32(0), "data [0, 3) lies outside the data area [32, 67)", 4006, "a.txt"},
        {kSound, a + kSize, Le32(40), "data [32, 72) lies outside the data area [32, 67)", 4006, "a.txt"},
        {kSound, a + kSize, u32max, "data [32, 4294967327) lies outside", 4006, "a.txt"},
        {kSound, a + kOffset, Le32(35),
         "entry 2 \"sub\": data [35, 67) starts before the end of entry 1 \"a.txt\" at 38", 4006, "a.txt"},
        {kSound, sub + kOffset, Le32(32), "entry 2 \"sub\": data [32, 64) starts before", 4006, "a.txt"},
        {kSwapped, 0, "", "entry 2 \"y\": data [32, 33) starts before", 4006, "x"},
        {kSound, sub + kOffset, Le32(0) + Le32(619), "must lie inside its parent's data", 4006, "a.txt"},
        {kSound, sub + kSize, Le32(31), "t.arc\\sub: 31 bytes are too few for the 32-byte", 4006, "sub\\x"},
        {kSound, kNested, "XRCA", "t.arc\\sub: bad magic \"XRCA\"", 4014, "sub\\x"},
        {kSound, kNested + 6, Le32(33), "t.arc\\sub: total size 33 differs from the size of its entry (32",
         4006, "sub\\x"},
        {kSound, kNested + 6, Le32(31), "t.arc\\sub: total size 31", 4006, "sub\\x"},
        {kOneNested, 38, Le32(308), "t.arc\\sub: total size 308 differs from the size of its entry (309 bytes)",
         4006, "sub\\f"},
        {kOneNested, 38, Le32(310), "t.arc\\sub: total size 310 differs", 4006, "sub\\f"},
        {kSound, 20, "\1", "t.arc: warning: reserved header bytes are not zero", 0, ""},
        {kSound, a + kFlags, "\x80", "warning: unknown flag bits 0x80", 0, ""},
        {kSound, a + kReserved, "\1", "warning: reserved entry bytes are not zero", 0, ""},
        {kSound, a, Bytes("a\0", 2), "entry 1 \"a\": warning: unused name bytes", 0, ""},
        {kSound, kSound.size(), "xy", "t.arc: warning: 2 bytes after the archive's end", 0, ""},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.problem);
        Bytes bytes = c.base;
        bytes.replace(c.at, c.patch.size(), c.patch);
        WriteDisk("t.arc", bytes);
        const auto problems = Verify("t.arc");
        EXPECT_TRUE(Mentions(problems, c.problem, c.code != 0));
        EXPECT_EQ(CZRArchiveReader::HasErrors(problems), c.code != 0);
        if (c.code != 0)
            ExpectRefused(bytes, c.code, c.reached);
        else
            ExpectAccepted(bytes);
    }
    // Two entries whose names differ by case: a warning, and the first one wins.
    Bytes twins = kSound;
    twins.replace(kEntry2, 5, "A.TXT");
    WriteDisk("twins.arc", twins);
    EXPECT_TRUE(Mentions(Verify("twins.arc"), "entry 2 \"A.TXT\": warning: same name as entry 1 \"a.txt\"", false));
    EXPECT_EQ(ReadAll("twins\\A.txt"), "abc");
    // The reader shows control bytes of a name escaped (Windows takes no such file name).
    twins.replace(kEntry1, 3, Bytes("a\x01\0", 3));
    WriteDisk("t.arc", twins);
    EXPECT_TRUE(Mentions(Verify("t.arc"), "entry 1 \"a\\x01\": warning: unused name bytes", false));
    // A nested archive damaged inside a sound parent: the parent still serves its files.
    WriteDisk("mixed.arc", Archive({{"ok", "fine", false}, {"sub", "ARCX\x01", true}}));
    ExpectXfsError([&] { xfs.OpenFile("mixed\\sub\\a"); }, 4006);
    EXPECT_EQ(ReadAll("mixed\\ok"), "fine");
    EXPECT_EQ(fs::current_path(), m_dir);
}

TEST_F(ArchiveFormat, EveryTruncationIsAnErrorRefusedAlike)
{
    for (std::size_t length = 0; length < kSound.size(); ++length)
    {
        SCOPED_TRACE(length);
        WriteDisk("t.arc", kSound.substr(0, length));
        EXPECT_TRUE(Mentions(Verify("t.arc"),
                             length < 32 ? " bytes are too few for the 32-byte" : "runs past the end of the file (",
                             true));
        ExpectRefused(kSound.substr(0, length), 4006, "a.txt");
        if (HasFailure())
            break;
    }
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
    SetCodePage codePage(932);
    EXPECT_FALSE(xfs.FileExists("kana\\\x83\x42"));
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
        EXPECT_EQ(CZRArchiveReader::HasErrors(Verify("sjis.arc")), page == 0);
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
