#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <climits>
#include <future>
#include <memory>
#include <thread>
#include <tuple>

#include "Common/File/FileFunctions.h"
#include "File/FileTestSupport.h"
#include "Support/DirectoryLink.h"

namespace
{
namespace fs = std::filesystem;
using Action = std::function<void()>;
constexpr unsigned long kMaxFiles = CExtendedFileSystem::MAX_OPEN_FILES;

void Callback(int, XfsParam, XfsParam, XfsParam) {}
void OtherCallback(int, XfsParam, XfsParam, XfsParam) {}

// Changes the list it is called from: removes itself and adds itself again.
void Reregister(int, XfsParam, XfsParam, XfsParam user)
{
    CExtendedFileSystem& system = *reinterpret_cast<CExtendedFileSystem*>(user);
    system.RemoveCallback(Reregister);
    system.AddCallback(Reregister, user);
}

// Moves the tree being packed away (once), from user's first path to its second.
void MoveTreeAway(int event, XfsParam, XfsParam, XfsParam user)
{
    const auto& paths = *reinterpret_cast<const std::pair<fs::path, fs::path>*>(user);
    if (event == XFS_EVENT_ARCHIVE_FILE && fs::exists(paths.first))
        fs::rename(paths.first, paths.second);
}

using ExtendedFileSystemTest = ScratchDirectoryTest;

TEST_F(ExtendedFileSystemTest, SetupRootsAndCallbacks)
{
    EXPECT_TRUE(xfs.Setup() && xfs.IsSetup());
    for (const char* root : {"Data", "", static_cast<const char*>(nullptr), "mods", "Data"})
        xfs.AddRoot(root);
    for (const char* root : {"DATA", "none", ""})
        xfs.RemoveRoot(CZRString(root));
    ASSERT_EQ(xfs.GetRootCount(), 2);
    EXPECT_STREQ(xfs.GetRoot(0), "mods");
    EXPECT_STREQ(xfs.GetRoot(1), "Data");
    xfs.RemoveAllRoots();
    EXPECT_FALSE(xfs.HasRoots());

    for (auto callback : {Callback, static_cast<XfsCallback>(nullptr), Callback, OtherCallback})
        xfs.AddCallback(callback, 7);
    EXPECT_EQ(xfs.GetCallbackCount(), 3);
    for (auto callback : {Callback, static_cast<XfsCallback>(nullptr), Callback})
        xfs.RemoveCallback(callback);
    EXPECT_EQ(xfs.GetCallbackCount(), 1);
    xfs.RemoveCallback(OtherCallback);
    EXPECT_FALSE(xfs.HasCallbacks());
}

TEST_F(ExtendedFileSystemTest, LookupPrefersCurrentDirectoryThenRootsInOrder)
{
    WriteDisk("name.txt", "cwd");
    WriteDisk("first/name.txt", "first");
    WriteDisk("first/sub/deep.txt", "deep");
    WriteDisk("second/name.txt", "second");
    WriteDisk("second/only.txt", "only");
    xfs.AddRoot("first");
    xfs.AddRoot((m_dir / "second").string().c_str());
    const char* cases[][2] = {{"name.txt", "cwd"},      {"NAME.TXT", "cwd"},
                              {"only.txt", "only"},     {"sub\\deep.txt", "deep"},
                              {"sub/deep.txt", "deep"}, {"SUB\\Deep.TXT", "deep"}};
    for (const auto& c : cases)
    {
        EXPECT_EQ(ReadAll(c[0]), c[1]) << c[0];
        EXPECT_TRUE(xfs.FileExists(c[0])) << c[0];
    }
    fs::remove("name.txt");
    EXPECT_EQ(ReadAll("name.txt"), "first");
    xfs.RemoveRoot("FIRST");
    EXPECT_EQ(ReadAll("name.txt"), "second");
    for (const char* missing : {"missing.txt", "second", "", static_cast<const char*>(nullptr)})
    {
        ExpectXfsError([&] { xfs.OpenFile(missing); }, 4002, "File not found.");
        EXPECT_FALSE(xfs.FileExists(missing));
    }
}

TEST_F(ExtendedFileSystemTest, HandleTableFillsAt256AndReusesLowestFirst)
{
    WriteDisk("f.txt", "x");
    // Several rounds: a record or stream slot leaked per round would run out.
    for (int round = 0; round < 5; ++round)
    {
        for (unsigned long i = 1; i <= kMaxFiles; ++i)
            ASSERT_EQ(round % 2 ? xfs.CreateFileA("w.txt") : xfs.OpenFile("f.txt"), i);
        const std::tuple<Action, unsigned long, const char*> full[] = {
            {[&] { xfs.OpenFile("f.txt"); }, 4002, "File not found."},
            {[&] { xfs.CreateFileA("w.txt"); }, 4001, "Too many open files."},
            {[&] { xfs.AppendFile("w.txt"); }, 4001, "Too many open files."}};
        for (const auto& [action, code, message] : full)
        {
            ExpectXfsError(action, code, message);
            EXPECT_EQ(FILE_GetLastError(), FILE_ERROR_TOO_MANY_OPEN);
        }
        EXPECT_FALSE(xfs.FileExists("f.txt"));
        EXPECT_TRUE(xfs.CloseFile(200) && xfs.CloseFile(5));
        EXPECT_EQ(xfs.OpenFile("f.txt"), 5u);
        EXPECT_EQ(xfs.AppendFile("w.txt"), 200u);
        for (unsigned long handle = 1; handle <= kMaxFiles; ++handle)
            EXPECT_TRUE(xfs.CloseFile(handle));
    }
}

TEST_F(ExtendedFileSystemTest, BadHandlesAndNullArgumentsThrowInvalidHandle)
{
    WriteDisk("f.txt", "abc");
    const unsigned long open = xfs.OpenFile("f.txt");
    const unsigned long closed = xfs.OpenFile("f.txt");
    xfs.CloseFile(closed);
    char buffer[4] = {};
    int c = 0;
    for (unsigned long h : {0ul, kMaxFiles + 1, closed, ULONG_MAX})
    {
        EXPECT_FALSE(xfs.IsFileOpen(h));
        EXPECT_EQ(xfs.WriteFile(h, buffer, 0), 0u);
        const Action actions[] = {
            [&] { xfs.ReadFile(h, buffer, 1); }, [&] { xfs.WriteFile(h, buffer, 1); },
            [&] { xfs.WriteFile(h, 'x'); },      [&] { xfs.ReadChar(h, c); },
            [&] { xfs.ReadLine(h, buffer, 4); }, [&] { xfs.WriteLine(h, "x"); },
            [&] { xfs.Printf(h, "x"); },         [&] { xfs.Seek(h, 0); },
            [&] { xfs.SeekCurrent(h, 0); },      [&] { xfs.SeekEnd(h, 0); },
            [&] { xfs.Rewind(h); },              [&] { xfs.Tell(h); },
            [&] { xfs.Flush(h); },               [&] { xfs.IsEof(h); },
            [&] { xfs.GetFileSize(h); },         [&] { xfs.CloseFile(h); },
            // Null arguments on a usable handle report the same error.
            [&] { xfs.ReadFile(open, nullptr, 1); }, [&] { xfs.WriteFile(open, nullptr, 1); },
            [&] { xfs.ReadLine(open, buffer, 0); },  [&] { xfs.ReadLine(open, nullptr, 4); },
            [&] { xfs.WriteLine(open, nullptr); },   [&] { xfs.Printf(open, nullptr); }};
        for (const Action& action : actions)
            ExpectXfsError(action, 4008, "Invalid file handle.");
    }
    EXPECT_EQ(xfs.ReadFile(open, buffer, 0), 0u);
    EXPECT_EQ(xfs.Tell(open), 0u);
    EXPECT_EQ(xfs.CreateFileA(nullptr) + xfs.AppendFile(nullptr), 0u);
    xfs.CloseFile(open);
}

TEST_F(ExtendedFileSystemTest, ReadsClampAndSeeksStayWithinZeroToSize)
{
    WriteDisk("f.txt", "0123456789");
    const unsigned long h = xfs.OpenFile("f.txt");
    char buffer[16] = {};
    EXPECT_EQ(xfs.ReadFile(h, buffer, 4), 4u);
    EXPECT_EQ(xfs.ReadFile(h, buffer + 4, sizeof buffer), 6u);
    EXPECT_EQ(std::string(buffer), "0123456789");
    EXPECT_EQ(xfs.ReadFile(h, buffer, 1), 0u);

    enum { SET, CUR, END, REWIND };
    constexpr long kFails = -1;  // 4009, position unchanged
    const struct { int kind; long arg; long after; } steps[] = {
        {SET, 10, 10},  {SET, 11, kFails}, {CUR, -11, kFails}, {CUR, -3, 7},
        {CUR, 4, kFails}, {CUR, 3, 10},    {CUR, LONG_MIN, kFails}, {CUR, LONG_MAX, kFails},
        {END, 10, 0},   {END, 11, kFails}, {END, 2, 8},        {REWIND, 0, 0}, {SET, 3, 3}};
    unsigned long expected = 10;
    for (const auto& s : steps)
    {
        const Action seek[] = {[&] { xfs.Seek(h, s.arg); }, [&] { xfs.SeekCurrent(h, s.arg); },
                               [&] { xfs.SeekEnd(h, s.arg); }, [&] { xfs.Rewind(h); }};
        if (s.after == kFails)
            ExpectXfsError(seek[s.kind], 4009, "Error trying to set the file pointer.");
        else
            EXPECT_NO_THROW(seek[s.kind]());
        expected = s.after == kFails ? expected : static_cast<unsigned long>(s.after);
        ASSERT_EQ(xfs.Tell(h), expected) << "step " << (&s - steps);
        EXPECT_EQ(xfs.IsEof(h), expected == 10);
        // The stream must stand where the position says; ReadChar keeps c's upper bytes.
        int c = 0x12345600;
        EXPECT_EQ(xfs.ReadChar(h, c), expected < 10);
        EXPECT_EQ(c, 0x12345600 | (expected < 10 ? '0' + static_cast<int>(expected) : 0));
        if (expected < 10)
            xfs.SeekCurrent(h, -1);
    }
    xfs.CloseFile(h);
}

TEST_F(ExtendedFileSystemTest, ReadLineConsumesOneLineEndAfterEachLine)
{
    const struct { const char* contents; unsigned long size; std::vector<std::string> lines; }
    cases[] = {{"ab\r\ncd", 64, {"ab", "cd"}},   {"ab\n\rcd", 64, {"ab", "cd"}},
               {"ab\n\ncd", 64, {"ab", "cd"}},   {"ab\r\n", 64, {"ab", ""}},
               {"a\nb\nc", 64, {"a", "b", "c"}}, {"\r\n\r\nx", 64, {"", "", "x"}},
               {"ab\r\ncd", 2, {"a", "b", "", "c", "d"}}};
    for (const auto& c : cases)
    {
        WriteDisk("lines.txt", c.contents);
        const unsigned long h = xfs.OpenFile("lines.txt");
        std::vector<std::string> lines;
        char buffer[64];
        while (!xfs.IsEof(h) && lines.size() < 10)
        {
            std::fill(std::begin(buffer), std::end(buffer), '#');
            EXPECT_TRUE(xfs.ReadLine(h, buffer, c.size));
            lines.emplace_back(buffer);
        }
        EXPECT_EQ(lines, c.lines) << c.contents << " size " << c.size;
        xfs.CloseFile(h);
    }
}

TEST_F(ExtendedFileSystemTest, WritesTrackSizeAndAppendStartsAtTheEnd)
{
    WriteDisk("elsewhere/w.txt", "root");
    xfs.AddRoot("elsewhere");  // never used for writing
    unsigned long h = xfs.CreateFileA("w.txt");
    EXPECT_TRUE(xfs.WriteLine(h, "x"));
    EXPECT_EQ(xfs.GetFileSize(h), 1u);
    EXPECT_TRUE(xfs.WriteFile(h, 'y' + 0x100));
    EXPECT_EQ(xfs.WriteFile(h, "zz", 2), 2u);
    EXPECT_TRUE(xfs.Printf(h, "%d-%s", 42, "ab"));
    xfs.Seek(h, 1);
    xfs.WriteFile(h, 'Q');
    EXPECT_EQ(xfs.Tell(h), 2u);
    EXPECT_EQ(xfs.GetFileSize(h), 9u);
    EXPECT_TRUE(xfs.Flush(h));
    xfs.CloseFile(h);
    EXPECT_EQ(ReadAll("w.txt"), "xQzz42-ab");

    h = xfs.AppendFile("w.txt");
    EXPECT_EQ(xfs.Tell(h), 9u);
    EXPECT_EQ(xfs.GetFileSize(h), 9u);
    xfs.WriteLine(h, "!");
    xfs.CloseFile(h);
    EXPECT_EQ(ReadAll("w.txt"), "xQzz42-ab!");
    xfs.CloseFile(xfs.CreateFileA("w.txt"));
    EXPECT_EQ(ReadAll("w.txt") + ReadAll("elsewhere/w.txt"), "root");

    ExpectXfsError([&] { xfs.CreateFileA("no/dir/w.txt"); }, 4005,
                   "Could not create file for writing.");
    ExpectXfsError([&] { xfs.AppendFile("no/dir/w.txt"); }, 4015,
                   "Could not open file for appending.");
}

TEST_F(ExtendedFileSystemTest, FailedTransfersThrowAndKeepThePosition)
{
    // The file shrinks under the open handle; reads start far from what the
    // stream may have buffered, so they meet the new end. Writes to a
    // read-only handle fail as well.
    constexpr unsigned long kFar = 40000;
    WriteDisk("f.txt", std::string(2 * kFar, 'a'));
    unsigned long h = xfs.OpenFile("f.txt");
    WriteDisk("f.txt", std::string(kFar + 3, 'b'));
    char buffer[16];
    const struct { unsigned long from; Action transfer; unsigned long code; const char* message; }
    failures[] = {
        {kFar, [&] { xfs.ReadFile(h, buffer, 6); }, 4006, "Error reading from file."},
        {kFar + 1, [&] { xfs.ReadLine(h, buffer, 16); }, 4006, "Error reading from file."},
        {kFar, [&] { xfs.WriteFile(h, "x", 1); }, 4007, "Error writing to file."}};
    for (const auto& f : failures)
    {
        xfs.Seek(h, f.from);
        ExpectXfsError(f.transfer, f.code, f.message);
        EXPECT_EQ(xfs.Tell(h), f.from);
        EXPECT_EQ(xfs.ReadFile(h, buffer, 2), 2u);
    }
    xfs.CloseFile(h);

    // A device that refuses every write: large writes fail at once, small ones at the flush.
    h = xfs.AppendFile("/dev/full");
    const std::string big(1 << 20, 'b');
    const Action writes[] = {[&] { xfs.WriteFile(h, big.data(), big.size()); },
                             [&] { xfs.WriteLine(h, big.c_str()); },
                             [&] { xfs.Printf(h, "%s", big.c_str()); }};
    for (const Action& write : writes)
    {
        ExpectXfsError(write, 4007, "Error writing to file.");
        EXPECT_EQ(xfs.Tell(h), 0u);
        EXPECT_EQ(xfs.GetFileSize(h), 0u);
    }
    EXPECT_TRUE(xfs.WriteFile(h, 'x'));
    EXPECT_FALSE(xfs.Flush(h));
    EXPECT_TRUE(xfs.CloseFile(h));
}

TEST_F(ExtendedFileSystemTest, LockIsReleasedWhenAnOpenThrows)
{
    WriteDisk("f.txt", "x");
    for (const Action& throwing : {Action([&] { xfs.OpenFile("missing"); }),
                                   Action([&] { xfs.CreateFileA("no/dir/x"); }),
                                   Action([&] { xfs.AppendFile("no/dir/x"); })})
    {
        EXPECT_THROW(throwing(), CXfsException);
        // Detached, so that a lock left held fails the test instead of hanging it.
        auto exists = std::make_shared<std::promise<bool>>();
        std::future<bool> other = exists->get_future();
        std::thread([exists, &system = xfs] {
            exists->set_value(system.FileExists("f.txt"));
        }).detach();
        ASSERT_EQ(other.wait_for(std::chrono::seconds(10)), std::future_status::ready);
        EXPECT_TRUE(other.get());
    }
}

TEST_F(ExtendedFileSystemTest, ExceptionsLeaveTheCauseOfTheirFailure)
{
    WriteDisk("f.txt", "abc");
    WriteDisk("tree/a", "a");
    ASSERT_TRUE(xfs.CreateArchive("pack", "tree"));
    const unsigned long h = xfs.OpenFile("f.txt");
    char buffer[4];
    const struct { Action action; unsigned long code; eFileError cause; } cases[] = {
        {[&] { xfs.OpenFile("missing.txt"); }, 4002, FILE_ERROR_NOT_FOUND},
        {[&] { xfs.OpenFile("Data\\missing.txt"); }, 4002, FILE_ERROR_NOT_FOUND},
        {[&] { xfs.CreateFileA("no/dir/x"); }, 4005, FILE_ERROR_PATH_NOT_FOUND},
        {[&] { xfs.AppendFile("no/dir/x"); }, 4015, FILE_ERROR_PATH_NOT_FOUND},
        {[&] { xfs.CreateArchive("no/dir/x", "tree"); }, 4010, FILE_ERROR_PATH_NOT_FOUND},
        {[&] { xfs.CreateArchive("x", "missing"); }, 4016, FILE_ERROR_NOT_FOUND},
        {[&] { xfs.ExtractArchive("pack", "nowhere"); }, 4016, FILE_ERROR_NOT_FOUND},
        {[&] { xfs.Seek(h, 4); }, 4009, FILE_ERROR_NONE},
        {[&] { xfs.SeekCurrent(h, -1); }, 4009, FILE_ERROR_NONE},
        {[&] { xfs.ReadFile(0, buffer, 1); }, 4008, FILE_ERROR_NONE},
        {[&] { xfs.ReadLine(h, buffer, 0); }, 4008, FILE_ERROR_NONE},
    };
    for (const auto& c : cases)
    {
        FILE_SetLastError(FILE_ERROR_BUSY);  // stale: must not survive the exception
        ExpectXfsError(c.action, c.code);
        EXPECT_EQ(FILE_GetLastError(), c.cause) << c.code;
    }

    // Success leaves the cause as it was; a false result leaves its own.
    FILE_SetLastError(FILE_ERROR_BUSY);
    EXPECT_EQ(ReadAll("pack\\a") + ReadAll("f.txt"), "aabc");
    EXPECT_TRUE(xfs.Seek(h, 3) && xfs.FileExists("f.txt") && xfs.CreateArchive("again", "tree"));
    EXPECT_EQ(FILE_GetLastError(), FILE_ERROR_BUSY);
    EXPECT_FALSE(xfs.FileExists("missing.txt"));
    EXPECT_EQ(FILE_GetLastError(), FILE_ERROR_NOT_FOUND);
    xfs.CloseFile(h);
}

// A link back into the tree (no cause: the tree is at fault) is met after the
// tree was moved away, so going back to its old path fails while the failure
// unwinds: that must not replace the cause.
TEST_F(ExtendedFileSystemTest, CleanupAfterAFailureKeepsItsCause)
{
    WriteDisk("tree/sub/f.txt", "f");
    if (!MakeDirectoryLink("..", "tree/sub/loop"))
        GTEST_SKIP() << "this system makes no directory links (Wine)";
    const std::pair<fs::path, fs::path> paths(m_dir / "tree", m_dir / "moved");
    xfs.AddCallback(MoveTreeAway, reinterpret_cast<XfsParam>(&paths));
    FILE_SetLastError(FILE_ERROR_BUSY);
    ExpectXfsError([&] { xfs.CreateArchive("x", "tree"); }, 4016);
    EXPECT_EQ(FILE_GetLastError(), FILE_ERROR_NONE);
    xfs.RemoveCallback(MoveTreeAway);
    EXPECT_TRUE(fs::exists("moved/sub/f.txt"));
    EXPECT_EQ(fs::current_path(), m_dir);
}

// Roots and callbacks change on some threads while others read them, open
// files through them and raise events; a callback changes the list it is
// called from. A reference from GetRoot outlives every AddRoot.
TEST_F(ExtendedFileSystemTest, RootsAndCallbacksChangeWhileOtherThreadsUseThem)
{
    constexpr int kChanges = 300;
    constexpr int kPacks = 10;
    WriteDisk("tree/a.txt", "a");
    WriteDisk("tree/sub/b.txt", "b");
    WriteDisk("root/only.txt", "only");
    const std::string root = (m_dir / "root").string();
    xfs.AddRoot(root.c_str());
    xfs.AddCallback(Callback, 0);   // stays throughout
    xfs.AddCallback(Reregister, reinterpret_cast<XfsParam>(&xfs));
    const CZRString& first = xfs.GetRoot(0);
    std::atomic<bool> done{false};
    std::atomic<int> failures{0};
    std::vector<std::thread> changers;
    changers.emplace_back([&] {
        for (int i = 0; i < kChanges; ++i)
            xfs.AddRoot(("/none/" + std::to_string(i)).c_str());
    });
    changers.emplace_back([&] {
        for (int i = 0; i < kChanges; ++i)
        {
            xfs.AddCallback(OtherCallback, 0);
            xfs.RemoveCallback(OtherCallback);
        }
    });
    std::thread reader([&] {
        while (!done)
        {
            const long count = xfs.GetRootCount();
            failures += first.Compare(root.c_str()) != 0 || count < 1 || !xfs.HasRoots() ||
                        xfs.GetRoot(count - 1).IsEmpty() || !xfs.HasCallbacks();
            try
            {
                xfs.CloseFile(xfs.OpenFile("only.txt"));   // found under the first root
            }
            catch (const CXfsException&)
            {
                ++failures;
            }
        }
    });
    const std::string archive = (m_dir / "pack").string(), tree = (m_dir / "tree").string();
    for (int i = 0; i < kPacks; ++i)
        EXPECT_TRUE(xfs.CreateArchive(archive.c_str(), tree.c_str()));   // raises events
    for (std::thread& changer : changers)
        changer.join();
    done = true;
    reader.join();
    EXPECT_EQ(failures.load(), 0);
    EXPECT_EQ(xfs.GetRootCount(), kChanges + 1);
    EXPECT_EQ(xfs.GetCallbackCount(), 2);
    xfs.RemoveCallback(Reregister);
    xfs.RemoveCallback(Callback);
}
} // namespace
