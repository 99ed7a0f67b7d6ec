// Block compression: CZRLzrwCompressor beside LZ4 (default compressor, safe
// decoder), zlib at level 1 and memcpy, the physical limit. Every codec works
// on the same 64 KB blocks of four corpora:
//   text     the library's own .cpp and .h files
//   binary   the built library (its first 4 MB)
//   records  generated 64-byte entity records
//   random   SplitMix64 bytes, which no codec can shrink
// Names are BM_Compress/<codec>/<corpus> and BM_Decompress/<codec>/<corpus>.
// Throughput counts uncompressed bytes in both directions; the counter "ratio"
// is compressed / original. LZRW and LZ4 also report, per original byte, what
// their formats make a coder decide and a decoder do: "matches" (copy items,
// or LZ4 sequences that end in a match), "items" (LZRW: literal and copy
// items) and "copied" (the share of bytes produced by matches).
//
// Decompression decodes blocks compressed outside the timed loop; each codec's
// output is checked against the source once before timing.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "BenchmarkCorpus.h"
#include "Common/Serialisation/ZRLzrwCompressor.h"

#if defined(ZR_BENCH_LZ4)
#include <lz4.h>
#endif
#if defined(ZR_BENCH_ZLIB)
#include <zlib.h>
#endif

namespace
{
using Byte = unsigned char;

// A game compresses its streams in chunks of this size: large enough that the
// codecs' windows are full most of the time, small enough to decode one chunk
// on demand.
constexpr std::size_t kBlockSize = 64 * 1024;
constexpr std::size_t kCorpusLimit = 4u << 20;

// Matches, items and bytes produced by matches in a set of blocks.
struct sParse
{
    std::size_t matches = 0;
    std::size_t items = 0;
    std::size_t copied = 0;
};

// One block codec. Compress returns the block length, 0 on failure;
// Decompress returns the number of bytes produced. Parse reads a block's
// matches when the codec can.
class ICodec
{
public:
    virtual ~ICodec() = default;
    virtual std::size_t Bound(std::size_t size) const = 0;
    virtual std::size_t Compress(const Byte* src, std::size_t size, Byte* dst, std::size_t capacity) = 0;
    virtual std::size_t Decompress(const Byte* src, std::size_t length, Byte* dst, std::size_t size) = 0;
    virtual bool Parse(const std::vector<Byte>&, sParse&) const { return false; }
};

class CLzrwCodec : public ICodec
{
public:
    std::size_t Bound(std::size_t size) const override { return size + CZRLzrwCompressor::COMPRESSION_MARGIN; }
    std::size_t Compress(const Byte* src, std::size_t size, Byte* dst, std::size_t capacity) override
    {
        m_lzrw.SetSource(const_cast<Byte*>(src), static_cast<int>(size));
        m_lzrw.SetDestination(dst, static_cast<int>(capacity));
        return static_cast<std::size_t>(std::max(m_lzrw.Compress(), 0));
    }
    std::size_t Decompress(const Byte* src, std::size_t length, Byte* dst, std::size_t size) override
    {
        m_lzrw.SetSource(const_cast<Byte*>(src), static_cast<int>(length));
        m_lzrw.SetDestination(dst, static_cast<int>(size));
        return static_cast<std::size_t>(m_lzrw.Decompress());
    }
    // Items from the control words; a copy block is one literal per byte.
    bool Parse(const std::vector<Byte>& block, sParse& parse) const override
    {
        constexpr std::size_t kHeader = 4;
        if (block[0] == 1)
        {
            parse.items += block.size() - kHeader;
            return true;
        }
        unsigned control = 0, bits = 0;
        for (std::size_t at = kHeader; at < block.size(); ++parse.items, --bits, control >>= 1)
        {
            if (bits == 0)
            {
                control = block[at] | block[at + 1] << 8;
                bits = 16;
                at += 2;
            }
            if (control & 1)
            {
                ++parse.matches;
                parse.copied += (block[at] & 0x0F) + 1u;
                at += 2;
            }
            else
                ++at;
        }
        return true;
    }

private:
    CZRLzrwCompressor m_lzrw;
};

#if defined(ZR_BENCH_LZ4)
class CLz4Codec : public ICodec
{
public:
    std::size_t Bound(std::size_t size) const override
    {
        return static_cast<std::size_t>(LZ4_compressBound(static_cast<int>(size)));
    }
    std::size_t Compress(const Byte* src, std::size_t size, Byte* dst, std::size_t capacity) override
    {
        return static_cast<std::size_t>(LZ4_compress_default(reinterpret_cast<const char*>(src),
                                                             reinterpret_cast<char*>(dst),
                                                             static_cast<int>(size), static_cast<int>(capacity)));
    }
    std::size_t Decompress(const Byte* src, std::size_t length, Byte* dst, std::size_t size) override
    {
        const int produced = LZ4_decompress_safe(reinterpret_cast<const char*>(src), reinterpret_cast<char*>(dst),
                                                 static_cast<int>(length), static_cast<int>(size));
        return static_cast<std::size_t>(std::max(produced, 0));
    }
    // Sequences: a token (literal count, match length - 4), extra length
    // bytes of 255 and less, the literals, a 2-byte offset and more length
    // bytes; the last sequence has literals only.
    bool Parse(const std::vector<Byte>& block, sParse& parse) const override
    {
        constexpr std::size_t kMinMatch = 4;
        constexpr unsigned kLongLength = 15;
        std::size_t at = 0;
        const auto length = [&](std::size_t value) {
            if (value == kLongLength)
                for (Byte more = 255; more == 255 && at < block.size(); value += more)
                    more = block[at++];
            return value;
        };
        while (at < block.size())
        {
            const Byte token = block[at++];
            const std::size_t literals = length(token >> 4);
            at += literals;
            parse.items += literals;
            if (at >= block.size())
                break;
            at += 2;
            ++parse.matches;
            ++parse.items;
            parse.copied += length(token & 0x0F) + kMinMatch;
        }
        return true;
    }
};
#endif

#if defined(ZR_BENCH_ZLIB)
// Level 1 deflate with one stream per direction, reset for every block as a
// game would reuse them.
class CZlibCodec : public ICodec
{
public:
    static constexpr int kLevel = 1;

    CZlibCodec()
    {
        deflateInit(&m_deflate, kLevel);
        inflateInit(&m_inflate);
    }
    ~CZlibCodec() override
    {
        deflateEnd(&m_deflate);
        inflateEnd(&m_inflate);
    }
    std::size_t Bound(std::size_t size) const override { return compressBound(static_cast<uLong>(size)); }
    std::size_t Compress(const Byte* src, std::size_t size, Byte* dst, std::size_t capacity) override
    {
        deflateReset(&m_deflate);
        m_deflate.next_in = const_cast<Byte*>(src);
        m_deflate.avail_in = static_cast<uInt>(size);
        m_deflate.next_out = dst;
        m_deflate.avail_out = static_cast<uInt>(capacity);
        return deflate(&m_deflate, Z_FINISH) == Z_STREAM_END ? capacity - m_deflate.avail_out : 0;
    }
    std::size_t Decompress(const Byte* src, std::size_t length, Byte* dst, std::size_t size) override
    {
        inflateReset(&m_inflate);
        m_inflate.next_in = const_cast<Byte*>(src);
        m_inflate.avail_in = static_cast<uInt>(length);
        m_inflate.next_out = dst;
        m_inflate.avail_out = static_cast<uInt>(size);
        inflate(&m_inflate, Z_FINISH);
        return size - m_inflate.avail_out;
    }

private:
    z_stream m_deflate = {};
    z_stream m_inflate = {};
};
#endif

class CMemcpyCodec : public ICodec
{
public:
    std::size_t Bound(std::size_t size) const override { return size; }
    std::size_t Compress(const Byte* src, std::size_t size, Byte* dst, std::size_t) override
    {
        std::memcpy(dst, src, size);
        return size;
    }
    std::size_t Decompress(const Byte* src, std::size_t length, Byte* dst, std::size_t) override
    {
        std::memcpy(dst, src, length);
        return length;
    }
};

struct sCorpus
{
    const char* name;
    std::string bytes;
};

const std::vector<sCorpus>& Corpora()
{
    static const std::vector<sCorpus> corpora = {
        {"text", BenchCorpus::SourceFiles(ZR_BENCH_SOURCE_DIR, kCorpusLimit)},
        {"binary", BenchCorpus::FilePrefix(ZR_BENCH_LIBRARY, kCorpusLimit)},
        {"records", BenchCorpus::GameRecords(kCorpusLimit)},
        {"random", BenchCorpus::RandomBytes(kCorpusLimit)},
    };
    return corpora;
}

// The corpus cut into blocks, each compressed into a buffer of its own.
struct sCompressed
{
    std::vector<std::vector<Byte>> blocks; // each resized to its length
    std::size_t total = 0;
    bool roundTrips = true;
};

const Byte* Data(const std::string& bytes) { return reinterpret_cast<const Byte*>(bytes.data()); }

sCompressed CompressAll(ICodec& codec, const std::string& corpus)
{
    sCompressed result;
    std::vector<Byte> back(kBlockSize);
    for (std::size_t at = 0; at < corpus.size(); at += kBlockSize)
    {
        const std::size_t size = std::min(kBlockSize, corpus.size() - at);
        std::vector<Byte>& block = result.blocks.emplace_back(codec.Bound(size));
        block.resize(codec.Compress(Data(corpus) + at, size, block.data(), block.size()));
        result.total += block.size();
        result.roundTrips = result.roundTrips && !block.empty() &&
                            codec.Decompress(block.data(), block.size(), back.data(), size) == size &&
                            std::memcmp(back.data(), Data(corpus) + at, size) == 0;
    }
    return result;
}

void Report(benchmark::State& state, const ICodec& codec, const sCompressed& compressed, std::size_t original)
{
    const auto perByte = [original](std::size_t count) {
        return static_cast<double>(count) / static_cast<double>(original);
    };
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * original));
    state.counters["ratio"] = perByte(compressed.total);
    sParse parse;
    for (const std::vector<Byte>& block : compressed.blocks)
        if (!codec.Parse(block, parse))
            return;
    state.counters["matches"] = perByte(parse.matches);
    state.counters["items"] = perByte(parse.items);
    state.counters["copied"] = perByte(parse.copied);
}

void BM_Compress(benchmark::State& state, ICodec* codec, const sCorpus* corpus)
{
    const std::string& bytes = corpus->bytes;
    const sCompressed compressed = CompressAll(*codec, bytes);
    if (bytes.empty() || !compressed.roundTrips)
        return state.SkipWithError(bytes.empty() ? "corpus not found" : "round trip failed");
    std::vector<Byte> out(codec->Bound(kBlockSize));
    for (auto _ : state)
    {
        for (std::size_t at = 0; at < bytes.size(); at += kBlockSize)
            benchmark::DoNotOptimize(codec->Compress(Data(bytes) + at, std::min(kBlockSize, bytes.size() - at),
                                                     out.data(), out.size()));
        benchmark::ClobberMemory();
    }
    Report(state, *codec, compressed, bytes.size());
}

void BM_Decompress(benchmark::State& state, ICodec* codec, const sCorpus* corpus)
{
    const std::string& bytes = corpus->bytes;
    const sCompressed compressed = CompressAll(*codec, bytes);
    if (bytes.empty() || !compressed.roundTrips)
        return state.SkipWithError(bytes.empty() ? "corpus not found" : "round trip failed");
    std::vector<Byte> out(kBlockSize);
    for (auto _ : state)
    {
        std::size_t at = 0;
        for (const std::vector<Byte>& block : compressed.blocks)
        {
            const std::size_t size = std::min(kBlockSize, bytes.size() - at);
            benchmark::DoNotOptimize(codec->Decompress(block.data(), block.size(), out.data(), size));
            at += size;
        }
        benchmark::ClobberMemory();
    }
    Report(state, *codec, compressed, bytes.size());
}

struct sCodecEntry
{
    const char* name;
    std::unique_ptr<ICodec> codec;
};

std::vector<sCodecEntry> Codecs()
{
    std::vector<sCodecEntry> codecs;
    codecs.push_back({"lzrw", std::make_unique<CLzrwCodec>()});
#if defined(ZR_BENCH_LZ4)
    codecs.push_back({"lz4", std::make_unique<CLz4Codec>()});
#endif
#if defined(ZR_BENCH_ZLIB)
    codecs.push_back({"zlib1", std::make_unique<CZlibCodec>()});
#endif
    codecs.push_back({"memcpy", std::make_unique<CMemcpyCodec>()});
    return codecs;
}
} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    using Run = void (*)(benchmark::State&, ICodec*, const sCorpus*);
    const std::pair<const char*, Run> directions[] = {{"BM_Compress", BM_Compress},
                                                      {"BM_Decompress", BM_Decompress}};
    const std::vector<sCodecEntry> codecs = Codecs();
    for (const auto& [direction, run] : directions)
        for (const sCodecEntry& entry : codecs)
            for (const sCorpus& corpus : Corpora())
            {
                const std::string name = std::string(direction) + "/" + entry.name + "/" + corpus.name;
                benchmark::RegisterBenchmark(name.c_str(), run, entry.codec.get(), &corpus)
                    ->Unit(benchmark::kMillisecond);
            }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
