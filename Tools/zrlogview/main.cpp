// zrlogview: the log viewer, on the tools' command line.
#include <string>

#include "ToolCli.h"
#include "Zrlogview.h"

namespace
{
const char kDetails[] =
    "Serves the mail slot \\\\.\\mailslot\\debug, to which the library's logging\n"
    "sends every entry, and prints one line per entry until interrupted: Ctrl+C\n"
    "ends it with status 0, and so does a TERM signal on POSIX systems (--count\n"
    "ends it after N). The fields are separated by tabs:\n"
    "  TIME      when the entry arrived, local time hh:mm:ss.mmm\n"
    "  TICKS     the sender's tick count (with --ticks)\n"
    "  COMPUTER  the sender's computer name\n"
    "  LOG       the log's name\n"
    "  PID       the sender's process id\n"
    "  CLASS     the class number and its name: 0 Game Message, 1 Dump, 2 Info,\n"
    "            3 Message, 4 Note, 5 Warning, 6 Error, 7 Critical Error,\n"
    "            8 Catastrophic Error; other numbers have no name\n"
    "  CONTEXT, LOCATION, NUMBER (the location's), MESSAGE\n"
    "Bytes below 0x20 and 0x7F print as \\xNN; with --ascii, bytes from 0x80 on\n"
    "too, and the backslash as \\\\.\n"
    "\n"
    "A message that is no entry (cut short, a text length that is negative or\n"
    "runs past the end, a tick count that is no number, a message over 255\n"
    "characters, bytes left over) is reported on stderr with the field and\n"
    "offset where it breaks, and so is a message over 400 bytes, which is\n"
    "skipped; the viewer goes on.\n"
    "\n"
    "The slot belongs to the user who runs the viewer: only that user's\n"
    "processes reach it, unless both sides run with ZR_MAILSLOT_SCOPE=machine.\n"
    "A slot that another viewer serves cannot be served (status 1).\n";
} // namespace

int main(int argc, char** argv)
{
    CToolCli cli("zrlogview", "Shows the log entries sent to the debug mail slot.",
                 ZRLOGVIEW_VERSION);
    cli.SetDetails(kDetails);
    CLI::App& app = cli.GetApp();
    sViewOptions options;
    CLI::Option* classMin =
        app.add_option("--class-min", options.classMin, "only entries of class N or higher")
            ->type_name("N");
    app.add_option("--log", options.logs,
                   "only entries of log NAME, in any case of its ASCII\n"
                   "letters (repeatable: any of them)")
        ->type_name("NAME")
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    app.add_option("--count", options.count,
                   "exit after N entries shown or messages reported\n"
                   "(entries filtered out do not count)")
        ->type_name("N")
        ->check(CLI::Range(1UL, 0xFFFFFFFFUL).description(""));
    app.add_option("--slot", options.slot,
                   "serve \\\\.\\mailslot\\NAME instead of ...\\debug; a\n"
                   "NAME starting with \\\\ is the whole slot name")
        ->type_name("NAME");
    cli.AddFlag("--ticks", options.ticks, "show the sender's tick count after the time");
    cli.AddFlag("--ascii", options.ascii, "show bytes from 0x80 on as \\xNN and \\ as \\\\");
    return cli.Run(argc, argv, [&] {
        options.classMinSet = classMin->count() > 0;
        return ViewLog(options);
    });
}
