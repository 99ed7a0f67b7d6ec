// _ZR_Log_Fn: the file line byte for byte, the mail slot record field by field,
// the 255-character cut, class names and the catastrophic exit, sink failures
// that leave the other sinks working, whole entries from many threads.
#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "Common/Platform/PlatformSeam.h"
#include "Diagnostics/LogTestSupport.h"

using namespace LogTest;
namespace fs = std::filesystem;
namespace Seam = ZRPlatform::Seam;
using Pieces = std::vector<std::string>;
using Records = std::vector<sRecord>;
using Boxes = std::vector<sShownBox>;

namespace
{
constexpr unsigned int kInformationIcon = 0x40;
constexpr std::uint64_t kFrozenMs = 0x80000005;   // a tick count past 2^31: "%d" makes it negative
constexpr char kFrozenTicks[] = "-2147483643";
const std::string kFileFailure = "Error while writing to log file. Hard disk full?\n";
const std::string kSlotFailure =
    "bool _ZR_Log_Fn(): Could not write to mailslot. Please check your network connection and "
    "settings!";

std::string ReadDisk(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Each test runs in a scratch directory of its own as the current directory, on
// a frozen clock. Log names carry the process id, so that records of the same
// test running in another process are never taken for this one's.
class LogTest : public testing::Test
{
protected:
    void SetUp() override
    {
        m_previous = fs::current_path();
        m_scratch = fs::temp_directory_path() / ("zrlog-" + std::to_string(getpid()));
        fs::remove_all(m_scratch);
        fs::create_directories(m_scratch);
        fs::current_path(m_scratch);
        Seam::ClockFreeze(kFrozenMs * 1000);
    }
    void TearDown() override
    {
        Seam::ClockRelease();
        fs::current_path(m_previous);
        fs::remove_all(m_scratch);
    }

    static std::string Name(const std::string& leaf) { return leaf + "_" + std::to_string(getpid()); }

    static sRecord Expected(const std::string& logName, int logClass, const std::string& context,
                            const std::string& location, int number, const std::string& message)
    {
        return {ComputerName(), logName, static_cast<std::uint32_t>(getpid()), logClass, kFrozenTicks,
                context,        location, number, message};
    }

    static std::string Line(const sRecord& r)
    {
        std::ostringstream line;   // the record's fields joined by " | "
        line << r << "\r\n";
        return line.str();
    }

private:
    fs::path m_previous, m_scratch;
};

// The message is formatted once, cut to 255 characters, and never formatted again.
TEST_F(LogTest, EachSinkAloneAndAllTogetherGetTheCutMessage)
{
    CLogSlotServer server;
    const std::string tail = "100%% %d " + std::string(300, 'x');
    const std::string message = ("50% of " + tail).substr(0, 255);
    for (unsigned long sinks : std::initializer_list<unsigned long>{
             LOG_TO_DEBUGGER, LOG_TO_FILE, LOG_TO_MAILSLOT, LOG_TO_MESSAGEBOX, 0xF, 0, 0xFFFFFFF0})
    {
        SCOPED_TRACE(sinks);
        const std::string name = Name("sinks" + std::to_string(sinks));
        CDebugCapture debug;
        CMessageBoxAnswer boxes(1);
        EXPECT_TRUE(_ZR_Log_Fn("Loader.cpp", name.c_str(), "Level 3", -7, 99, sinks, LOG_CLASS_WARNING,
                               "%d%% of %s", 50, tail.c_str()));
        const sRecord want = Expected(name, LOG_CLASS_WARNING, "Level 3", "Loader.cpp", -7, message);
        EXPECT_EQ(debug.Take(), ((sinks & LOG_TO_DEBUGGER) ? Pieces{message, "\n"} : Pieces{}));
        EXPECT_EQ(fs::exists(name + ".log"), (sinks & LOG_TO_FILE) != 0);
        EXPECT_EQ(ReadDisk(name + ".log"), (sinks & LOG_TO_FILE) ? Line(want) : "");
        EXPECT_EQ(server.Take(name), (sinks & LOG_TO_MAILSLOT) ? Records{want} : Records{});
        EXPECT_EQ(boxes.shown, ((sinks & LOG_TO_MESSAGEBOX) ? Boxes{{message, "Warning", kInformationIcon}}
                                                            : Boxes{}));
    }
}

// Line and record carry the number of any class, the catastrophic one too when
// no box is shown.
TEST_F(LogTest, ClassesNameTheBoxWhileLineAndRecordCarryTheNumber)
{
    CLogSlotServer server;
    const std::pair<int, const char*> classes[] = {
        {0, "Game Message"}, {1, "Dump"},  {2, "Info"},           {3, "Message"},      {4, "Note"},
        {5, "Warning"},      {6, "Error"}, {7, "Critical Error"}, {9, "Unkown class"}, {-1, "Unkown class"}};
    for (const auto& [logClass, caption] : classes)
    {
        CMessageBoxAnswer boxes(1);
        _ZR_Log_Fn("", "", "", 0, 0, LOG_TO_MESSAGEBOX, logClass, "m");
        EXPECT_EQ(boxes.shown, (Boxes{{"m", caption, kInformationIcon}}));
    }
    for (int logClass : {8, -1})
    {
        const std::string name = Name("class" + std::to_string(logClass));
        EXPECT_TRUE(
            _ZR_Log_Fn("loc", name.c_str(), "ctx", 1, 0, LOG_TO_FILE | LOG_TO_MAILSLOT, logClass, "m"));
        const sRecord want = Expected(name, logClass, "ctx", "loc", 1, "m");
        EXPECT_EQ(ReadDisk(name + ".log"), Line(want));
        EXPECT_EQ(server.Take(name), Records{want});
    }
}

// The default box of an unattended run writes caption and text to standard
// error and answers OK; then exit() runs the exit handlers.
TEST(LogDeathTest, CatastrophicErrorInABoxEndsTheProcessWithStatus0)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
#if defined(_WIN32)
            _putenv_s("ZR_UNATTENDED", "1");   // no modal box on a desktop
#endif
            std::atexit([] { std::fputs("exit handlers ran", stderr); });
            _ZR_Log_Fn("", "fatal", "", 0, 0, LOG_TO_MESSAGEBOX, LOG_CLASS_CATASTROPHIC_ERROR,
                       "reactor %s", "lost");
            std::fputs("returned", stderr);
        },
        testing::ExitedWithCode(0), "^\nCatastrophic Error\nreactor lost\nexit handlers ran$");
}

// A file that cannot be opened or written is reported on the debugger output
// and closed; the mail slot and the box still get the entry, and the next
// entry opens the file afresh.
TEST_F(LogTest, FileFailuresAreReportedAndTheOtherSinksGoOn)
{
    CLogSlotServer server;
    struct sCase
    {
        const char* what;
        std::string logName;
        Seam::OsCall call;
        ZRPlatform::Error error;
    };
    const sCase cases[] = {
        {"missing directory", "missing/" + Name("dir"), Seam::OsCall::Count, ZRPlatform::Error::None},
        {"open refused", Name("refused"), Seam::OsCall::Open, ZRPlatform::Error::AccessDenied},
        {"disk full", Name("full"), Seam::OsCall::Write, ZRPlatform::Error::NoSpace},
    };
    for (const sCase& c : cases)
    {
        SCOPED_TRACE(c.what);
        CDebugCapture debug;
        CMessageBoxAnswer boxes(1);
        if (c.call != Seam::OsCall::Count)
            Seam::FailNth(c.call, 1, c.error);
        _ZR_Log_Fn("", c.logName.c_str(), "", 0, 0, 0xF, LOG_CLASS_ERROR, "lost");
        EXPECT_FALSE(Seam::PlanPending());
        Seam::ResetCounts();
        EXPECT_EQ(debug.Take(), (Pieces{"lost", "\n", kFileFailure}));
        EXPECT_EQ(server.Take(c.logName), Records{Expected(c.logName, LOG_CLASS_ERROR, "", "", 0, "lost")});
        EXPECT_EQ(boxes.shown.size(), 1u);

        _ZR_Log_Fn("", c.logName.c_str(), "", 0, 0, LOG_TO_FILE, LOG_CLASS_ERROR, "kept");
        const std::string kept = Line(Expected(c.logName, LOG_CLASS_ERROR, "", "", 0, "kept"));
        if (c.call == Seam::OsCall::Count)
            EXPECT_FALSE(fs::exists(c.logName + ".log"));
        else
            EXPECT_EQ(ReadDisk(c.logName + ".log"), kept);
        EXPECT_EQ(debug.Take(), c.call == Seam::OsCall::Count ? Pieces{kFileFailure} : Pieces{});
    }
}

// Location and message together exceed the 400 bytes of a record: nothing is
// sent, the failure is reported, and the file line is written all the same.
TEST_F(LogTest, RecordTooLargeForTheSlotIsNotSentButTheLineIsWritten)
{
    CLogSlotServer server;
    CDebugCapture debug;
    const std::string name = Name("large");
    const std::string location(200, 'L'), message(200, 'M');
    _ZR_Log_Fn(location.c_str(), name.c_str(), "", 0, 0, LOG_TO_DEBUGGER | LOG_TO_FILE | LOG_TO_MAILSLOT,
               LOG_CLASS_ERROR, "%s", message.c_str());
    _ZR_Log_Fn("", name.c_str(), "", 0, 0, LOG_TO_MAILSLOT, LOG_CLASS_ERROR, "after");
    EXPECT_EQ(debug.Take(), (Pieces{message, "\n", kSlotFailure, "\n"}));
    EXPECT_EQ(ReadDisk(name + ".log"), Line(Expected(name, LOG_CLASS_ERROR, "", location, 0, message)));
    EXPECT_EQ(server.Take(name), Records{Expected(name, LOG_CLASS_ERROR, "", "", 0, "after")});
}

// Every entry holds the log lock from start to end, so the lines and records of
// eight threads never interleave: each arrives whole, exactly once.
TEST_F(LogTest, EntriesOfEightThreadsAreWrittenWhole)
{
    constexpr int kThreads = 8, kEntries = 25;
    const auto message = [](int t, int e) {
        return std::to_string(t) + "/" + std::to_string(e) + std::string(150, char('a' + t));
    };
    CLogSlotServer server;
    CDebugCapture debug;
    const std::string name = Name("threads");
    std::multiset<std::string> expected, lines, records;   // records are compared as lines
    for (int t = 0; t < kThreads; ++t)
        for (int e = 0; e < kEntries; ++e)
            expected.insert(Line(Expected(name, t, "ctx", "loc", e, message(t, e))));

    std::atomic<int> running{kThreads};
    std::thread reader([&] {   // the slot queues few messages: drain it meanwhile
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while ((running > 0 || records.size() < expected.size()) &&
               std::chrono::steady_clock::now() < deadline)
        {
            for (const sRecord& r : server.Take(name))
                records.insert(Line(r));
            std::this_thread::yield();
        }
    });
    std::vector<std::thread> writers;
    for (int t = 0; t < kThreads; ++t)
        writers.emplace_back([&, t] {
            for (int e = 0; e < kEntries; ++e)
                _ZR_Log_Fn("loc", name.c_str(), "ctx", e, 0, LOG_TO_FILE | LOG_TO_MAILSLOT, t, "%s",
                           message(t, e).c_str());
            --running;
        });
    for (std::thread& writer : writers)
        writer.join();
    reader.join();

    EXPECT_TRUE(records == expected);
    const std::string file = ReadDisk(name + ".log");
    for (std::size_t at = 0, end; (end = file.find("\r\n", at)) != std::string::npos; at = end + 2)
        lines.insert(file.substr(at, end + 2 - at));
    EXPECT_TRUE(lines == expected);
    EXPECT_EQ(debug.Take(), Pieces{});
}
} // namespace
