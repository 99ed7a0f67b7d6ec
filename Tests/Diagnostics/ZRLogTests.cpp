// _ZR_Log_Fn: the file line byte for byte, the mail slot record field by field,
// the 255-character cut, class names and the catastrophic exit, sink failures
// that leave the other sinks working. Tests/Stress logs from eight threads at once.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
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
// The next entry's line is appended to the same file.
TEST_F(LogTest, RecordTooLargeForTheSlotIsNotSentButTheLineIsWritten)
{
    CLogSlotServer server;
    CDebugCapture debug;
    const std::string name = Name("large");
    const std::string location(200, 'L'), message(200, 'M');
    _ZR_Log_Fn(location.c_str(), name.c_str(), "", 0, 0, LOG_TO_DEBUGGER | LOG_TO_FILE | LOG_TO_MAILSLOT,
               LOG_CLASS_ERROR, "%s", message.c_str());
    _ZR_Log_Fn("", name.c_str(), "", 0, 0, LOG_TO_FILE | LOG_TO_MAILSLOT, LOG_CLASS_ERROR, "after");
    const sRecord after = Expected(name, LOG_CLASS_ERROR, "", "", 0, "after");
    EXPECT_EQ(debug.Take(), (Pieces{message, "\n", kSlotFailure, "\n"}));
    EXPECT_EQ(ReadDisk(name + ".log"), Line(Expected(name, LOG_CLASS_ERROR, "", location, 0, message)) + Line(after));
    EXPECT_EQ(server.Take(name), Records{after});
}
} // namespace
