#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "Common/File/ZRFileScanner.h"
#include "Common/Time/ZREvent.h"
#include "Support/DirectoryLink.h"
#include "Support/ScratchDirectory.h"

namespace fs = std::filesystem;
using Events = std::vector<std::string>;

namespace
{
constexpr long kBoundMs = 5000;   // never runs out in a passing run
constexpr long kQuietMs = 50;     // a negative check only: the thread is still waiting
constexpr int kPriorityLowest = -2;
constexpr int kPriorityNormal = 0;

// What the callback received: "START", "DONE", "STOPPED", and per file its
// directory below the scratch root and its name ("tree\b:b1.txt").
struct sRecorder
{
    std::string root;
    Events events;
    int nFiles = 0;
    int nActAtFile = 0;                  // at this file: StopThread through pStopper,
    CZRFileScanner* pStopper = nullptr;  // or, without one, signal atFile and wait
    CZREvent atFile, proceed;            // for proceed
};

void Record(eScannerMode mode, sFileData* pFile, ZRUserValue ulUser)
{
    static const char* const kModes[] = {"START", "", "DONE", "STOPPED"};
    sRecorder& r = *reinterpret_cast<sRecorder*>(ulUser);
    if (mode != SCANNER_FILE)
        r.events.push_back(pFile == nullptr ? kModes[mode] : "file data with a mode");
    else if (!pFile->strSubPath.IsEmpty() || pFile->strPath.Compare(pFile->strDirectory) != 0)
        r.events.push_back("bad sub path or path");
    else
        r.events.push_back(std::string(~pFile->strDirectory).substr(r.root.size()) + ":" + ~pFile->strName);
    if (mode != SCANNER_FILE || ++r.nFiles != r.nActAtFile)
        return;
    if (r.pStopper != nullptr)
    {
        r.pStopper->StopThread();
    }
    else
    {
        r.atFile.Signal();
        if (!r.proceed.TimedWait(kBoundMs))
            r.events.push_back("never told to proceed");
    }
}

// A thread still running would use the fixture after the test, so this ends the process.
void RequireEnded(const CZRFileScanner& scanner)
{
    if (scanner.WaitThread(kBoundMs))
        return;
    ADD_FAILURE() << "the scanning thread still runs after " << kBoundMs << " ms";
    std::fflush(stdout);
    std::_Exit(EXIT_FAILURE);
}

class FileScanner : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_root = MakeScratchDirectory("zrscan-");
        m_recorder.root = Win("");
        for (const char* file : {"tree/.dotfile.txt", "tree/A.txt", "tree/z.txt", "tree/notes.dat",
                                 "tree/-early/e.txt", "tree/a/a1.txt", "tree/b/b1.txt", "tree/b/c/c1.txt",
                                 "tree/B2/x.txt", "tree/.svn/s.txt", "tree/.hidden/h.txt"})
            Make(file);
    }

    void TearDown() override { fs::remove_all(m_root); }

    // The scratch path in Windows spelling: drive, backslashes.
    std::string Win(const std::string& relative) const { return WindowsName(m_root / relative); }

    void Make(const std::string& relative)
    {
        fs::create_directories((m_root / relative).parent_path());
        std::ofstream(m_root / relative) << relative;
    }

    void Add(CZRFileScanner& scanner, const std::string& relative, const char* mask)
    {
        scanner.AddScanDirectory(Win(relative).c_str(), mask);
    }

    Events Run(CZRFileScanner& scanner)
    {
        m_recorder.events.clear();
        m_recorder.nFiles = 0;
        scanner.Run(Record, User());
        return m_recorder.events;
    }

    ZRUserValue User() { return reinterpret_cast<ZRUserValue>(&m_recorder); }

    fs::path m_root;
    sRecorder m_recorder;
};
} // namespace

TEST_F(FileScanner, ReportsOnlyFilesMatchingTheMask)
{
    for (const char* file : {"flat/a.txt", "flat/b.dat", "flat/Ab.TXT", "flat/c.txt.bak", "flat/readme",
                             "flat/d.txt/inner.txt"})
        Make(file);
    const struct
    {
        const char* mask;
        Events files;
    } cases[] = {
        {"*.txt", {"flat:a.txt", "flat:Ab.TXT", "flat\\d.txt:inner.txt"}},
        {"*.*", {"flat:a.txt", "flat:Ab.TXT", "flat:b.dat", "flat:c.txt.bak", "flat:readme",
                 "flat\\d.txt:inner.txt"}},
        {"?.TXT", {"flat:a.txt"}},
        {"*b*", {"flat:Ab.TXT", "flat:b.dat", "flat:c.txt.bak"}},
        {"nothing.*", {}},
    };
    for (const auto& c : cases)
    {
        CZRFileScanner scanner;
        Add(scanner, "flat", c.mask);
        EXPECT_EQ(c.files, Run(scanner)) << c.mask;
    }
}

TEST_F(FileScanner, WalksTheDirectoriesInOrderAndCountsAheadAlike)
{
    const Events topOnly = {"tree:.dotfile.txt", "tree:A.txt", "tree:z.txt"};
    Events all = topOnly;
    all.insert(all.end(), {"tree\\-early:e.txt", "tree\\a:a1.txt", "tree\\b:b1.txt", "tree\\b\\c:c1.txt",
                           "tree\\B2:x.txt", "tree\\b\\c:c1.txt"});
    for (const bool bIncludeSubDirs : {true, false})
    {
        CZRFileScanner scanner;
        Add(scanner, "tree", "*.txt");
        Add(scanner, "tree\\b", "c*");   // a mask of its own; the directory "c" is no file
        Add(scanner, "missing", "*.*");
        scanner.SetIncludeSubDirs(bIncludeSubDirs);
        EXPECT_EQ(bIncludeSubDirs ? all : topOnly, Run(scanner));

        int files = -1, folders = -1;   // whatever the flag: every level, no dot directories
        scanner.GetFolderFileCount(files, folders, "*.txt");
        EXPECT_EQ(10, files);
        EXPECT_EQ(6, folders);
        scanner.GetFolderFileCount(files, folders, "*");
        EXPECT_EQ(11, files);
    }
}

// Links back to a directory the scan is inside are not followed; a link to a
// directory elsewhere is, like any subdirectory.
TEST_F(FileScanner, StopsAtLinkLoopsButFollowsOtherLinks)
{
    Make("loop/x.txt");
    Make("loop/sub/y.txt");
    if (!MakeDirectoryLink("..", m_root / "loop/sub/up"))
        GTEST_SKIP() << "this system makes no directory links (Wine)";
    MakeDirectoryLink(".", m_root / "loop/sub/self");
    MakeDirectoryLink("sub", m_root / "loop/other");
    CZRFileScanner scanner;
    Add(scanner, "loop", "*.txt");
    EXPECT_EQ((Events{"loop:x.txt", "loop\\other:y.txt", "loop\\sub:y.txt"}), Run(scanner));
    int files = -1, folders = -1;
    scanner.GetFolderFileCount(files, folders, "*.txt");
    EXPECT_EQ(3, files);
    EXPECT_EQ(2, folders);
}

TEST_F(FileScanner, ThreadWaitsForTheStartEventAndOutlivesTheScanner)
{
    CZREvent start;
    CZRFileScanner copy;
    {
        CZRFileScanner scanner;
        EXPECT_FALSE(scanner.SetThreadPriority(kPriorityLowest));
        EXPECT_EQ(CZRFileScanner::THREAD_PRIORITY_ERROR, scanner.GetThreadPriority());
        Add(scanner, "missing", "*.*");
        Add(scanner, "tree\\b", "*.txt");
        ASSERT_TRUE(scanner.RunThread(Record, User(), &start));
        Add(scanner, "tree\\B2", "*.txt");   // after the start: not seen by the thread
        EXPECT_EQ(kPriorityNormal, scanner.GetThreadPriority());
        EXPECT_TRUE(scanner.SetThreadPriority(kPriorityLowest));
        copy = scanner;
    }
    EXPECT_EQ(kPriorityLowest, copy.GetThreadPriority());
    EXPECT_FALSE(copy.WaitThread(kQuietMs));
    start.Signal();
    RequireEnded(copy);
    EXPECT_EQ((Events{"START", "tree\\b:b1.txt", "tree\\b\\c:c1.txt", "DONE"}), m_recorder.events);
}

TEST_F(FileScanner, StopEndsTheScansRunningButNotLaterOnes)
{
    for (int d = 0; d < 20; ++d)
        for (int f = 0; f < 10; ++f)
            Make("big/s" + std::to_string(d) + "/f" + std::to_string(f) + ".txt");
    for (const char* file : {"big/f0.txt", "big/f1.txt", "big/f2.txt", "big/f3.txt", "other/g1.txt",
                             "other/g2.txt", "other/g3.txt"})
        Make(file);
    CZRFileScanner scanner;
    Add(scanner, "big", "*.txt");    // the stop comes while f2.txt is handled
    Add(scanner, "other", "*.txt");  // a stopped scan still lists two entries here
    const Events stopped = {"big:f0.txt", "big:f1.txt", "big:f2.txt", "other:g1.txt", "other:g2.txt"};
    m_recorder.nActAtFile = 3;

    ASSERT_TRUE(scanner.RunThread(Record, User(), nullptr));
    EXPECT_TRUE(m_recorder.atFile.TimedWait(kBoundMs));   // the thread waits in that callback
    scanner.StopThread();
    m_recorder.proceed.Signal();
    RequireEnded(scanner);
    Events expected = {"START"};
    expected.insert(expected.end(), stopped.begin(), stopped.end());
    expected.push_back("STOPPED");
    EXPECT_EQ(expected, m_recorder.events);

    m_recorder.pStopper = &scanner;   // a stop from inside Run
    EXPECT_EQ(stopped, Run(scanner));
    m_recorder.pStopper = nullptr;
    m_recorder.nActAtFile = 0;
    EXPECT_EQ(207u, Run(scanner).size());   // begun after the stops: runs to the end
}
