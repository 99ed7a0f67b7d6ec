// Log entries per second through _ZR_Log_Fn, one sink at a time:
//   file       a line appended to a log file in a scratch directory (each entry
//              opens, appends to, flushes and closes the file)
//   mailslot   a record to the broadcast log mail slot, with no log viewer
//              serving it
//   debugger   the message to the debugger output, taken by a hook that
//              discards it
//   none       no sink: what every entry costs before any output
// The debugger output goes to the discarding hook in every case, so a sink's
// failure report costs what it costs but prints nothing (the counter
// debug_pieces tells how many pieces each entry sent there). Every entry
// formats the same kind of message with a changing number.
#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <system_error>

#include "Common/Diagnostics/ZRDebugFunctions.h"
#include "Common/Diagnostics/ZRLog.h"

namespace fs = std::filesystem;

namespace
{
// Discards the debugger output while it lives, counting the pieces.
class CQuietDebugger
{
public:
    CQuietDebugger() { ZR_SetDebugOutputHook(&Discard, this); }
    ~CQuietDebugger() { ZR_SetDebugOutputHook(nullptr, nullptr); }
    CQuietDebugger(const CQuietDebugger&) = delete;
    CQuietDebugger& operator=(const CQuietDebugger&) = delete;
    long Pieces() const { return m_pieces; }

private:
    static void Discard(const char*, void* user) { ++static_cast<CQuietDebugger*>(user)->m_pieces; }
    long m_pieces = 0;
};

// A scratch directory of its own, removed with everything in it.
class CScratch
{
public:
    CScratch()
        : m_root(fs::temp_directory_path() /
                 ("zrbench-log-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count())))
    {
        fs::create_directories(m_root);
    }
    ~CScratch()
    {
        std::error_code ignored;
        fs::remove_all(m_root, ignored);
    }
    CScratch(const CScratch&) = delete;
    CScratch& operator=(const CScratch&) = delete;

    std::string LogName() const { return (m_root / "bench").string(); }
    std::uintmax_t LogFileSize() const
    {
        std::error_code error;
        const std::uintmax_t size = fs::file_size(m_root / "bench.log", error);
        return error ? 0 : size;
    }

private:
    fs::path m_root;
};

// Entries per second by the wall clock (entries_per_second; items_per_second
// counts processor time only, which leaves out the disk), and the debugger
// output pieces per entry (a sink's failure report shows there).
void LogEntries(benchmark::State& state, const CQuietDebugger& quiet, const std::string& logName,
                unsigned long sinks)
{
    const long piecesBefore = quiet.Pieces();
    const auto start = std::chrono::steady_clock::now();
    int n = 0;
    for (auto _ : state)
    {
        _ZR_Log_Fn("LogBenchmark.cpp", logName.c_str(), "Benchmark", 42, 0, sinks, LOG_CLASS_INFO,
                   "entry %d: player %s reached %.2f", n, "SpawnPoint", n * 0.5);
        ++n;
    }
    const std::chrono::duration<double> wall = std::chrono::steady_clock::now() - start;
    const double entries = static_cast<double>(state.iterations());
    state.SetItemsProcessed(state.iterations());
    state.counters["entries_per_second"] = wall.count() > 0 ? entries / wall.count() : 0.0;
    state.counters["debug_pieces"] = static_cast<double>(quiet.Pieces() - piecesBefore) / entries;
}

void BM_Log_file(benchmark::State& state)
{
    CQuietDebugger quiet;
    CScratch scratch;
    LogEntries(state, quiet, scratch.LogName(), LOG_TO_FILE);
    if (scratch.LogFileSize() == 0)
        state.SkipWithError("nothing reached the log file");
}

void BM_Log_mailslot(benchmark::State& state)
{
    CQuietDebugger quiet;
    LogEntries(state, quiet, "zrbench-log", LOG_TO_MAILSLOT);
}

void BM_Log_debugger(benchmark::State& state)
{
    CQuietDebugger quiet;
    LogEntries(state, quiet, "zrbench-log", LOG_TO_DEBUGGER);
    if (quiet.Pieces() != 2 * static_cast<long>(state.iterations()))
        state.SkipWithError("the debugger output missed entries");
}

void BM_Log_none(benchmark::State& state)
{
    CQuietDebugger quiet;
    LogEntries(state, quiet, "zrbench-log", 0);
}
} // namespace

BENCHMARK(BM_Log_file)->Name("BM_Log/file");
BENCHMARK(BM_Log_mailslot)->Name("BM_Log/mailslot");
BENCHMARK(BM_Log_debugger)->Name("BM_Log/debugger");
BENCHMARK(BM_Log_none)->Name("BM_Log/none");

BENCHMARK_MAIN();
