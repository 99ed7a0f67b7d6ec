// Process services of the backend: ids, the machine's name, debugger output,
// immediate exit and message boxes (hook and unattended answers).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "Common/Platform/Platform.h"

using namespace ZRPlatform;

TEST(PosixProcess, IdsTheMachineNameAndDebugOutput)
{
    EXPECT_NE(ProcessCurrentId(), 0u);
    char name[256] = {}, small[1];
    ASSERT_TRUE(ComputerName(name, sizeof(name)));
    EXPECT_GT(std::strlen(name), 0u);
    EXPECT_EQ(std::strchr(name, '.'), nullptr);   // no domain part
    EXPECT_FALSE(ComputerName(small, sizeof(small)));
    EXPECT_FALSE(DebuggerPresent());   // the suite runs without a debugger

    testing::internal::CaptureStderr();   // without a debugger: standard error, as is
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
            ProcessExitNow(3);
        },
        testing::ExitedWithCode(3), "^$");
}

TEST(PosixProcess, MessageBoxesUseTheHandlerOrAnswerUnattended)
{
    constexpr std::uint32_t kMbYesNo = 0x4, kMbIconInformation = 0x40;
    static std::string s_shown;
    MessageBoxSetHandler([](const char* text, const char* caption, std::uint32_t style) {
        s_shown = std::string(text) + "|" + caption + "|" + std::to_string(style);
        return 7;   // IDNO
    });
    EXPECT_EQ(MessageBoxShow("text", "caption", kMbYesNo | kMbIconInformation), 7);
    EXPECT_EQ(s_shown, "text|caption|68");
    MessageBoxSetHandler(nullptr);

    // Without a terminal on standard input the default box answers by itself:
    // Cancel where there is one, else the first button; 0 for unknown buttons.
    ASSERT_NE(std::freopen("/dev/null", "r", stdin), nullptr);
    testing::internal::CaptureStderr();
    const std::pair<std::uint32_t, int> answers[] = {
        {0x0 | kMbIconInformation, 1}, {0x1, 2}, {0x2, 3}, {0x3, 2}, {kMbYesNo, 6}, {0xE, 0}};
    for (const auto& [style, answer] : answers)
        EXPECT_EQ(MessageBoxShow("body", style == 0xE ? nullptr : "Title", style), answer) << style;
    EXPECT_NE(testing::internal::GetCapturedStderr().find("Title\nbody\n"), std::string::npos);
}
