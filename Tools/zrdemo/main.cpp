// zrdemo: the library's demonstration. Writes a small asset tree, packs it,
// mounts the archive, runs frames under the profiler and the load guard, and
// shows the statistics console, logging every step.
#include <cstdio>

#include "Zrdemo.h"

namespace
{
const char kDetails[] =
    "Works in a scratch folder: a fresh one under the system's temp directory,\n"
    "or DIR (created when missing, reused when present; its zrdemo.log is\n"
    "started anew). The steps, each logged to zrdemo.log there and to the debug\n"
    "mail slot (watch it with zrlogview):\n"
    "  1 workspace  enter the folder\n"
    "  2 assets     write src/Game: a property set, a script, a record file\n"
    "  3 pack       pack src/Game into Game.arc (a progress bar on a terminal)\n"
    "  4 mount      add the root \"Game\", load the properties and the script\n"
    "               from inside the archive, read the script with the lexer\n"
    "  5 frames     run N frames (--frames) under the profiler while the level\n"
    "               streams in from the archive under the load guard; the\n"
    "               last 30 frames go to zrdemo-trace.json as a timeline\n"
    "  6 console    render the statistics console's page and print it\n"
    "A failure names the step, the file and the cause.\n";

int Run(const sDemoOptions& options)
{
    try
    {
        const std::string folder = EnterWorkspace(options);
        WriteAssets(options);
        PackAssets(options);
        LoadFromArchive(options);
        const sFrameReport report = RunFrames(options);
        ShowConsole(report, options);
        std::printf("archive: %s/%s\nlog:     %s/%s.log\ntrace:   %s/%s (open it in "
                    "https://ui.perfetto.dev or chrome://tracing)\n",
                    folder.c_str(), kArchive, folder.c_str(), kLogName, folder.c_str(), kTraceFile);
        return kExitOk;
    }
    catch (const sStepFailure& failure)
    {
        return Fail(failure.file, failure.step + ": " + failure.cause);
    }
}
} // namespace

int main(int argc, char** argv)
{
    CToolCli cli("zrdemo", "Shows the library at work on a built-in sample.", ZRDEMO_VERSION);
    cli.SetDetails(kDetails);
    CLI::App& app = cli.GetApp();
    sDemoOptions options;
    app.add_option("--dir", options.dir,
                   "the scratch folder (default: a fresh one in the temp directory)")
        ->type_name("DIR");
    app.add_option("--frames", options.frames, "frames to run, 1 to 100000 (default 60)")
        ->type_name("N")
        ->check(CLI::Range(1, 100000).description(""));
    cli.AddFlag("-q,--quiet", options.quiet, "print only where the archive, the log and the trace are");
    return cli.Run(argc, argv, [&] { return Run(options); });
}
