// zrlex: the token viewer, on the tools' command line.
#include <string>
#include <vector>

#include "ToolCli.h"
#include "Zrlex.h"

namespace
{
const char kDetails[] =
    "Prints the tokens of FILE one per line: where the token begins, its type\n"
    "and its value. FILE is opened through the library's file system, so a file\n"
    "inside an archive in the current directory (Data\\Scripts\\a.txt in Data.arc)\n"
    "reads like a plain one; at most 64 MiB.\n"
    "\n"
    "LINE:COLUMN is the token's first character, both counted from 1; a tab\n"
    "moves the column to the next multiple of the tab size, as the library\n"
    "counts. EOF stands after the last character. (The tokenizer's own counters\n"
    "stand after the token, often past the character after it too, so messages\n"
    "built from them point further on.)\n"
    "\n"
    "Types and values:\n"
    "  WORD           the word (lower-cased with --lower)\n"
    "  KEYWORD(N)     a word given to --keywords, and its number\n"
    "  INTEGER, REAL  a number without and with digits after its point, printed\n"
    "                 as \"%f\" prints it; \"7.\" is 7 and the character '.'\n"
    "  STRING(\"), STRING(')  a quoted string without its quotes, escapes\n"
    "                 decoded; a line end or the end of the file also closes it\n"
    "  TEXTBLOCK      the text between {! and !} without trailing white space\n"
    "  EOL            a line end (with --eol)\n"
    "  CHAR           any other character, as 'c'\n"
    "  GREATER_EQUAL >=, LESS_EQUAL <=, COLON_EQUAL :=, LESS_GREATER <>, DOT_DOT ..\n"
    "                 joined across white space and comments (not with --tokenizer)\n"
    "  EOF            the end; a comment or text block left open runs up to it\n"
    "Bytes below 0x20 and from 0x7F on print as \\xNN, the backslash as \\\\.\n";

// --keywords is parsed once the whole command line is known, as --lower
// decides which words can match.
void ParseKeywordOptions(const std::vector<std::string>& lists, sLexOptions& options)
{
    if (!lists.empty() && options.tokenizerOnly)
        throw CLI::ValidationError("--keywords", "the plain tokenizer (--tokenizer) has none");
    for (const std::string& list : lists)
    {
        std::string problem;
        if (!ParseKeywords(list, options.lower, options.keywords, problem))
            throw CLI::ValidationError("--keywords", problem);
    }
}
} // namespace

int main(int argc, char** argv)
{
    CToolCli cli("zrlex", "Shows the tokens a script is read as.", ZRLEX_VERSION);
    cli.SetDetails(kDetails);
    CLI::App& app = cli.GetApp();
    sLexOptions options;
    std::string file;
    std::vector<std::string> keywordLists;
    CToolCli::AddOperand(app, "FILE", file, "the script to read");
    cli.AddFlag("--pascal-comments", options.pascalComments,
                "{ ... } is a comment; so is {! ... }");
    cli.AddFlag("--text-blocks", options.textBlocks, "{! ... !} is a text block");
    cli.AddFlag("--eol", options.eol, "line ends are tokens");
    cli.AddFlag("--lower", options.lower, "words are lower-cased");
    // One list per --keywords; the option's own value is only CLI11's.
    std::string lastList;
    app.add_option("--keywords", lastList,
                   "WORD=NUMBER,... are keywords (repeatable); not\n"
                   "as NUMBER: -54 to -50, -5 to 255 (the lexer's own)")
        ->type_name("LIST")
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)
        ->each([&](const std::string& list) { keywordLists.push_back(list); });
    cli.AddFlag("--no-slash-comments", options.noSlashComments, "// and /* */ are no comments");
    cli.AddFlag("--asm-comments", options.asmComments, "; starts a comment to the line end");
    cli.AddFlag("--no-strings", options.noStrings, "quotes are plain characters");
    app.add_option("--tab-size", options.tabSize, "columns per tab stop, 1 to 100 (default 4)")
        ->type_name("N")
        ->check(CLI::Range(1, 100).description(""));
    cli.AddFlag("--tokenizer", options.tokenizerOnly,
                "the plain tokenizer: no keywords, no joined operators");
    app.final_callback([&] { ParseKeywordOptions(keywordLists, options); });
    return cli.Run(argc, argv, [&] { return PrintTokens(file, options); });
}
