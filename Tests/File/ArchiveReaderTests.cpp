#include <gtest/gtest.h>

#include <utility>

#include "Common/File/ZRArchiveReader.h"
#include "File/FileTestSupport.h"

namespace
{
using Bytes = std::string;

// A directory tree packed as the writer packs it: files, then folders.
struct Folder
{
    std::vector<std::pair<std::string, Bytes>> files;
    std::vector<std::pair<std::string, Folder>> folders;
};

Bytes Pack(const Folder& folder)
{
    std::vector<ArchiveItem> items;
    for (const auto& file : folder.files)
        items.push_back({file.first, file.second, false});
    for (const auto& sub : folder.folders)
        items.push_back({sub.first, Pack(sub.second), true});
    return Archive(items);
}

// «a.txt» (3 bytes) and the empty folder «sub»: 619 bytes, directory at 67.
const Bytes kSmall = Pack({{{"a.txt", "abc"}}, {{"sub", {}}}});

class ArchiveReader : public ScratchDirectoryTest
{
protected:
    std::vector<sArchiveProblem> VerifyBytes(const Bytes& bytes)
    {
        std::ofstream(m_file, std::ios::binary | std::ios::trunc) << bytes;
        CZRArchiveReader reader;
        EXPECT_TRUE(reader.Open(m_file.c_str()));
        reader.GetTree();  // must survive whatever Verify reports
        return reader.Verify();
    }

    const std::string m_file = "t.arc";
};

bool Mentions(const std::vector<sArchiveProblem>& problems, const std::string& text, bool isError)
{
    for (const sArchiveProblem& problem : problems)
        if (problem.isError == isError && std::string(~problem.text).find(text) != Bytes::npos)
            return true;
    return false;
}
} // namespace

TEST_F(ArchiveReader, SoundArchiveListsItsTreeWithAbsoluteOffsets)
{
    ASSERT_EQ(kSmall.size(), 619u);
    const Bytes nested = Pack({{{"x", "12345"}, {"e", ""}},
                               {{"sub", {{{"b.bin", Bytes("\0\1\2", 3)}}, {{"deep", {}}}}}}});
    EXPECT_TRUE(VerifyBytes(nested).empty());
    CZRArchiveReader reader;
    ASSERT_TRUE(reader.Open(m_file.c_str()));
    EXPECT_EQ(reader.GetFileSize(), nested.size());
    // path, size, absolute offset, depth, folder
    std::vector<std::string> listed;
    for (const sArchiveNode& node : reader.GetTree())
        listed.push_back(std::string(~node.path) + " " + std::to_string(node.size) + " " +
                         std::to_string(node.offset) + " " + std::to_string(node.depth) +
                         (node.isFolder ? " folder" : ""));
    ASSERT_EQ(listed, (std::vector<std::string>{"x 5 32 0", "e 0 37 0", "sub 619 37 0 folder",
                                                "sub\\b.bin 3 69 1", "sub\\deep 32 72 1 folder"}));
    EXPECT_STREQ(reader.GetTree()[3].name, "b.bin");
}

TEST_F(ArchiveReader, EveryTruncationIsAnErrorAndTrailingBytesAWarning)
{
    for (std::size_t length = 0; length < kSmall.size(); ++length)
    {
        const auto problems = VerifyBytes(kSmall.substr(0, length));
        EXPECT_TRUE(Mentions(problems, length < 32 ? " bytes are too few for the 32-byte"
                                                   : "runs past the end of the file (",
                             true))
            << length;
    }
    const auto problems = VerifyBytes(kSmall + "xy");
    EXPECT_FALSE(CZRArchiveReader::HasErrors(problems));
    EXPECT_TRUE(Mentions(problems, "t.arc: warning: 2 bytes after the archive's end", false));
}

TEST_F(ArchiveReader, EachCorruptionIsNamedWithItsArchivePath)
{
    const std::size_t a = 67, sub = 67 + 276;  // directory entries; nested header at 35
    struct Case
    {
        std::size_t at;
        Bytes patch;
        const char* expected;
        bool isError;
    } const cases[] = {
        {0, "ARCY", "t.arc: bad magic \"ARCY\" (expected \"ARCX\")", true},
        {4, Bytes("\1\1", 2), "unsupported version 1.1 (expected 1.0)", true},
        {6, Bytes("\xBC\2\0\0", 4), "total size 700 runs past the end of the file (619", true},
        {6, Bytes("\x14\0\0\0", 4), "total size 20 is smaller than the 32-byte header", true},
        {10, Bytes("\x0A\0\0\0", 4), "directory offset 10 lies outside the archive (32 to 6", true},
        {14, Bytes("\3\0\0\0", 4), "directory of 3 entries (828 bytes) at offset 67 runs", true},
        {14, "\xFF\xFF\xFF\xFF", "directory of 4294967295 entries", true},
        {20, "\1", "t.arc: warning: reserved header bytes are not zero", false},
        {a, Bytes(256, 'x'), "name has no terminator within 256 bytes", true},
        {a, Bytes(1, '\0'), "t.arc: entry 1 \"\": name is empty", true},
        {a, Bytes("..\0", 3), "name refers to a directory itself or its parent", true},
        {a, "a\\b", "name contains a path separator", true},
        {a, "a/b", "name contains a path separator", true},
        {a, Bytes("C:x\0", 4), "name starts with a drive", true},
        {a, Bytes("a\x01\0", 3), "entry 1 \"a\\x01\": warning: unused name bytes", false},
        {a + 256, Bytes(4, '\0'), "data [0, 3) lies outside the data area [32, 67)", true},
        {a + 260, "\x28", "data [32, 72) lies outside the data area [32, 67)", true},
        {a + 260, "\xFF\xFF\xFF\xFF", "data [32, 4294967327) lies outside", true},
        {a + 264, "\x80", "warning: unknown flag bits 0x80", false},
        {a + 270, "\1", "warning: reserved entry bytes are not zero", false},
        {a + 256, Bytes("\x23\0\0\0", 4),
         "entry 2 \"sub\": data [35, 67) starts before the end of entry 1 \"a.txt\" at 38", true},
        {sub + 256, Bytes("\x20\0\0\0", 4), "entry 2 \"sub\": data [32, 64) starts before", true},
        {sub, "A.TXT", "entry 2 \"A.TXT\": warning: same name as entry 1 \"a.txt\"", false},
        {sub + 256, Bytes("\0\0\0\0\x6B\2\0\0", 8), "must lie inside its parent's data", true},
        {sub + 260, "\x1F", "t.arc\\sub: 31 bytes are too few for the 32-byte", true},
        {35, "XRCA", "t.arc\\sub: bad magic \"XRCA\"", true},
        {35 + 6, "\x21", "t.arc\\sub: total size 33 differs from the size of its entry (32", true},
    };
    for (const Case& c : cases)
    {
        Bytes corrupt = kSmall;
        corrupt.replace(c.at, c.patch.size(), c.patch);
        const auto problems = VerifyBytes(corrupt);
        EXPECT_TRUE(Mentions(problems, c.expected, c.isError)) << c.expected;
        EXPECT_EQ(CZRArchiveReader::HasErrors(problems), c.isError) << c.expected;
    }
    const Bytes archive = Pack({{}, {{"sub", {{{"f", "x"}}, {}}}}});  // nested: 309 bytes at 32
    for (std::uint32_t total : {308u, 310u})
    {
        Bytes corrupt = archive;
        corrupt.replace(32 + 6, 4, Le32(total));
        EXPECT_TRUE(Mentions(VerifyBytes(corrupt),
                             "t.arc\\sub: total size " + std::to_string(total) +
                                 " differs from the size of its entry (309 bytes)",
                             true));
    }
}


TEST_F(ArchiveReader, OverlappingNestedArchivesAreNeverEnteredTwice)
{
    // Each level holds two folder entries over the same bytes: entering both
    // would walk 2^40 archives.
    Bytes archive = Pack({});
    for (int level = 0; level < 40; ++level)
    {
        const std::size_t left = 32 + archive.size();
        archive = Pack({{{"l", archive}}, {}});
        archive[left + 264] = 1;
        archive += "r" + archive.substr(left + 1);
        archive.replace(6, 4, Le32(archive.size()));
        archive.replace(14, 4, Le32(2));
    }
    // One error per level: the right-hand entry is out of order and never entered.
    const auto problems = VerifyBytes(archive);
    ASSERT_EQ(problems.size(), 40u);
    for (const sArchiveProblem& problem : problems)
        EXPECT_TRUE(Mentions({problem}, "entry 2 \"r\": data [32, ", true)) << ~problem.text;
}

TEST_F(ArchiveReader, ClosedOrMissingFileReportsOneError)
{
    CZRArchiveReader reader;
    EXPECT_FALSE(reader.Open((m_dir / "missing.arc").string().c_str()));
    EXPECT_FALSE(reader.Open(m_dir.string().c_str()));
    EXPECT_FALSE(reader.IsOpen());
    EXPECT_TRUE(reader.GetTree().empty());
    const auto problems = reader.Verify();
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_TRUE(problems[0].isError);
}
