// The tools' shared command line: CLI11 set up once, in one style, and the
// error reports that go with it.
#include "ToolCli.h"

#include <cstdio>
#include <exception>
#include <memory>

#include "Common/Core/ZRException.h"
#include "Common/File/FileFunctions.h"

namespace
{
const char kExitHelp[] = "Exit status: 0 success, 1 failure, 2 usage error.";

std::string& ToolName()
{
    static std::string name;
    return name;
}

// Help and version go to stdout; a failed write is a failure.
int Print(const std::string& text)
{
    std::fputs(text.c_str(), stdout);
    return std::fflush(stdout) == 0 && !std::ferror(stdout) ? kExitOk
                                                             : Fail("stdout", "write error");
}

// ": <cause>" for the thread's file cause; empty when there is none.
std::string CauseSuffix()
{
    const eFileError cause = FILE_GetLastError();
    return cause == FILE_ERROR_NONE ? std::string() : std::string(": ") + FILE_GetErrorText(cause);
}

std::string Describe(const CZRException& error)
{
    return std::string(error.GetErrorString()) + " (" + std::to_string(error.GetErrorCode()) +
           ")" + CauseSuffix();
}

// Control bytes, and with ascii bytes from 0x80 on and the backslash, escaped.
std::string Escaped(const std::string& text, bool ascii)
{
    std::string shown;
    for (unsigned char c : text)
    {
        char escape[5];
        std::snprintf(escape, sizeof escape, "\\x%02X", c);
        if (c < 0x20 || c == 0x7F || (ascii && c >= 0x80))
            shown += escape;
        else if (ascii && c == '\\')
            shown += "\\\\";
        else
            shown += char(c);
    }
    return shown;
}
} // namespace

CToolCli::CToolCli(const std::string& name, const std::string& summary, const std::string& version)
    : m_app(summary, name)
{
    ToolName() = name;
    // Verbs inherit the formatter and fallthrough when they are added.
    auto formatter = std::make_shared<CLI::Formatter>();
    formatter->label("Positionals", "Operands");
    formatter->label("SUBCOMMAND", "VERB");
    formatter->column_width(24);
    m_app.formatter(formatter);
    m_app.fallthrough();  // the tool's flags after a verb
    // One option style on every OS: "/name" is a path (CLI11 would read it as
    // an option on Windows). Verbs inherit this too.
    m_app.allow_windows_style_options(false);
    m_helpFlag = m_app.set_help_flag("-h,--help", "this help");
    m_app.set_version_flag("-V,--version", name + " " + version, "the version");
    m_app.footer(kExitHelp);
}

void CToolCli::SetDetails(const std::string& details)
{
    m_details = details + "\n";
    m_app.footer(m_details + kExitHelp);
}

void CToolCli::AddFlag(const std::string& names, bool& value, const std::string& description)
{
    m_flags.push_back({names, &value, description});
    m_app.add_flag(names, value, description);
    for (auto& verb : m_verbs)
        verb.first->add_flag(names, value, description);
}

CLI::App& CToolCli::AddVerb(const std::string& name, const std::string& summary,
                            const std::string& details, Action action)
{
    CLI::App* verb = m_app.add_subcommand(name, summary);
    verb->group("Verbs");
    verb->set_help_flag("-h,--help", "this help");
    for (const sFlag& flag : m_flags)
        verb->add_flag(flag.names, *flag.value, flag.description);
    verb->footer(details + "\n" + kExitHelp);
    m_verbs.emplace_back(verb, std::move(action));
    return *verb;
}

int CToolCli::Run(int argc, char** argv, Action action)
{
    // help comes last in the list of verbs, and exactly one verb is wanted.
    if (!m_verbs.empty() && m_helpVerb == nullptr)
    {
        const std::string& name = m_app.get_name();
        m_helpVerb = m_app.add_subcommand("help", "this help, or a verb's");
        m_helpVerb->group("Verbs");
        m_helpVerb->set_help_flag("-h,--help", "this help");
        m_helpVerb->add_option("VERB", m_helpTopic, "the verb to describe")->type_name("");
        m_helpVerb->footer(kExitHelp);
        m_helpFlag->description("this help; with a verb, the verb's help");
        m_app.require_subcommand(1);
        m_app.footer(m_details + "'" + name + " help VERB' describes a verb.\n" + kExitHelp);
    }
    try
    {
        try
        {
            m_app.parse(argc, argv);
        }
        catch (const CLI::CallForHelp&)
        {
            return Print(m_app.help());  // the named verb's, if any
        }
        catch (const CLI::CallForVersion& version)
        {
            return Print(std::string(version.what()) + "\n");
        }
        catch (const CLI::ParseError& error)
        {
            return ReportUsageError(error);
        }
        return Dispatch(action);
    }
    catch (const CZRException& error)
    {
        Report(Describe(error));
    }
    catch (const std::exception& error)
    {
        Report(error.what());
    }
    return kExitFailure;
}

const CLI::App* CToolCli::GetNamedVerb() const
{
    const std::vector<CLI::App*> named = m_app.get_subcommands();
    return named.empty() ? nullptr : named.front();
}

int CToolCli::Dispatch(const Action& action)
{
    const CLI::App* named = GetNamedVerb();
    if (named == nullptr)
        return action ? action() : kExitOk;
    if (named == m_helpVerb)
        return RunHelpVerb();
    for (const auto& verb : m_verbs)
        if (verb.first == named)
            return verb.second();
    return kExitOk;
}

// "TOOL help" is "TOOL --help"; "TOOL help VERB" is "TOOL VERB --help".
int CToolCli::RunHelpVerb()
{
    const std::string& tool = m_app.get_name();
    if (m_helpTopic.empty())
        return Print(m_app.get_formatter()->make_help(&m_app, tool, CLI::AppFormatMode::Normal));
    if (m_helpTopic == m_helpVerb->get_name())
        return Print(m_helpVerb->help(tool));
    for (const auto& verb : m_verbs)
        if (verb.first->get_name() == m_helpTopic)
            return Print(verb.first->help(tool));
    return UsageError("unknown verb '" + m_helpTopic + "'", nullptr);
}

// CLI11 says what went wrong; the project's wording says it about the word
// that did not fit, else about the verb or operand that is missing.
int CToolCli::ReportUsageError(const CLI::ParseError& error) const
{
    const CLI::App* verb = GetNamedVerb();
    bool optionsEnded = false;
    for (const std::string& word : m_app.remaining(true))
    {
        if (word == "--" && !optionsEnded)
            optionsEnded = true;
        else if (!optionsEnded && word.size() > 1 && word[0] == '-')
            return UsageError("unknown option '" + word + "'", verb);
        else if (verb == nullptr && !m_verbs.empty())
            return UsageError("unknown verb '" + word + "'", verb);
        else
            return UsageError("unexpected operand '" + word + "'", verb);
    }
    if (verb == nullptr && !m_verbs.empty() && dynamic_cast<const CLI::RequiredError*>(&error))
        return UsageError("no verb given", verb);
    const CLI::App& app = verb != nullptr ? *verb : m_app;
    const std::vector<const CLI::Option*> missing = app.get_options([](const CLI::Option* option) {
        return option->get_positional() && option->get_required() && option->count() == 0;
    });
    if (!missing.empty())
        return UsageError("missing operand " + missing.front()->get_name(), verb);
    return UsageError(error.what(), verb);
}

int CToolCli::UsageError(const std::string& problem, const CLI::App* verb) const
{
    const std::string& tool = m_app.get_name();
    const std::string help = verb != nullptr ? tool + " help " + verb->get_name() : tool + " --help";
    std::fprintf(stderr, "%s: %s\nTry '%s'.\n", tool.c_str(), problem.c_str(), help.c_str());
    return kExitUsage;
}

void Report(const std::string& text)
{
    std::fprintf(stderr, "%s: %s\n", ToolName().c_str(), text.c_str());
}

int Fail(const std::string& file, const std::string& problem)
{
    Report(file + ": " + problem);
    return kExitFailure;
}

int FailWithCause(const std::string& file, const std::string& problem)
{
    return Fail(file, problem + CauseSuffix());
}

int Fail(const std::string& file, const CZRException& error)
{
    return Fail(file, Describe(error));
}

std::string Printable(const std::string& text)
{
    return Escaped(text, false);
}

std::string PrintableAscii(const std::string& text)
{
    return Escaped(text, true);
}
