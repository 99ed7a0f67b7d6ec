// Process services of the backend: ids, the machine's name, debugger output
// and its hook, the debugger break, immediate exit and message
// boxes (handler and the default's answers).
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
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

TEST(PosixProcess, DebugOutputGoesToTheHookInsteadOfStandardError)
{
    std::string captured;
    DebugOutputSetHook([](const char* text, void* user) { *static_cast<std::string*>(user) += text; },
                       &captured);
    testing::internal::CaptureStderr();
    DebugOutput("100% ");
    DebugOutput(nullptr);
    DebugOutput("hooked\n");
    DebugOutputSetHook(nullptr, nullptr);
    DebugOutput("default again");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "default again");
    EXPECT_EQ(captured, "100% hooked\n");
}

TEST(PosixProcessDeathTest, DebuggerBreakWithoutADebuggerEndsTheProcessByTrap)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            const rlimit noCore{};   // the trap would otherwise leave a core file
            setrlimit(RLIMIT_CORE, &noCore);
            DebuggerBreak();
        },
        testing::KilledBySignal(SIGTRAP), "");
}

TEST(PosixProcess, MessageBoxesUseTheHandlerWithItsUserValue)
{
    constexpr std::uint32_t kMbYesNo = 0x4, kMbIconInformation = 0x40;
    std::string shown;
    MessageBoxSetHandler(
        [](const char* text, const char* caption, std::uint32_t style, void* user) {
            *static_cast<std::string*>(user) = std::string(text) + "|" + caption + "|" + std::to_string(style);
            return 7;   // IDNO
        },
        &shown);
    EXPECT_EQ(MessageBoxShow("text", "caption", kMbYesNo | kMbIconInformation), 7);
    EXPECT_EQ(shown, "text|caption|68");
    MessageBoxSetHandler(nullptr, nullptr);
}

// The default box never reads an answer, even from a terminal that has one
// waiting: it shows caption and text on standard error and takes the first
// button of the set (0 for unknown buttons).
TEST(PosixProcess, DefaultMessageBoxAnswersTheFirstButtonWithoutAsking)
{
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(grantpt(master), 0);
    ASSERT_EQ(unlockpt(master), 0);
    const int terminal = open(ptsname(master), O_RDWR | O_NOCTTY);
    ASSERT_GE(terminal, 0);
    const int savedInput = dup(STDIN_FILENO);
    ASSERT_EQ(dup2(terminal, STDIN_FILENO), STDIN_FILENO);
    ASSERT_EQ(isatty(STDIN_FILENO), 1);
    ASSERT_EQ(write(master, "n\nc\n", 4), 4);   // answers an asking box would take
    int waiting = 0;   // the terminal delivers its input a moment later
    for (int polls = 0; polls < 5000 && waiting < 4; ++polls)
        if (ioctl(STDIN_FILENO, FIONREAD, &waiting) != 0 || waiting < 4)
            usleep(1000);
    ASSERT_EQ(waiting, 4);

    testing::internal::CaptureStderr();
    const std::pair<std::uint32_t, int> answers[] = {{0x0 | 0x40, 1}, {0x1, 1}, {0x2, 3},
                                                     {0x3 | 0x40000, 6}, {0x4, 6}, {0x5, 4},
                                                     {0x6, 2}, {0x7, 0}, {0xE, 0}};
    for (const auto& [style, answer] : answers)
        EXPECT_EQ(MessageBoxShow("body", style == 0x4 ? nullptr : "Title", style), answer) << style;
    const std::string shown = testing::internal::GetCapturedStderr();
    EXPECT_NE(shown.find("\nTitle\nbody\n"), std::string::npos);
    EXPECT_NE(shown.find("\nError\nbody\n"), std::string::npos);   // MessageBoxA's caption for null

    // The terminal's input is still unread.
    EXPECT_EQ(ioctl(STDIN_FILENO, FIONREAD, &waiting), 0);
    EXPECT_EQ(waiting, 4);
    dup2(savedInput, STDIN_FILENO);
    close(savedInput);
    close(terminal);
    close(master);
}
