// CZRString beside std::string (and snprintf for formatting):
//   Append        many short appends (1 to 12 bytes) to one string that starts
//                 empty; the argument is the number of appends.
//   AppendReused  the same appends to one string emptied before each round, so
//                 that it has room from the round before. CZRString grows to
//                 exactly the length needed and std::string geometrically; this
//                 shows the append itself without the growth.
//   Find          a 14-byte substring that occurs only 32 bytes before the end
//                 of a text of prose words; the argument is the text's length.
//   FindChar      a character that occurs only 32 bytes before the end.
//   Format        one "%s %d %f" line.
// Two yardsticks show what the class's rules cost by themselves:
//   Append/exact      a plain char buffer grown the way CZRString must grow:
//                     a new buffer of exactly the new length per append.
//   FindChar/strchr   the C library's strchr, which ends at the first zero byte
//                     as CZRString::Find must, where std::string::find (memchr)
//                     looks at the whole length.
// Texts come from a fixed-seed generator, so every run searches the same bytes.
// Counters: items (appends, searches, lines) and bytes per second.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "Common/Core/ZRString.h"
#include "Support/SplitMix64.h"

namespace
{
constexpr std::size_t kMatchFromEnd = 32;
const char kNeedle[] = "zebra crossing";
constexpr char kCharNeedle = '#';

const char* const kPieces[] = {"a",     "door", "opens", "when",   "the",       "player",
                               "x",     "12",   " ",     "enters", "SpawnPoint", "zone:",
                               "trig", "ger_03", "!",    "health", "m_nCount",  "dt"};
constexpr std::size_t kPieceCount = sizeof(kPieces) / sizeof(kPieces[0]);

const char* const kProse[] = {"the", "door", "opens", "when", "player", "enters", "zone", "see",
                              "note", "fix", "this", "later", "keep", "in", "sync", "with",
                              "editor", "values", "seconds", "was", "before", "crossing", "zebra"};

using CRandom = CSplitMix64;

// Prose of exactly length bytes holding the needle (or the character) once,
// kMatchFromEnd bytes before the end. The prose has "zebra" and "crossing" but
// never the two together, so the search meets near misses on the way.
std::string Text(std::size_t length, const std::string& needle)
{
    CRandom random(length);
    std::string text;
    const std::size_t at = length - kMatchFromEnd;
    while (text.size() < at)
    {
        const std::string word = kProse[random.Next() % (sizeof(kProse) / sizeof(kProse[0]))];
        if (word == "crossing" && text.size() >= 6 && text.compare(text.size() - 6, 6, "zebra ") == 0)
            continue;
        text += word;
        text += ' ';
    }
    text.resize(at);
    text += needle;
    while (text.size() < length)
        text += '.';
    return text;
}

void ReportItems(benchmark::State& state, std::int64_t itemsPerIteration, std::int64_t bytesPerIteration)
{
    state.SetItemsProcessed(state.iterations() * itemsPerIteration);
    state.SetBytesProcessed(state.iterations() * bytesPerIteration);
}

template <typename String> void BM_StringAppend(benchmark::State& state)
{
    const std::size_t appends = static_cast<std::size_t>(state.range(0));
    std::int64_t bytes = 0;
    for (std::size_t i = 0; i < appends; ++i)
        bytes += static_cast<std::int64_t>(std::char_traits<char>::length(kPieces[i % kPieceCount]));
    for (auto _ : state)
    {
        String s;
        for (std::size_t i = 0; i < appends; ++i)
            s += kPieces[i % kPieceCount];
        benchmark::DoNotOptimize(s);
    }
    ReportItems(state, static_cast<std::int64_t>(appends), bytes);
}

// Exact-fit growth by hand: each append allocates exactly the new length plus a
// terminator, copies the old text and the piece, and releases the old buffer.
void BM_StringAppend_exact(benchmark::State& state)
{
    const std::size_t appends = static_cast<std::size_t>(state.range(0));
    std::int64_t bytes = 0;
    for (std::size_t i = 0; i < appends; ++i)
        bytes += static_cast<std::int64_t>(std::char_traits<char>::length(kPieces[i % kPieceCount]));
    for (auto _ : state)
    {
        char* text = nullptr;
        std::size_t length = 0;
        for (std::size_t i = 0; i < appends; ++i)
        {
            const char* piece = kPieces[i % kPieceCount];
            const std::size_t n = std::strlen(piece);
            char* grown = new char[length + n + 1];
            if (length != 0)
                std::memcpy(grown, text, length);
            std::memcpy(grown + length, piece, n + 1);
            delete[] text;
            text = grown;
            length += n;
        }
        benchmark::DoNotOptimize(text);
        delete[] text;
    }
    ReportItems(state, static_cast<std::int64_t>(appends), bytes);
}

template <typename String> void BM_StringAppendReused(benchmark::State& state)
{
    const std::size_t appends = static_cast<std::size_t>(state.range(0));
    std::int64_t bytes = 0;
    for (std::size_t i = 0; i < appends; ++i)
        bytes += static_cast<std::int64_t>(std::char_traits<char>::length(kPieces[i % kPieceCount]));
    String s;
    for (auto _ : state)
    {
        s = "";
        for (std::size_t i = 0; i < appends; ++i)
            s += kPieces[i % kPieceCount];
        benchmark::DoNotOptimize(s);
    }
    ReportItems(state, static_cast<std::int64_t>(appends), bytes);
}

// The index of the match, the same way for both.
int FindIn(const CZRString& text, const char* needle) { return text.Find(needle); }
int FindIn(const std::string& text, const char* needle) { return static_cast<int>(text.find(needle)); }
int FindIn(const CZRString& text, char needle) { return text.Find(needle); }
int FindIn(const std::string& text, char needle) { return static_cast<int>(text.find(needle)); }

template <typename String, typename Needle>
void Search(benchmark::State& state, const std::string& bytes, Needle needle)
{
    const String text(bytes.c_str());
    const int expected = static_cast<int>(bytes.size() - kMatchFromEnd);
    for (auto _ : state)
    {
        const int found = FindIn(text, needle);
        benchmark::DoNotOptimize(found);
        if (found != expected)
            state.SkipWithError("wrong index");
    }
    ReportItems(state, 1, static_cast<std::int64_t>(bytes.size()));
}

// A zero-terminated text searched with strchr.
struct sCText
{
    explicit sCText(const char* text) : bytes(text) {}
    std::string bytes;
};
int FindIn(const sCText& text, char needle)
{
    const char* found = std::strchr(text.bytes.c_str(), needle);
    return found != nullptr ? static_cast<int>(found - text.bytes.c_str()) : -1;
}

template <typename String> void BM_StringFind(benchmark::State& state)
{
    Search<String>(state, Text(static_cast<std::size_t>(state.range(0)), kNeedle), kNeedle);
}

template <typename String> void BM_StringFindChar(benchmark::State& state)
{
    Search<String>(state, Text(static_cast<std::size_t>(state.range(0)), std::string(1, kCharNeedle)),
                   kCharNeedle);
}

// A typical log line; the values change so that nothing can be hoisted.
void BM_StringFormat_zr(benchmark::State& state)
{
    CZRString line;
    int n = 0;
    std::int64_t bytes = 0;
    for (auto _ : state)
    {
        line.Format("%s %d %f", "SpawnPoint", n, n * 0.25);
        ++n;
        bytes += line.GetLength();
        benchmark::DoNotOptimize(line.GetString());
    }
    ReportItems(state, 1, 0);
    state.SetBytesProcessed(bytes);
}

void BM_StringFormat_snprintf(benchmark::State& state)
{
    char line[1024];
    int n = 0;
    std::int64_t bytes = 0;
    for (auto _ : state)
    {
        bytes += std::snprintf(line, sizeof(line), "%s %d %f", "SpawnPoint", n, n * 0.25);
        ++n;
        benchmark::DoNotOptimize(line);
    }
    ReportItems(state, 1, 0);
    state.SetBytesProcessed(bytes);
}
} // namespace

BENCHMARK_TEMPLATE(BM_StringAppend, CZRString)->Name("BM_StringAppend/zr")->Arg(16)->Arg(256)->Arg(4096);
BENCHMARK_TEMPLATE(BM_StringAppend, std::string)->Name("BM_StringAppend/std")->Arg(16)->Arg(256)->Arg(4096);
BENCHMARK(BM_StringAppend_exact)->Name("BM_StringAppend/exact")->Arg(16)->Arg(256)->Arg(4096);
BENCHMARK_TEMPLATE(BM_StringAppendReused, CZRString)->Name("BM_StringAppendReused/zr")->Arg(16)->Arg(256)->Arg(4096);
BENCHMARK_TEMPLATE(BM_StringAppendReused, std::string)->Name("BM_StringAppendReused/std")->Arg(16)->Arg(256)->Arg(4096);
BENCHMARK_TEMPLATE(BM_StringFind, CZRString)->Name("BM_StringFind/zr")->Arg(256)->Arg(4096)->Arg(65536);
BENCHMARK_TEMPLATE(BM_StringFind, std::string)->Name("BM_StringFind/std")->Arg(256)->Arg(4096)->Arg(65536);
BENCHMARK_TEMPLATE(BM_StringFindChar, CZRString)->Name("BM_StringFindChar/zr")->Arg(256)->Arg(4096)->Arg(65536);
BENCHMARK_TEMPLATE(BM_StringFindChar, std::string)->Name("BM_StringFindChar/std")->Arg(256)->Arg(4096)->Arg(65536);
BENCHMARK_TEMPLATE(BM_StringFindChar, sCText)->Name("BM_StringFindChar/strchr")->Arg(256)->Arg(4096)->Arg(65536);
BENCHMARK(BM_StringFormat_zr)->Name("BM_StringFormat/zr");
BENCHMARK(BM_StringFormat_snprintf)->Name("BM_StringFormat/snprintf");

BENCHMARK_MAIN();
