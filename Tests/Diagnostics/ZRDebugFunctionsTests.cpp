// The Debug_ functions and ZR_ASSERT: output exactly as formatted and cut at
// 1023 characters, the fatal report and abort, the assertion dialog's text,
// caption and style, what each answer does, and the macro around it.
#undef NDEBUG   // this file tests the active ZR_ASSERT in every build

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <type_traits>

#include "Diagnostics/LogTestSupport.h"

using namespace LogTest;
using Pieces = std::vector<std::string>;

namespace
{
constexpr unsigned int kYesNoCancelOnTop = 0x40003;
constexpr int kIdCancel = 2, kIdYes = 6, kIdNo = 7;
const std::string kBanner = "******** ZORNBRACK ASSERTION ********\n";

std::string Report(const std::string& expression, const std::string& file, int line)
{
    return "expression:     ZR_ASSERT( " + expression + " )\n\nfile: " + file +
           "\nline: " + std::to_string(line) + "\n";
}

// The question and the answers after the report, framed by rules of 88 hyphens.
std::string DialogTail()
{
    const std::string rule = "\n" + std::string(88, '-');
    return rule + "\n\nDo you want to debug the application?\n" +
           "\n YES:           Debug or try to continue (if no debugger present) " +
           "\n NO:             Try a clean shutdown (might throw more exceptions)" +
           "\n CANCEL:     Force the application to exit\n" + rule + "\n";
}

TEST(DebugFunctions, PrintfAndWarningSendTheFormattedTextAloneCutAt1023)
{
    void (*const functions[])(const char*, ...) = {&Debug_Printf, &Debug_Warning};
    const std::string longText(2000, 'w');
    for (auto function : functions)
    {
        CDebugCapture debug;
        function("%d-%s %%", 7, "x");
        function("%s", longText.c_str());
        EXPECT_EQ(debug.Take(), (Pieces{"7-x %", longText.substr(0, 1023)}));
    }
}

TEST(DebugFunctionsDeathTest, DebugAssertReportsAndAborts)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
#if defined(_WIN32)
    const auto aborted = testing::ExitedWithCode(3);   // abort's exit code there
#else
    const auto aborted = testing::KilledBySignal(SIGABRT);
#endif
    EXPECT_EXIT(Debug_Assert("hp > 0", "Unit.cpp", 42), aborted,
                "^\\*\\*\\* ZORNBRACK ASSERTION \\*\\*\\*\nexpression: hp > 0\nfile: Unit.cpp\nline: 42\n$");
}

// A report too long for the dialog is cut so that the question stays whole;
// the debugger gets it up to 1023 characters. Yes without a debugger goes on.
TEST(DebugFunctions, AssertionDialogTextCaptionAndStyleWithin1023Characters)
{
    for (const std::string& expression : {std::string("hp > 0"), std::string(2000, 'e')})
    {
        CDebugCapture debug;
        CMessageBoxAnswer boxes(kIdYes);
        EXPECT_FALSE(Alternate_Debug_Assert(expression.c_str(), "Unit.cpp", 42));
        const std::string report = Report(expression, "Unit.cpp", 42).substr(0, 1023);
        EXPECT_EQ(debug.Take(), (Pieces{kBanner, report}));
        const std::string tail = DialogTail();
        EXPECT_EQ(boxes.shown, (std::vector<sShownBox>{{report.substr(0, 1023 - tail.size()) + tail,
                                                        "ZORNBRACK ASSERTION", kYesNoCancelOnTop}}));
    }
}

// No and Debug_Exit leave through exit(), Cancel at once.
TEST(DebugFunctionsDeathTest, NoAndDebugExitRunTheExitHandlersCancelDoesNot)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const struct
    {
        int answer, status;
        const char* output;
    } cases[] = {{kIdNo, 0, "^exit handlers ran$"}, {kIdCancel, 0, "^$"}, {0, 3, "^exit handlers ran$"}};
    for (const auto& c : cases)
        EXPECT_EXIT(
            {
                CDebugCapture debug;
                CMessageBoxAnswer boxes(c.answer);
                std::atexit([] { std::fputs("exit handlers ran", stderr); });
                if (c.answer != 0)
                    Alternate_Debug_Assert("x", "y", 1);
                else
                    Debug_Exit(c.status);
                std::fputs("returned", stderr);
            },
            testing::ExitedWithCode(c.status), c.output)
            << c.answer;
}

// Without a debugger no answer asks the macro to break, so the program goes on.
TEST(ZRAssert, AsksOnlyWhenFalseWithTheConditionsTextFileAndLine)
{
    CDebugCapture debug;
    CMessageBoxAnswer boxes(kIdYes);
    int evaluated = 0;
    ZR_ASSERT(++evaluated == 1);
    EXPECT_EQ(evaluated, 1);
    EXPECT_TRUE(boxes.shown.empty());

    const int line = __LINE__ + 1;
    ZR_ASSERT(std::is_same<int, long>::value);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, Report("std::is_same<int, long>::value", __FILE__, line) + DialogTail());
}
} // namespace
