#include <gtest/gtest.h>

#include <cstring>

#include "Common/Core/ZRString.h"
#include "Common/File/FileIO.h"
#include "Common/File/MemFileIO.h"
#include "File/FileTestSupport.h"

namespace
{
using Bytes = std::vector<unsigned char>;
using FileAction = std::function<bool(CFileIO&)>;

// Each test runs in a fresh scratch directory as the current directory.
class FileIOTest : public ScratchDirectoryTest
{
protected:
    // Writes through a new file, returns the bytes on disk.
    static std::string Written(const FileAction& write)
    {
        CFileIO file;
        EXPECT_TRUE(file.Open("out.bin", FILEMODE_WRITE));
        EXPECT_TRUE(write(file));
        EXPECT_TRUE(file.Close());
        return ReadDisk("out.bin");
    }
    // Opens contents for reading in file.
    static void OpenText(CFileIO& file, const std::string& contents)
    {
        WriteDisk("in.txt", contents);
        ASSERT_TRUE(file.Open("in.txt", FILEMODE_READ));
    }
};

struct BinaryCase
{
    const char* name;
    FileAction write;
    FileAction readBack; // true when the value read equals the one written
    Bytes bytes;
};

// A value written as it is, read back into a default value.
template <typename T>
BinaryCase Typed(const char* name, T value, Bytes bytes)
{
    return {name, [value](CFileIO& f) { return f.Write(value); },
            [value](CFileIO& f) {
                T read{};
                return f.Read(read) && std::memcmp(&read, &value, sizeof value) == 0;
            },
            bytes};
}

// A string written as it is, read back over an older one.
BinaryCase Text(const char* text, Bytes bytes)
{
    return {text, [text](CFileIO& f) { return f.Write(CZRString(text)); },
            [text](CFileIO& f) {
                CZRString read("old");
                return f.Read(read) && read.Compare(text) == 0;
            },
            bytes};
}

// A read from start that runs into the end of contents: it consumes everything
// up to the end, and the target holds the bytes that arrived over its old
// bytes. read returns the read's result and whether the target holds them. A
// disk file reports every case false; a memory file counts a scalar that got
// at least one byte as read.
struct ShortReadCase
{
    const char* name;
    std::string contents;
    unsigned long start;
    std::function<std::pair<bool, bool>(CFileIO&)> read;
    bool inMemory;
};

template <std::size_t N> struct Block
{
    char bytes[N];
};
template <typename T> bool ReadInto(CFileIO& f, T& value) { return f.Read(value); }
template <std::size_t N> bool ReadInto(CFileIO& f, Block<N>& block) { return f.Read(block.bytes, N); }

// The bytes left after start are fewer than T has.
template <typename T>
ShortReadCase ShortTyped(const char* name, const std::string& contents, unsigned long start, T old, bool inMemory)
{
    T expected = old;
    std::memcpy(&expected, contents.data() + start, contents.size() - start);
    return {name, contents, start,
            [old, expected](CFileIO& f) {
                T value = old;
                const bool read = ReadInto(f, value);
                return std::make_pair(read, std::memcmp(&value, &expected, sizeof value) == 0);
            },
            inMemory};
}

// A text read over LoadedHello(), which keeps its buffer and id; false on every file.
ShortReadCase ShortText(const char* name, const std::string& contents, const char* expected)
{
    return {name, contents, 0,
            [expected](CFileIO& f) {
                CZRString text = LoadedHello();
                const bool read = f.Read(text);
                return std::make_pair(read, Holds(text, expected, kHelloId));
            },
            false};
}

std::vector<ShortReadCase> ShortReadCases()
{
    const std::string six("\x11\x22\x33\x44\x0E\x0F", 6);
    const std::string oneThenTwo = std::string("\0\0\x80\x3F", 4) + "\x0E\x0F";   // 1.0f, 2 bytes
    return {
        ShortTyped("block of 4 with 2 left", six, 4, Block<4>{{'w', 'x', 'y', 'z'}}, true),
        ShortTyped("block at the end", six, 6, Block<2>{{'w', 'x'}}, false),
        ShortTyped("int with 2 left", six, 4, 0x7F000000, true),
        ShortTyped("unsigned short with 1 left", six, 5, (unsigned short)0xAB00, true),
        ShortTyped("float with 2 left", six, 4, 1.0f, true),
        ShortTyped("double with 3 left", six, 3, 0.0, true),
        ShortTyped("long at the end", six, 6, -5L, false),
        ShortTyped("vector3, y cut short", oneThenTwo, 0, vector3{7, 7, 7}, false),
        ShortTyped("vector2, y cut short", oneThenTwo, 0, vector2{7, 7}, true),
        ShortText("text of 5 with 2 left", Le32(5) + "ab", "ab"),
        ShortText("damaged length, not allocated", Le32(0x7FFFFFFF) + "xyz", "xyz"),
        ShortText("no byte of the text", Le32(3), "Hello"),
        ShortText("length cut short", std::string("\x03\0", 2), "Hello"),
        ShortText("zero length cut short", std::string(2, '\0'), "Hello"),
    };
}
} // namespace

TEST_F(FileIOTest, BinaryValuesHaveTheirExactBytesAndRoundTrip)
{
    const std::vector<BinaryCase> cases = {
        Typed("long -1", -1L, {0xFF, 0xFF, 0xFF, 0xFF}),
        Typed("unsigned long", 0x12345678UL, {0x78, 0x56, 0x34, 0x12}),
        Typed("int", -2, {0xFE, 0xFF, 0xFF, 0xFF}),
        Typed("unsigned int", 0x80000001u, {0x01, 0x00, 0x00, 0x80}),
        Typed("short", short(-2), {0xFE, 0xFF}),
        Typed("unsigned short", (unsigned short)0xABCD, {0xCD, 0xAB}),
        Typed("char", '\xE9', {0xE9}),
        Typed("bool", true, {0x01}),
        Typed("float", 1.0f, {0x00, 0x00, 0x80, 0x3F}),
        Typed("double", -2.0, {0, 0, 0, 0, 0, 0, 0x00, 0xC0}),
        Typed("vector3", vector3{1.0f, -2.0f, 0.5f}, {0, 0, 0x80, 0x3F, 0, 0, 0, 0xC0, 0, 0, 0, 0x3F}),
        Typed("vector2", vector2{0.0f, 1.0f}, {0, 0, 0, 0, 0, 0, 0x80, 0x3F}),
        Text("abc", {3, 0, 0, 0, 'a', 'b', 'c'}),
        Text("", {0, 0, 0, 0}),
    };
    for (const BinaryCase& c : cases)
    {
        const std::string written = Written(c.write);
        EXPECT_EQ(Bytes(written.begin(), written.end()), c.bytes) << c.name;
        CFileIO file;
        ASSERT_TRUE(file.Open("out.bin", FILEMODE_READ));
        EXPECT_TRUE(c.readBack(file)) << c.name;
        EXPECT_TRUE(file.IsEof()) << c.name;
    }
}

// The same bytes land in the target from a disk file and from memory.
TEST_F(FileIOTest, ShortBinaryReadConsumesWhatWasLeftAndFails)
{
    for (const ShortReadCase& c : ShortReadCases())
    {
        std::string contents = c.contents;
        CFileIO disk;
        CMemFileIO memory(reinterpret_cast<unsigned char*>(contents.data()), contents.size(), 0);
        OpenText(disk, c.contents);
        for (CFileIO* file : {&disk, static_cast<CFileIO*>(&memory)})
        {
            ASSERT_TRUE(file->SetFilePointerPos(c.start));
            const auto [read, target] = c.read(*file);
            EXPECT_EQ(read, file == &memory && c.inMemory) << c.name;
            EXPECT_TRUE(target) << c.name;
            EXPECT_EQ(file->GetFilePointerPos(), c.contents.size()) << c.name;
        }
    }
    CFileIO file;
    OpenText(file, "12345678");
    char block[12];
    EXPECT_EQ(file.ReadRaw(block, 4, 3), 8);
    EXPECT_TRUE(file.IsEof());
}

TEST_F(FileIOTest, PlainTextReadKeepsTheTargetsStringId)
{
    for (const StringIdCase& c : StringIdCases())
    {
        CFileIO file;
        OpenText(file, c.stored);
        CZRString s = LoadedHello();
        EXPECT_TRUE(file.Read(s) && file.IsEof()) << c.text;
        EXPECT_TRUE(Holds(s, c.text, c.id)) << c.text << " id " << s.GetStringId();
    }
}

TEST_F(FileIOTest, TextWritersProduceTheFormat)
{
    EXPECT_EQ(Written([](CFileIO& f) { return f.WriteAscii(7) && f.WriteAscii(2.5f); }), "7; 2.5000; ");
    EXPECT_EQ(Written([](CFileIO& f) { return f.WriteAscii(CZRString("hi")); }), "\"hi\"; ");
    EXPECT_EQ(Written([](CFileIO& f) { return f.WriteAscii('\n') && f.WriteAscii('q'); }), "'\\n'; 'q'; ");
    EXPECT_EQ(Written([](CFileIO& f) { return f.WriteConstAscii('\n') && f.WriteConstAscii(CZRString("a")); }),
              "\r\na");
    EXPECT_EQ(Written([](CFileIO& f) { return f.WriteAscii(2147483648UL) && f.WriteAscii(-5L); }),
              "-2147483648; -5; ");
    EXPECT_EQ(Written([](CFileIO& f) { return f.Printf("%d-%s", 5, "x"); }), "5-x");
}

TEST_F(FileIOTest, TextReadersReadTheFormat)
{
    struct Case
    {
        std::string text;
        FileAction read;
    } const cases[] = {
        {"7; 2.5000; ", [](CFileIO& f) { int i = 0; float x = 0;
             return f.ReadAscii(i, ';') && f.ReadAscii(x, ';') && i == 7 && x == 2.5f; }},
        {"0x1F;", [](CFileIO& f) { int i = 0; return f.ReadAscii(i, ';') && i == 31; }},
        {"010;", [](CFileIO& f) { long l = 0; return f.ReadAscii(l, ';') && l == 8; }},
        {"abc;", [](CFileIO& f) { int i = 3; return f.ReadAscii(i, ';') && i == 3 && f.IsEof(); }},
        {"-2147483648;", [](CFileIO& f) { unsigned long u = 0; return f.ReadAscii(u, ';') && u == 2147483648UL; }},
        {"2.5000000000000;", [](CFileIO& f) { float x = 0; return f.ReadAscii(x, ';') && x == 2.5f; }},
        {"  // note\n \"a\\tb\"junk ;", [](CFileIO& f) { CZRString s;
             return f.ReadAscii(s) && s.Compare("a\tb") == 0 && f.IsEof(); }},
        {"\"x\\qy\";", [](CFileIO& f) { CZRString s; return f.ReadAscii(s) && s.Compare("x\\qy") == 0; }},
        {"\"a;b\";", [](CFileIO& f) { CZRString s; return f.ReadAscii(s) && s.Compare("a;b") == 0; }},
        {"\"open", [](CFileIO& f) { CZRString s; return !f.ReadAscii(s); }},
        {"a b", [](CFileIO& f) { return f.ReadConstAscii(CZRString("ab")); }},
        {"a// c\nb", [](CFileIO& f) { return f.ReadConstAscii(CZRString("ab")); }},
        {"ac", [](CFileIO& f) { return !f.ReadConstAscii(CZRString("ab")); }},
        {"/x", [](CFileIO& f) { char c = 0, d = 0;
             return f.ReadAscii(c, true) && f.ReadAscii(d, true) && c == '/' && d == 'x'; }},
        {" //c\xE9 x", [](CFileIO& f) { char c = 0; return f.ReadAscii(c, false) && c == ' ' &&
             f.ReadAscii(c, false) && c == 'x'; }},
        {"ab\r\ncd", [](CFileIO& f) { char l[16];
             return f.ReadLine(l, 16) && !std::strcmp(l, "ab") && f.ReadLine(l, 16) &&
                    !std::strcmp(l, "cd") && f.IsEof(); }},
    };
    for (const Case& c : cases)
    {
        CFileIO file;
        OpenText(file, c.text);
        EXPECT_TRUE(c.read(file)) << c.text;
    }
}

TEST_F(FileIOTest, OverlongTokenStopsAtTheBufferAndStepBackRetries)
{
    const std::string token(40, '1');
    CFileIO file;
    OpenText(file, "  " + token + ";");
    int i = 5;
    EXPECT_FALSE(file.ReadAscii(i, ';'));
    EXPECT_EQ(i, 5);
    EXPECT_EQ(file.GetFilePointerPos(), 2u + 16u);
    file.StepBack();
    EXPECT_EQ(file.GetFilePointerPos(), 0u);
    EXPECT_TRUE(file.ReadConstAscii(CZRString(token.c_str())));

    OpenText(file, " \"a string, not a number\";");
    float x = 0;
    EXPECT_FALSE(file.ReadAscii(x, ';'));
    file.StepBack();
    CZRString s;
    EXPECT_TRUE(file.ReadAscii(s));
    EXPECT_STREQ(s, "a string, not a number");
}

TEST_F(FileIOTest, OpenModes)
{
    WriteDisk("a.txt", "abc");
    CFileIO file;
    EXPECT_TRUE(file.Open("a.txt", FILEMODE_READ | FILEMODE_WRITE)); // read wins: no truncation
    EXPECT_EQ(file.GetSize(), 3u);
    for (int mode : {0, 8})
        ExpectError<CFileIOException>([&] { file.Open("a.txt", mode); }, 4500, "Invalid file mode specified.");
    EXPECT_FALSE(file.IsOpened());
    ExpectError<CXfsException>([&] { file.Open("missing.txt", FILEMODE_READ); }, 4002, "File not found.");

    ASSERT_TRUE(file.Open("a.txt", FILEMODE_APPEND));
    ASSERT_TRUE(file.Write('d'));
    ASSERT_TRUE(file.Open("b.txt", FILEMODE_WRITE)); // flushes and closes a.txt first
    EXPECT_EQ(ReadDisk("a.txt"), "abcd");
    CFileIO copy(file);
    EXPECT_TRUE(copy.Close());
    EXPECT_FALSE(file.IsOpened());
    EXPECT_TRUE(CFileIO::FileExists("a.txt"));
    EXPECT_FALSE(CFileIO::FileExists("missing.txt"));
    {
        CFileIO scoped;
        ASSERT_TRUE(scoped.Open("c.txt", FILEMODE_WRITE) && scoped.Write('x'));
    }
    EXPECT_EQ(ReadDisk("c.txt"), "x");
}

TEST_F(FileIOTest, WithoutAFile)
{
    CFileIO file;
    char buffer[4] = {};
    const std::function<void()> actions[] = {
        [&] { file.Close(); },                 [&] { file.Read(buffer, 1); },
        [&] { file.Write(buffer, 1); },        [&] { file.ReadRaw(buffer, 1, 1); },
        [&] { file.WriteRaw(buffer, 1, 1); },  [&] { file.GetFilePointerPos(); },
        [&] { file.SetFilePointerPos(0); },    [&] { file.GetSize(); },
        [&] { file.Skip(1); },                 [&] { file.Printf("x"); },
        [&] { file.ReadLine(buffer, sizeof buffer); }, [&] { file.Write(1); }};
    for (const auto& action : actions)
        ExpectError<CFileIOException>(action, 4501, "No file is opened.");
    EXPECT_FALSE(file.Flush());
    EXPECT_FALSE(file.IsOpened());
    EXPECT_FALSE(file.IsEof());
}
