// zrarc: command line, help texts and dispatch to the verbs.
#include <cstdio>
#include <exception>
#include <string>

#include "Common/Core/ZRException.h"
#include "Zrarc.h"

namespace
{
struct sVerb
{
    const char* name;
    const char* operands;  // as shown in the usage line
    std::size_t operandCount;
    const char* summary;
    const char* details;
    int (*run)(const Operands&, const sOptions&);
};

const sVerb kVerbs[] = {
    {"create", "ARCHIVE DIR", 2, "pack the tree DIR into ARCHIVE",
     "Packs the files and subdirectories of DIR into ARCHIVE; each subdirectory\n"
     "becomes a nested archive. \".arc\" is appended to ARCHIVE unless it ends in it.\n"
     "A progress bar is drawn on stderr when stderr is a terminal.\n",
     RunCreate},
    {"extract", "ARCHIVE DIR", 2, "unpack ARCHIVE below DIR",
     "Unpacks ARCHIVE into DIR/NAME, where NAME is the archive's name without\n"
     "\".arc\"; DIR is created when missing. The archive is verified first: a damaged\n"
     "archive, or one with names that would leave DIR, is refused.\n"
     "A progress bar is drawn on stderr when stderr is a terminal.\n",
     RunExtract},
    {"list", "ARCHIVE", 1, "show the tree of entries with their sizes",
     "Prints one line per entry: the size, then the name indented by its depth.\n"
     "Nested archives are folders, shown with a trailing '/'. The last line gives\n"
     "the total size of all files. A damaged archive is listed as far as it can be\n"
     "read; its problems go to stderr and the exit status is 1.\n",
     RunList},
    {"cat", "PATH", 1, "write an archived file to stdout",
     "Writes the bytes of PATH to stdout unchanged. In PATH each directory X\n"
     "stands for the archive X.arc in the current directory, or for a nested\n"
     "archive inside the one before it: Data\\Textures\\wall.tga is the file\n"
     "wall.tga of the nested archive Textures in Data.arc. Directories before the\n"
     "archive are entered first (build/Data/wall.tga reads build/Data.arc). Plain\n"
     "files work too.\n",
     RunCat},
    {"verify", "ARCHIVE", 1, "check ARCHIVE and report every problem",
     "Checks ARCHIVE without trusting it: magic and version, sizes against the\n"
     "file and against each parent entry, the directory's bounds, every entry's\n"
     "range and name, overlaps, and every nested archive. Prints each problem on\n"
     "stdout. Warnings (non-zero reserved bytes, unused bytes, duplicate names)\n"
     "alone leave the exit status 0.\n",
     RunVerify},
};

const char kOptionsHelp[] = "Options:\n"
                            "  -q, --quiet    no progress bar, no report of success\n"
                            "  -h, --help     this help; with a verb, the verb's help\n"
                            "  -V, --version  the version\n"
                            "  --             ends the options\n";

const char kExitHelp[] = "Exit status: 0 success, 1 failure, 2 usage error.\n";

struct sCommandLine
{
    sOptions options;
    bool help = false;
    bool version = false;
    Operands words;  // the verb and its operands
};

int UsageError(const std::string& problem, const std::string& helpCall = "zrarc --help")
{
    std::fprintf(stderr, "zrarc: %s\nTry '%s'.\n", problem.c_str(), helpCall.c_str());
    return kExitUsage;
}

const sVerb* FindVerb(const std::string& name)
{
    for (const sVerb& verb : kVerbs)
        if (name == verb.name)
            return &verb;
    return nullptr;
}

int PrintHelp()
{
    std::printf("Usage: zrarc [OPTION]... VERB OPERAND...\n"
                "Packs directory trees into archives and reads them back.\n\nVerbs:\n");
    for (const sVerb& verb : kVerbs)
    {
        const std::string call = std::string(verb.name) + " " + verb.operands;
        std::printf("  %-20s %s\n", call.c_str(), verb.summary);
    }
    std::printf("\n%s\n'zrarc help VERB' describes a verb.\n%s", kOptionsHelp, kExitHelp);
    return kExitOk;
}

int PrintVerbHelp(const sVerb& verb)
{
    std::printf("Usage: zrarc [OPTION]... %s %s\n%s\n%s\n%s", verb.name, verb.operands,
                verb.details, kOptionsHelp, kExitHelp);
    return kExitOk;
}

// Options may stand anywhere before "--"; everything else is a word.
bool Parse(int argc, char** argv, sCommandLine& line, std::string& problem)
{
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i)
    {
        const std::string arg = argv[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-')
            line.words.push_back(arg);
        else if (arg == "--")
            optionsEnded = true;
        else if (arg == "-q" || arg == "--quiet")
            line.options.quiet = true;
        else if (arg == "-h" || arg == "--help")
            line.help = true;
        else if (arg == "-V" || arg == "--version")
            line.version = true;
        else
        {
            problem = "unknown option '" + arg + "'";
            return false;
        }
    }
    return true;
}

// "zrarc help" and "zrarc help VERB".
int RunHelp(const Operands& words)
{
    if (words.size() == 1)
        return PrintHelp();
    const sVerb* verb = words.size() == 2 ? FindVerb(words[1]) : nullptr;
    if (verb == nullptr)
        return UsageError(words.size() == 2 ? "unknown verb '" + words[1] + "'"
                                            : "'help' takes at most one verb");
    return PrintVerbHelp(*verb);
}

int Run(int argc, char** argv)
{
    sCommandLine line;
    std::string problem;
    if (!Parse(argc, argv, line, problem))
        return UsageError(problem);
    if (line.version)
        return std::printf("zrarc %s\n", ZRARC_VERSION) > 0 ? kExitOk : kExitFailure;
    if (line.words.empty())
        return line.help ? PrintHelp() : UsageError("no verb given");
    if (line.words[0] == "help")
        return RunHelp(line.words);
    const sVerb* verb = FindVerb(line.words[0]);
    if (verb == nullptr)
        return UsageError("unknown verb '" + line.words[0] + "'");
    if (line.help)
        return PrintVerbHelp(*verb);
    const Operands operands(line.words.begin() + 1, line.words.end());
    if (operands.size() != verb->operandCount)
        return UsageError(std::string("usage: zrarc ") + verb->name + " " + verb->operands,
                          std::string("zrarc help ") + verb->name);
    return verb->run(operands, line.options);
}
} // namespace

int main(int argc, char** argv)
{
    try
    {
        return Run(argc, argv);
    }
    catch (const CZRException& error)
    {
        return Fail("zrarc", error);
    }
    catch (const std::exception& error)
    {
        return Fail("zrarc", error.what());
    }
}
