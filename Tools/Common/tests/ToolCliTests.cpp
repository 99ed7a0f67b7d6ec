// The tools' shared command line, seen as a user sees it: what each command
// line runs, prints and exits with.
#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "Common/Core/ZRException.h"
#include "Common/File/FileFunctions.h"
#include "ToolCli.h"

namespace
{
struct sOutcome
{
    int status;
    std::string out;
    std::string err;
};

sOutcome Call(CToolCli& cli, const std::vector<std::string>& words, CToolCli::Action action = {})
{
    std::vector<std::string> args{"/usr/bin/anything"};
    args.insert(args.end(), words.begin(), words.end());
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    const int status = cli.Run(static_cast<int>(args.size()), argv.data(), std::move(action));
    std::fflush(stdout);
    std::string out = testing::internal::GetCapturedStdout();
    return {status, out, testing::internal::GetCapturedStderr()};
}

// A tool with two verbs and a flag, recording what ran.
class CVerbTool
{
public:
    CVerbTool() : m_cli("demo", "Demonstrates the tools' command line.", "1.2.3")
    {
        m_cli.AddFlag("-q,--quiet", quiet, "say less");
        CLI::App& copy = m_cli.AddVerb("copy", "copy FROM to TO", "Copies FROM to TO, byte by byte.\n",
                                       [this] {
                                           ran = "copy " + m_from + " " + m_to;
                                           return kExitOk;
                                       });
        CToolCli::AddOperand(copy, "FROM", m_from, "what is copied");
        CToolCli::AddOperand(copy, "TO", m_to, "where it goes");
        CLI::App& show = m_cli.AddVerb("show", "show ITEM", "Shows ITEM.\n", [this] {
            ran = "show " + m_item;
            return showStatus;
        });
        CToolCli::AddOperand(show, "ITEM", m_item, "what is shown");
    }

    sOutcome Call(const std::vector<std::string>& words) { return ::Call(m_cli, words); }

    bool quiet = false;
    int showStatus = kExitOk;
    std::string ran;

private:
    CToolCli m_cli;
    std::string m_from;
    std::string m_to;
    std::string m_item;
};

sOutcome CallVerbTool(const std::vector<std::string>& words)
{
    CVerbTool tool;
    return tool.Call(words);
}
} // namespace

TEST(ToolCliVerbs, RunTheNamedVerbWithItsOperands)
{
    CVerbTool tool;
    const sOutcome outcome = tool.Call({"copy", "a", "b"});
    EXPECT_EQ(outcome.status, kExitOk);
    EXPECT_EQ(tool.ran, "copy a b");
    EXPECT_FALSE(tool.quiet);
    EXPECT_EQ(outcome.out, "");
    EXPECT_EQ(outcome.err, "");
}

TEST(ToolCliVerbs, TheVerbsStatusIsTheExitStatus)
{
    CVerbTool tool;
    tool.showStatus = kExitFailure;
    EXPECT_EQ(tool.Call({"show", "x"}).status, kExitFailure);
    EXPECT_EQ(tool.ran, "show x");
}

TEST(ToolCliVerbs, FlagsStandBeforeOrAfterTheVerb)
{
    for (const std::vector<std::string>& words :
         {std::vector<std::string>{"-q", "copy", "a", "b"}, {"copy", "-q", "a", "b"},
          {"copy", "a", "b", "--quiet"}})
    {
        CVerbTool tool;
        EXPECT_EQ(tool.Call(words).status, kExitOk) << words[0] << " " << words[1];
        EXPECT_TRUE(tool.quiet) << words[0] << " " << words[1];
        EXPECT_EQ(tool.ran, "copy a b");
    }
}

TEST(ToolCliVerbs, OperandsMayLookLikeOptionsOrVerbs)
{
    CVerbTool tool;
    EXPECT_EQ(tool.Call({"copy", "--", "-a", "-"}).status, kExitOk);
    EXPECT_EQ(tool.ran, "copy -a -");
    CVerbTool other;
    EXPECT_EQ(other.Call({"show", "copy"}).status, kExitOk);
    EXPECT_EQ(other.ran, "show copy");
}

TEST(ToolCliVerbs, HelpListsTheVerbsAndOptions)
{
    CVerbTool tool;
    const sOutcome outcome = tool.Call({"--help"});
    EXPECT_EQ(outcome.status, kExitOk);
    EXPECT_EQ(outcome.err, "");
    EXPECT_EQ(tool.ran, "");
    for (const char* line :
         {"Demonstrates the tools' command line.\n", "Usage: demo [OPTIONS] VERB\n",
          "\n  copy                  copy FROM to TO\n", "\n  show                  show ITEM\n",
          "\n  help                  this help, or a verb's\n", "  -q,--quiet            say less\n",
          "  -h,--help             this help; with a verb, the verb's help\n",
          "  -V,--version          the version\n", "'demo help VERB' describes a verb.\n",
          "Exit status: 0 success, 1 failure, 2 usage error.\n"})
        EXPECT_NE(outcome.out.find(line), std::string::npos) << line << " in\n" << outcome.out;
    EXPECT_EQ(CallVerbTool({"help"}).out, outcome.out);
    EXPECT_EQ(CallVerbTool({"-q", "-h"}).out, outcome.out);
}

TEST(ToolCliVerbs, EachVerbHasItsHelpEveryWay)
{
    const sOutcome outcome = CallVerbTool({"copy", "--help"});
    EXPECT_EQ(outcome.status, kExitOk);
    EXPECT_EQ(outcome.err, "");
    for (const char* line :
         {"Usage: demo copy [OPTIONS] FROM TO\n", "  FROM REQUIRED         what is copied\n",
          "  -q,--quiet            say less\n", "Copies FROM to TO, byte by byte.\n",
          "Exit status: 0 success, 1 failure, 2 usage error.\n"})
        EXPECT_NE(outcome.out.find(line), std::string::npos) << line << " in\n" << outcome.out;
    EXPECT_EQ(outcome.out.find("describes a verb"), std::string::npos) << outcome.out;
    // Help wins over operands that are missing or too many.
    for (const std::vector<std::string>& words :
         {std::vector<std::string>{"help", "copy"}, {"-h", "copy"}, {"copy", "a", "-h"},
          {"copy", "a", "b", "c", "--help"}})
    {
        CVerbTool tool;
        const sOutcome same = tool.Call(words);
        EXPECT_EQ(same.status, kExitOk) << words[0] << " " << words[1];
        EXPECT_EQ(same.out, outcome.out) << words[0] << " " << words[1];
        EXPECT_EQ(tool.ran, "");
    }
    EXPECT_NE(CallVerbTool({"help", "help"}).out.find("Usage: demo help [OPTIONS] [VERB]\n"),
              std::string::npos);
}

TEST(ToolCliVerbs, VersionWinsOverEverything)
{
    for (const std::vector<std::string>& words :
         {std::vector<std::string>{"--version"}, {"-V"}, {"copy", "-V"}, {"-V", "frob"},
          {"--help", "--version"}})
    {
        CVerbTool tool;
        const sOutcome outcome = tool.Call(words);
        EXPECT_EQ(outcome.status, kExitOk) << words[0];
        EXPECT_EQ(outcome.out, "demo 1.2.3\n") << words[0];
        EXPECT_EQ(outcome.err, "") << words[0];
        EXPECT_EQ(tool.ran, "");
    }
}

TEST(ToolCliVerbs, UsageErrorsNameTheProblemAndTheHelpToRead)
{
    struct sCase
    {
        std::vector<std::string> words;
        const char* err;
    };
    const sCase cases[] = {
        {{}, "demo: no verb given\nTry 'demo --help'.\n"},
        {{"-q"}, "demo: no verb given\nTry 'demo --help'.\n"},
        {{"frob"}, "demo: unknown verb 'frob'\nTry 'demo --help'.\n"},
        {{"frob", "a"}, "demo: unknown verb 'frob'\nTry 'demo --help'.\n"},
        {{"--bogus"}, "demo: unknown option '--bogus'\nTry 'demo --help'.\n"},
        {{"--bogus", "copy", "a", "b"}, "demo: unknown option '--bogus'\nTry 'demo help copy'.\n"},
        {{"copy", "-x", "a", "b"}, "demo: unknown option '-x'\nTry 'demo help copy'.\n"},
        {{"copy"}, "demo: missing operand FROM\nTry 'demo help copy'.\n"},
        {{"copy", "a"}, "demo: missing operand TO\nTry 'demo help copy'.\n"},
        {{"copy", "a", "--"}, "demo: missing operand TO\nTry 'demo help copy'.\n"},
        {{"copy", "a", "b", "c"}, "demo: unexpected operand 'c'\nTry 'demo help copy'.\n"},
        {{"show", "a", "copy"}, "demo: unexpected operand 'copy'\nTry 'demo help show'.\n"},
        {{"help", "frob"}, "demo: unknown verb 'frob'\nTry 'demo --help'.\n"},
        {{"help", "copy", "show"}, "demo: unexpected operand 'show'\nTry 'demo help help'.\n"},
    };
    for (const sCase& test : cases)
    {
        CVerbTool tool;
        const sOutcome outcome = tool.Call(test.words);
        const std::string words = test.words.empty() ? "(nothing)" : test.words[0];
        EXPECT_EQ(outcome.status, kExitUsage) << words;
        EXPECT_EQ(outcome.err, test.err) << words;
        EXPECT_EQ(outcome.out, "") << words;
        EXPECT_EQ(tool.ran, "") << words;
    }
}

TEST(ToolCliVerbs, AFailedActionIsReportedAsTheToolsFailure)
{
    {
        CToolCli cli("demo", "Demonstrates.", "1");
        cli.AddVerb("go", "go", "Goes.\n", [] () -> int {
            FILE_SetLastError(FILE_ERROR_NO_SPACE);
            throw CXfsException(4007, __LINE__, __FILE__, "Error writing to file.");
        });
        const sOutcome outcome = Call(cli, {"go"});
        EXPECT_EQ(outcome.status, kExitFailure);
        EXPECT_EQ(outcome.err, "demo: Error writing to file. (4007): no space left on device\n");
    }
    {
        CToolCli cli("demo", "Demonstrates.", "1");
        cli.AddVerb("go", "go", "Goes.\n", [] () -> int { throw std::runtime_error("broken"); });
        const sOutcome outcome = Call(cli, {"go"});
        EXPECT_EQ(outcome.status, kExitFailure);
        EXPECT_EQ(outcome.err, "demo: broken\n");
    }
}

// A tool of operands only: no help verb, "help" is an operand like any other.
TEST(ToolCliOperands, TheToolsActionGetsItsOperands)
{
    CToolCli cli("single", "Reads files.", "0.1.0");
    bool quiet = false;
    std::vector<std::string> files;
    cli.AddFlag("-q,--quiet", quiet, "say less");
    CToolCli::AddOperand(cli.GetApp(), "FILE", files, "a file to read");
    std::vector<std::string> seen;
    const sOutcome outcome = Call(cli, {"a", "-q", "help"}, [&] {
        seen = files;
        return kExitFailure;
    });
    EXPECT_EQ(outcome.status, kExitFailure);
    EXPECT_EQ(seen, (std::vector<std::string>{"a", "help"}));
    EXPECT_TRUE(quiet);
}

TEST(ToolCliOperands, HelpAndUsageErrorsPointAtTheTool)
{
    const auto call = [](const std::vector<std::string>& words) {
        CToolCli cli("single", "Reads files.", "0.1.0");
        std::vector<std::string> files;
        CToolCli::AddOperand(cli.GetApp(), "FILE", files, "a file to read");
        return Call(cli, words, [] { return kExitOk; });
    };
    const sOutcome help = call({"--help"});
    EXPECT_EQ(help.status, kExitOk);
    EXPECT_NE(help.out.find("Usage: single [OPTIONS] FILE...\n"), std::string::npos) << help.out;
    EXPECT_NE(help.out.find("  FILE ... REQUIRED     a file to read\n"), std::string::npos) << help.out;
    EXPECT_NE(help.out.find("  -h,--help             this help\n"), std::string::npos) << help.out;
    EXPECT_EQ(help.out.find("VERB"), std::string::npos) << help.out;
    EXPECT_NE(help.out.find("\nExit status: 0 success, 1 failure, 2 usage error.\n"),
              std::string::npos);
    EXPECT_EQ(call({"-V"}).out, "single 0.1.0\n");
    const sOutcome missing = call({});
    EXPECT_EQ(missing.status, kExitUsage);
    EXPECT_EQ(missing.err, "single: missing operand FILE\nTry 'single --help'.\n");
    const sOutcome unknown = call({"a", "--nope"});
    EXPECT_EQ(unknown.status, kExitUsage);
    EXPECT_EQ(unknown.err, "single: unknown option '--nope'\nTry 'single --help'.\n");
}

// Details close the help, before the exit statuses, with or without verbs.
TEST(ToolCliOperands, DetailsEndTheHelp)
{
    CToolCli single("single", "Reads files.", "0.1.0");
    std::vector<std::string> files;
    CToolCli::AddOperand(single.GetApp(), "FILE", files, "a file to read");
    single.SetDetails("Reads each FILE.\nThen stops.\n");
    const std::string help = Call(single, {"--help"}).out;
    EXPECT_NE(help.find("\nReads each FILE.\nThen stops.\n\nExit status: 0 success"),
              std::string::npos) << help;

    CToolCli demo("demo", "Demonstrates.", "1");
    demo.AddVerb("go", "go", "Goes.\n", [] { return kExitOk; });
    demo.SetDetails("Has one verb.\n");
    const std::string verbHelp = Call(demo, {"--help"}).out;
    EXPECT_NE(verbHelp.find("\nHas one verb.\n\n'demo help VERB' describes a verb.\nExit status"),
              std::string::npos) << verbHelp;
}

TEST(ToolCliReports, NameTheToolTheFileAndTheCause)
{
    CToolCli cli("reporter", "Reports.", "1");
    testing::internal::CaptureStderr();
    FILE_SetLastError(FILE_ERROR_NONE);
    EXPECT_EQ(Fail("a.arc", "damaged"), kExitFailure);
    EXPECT_EQ(FailWithCause("b.arc", "cannot open the file"), kExitFailure);
    FILE_SetLastError(FILE_ERROR_ACCESS_DENIED);
    EXPECT_EQ(FailWithCause("c.arc", "cannot open the file"), kExitFailure);
    FILE_SetLastError(FILE_ERROR_NOT_FOUND);
    EXPECT_EQ(Fail("d.arc", CXfsException(4002, __LINE__, __FILE__, "File not found.")),
              kExitFailure);
    Report("no file here");
    FILE_SetLastError(FILE_ERROR_NONE);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "reporter: a.arc: damaged\n"
              "reporter: b.arc: cannot open the file\n"
              "reporter: c.arc: cannot open the file: permission denied\n"
              "reporter: d.arc: File not found. (4002): not found\n"
              "reporter: no file here\n");
}

// Text from files reaches the terminal escaped; the ASCII form also escapes
// high bytes and the backslash, so distinct texts never print alike.
TEST(ToolCliReports, TextFromFilesIsShownEscaped)
{
    const std::string bytes("a\\\x01\x1F \x7F\x80\xC3\xA9\xFF~", 11);
    EXPECT_EQ(Printable(bytes), "a\\\\x01\\x1F \\x7F\x80\xC3\xA9\xFF~");
    EXPECT_EQ(PrintableAscii(bytes), "a\\\\\\x01\\x1F \\x7F\\x80\\xC3\\xA9\\xFF~");
    EXPECT_EQ(PrintableAscii(std::string("\0z", 2)), "\\x00z");
    EXPECT_NE(PrintableAscii("\\x01"), PrintableAscii("\x01"));
}
