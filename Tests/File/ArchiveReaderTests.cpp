// CZRArchiveReader on its own: the tree it lists, nested archives over the
// same bytes, a file it cannot open. Damage is judged in ArchiveFormatTests.
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
