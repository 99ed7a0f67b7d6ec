// Shared by the File tests: a fixture that runs each test in a fresh scratch
// directory as the current directory and checks that the test leaves the
// extended file system as it found it (no open handle, no root).
#pragma once

#include <gtest/gtest.h>

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "Common/File/ExtendedFileSystem.h"

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
