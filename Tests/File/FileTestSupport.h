// Shared by the File tests: a fixture that runs each test in a fresh scratch
// directory as the current directory and checks that the test leaves the
// extended file system as it found it (no open handle, no root). The archives
// registered from the directory are forgotten with it: their files stay open
// while registered, and Windows removes no directory that holds an open file.
#pragma once

#include <gtest/gtest.h>

#include <stdlib.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "Common/Core/ZRException.h"
#include "Common/Core/ZRString.h"
#include "Common/File/ExtendedFileSystem.h"
#include "Common/File/FileIO.h"
#include "Common/Platform/PlatformSeam.h"
#include "Support/ScratchDirectory.h"

// Runs action and expects an Exception of the file class with code, and with
// message and source file name where given.
template <typename Exception>
void ExpectError(const std::function<void()>& action, unsigned long code,
                 const char* message = nullptr, const char* file = nullptr)
{
    try
    {
        action();
        ADD_FAILURE() << "no exception, expected " << code;
    }
    catch (const Exception& e)
    {
        EXPECT_EQ(e.GetErrorCode(), code);
        EXPECT_EQ(e.GetErrorClass(), eErrorClassFile);
        if (message != nullptr)
        {
            EXPECT_STREQ(e.GetErrorString(), message);
        }
        if (file != nullptr)
        {
            EXPECT_STREQ(e.GetFileName(), file);
        }
    }
}

inline void ExpectXfsError(const std::function<void()>& action, unsigned long code,
                           const char* message = nullptr)
{
    ExpectError<CXfsException>(action, code, message, "Source\\Common\\File\\ExtendedFileSystem");
}

inline std::string ReadDisk(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The archive format written independently of the library, for crafted archives.
inline std::string Le32(std::uint32_t v)
{
    return {char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
}

inline std::string Header(std::uint32_t total, std::uint32_t directory, std::uint32_t count,
                          const char* magicAndVersion = "ARCX\x01")
{
    return std::string(magicAndVersion, 5) + '\0' + Le32(total) + Le32(directory) + Le32(count) +
           std::string(14, '\0');
}

inline std::string Entry(const std::string& name, std::uint32_t offset, std::uint32_t size, char flags)
{
    std::string entry = name;
    entry.resize(256, '\0');
    return entry + Le32(offset) + Le32(size) + flags + std::string(11, '\0');
}

struct ArchiveItem
{
    std::string name;
    std::string data;  // for a nested item: a whole archive
    bool nested;
};

// The items' data in order after the header, then the directory.
inline std::string Archive(const std::vector<ArchiveItem>& items)
{
    std::string data, directory;
    for (const ArchiveItem& item : items)
    {
        directory += Entry(item.name, 32 + data.size(), item.data.size(), item.nested);
        data += item.data;
    }
    return Header(32 + data.size() + directory.size(), 32 + data.size(), items.size()) + data +
           directory;
}

// The string that a read of a stored text starts from: "Hello" loaded as
// resource 17, so its buffer holds exactly 5 bytes.
constexpr long kHelloId = 17;
inline CZRString LoadedHello()
{
    s_pfnLoadString = [](long id, CZRString& text) { return text = "Hello", id == kHelloId; };
    CZRString hello{CZRStringId(kHelloId)};
    s_pfnLoadString = nullptr;
    return hello;
}

// A plain text read over LoadedHello() goes into its buffer and keeps the id,
// unless the text needs a larger buffer (GetBuffer(n) needs room for n + 1).
struct StringIdCase
{
    std::string stored;
    const char* text;
    long id;
};

inline std::vector<StringIdCase> StringIdCases()
{
    return {{Le32(3) + "abc", "abc", kHelloId},
            {Le32(4) + "Hell", "Hell", kHelloId},
            {Le32(5) + "Hello", "Hello", -1},
            {Le32(0), "", kHelloId},
            {Le32(static_cast<std::uint32_t>(-5)), "", kHelloId}};
}

inline bool Holds(const CZRString& s, const char* text, long id)
{
    return s.GetLength() == long(std::strlen(text)) && s.Compare(text) == 0 && s.GetStringId() == id;
}

class ScratchDirectoryTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_oldDir = std::filesystem::current_path();
        std::filesystem::current_path(MakeScratchDirectory("zr-file-test-"));
        m_dir = std::filesystem::current_path();   // as the system reports it, links resolved
    }

    void TearDown() override
    {
        for (unsigned long handle = 1; handle <= CExtendedFileSystem::MAX_OPEN_FILES; ++handle)
        {
            EXPECT_FALSE(xfs.IsFileOpen(handle)) << "leaked handle " << handle;
            if (xfs.IsFileOpen(handle))
                xfs.CloseFile(handle);   // keeps one failure from spreading
        }
        xfs.RemoveAllRoots();
        ZRPlatform::Seam::ForgetArchives();
        std::filesystem::current_path(m_oldDir);
        std::filesystem::remove_all(m_dir);
    }

    // The whole file, read through the extended file system.
    std::string ReadAll(const char* name)
    {
        const unsigned long handle = xfs.OpenFile(name);
        std::string text(xfs.GetFileSize(handle), '\0');
        EXPECT_EQ(xfs.ReadFile(handle, text.data(), text.size() + 1), text.size());
        xfs.CloseFile(handle);
        return text;
    }

    static void WriteDisk(const std::filesystem::path& path, const std::string& contents)
    {
        if (path.has_parent_path())
            std::filesystem::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << contents;
    }

    CExtendedFileSystem& xfs = *CExtendedFileSystem::Instance();
    std::filesystem::path m_dir;
    std::filesystem::path m_oldDir;
};
