// zrdemo: what the steps share. Each step works in the current directory,
// which is the run's working folder, and logs one entry when it is done.
#pragma once

#include <string>
#include <vector>

#include "ToolCli.h" // the exit statuses and error reports
#include "ToolFiles.h" // IsDirectory, CreateDirectories

class CZRException;

struct sDemoOptions
{
    std::string dir; // empty: a fresh folder under the temp directory
    int frames = 60;
    bool quiet = false;
};

// A step as the log names it: context, location and location number.
struct sStep
{
    const char* name;
    const char* source;
    int number;
};

constexpr int kStepCount = 6;
constexpr sStep kStepWorkspace{"workspace", "Workspace.cpp", 1};
constexpr sStep kStepAssets{"assets", "Assets.cpp", 2};
constexpr sStep kStepPack{"pack", "Pack.cpp", 3};
constexpr sStep kStepMount{"mount", "Mount.cpp", 4};
constexpr sStep kStepFrames{"frames", "Frames.cpp", 5};
constexpr sStep kStepConsole{"console", "Console.cpp", 6};

// Names inside the working folder.
constexpr char kLogName[] = "zrdemo"; // the log file is zrdemo.log
// A top-level archive is found in the current directory, and a root is a
// directory name: the root "Game" serves "settings.prop" from Game.arc.
constexpr char kSourceDir[] = "src/Game"; // the asset tree as written
constexpr char kArchive[] = "Game.arc";   // the tree packed
constexpr char kRoot[] = "Game";
constexpr char kSettingsFile[] = "settings.prop";
constexpr char kScriptFile[] = "Scripts/door.zrs";
constexpr char kRecordsFile[] = "records.bin";
// The profiler's timeline of the last frames, for Perfetto or chrome://tracing.
constexpr char kTraceFile[] = "zrdemo-trace.json";
constexpr int kTraceFrames = 30;
constexpr int kRecordCount = 48;

// A step that could not be done; main reports "zrdemo: FILE: STEP: CAUSE".
struct sStepFailure
{
    std::string step;
    std::string file;
    std::string cause;
};

[[noreturn]] void ThrowStep(const sStep& step, const std::string& file, const std::string& cause);
// The exception's message and code, and the file cause the library kept, if any.
std::string Describe(const CZRException& error);
// The calling thread's file cause as ": CAUSE", or nothing.
std::string CauseSuffix();


// One entry to zrdemo.log and the debug mail slot; message is never a format.
void LogStep(const sStep& step, int logClass, const std::string& message);
// Logs the step as done and, unless quiet, prints "[N/6] step  summary".
void StepDone(const sStep& step, const std::string& summary, const sDemoOptions& options);

// The steps, in order. Each throws sStepFailure.
// Creates (or reuses) the folder and makes it the current directory; returns
// its absolute name.
std::string EnterWorkspace(const sDemoOptions& options);
void WriteAssets(const sDemoOptions& options);
void PackAssets(const sDemoOptions& options);
void LoadFromArchive(const sDemoOptions& options);

// One profiler slot as the last frame reported it.
struct sSampleRow
{
    std::string name;
    float average = 0, minimum = 0, maximum = 0; // percent of the frame, own time
    float seconds = 0;                           // children included
    int instances = 0;
    int parents = 0;
};

struct sFrameReport
{
    int frames = 0;
    double seconds = 0;
    float progress = 0;    // the load guard's, 0 to 1
    std::string component; // the last one reported
    int progressMoves = 0; // as the watch heard them
    int recordsLoaded = 0;
    unsigned checksum = 0; // of the simulated work
    std::vector<sSampleRow> samples;
};

sFrameReport RunFrames(const sDemoOptions& options);
void ShowConsole(const sFrameReport& report, const sDemoOptions& options);
