// Process services of the backend: ids, the machine's name, debugger output,
// immediate exit and message boxes (hook and unattended answers).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "Common/Platform/Platform.h"

using namespace ZRPlatform;

namespace
{
constexpr std::uint32_t kMbOk = 0x0;
constexpr std::uint32_t kMbOkCancel = 0x1;
constexpr std::uint32_t kMbAbortRetryIgnore = 0x2;
constexpr std::uint32_t kMbYesNoCancel = 0x3;
constexpr std::uint32_t kMbYesNo = 0x4;
constexpr std::uint32_t kMbIconInformation = 0x40;
constexpr std::uint32_t kMbUnknownButtons = 0xE;
constexpr int kIdOk = 1, kIdCancel = 2, kIdAbort = 3, kIdYes = 6, kIdNo = 7;
constexpr std::uint32_t kExitStatus = 3;

struct Shown
{
    std::string text;
    std::string caption;
    std::uint32_t style = 0;
} g_shown;

int AnswerNo(const char* text, const char* caption, std::uint32_t style)
{
    g_shown = {text, caption, style};
    return kIdNo;
}
} // namespace

TEST(PosixProcess, IdsAndTheMachineName)
{
    EXPECT_NE(ProcessCurrentId(), 0u);
    EXPECT_EQ(ProcessCurrentId(), ProcessCurrentId());
    char name[256] = {};
    ASSERT_TRUE(ComputerName(name, sizeof(name)));
    EXPECT_GT(std::strlen(name), 0u);
    EXPECT_EQ(std::strchr(name, '.'), nullptr);   // no domain part
    char small[1];
    EXPECT_FALSE(ComputerName(small, sizeof(small)));
    EXPECT_FALSE(DebuggerPresent());   // the suite runs without a debugger
}

TEST(PosixProcess, DebugOutputGoesToStandardErrorAsIs)
{
    testing::internal::CaptureStderr();
    DebugOutput("first %s line");
    DebugOutput("\n");
    DebugOutput(nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "first %s line\n");
}

TEST(PosixProcessDeathTest, ExitNowSkipsExitHandlers)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            std::atexit([] { std::fputs("exit handler ran", stderr); });
            ProcessExitNow(kExitStatus);
        },
        testing::ExitedWithCode(static_cast<int>(kExitStatus)), "^$");
}

TEST(PosixProcess, MessageBoxesUseTheHandlerOrAnswerUnattended)
{
    MessageBoxSetHandler(AnswerNo);
    EXPECT_EQ(MessageBoxShow("text", "caption", kMbYesNo | kMbIconInformation), kIdNo);
    EXPECT_EQ(g_shown.text, "text");
    EXPECT_EQ(g_shown.caption, "caption");
    EXPECT_EQ(g_shown.style, kMbYesNo | kMbIconInformation);
    MessageBoxSetHandler(nullptr);

    // Without a terminal on standard input the default box answers by itself.
    ASSERT_NE(std::freopen("/dev/null", "r", stdin), nullptr);
    testing::internal::CaptureStderr();
    EXPECT_EQ(MessageBoxShow("body", "Title", kMbOk | kMbIconInformation), kIdOk);
    EXPECT_EQ(MessageBoxShow("body", "Title", kMbOkCancel), kIdCancel);
    EXPECT_EQ(MessageBoxShow("body", "Title", kMbYesNoCancel), kIdCancel);
    EXPECT_EQ(MessageBoxShow("body", "Title", kMbYesNo), kIdYes);
    EXPECT_EQ(MessageBoxShow("body", "Title", kMbAbortRetryIgnore), kIdAbort);
    EXPECT_EQ(MessageBoxShow("body", nullptr, kMbUnknownButtons), 0);
    const std::string shown = testing::internal::GetCapturedStderr();
    EXPECT_NE(shown.find("Title\nbody\n"), std::string::npos);
}
