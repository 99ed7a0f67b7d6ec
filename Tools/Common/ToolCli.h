// The command line and the error reports every tool shares, on CLI11.
//
// A tool names itself, declares its flags and either its operands or its
// verbs, then hands main's arguments over:
//
//     int main(int argc, char** argv)
//     {
//         CToolCli cli("zrprop", "Prints property files.", ZRPROP_VERSION);
//         std::vector<std::string> files;
//         CToolCli::AddOperand(cli.GetApp(), "FILE", files, "a property file");
//         return cli.Run(argc, argv, [&] { return Dump(files); });
//     }
//
// Every tool then answers alike:
// - -h/--help prints the help, -V/--version prints "TOOL VERSION";
// - a tool with verbs also has "TOOL help [VERB]" and each verb's --help, and
//   its flags may stand before or after the verb;
// - a usage error is reported on stderr as "TOOL: PROBLEM" followed by
//   "Try 'TOOL --help'.", or "Try 'TOOL help VERB'." once a verb is named;
// - the exit status is 0 for success, 1 for failure, 2 for a usage error.
//
// Options and operands are plain CLI11, except that CLI11's path validators
// (ExistingFile and the like) ask the OS themselves: tools check paths through
// the library's FILE_ functions instead.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

class CZRException;

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

class CToolCli
{
public:
    // The work of the tool or of one verb; returns the exit status.
    using Action = std::function<int()>;

    // name starts every message; summary is the help's first line; version
    // follows the name in what --version prints.
    CToolCli(const std::string& name, const std::string& summary, const std::string& version);
    CToolCli(const CToolCli&) = delete;
    CToolCli& operator=(const CToolCli&) = delete;

    // The tool's CLI11 application, for options of its own.
    CLI::App& GetApp() { return m_app; }

    // Full lines that describe the tool at the end of its help, before the
    // exit statuses; for a tool without verbs, what a verb's details are.
    void SetDetails(const std::string& details);

    // A flag of the tool, given before or after any verb, and shown in the
    // help of the tool and of every verb but help.
    void AddFlag(const std::string& names, bool& value, const std::string& description);

    // A verb: summary for the tool's list of verbs, details (full lines) for
    // its own help. Its operands are added to the returned application.
    CLI::App& AddVerb(const std::string& name, const std::string& summary,
                      const std::string& details, Action action);

    // A required operand of the tool or of a verb: one value, or with a
    // vector, one or more.
    template <typename T>
    static CLI::Option* AddOperand(CLI::App& app, const std::string& name, T& value,
                                   const std::string& description)
    {
        return app.add_option(name, value, description)->required()->type_name("");
    }

    // Parses the command line and runs the named verb's action, or the
    // tool's own action when it has no verbs. Help, version and usage errors
    // are answered here; an exception that escapes an action is reported and
    // ends in failure.
    int Run(int argc, char** argv, Action action = {});

private:
    struct sFlag
    {
        std::string names;
        bool* value;
        std::string description;
    };

    const CLI::App* GetNamedVerb() const;
    int Dispatch(const Action& action);
    int RunHelpVerb();
    int ReportUsageError(const CLI::ParseError& error) const;
    int UsageError(const std::string& problem, const CLI::App* verb) const;

    CLI::App m_app;
    CLI::Option* m_helpFlag;
    CLI::App* m_helpVerb = nullptr;
    std::vector<sFlag> m_flags;
    std::vector<std::pair<CLI::App*, Action>> m_verbs;
    std::string m_helpTopic;
    std::string m_details;
};

// Control characters as \xNN, so that text read from a file cannot disturb a
// terminal.
std::string Printable(const std::string& text);
// Plain ASCII: as Printable, and also bytes from 0x80 on as \xNN and the
// backslash as \\, so that every byte of the text can be told from the output.
std::string PrintableAscii(const std::string& text);

// Reports on stderr. Each line starts with the tool's name, as given to the
// last CToolCli constructed.
// "TOOL: TEXT"
void Report(const std::string& text);
// "TOOL: FILE: PROBLEM"; returns kExitFailure.
int Fail(const std::string& file, const std::string& problem);
// As Fail, with the calling thread's file cause (FILE_GetLastError), if any,
// after a last colon: "TOOL: FILE: PROBLEM: CAUSE".
int FailWithCause(const std::string& file, const std::string& problem);
// The exception's message and code, then the cause the library kept for it,
// e.g. "TOOL: FILE: Could not create file for writing. (4005): permission denied".
int Fail(const std::string& file, const CZRException& error);
