// zrprop: looks into saved properties, on the tools' command line.
#include <string>

#include "Dump.h"
#include "ToolCli.h"

int main(int argc, char** argv)
{
    CToolCli cli("zrprop", "Shows what saved property sets and parameter lists hold.", ZRPROP_VERSION);
    std::string file;
    bool fileLayout = false;
    CLI::App& dump = cli.AddVerb(
        "dump", "print every entry of FILE",
        "Prints one line per entry: the name (a property set) or the index (a\n"
        "parameter list), the kind, the value as the property formats it, and its\n"
        "format when it has one. FILE holds a property set or a parameter list as\n"
        "a data stream stores it, told apart by its first byte; with --file-layout,\n"
        "a property set as a file object writes it (count, then name and property\n"
        "per entry). A damaged file is shown up to the damage, which is reported\n"
        "with the entry and offset where it begins; the exit status is then 1.\n",
        [&] { return fileLayout ? DumpFileLayout(file) : DumpDataStream(file); });
    CToolCli::AddOperand(dump, "FILE", file, "the file to read");
    dump.add_flag("--file-layout", fileLayout, "FILE holds a property set in the file layout");
    return cli.Run(argc, argv);
}
