// Load held on eight threads at once, every result checked: thousands of
// opens, seeks, reads and closes through the extended file system on plain
// and archived files and through the FILE_ table, and entries logged to one
// file and the mail slot. Nothing may be lost, torn or left open.
#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "Common/Common.h"
#include "Common/Platform/PlatformSeam.h"
#include "Diagnostics/LogTestSupport.h"

namespace fs = std::filesystem;

namespace
{
constexpr int kThreads = 8;
constexpr int kFiles = 8;
constexpr int kRounds = 2000;
constexpr int kLogEntries = 250;

// File f's bytes: a size and pattern of its own, so a read of the wrong file,
// offset or length shows.
std::string Content(int f)
{
    std::string text(3000 + f * 517, '\0');
    for (std::size_t i = 0; i < text.size(); ++i)
        text[i] = static_cast<char>((i * 31 + f * 7) % 251);
    return text;
}

// Deterministic per thread and round: which file, where, how much.
struct sPick
{
    int file;
    unsigned long offset, count;
};
sPick Pick(int thread, int round)
{
    const unsigned long mix = static_cast<unsigned long>(thread * 7919 + round * 104729);
    const int file = static_cast<int>(mix % kFiles);
    const unsigned long size = Content(file).size();
    const unsigned long offset = (mix / kFiles) % size;
    return {file, offset, 1 + (mix / 13) % 700};
}

// Runs body(thread) on eight threads at once; body returns its failures.
template <class Body>
int OnEightThreads(Body body)
{
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] { failures += body(t); });
    for (std::thread& thread : threads)
        thread.join();
    return failures;
}

// A scratch directory as the current one, with the files loose in the
// directory Loose and packed, one directory deeper, in Packed.arc.
class Stress : public testing::Test
{
protected:
    void SetUp() override
    {
        m_previous = fs::current_path();
        m_dir = fs::temp_directory_path() / ("zrstress-" + std::to_string(getpid()));
        fs::remove_all(m_dir);
        fs::create_directories(m_dir / "Loose");
        fs::create_directories(m_dir / "pack/Level");
        fs::current_path(m_dir);
        for (int f = 0; f < kFiles; ++f)
            for (const char* dir : {"Loose/", "pack/Level/"})
                std::ofstream(std::string(dir) + Name(f), std::ios::binary) << Content(f);
        ASSERT_TRUE(CExtendedFileSystem::Instance()->CreateArchive("Packed", "pack"));
    }
    // The archive's file stays open while it is registered, and Windows
    // removes no directory that holds an open file.
    void TearDown() override
    {
        ZRPlatform::Seam::ForgetArchives();
        fs::current_path(m_previous);
        fs::remove_all(m_dir);
    }

    static std::string Name(int f) { return "f" + std::to_string(f) + ".bin"; }

private:
    fs::path m_previous, m_dir;
};

int ReadThroughXfs(int thread)
{
    CExtendedFileSystem& xfs = *CExtendedFileSystem::Instance();
    int failures = 0;
    std::string buffer;
    for (int round = 0; round < kRounds; ++round)
    {
        const sPick pick = Pick(thread, round);
        // Names in other cases than on disk: the lookups fold them.
        const std::string name =
            (round % 2 ? "Loose\\F" : "Packed\\Level\\F") + std::to_string(pick.file) + ".BIN";
        const std::string expected = Content(pick.file).substr(pick.offset, pick.count);
        try
        {
            const unsigned long handle = xfs.OpenFile(name.c_str());
            xfs.Seek(handle, pick.offset);
            buffer.assign(pick.count, '\0');
            buffer.resize(xfs.ReadFile(handle, buffer.data(), pick.count));
            failures += buffer != expected || xfs.Tell(handle) != pick.offset + expected.size();
            xfs.CloseFile(handle);
        }
        catch (const CXfsException& error)
        {
            ADD_FAILURE() << name << ": " << error.GetErrorCode();
            ++failures;
        }
    }
    return failures;
}

int ReadThroughFileTable(int thread)
{
    int failures = 0;
    std::string buffer;
    for (int round = 0; round < kRounds; ++round)
    {
        const sPick pick = Pick(thread, round);
        const std::string name = "Loose\\f" + std::to_string(pick.file) + ".bin";
        const std::string expected = Content(pick.file).substr(pick.offset, pick.count);
        const int handle = FILE_Open(name.c_str(), "rb");
        if (handle == FILE_INVALID_HANDLE)
        {
            ++failures;
            continue;
        }
        buffer.assign(pick.count, '\0');
        const bool sought = FILE_Seek(handle, static_cast<long>(pick.offset), 0) == 1;
        buffer.resize(FILE_Read(handle, buffer.data(), 1, pick.count));
        const long end = static_cast<long>(pick.offset + expected.size());
        failures += !sought || buffer != expected || FILE_Tell(handle) != end;
        failures += FILE_Close(handle) != 1;
    }
    return failures;
}
} // namespace

TEST_F(Stress, EightThreadsReadPlainAndArchivedFilesThroughTheFileSystem)
{
    EXPECT_EQ(OnEightThreads(ReadThroughXfs), 0);
    // Every record was given back: the whole table opens again.
    CExtendedFileSystem& xfs = *CExtendedFileSystem::Instance();
    std::vector<unsigned long> handles;
    for (int i = 0; i < 256; ++i)
        handles.push_back(xfs.OpenFile("Packed\\Level\\f0.bin"));
    for (unsigned long handle : handles)
        xfs.CloseFile(handle);
}

TEST_F(Stress, EightThreadsOpenSeekReadAndCloseThroughTheFileTable)
{
    EXPECT_EQ(OnEightThreads(ReadThroughFileTable), 0);
    // Every slot was given back: the lowest one is handed out again.
    const int handle = FILE_Open("Loose\\f0.bin", "rb");
    EXPECT_EQ(handle, 0);
    FILE_Close(handle);
}

// Every entry is one line in the file and one record at the server, whole,
// exactly once, while eight threads log at once.
TEST_F(Stress, EightThreadsLogToOneFileAndTheMailSlot)
{
    using namespace LogTest;
    const std::string logName = "stress_" + std::to_string(getpid());
    const auto message = [](int t, int e) {
        return std::to_string(t) + ":" + std::to_string(e) + std::string(100, char('a' + t));
    };
    CLogSlotServer server;
    std::multiset<std::string> records;
    std::atomic<int> writing{kThreads};
    std::thread reader([&] {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
        while ((writing > 0 || records.size() < std::size_t(kThreads * kLogEntries)) &&
               std::chrono::steady_clock::now() < deadline)
        {
            for (const sRecord& r : server.Take(logName))
                records.insert(r.message + "|" + std::to_string(r.logClass) + "|" +
                               std::to_string(r.locationNumber));
            std::this_thread::yield();
        }
    });
    OnEightThreads([&](int t) {
        for (int e = 0; e < kLogEntries; ++e)
            _ZR_Log_Fn("Stress.cpp", logName.c_str(), "load", e, 0, LOG_TO_FILE | LOG_TO_MAILSLOT, t,
                       "%s", message(t, e).c_str());
        --writing;
        return 0;
    });
    reader.join();

    std::multiset<std::string> expected, lines;
    for (int t = 0; t < kThreads; ++t)
        for (int e = 0; e < kLogEntries; ++e)
            expected.insert(message(t, e) + "|" + std::to_string(t) + "|" + std::to_string(e));
    EXPECT_TRUE(records == expected) << records.size() << " records of " << expected.size();

    std::ifstream file(logName + ".log", std::ios::binary);
    std::string line;
    while (std::getline(file, line))
    {
        // "computer | log | pid | class | ticks | context | location | number | message\r"
        std::vector<std::string> fields;
        for (std::size_t at = 0, bar;; at = bar + 3)
        {
            bar = line.find(" | ", at);
            fields.push_back(line.substr(at, bar == std::string::npos ? std::string::npos : bar - at));
            if (bar == std::string::npos)
                break;
        }
        if (fields.size() != 9 || fields[8].empty() || fields[8].back() != '\r')
        {
            ADD_FAILURE() << "a torn line: " << line;
            continue;
        }
        fields[8].pop_back();
        lines.insert(fields[8] + "|" + fields[3] + "|" + fields[7]);
    }
    EXPECT_TRUE(lines == expected) << lines.size() << " lines of " << expected.size();
}
