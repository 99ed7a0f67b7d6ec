// Shared by the File tests: a fixture that runs each test in a fresh scratch
// directory as the current directory and checks that the test leaves the
// extended file system as it found it (no open handle, no root).
#pragma once

#include <gtest/gtest.h>

#include <stdlib.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "Common/Core/ZRException.h"
#include "Common/File/ExtendedFileSystem.h"

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

class ScratchDirectoryTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/zr-file-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_oldDir = std::filesystem::current_path();
        std::filesystem::current_path(pattern);
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
