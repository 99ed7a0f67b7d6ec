// zrarc: the verbs, their operands and help texts, on the tools' command line.
#include <cstddef>
#include <iterator>
#include <vector>

#include "ToolCli.h"
#include "Zrarc.h"

namespace
{
struct sOperand
{
    const char* name;
    const char* description;
};

struct sVerb
{
    const char* name;
    const char* summary;
    const char* details;
    std::vector<sOperand> operands;
    int (*run)(const Operands&, const sOptions&);
};

const sVerb kVerbs[] = {
    {"create", "pack the tree DIR into ARCHIVE",
     "Packs the files and subdirectories of DIR into ARCHIVE; each subdirectory\n"
     "becomes a nested archive. \".arc\" is appended to ARCHIVE unless it ends in it.\n"
     "A progress bar is drawn on stderr when stderr is a terminal.\n",
     {{"ARCHIVE", "the archive to write"}, {"DIR", "the directory to pack"}},
     RunCreate},
    {"extract", "unpack ARCHIVE below DIR",
     "Unpacks ARCHIVE into DIR/NAME, where NAME is the archive's name without\n"
     "\".arc\"; DIR is created when missing. The archive is verified first: a damaged\n"
     "archive, or one with names that would leave DIR, is refused.\n"
     "A progress bar is drawn on stderr when stderr is a terminal.\n",
     {{"ARCHIVE", "the archive to unpack"}, {"DIR", "the directory to unpack below"}},
     RunExtract},
    {"list", "show the tree of entries with their sizes",
     "Prints one line per entry: the size, then the name indented by its depth.\n"
     "Nested archives are folders, shown with a trailing '/'. The last line gives\n"
     "the total size of all files. A damaged archive is listed as far as it can be\n"
     "read; its problems go to stderr and the exit status is 1.\n",
     {{"ARCHIVE", "the archive to list"}},
     RunList},
    {"cat", "write an archived file to stdout",
     "Writes the bytes of PATH to stdout unchanged. In PATH each directory X\n"
     "stands for the archive X.arc in the current directory, or for a nested\n"
     "archive inside the one before it: Data\\Textures\\wall.tga is the file\n"
     "wall.tga of the nested archive Textures in Data.arc. Directories before the\n"
     "archive are entered first (build/Data/wall.tga reads build/Data.arc). Plain\n"
     "files work too.\n",
     {{"PATH", "the file to write"}},
     RunCat},
    {"verify", "check ARCHIVE and report every problem",
     "Checks ARCHIVE without trusting it: magic and version, sizes against the\n"
     "file and against each parent entry, the directory's bounds, every entry's\n"
     "range and name, overlaps, and every nested archive. Prints each problem on\n"
     "stdout. Warnings (non-zero reserved bytes, unused bytes, duplicate names)\n"
     "alone leave the exit status 0.\n",
     {{"ARCHIVE", "the archive to check"}},
     RunVerify},
};
} // namespace

int main(int argc, char** argv)
{
    CToolCli cli("zrarc", "Packs directory trees into archives and reads them back.",
                 ZRARC_VERSION);
    sOptions options;
    cli.AddFlag("-q,--quiet", options.quiet, "no progress bar, no report of success");
    // One set of operands per verb, bound before any is parsed.
    std::vector<Operands> operands(std::size(kVerbs));
    for (std::size_t i = 0; i < std::size(kVerbs); ++i)
    {
        const sVerb& verb = kVerbs[i];
        Operands& values = operands[i];
        values.resize(verb.operands.size());
        CLI::App& app = cli.AddVerb(verb.name, verb.summary, verb.details,
                                    [&verb, &values, &options] { return verb.run(values, options); });
        for (std::size_t k = 0; k < values.size(); ++k)
            CToolCli::AddOperand(app, verb.operands[k].name, values[k], verb.operands[k].description);
    }
    return cli.Run(argc, argv);
}
