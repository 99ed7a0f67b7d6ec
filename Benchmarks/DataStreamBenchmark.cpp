// Storing and loading a million mixed values (ints, floats and short strings in
// a fixed order) through CZRDataStream's typed operations, beside the same bytes
// appended to a std::vector<unsigned char> and read back with memcpy, as a user
// would write it by hand: 4 bytes per int and float, and a string as its 4-byte
// length and its characters.
//
// The values come from a fixed-seed generator, so every run writes the same
// bytes. Each store iteration starts from an empty stream or vector, so growth
// is part of the cost; each load iteration reads all values back, the strings
// into one reused string. Counters: items and bytes per second.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "Common/Core/ZRString.h"
#include "Common/File/ZRDataStream.h"
#include "Support/SplitMix64.h"

namespace
{
constexpr std::size_t kValueCount = 1000000;
constexpr std::uint32_t kWordSize = 4;

enum class Kind : unsigned char
{
    Int,
    Float,
    Text
};

using CRandom = CSplitMix64;

const char* const kWords[] = {"door",       "m_nHealth", "Player",   "spawn_03", "a",
                              "trigger",    "weapon",    "ammo",     "Lerp",     "inventory",
                              "CameraShake", "dt",       "nextState", "",        "SetProperty"};
constexpr int kWordCount = static_cast<int>(sizeof(kWords) / sizeof(kWords[0]));

// The values in writing order: half ints, a third floats, the rest strings.
struct sValues
{
    std::vector<Kind> kinds;
    std::vector<int> ints;
    std::vector<float> floats;
    std::vector<int> words; // index into kWords
    std::size_t bytes = 0;  // of the stored form
};

const sValues& Values()
{
    static const sValues values = [] {
        sValues v;
        CRandom random(7);
        v.kinds.reserve(kValueCount);
        for (std::size_t i = 0; i < kValueCount; ++i)
        {
            const int roll = random.Below(6);
            if (roll < 3)
            {
                v.kinds.push_back(Kind::Int);
                v.ints.push_back(static_cast<int>(random.Next()) >> random.Below(31));
                v.bytes += kWordSize;
            }
            else if (roll < 5)
            {
                v.kinds.push_back(Kind::Float);
                v.floats.push_back(static_cast<float>(random.Below(2000000) - 1000000) / 64.0f);
                v.bytes += kWordSize;
            }
            else
            {
                v.kinds.push_back(Kind::Text);
                v.words.push_back(random.Below(kWordCount));
                v.bytes += kWordSize + std::strlen(kWords[v.words.back()]);
            }
        }
        return v;
    }();
    return values;
}

const std::vector<CZRString>& ZrWords()
{
    static const std::vector<CZRString> words(std::begin(kWords), std::end(kWords));
    return words;
}

const std::vector<std::string>& StdWords()
{
    static const std::vector<std::string> words(std::begin(kWords), std::end(kWords));
    return words;
}

void Report(benchmark::State& state)
{
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kValueCount));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * Values().bytes));
}

void StoreZr(CZRDataStream& out)
{
    const sValues& v = Values();
    const std::vector<CZRString>& words = ZrWords();
    std::size_t ints = 0, floats = 0, texts = 0;
    for (Kind kind : v.kinds)
    {
        switch (kind)
        {
        case Kind::Int:
            out << v.ints[ints++];
            break;
        case Kind::Float:
            out << v.floats[floats++];
            break;
        case Kind::Text:
            out << words[static_cast<std::size_t>(v.words[texts++])];
            break;
        }
    }
}

// The ordinary hand-written writer: append each value's bytes.
void Append(std::vector<unsigned char>& out, const void* bytes, std::size_t n)
{
    const auto* p = static_cast<const unsigned char*>(bytes);
    out.insert(out.end(), p, p + n);
}

void StoreVector(std::vector<unsigned char>& out)
{
    const sValues& v = Values();
    const std::vector<std::string>& words = StdWords();
    std::size_t ints = 0, floats = 0, texts = 0;
    for (Kind kind : v.kinds)
    {
        switch (kind)
        {
        case Kind::Int:
            Append(out, &v.ints[ints++], kWordSize);
            break;
        case Kind::Float:
            Append(out, &v.floats[floats++], kWordSize);
            break;
        case Kind::Text:
        {
            const std::string& word = words[static_cast<std::size_t>(v.words[texts++])];
            const std::int32_t length = static_cast<std::int32_t>(word.size());
            Append(out, &length, kWordSize);
            Append(out, word.data(), word.size());
            break;
        }
        }
    }
}

// The ordinary hand-written reader: memcpy from a cursor, refusing to read past
// the end as the stream does.
class CVectorReader
{
public:
    explicit CVectorReader(const std::vector<unsigned char>& bytes) : m_bytes(bytes) {}
    const unsigned char* Take(std::size_t n)
    {
        if (n > m_bytes.size() - m_at)
            throw std::out_of_range("read past the end");
        const unsigned char* p = m_bytes.data() + m_at;
        m_at += n;
        return p;
    }
    template <typename T> void Read(T& value) { std::memcpy(&value, Take(sizeof(T)), sizeof(T)); }
    void Read(std::string& text)
    {
        std::int32_t length = 0;
        Read(length);
        if (length < 1)
            text.clear();
        else
            text.assign(reinterpret_cast<const char*>(Take(static_cast<std::size_t>(length))),
                        static_cast<std::size_t>(length));
    }

private:
    const std::vector<unsigned char>& m_bytes;
    std::size_t m_at = 0;
};

// Reads every value and folds it into a checksum, so that nothing is skipped.
template <typename Reader, typename Text> std::uint64_t LoadAll(Reader& in, Text& text)
{
    std::uint64_t sum = 0;
    for (Kind kind : Values().kinds)
    {
        switch (kind)
        {
        case Kind::Int:
        {
            int value = 0;
            in >> value;
            sum += static_cast<std::uint32_t>(value);
            break;
        }
        case Kind::Float:
        {
            float value = 0;
            in >> value;
            sum += static_cast<std::uint64_t>(value * 64.0f);
            break;
        }
        case Kind::Text:
            in >> text;
            sum += static_cast<std::uint64_t>(text.size());
            break;
        }
    }
    return sum;
}

// Gives the reader the stream's >> syntax.
struct sVectorIn
{
    CVectorReader reader;
    template <typename T> sVectorIn& operator>>(T& value)
    {
        reader.Read(value);
        return *this;
    }
};

// CZRString's length under the name std::string uses.
struct sZrText
{
    CZRString text;
    std::size_t size() const { return static_cast<std::size_t>(text.GetLength()); }
};

CZRDataStream& operator>>(CZRDataStream& in, sZrText& text) { return in >> text.text; }

void BM_StreamStore_zr(benchmark::State& state)
{
    for (auto _ : state)
    {
        CZRDataStream out(STREAM_STORING);
        StoreZr(out);
        benchmark::DoNotOptimize(out.GetBuffer());
        if (out.GetSize() != Values().bytes)
            state.SkipWithError("wrong size");
    }
    Report(state);
}

void BM_StreamStore_vector(benchmark::State& state)
{
    for (auto _ : state)
    {
        std::vector<unsigned char> out;
        StoreVector(out);
        benchmark::DoNotOptimize(out.data());
        if (out.size() != Values().bytes)
            state.SkipWithError("wrong size");
    }
    Report(state);
}

void BM_StreamLoad_zr(benchmark::State& state)
{
    CZRDataStream stored(STREAM_STORING);
    StoreZr(stored);
    sZrText text;
    std::uint64_t sum = 0;
    for (auto _ : state)
    {
        CZRDataStream in(stored.GetBuffer(), stored.GetSize(), STREAM_LOADING, false);
        sum = LoadAll(in, text);
        benchmark::DoNotOptimize(sum);
    }
    state.counters["checksum"] = static_cast<double>(sum);
    Report(state);
}

void BM_StreamLoad_vector(benchmark::State& state)
{
    std::vector<unsigned char> stored;
    StoreVector(stored);
    std::string text;
    std::uint64_t sum = 0;
    for (auto _ : state)
    {
        sVectorIn in{CVectorReader(stored)};
        sum = LoadAll(in, text);
        benchmark::DoNotOptimize(sum);
    }
    state.counters["checksum"] = static_cast<double>(sum);
    Report(state);
}
} // namespace

BENCHMARK(BM_StreamStore_zr)->Name("BM_StreamStore/zr")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StreamStore_vector)->Name("BM_StreamStore/vector")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StreamLoad_zr)->Name("BM_StreamLoad/zr")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StreamLoad_vector)->Name("BM_StreamLoad/vector")->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
