// The cost of opening and reading one small file: through the file system's root,
// out of an archive nested two deep, and out of archives of 10 and 10,000
// entries, beside fopen and PhysFS (from a zip of stored entries) on the same
// bytes. Counters: OS calls and heap allocations per open.
#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "Common/File/ExtendedFileSystem.h"
#include "Common/File/FileIO.h"
#include "Support/CountingNew.h"

#if defined(ZR_PLATFORM_SEAM)
#include "Common/Platform/PlatformSeam.h"
#endif
#if defined(ZR_BENCH_PHYSFS)
#include <physfs.h>
#endif

namespace fs = std::filesystem;

namespace
{
constexpr std::size_t kFileSize = 4096;
constexpr int kLargeArchiveEntries = 10000;

// One scratch tree for the whole run:
//   loose/Data/Textures/wall.tga       a plain file under the root "Data"
//   packed/Data.arc                    the same tree as an archive
//   packed/data.zip                    the same file, stored, for PhysFS
//   flat10/Flat.arc, flat10000/Flat.arc  one directory of 10 or 10,000 files
class CScratch
{
public:
    CScratch() : m_root(fs::temp_directory_path() / ("zrbench-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count())))
    {
        const std::string bytes = Bytes();
        Write(m_root / "loose/Data/Textures/wall.tga", bytes);
        Write(m_root / "loose/Data/readme.txt", "readme");
        Pack("loose", "Data", m_root / "packed");
        WriteStoredZip(m_root / "packed/data.zip", "Textures/wall.tga", bytes);
        MakeFlat(10);
        MakeFlat(kLargeArchiveEntries);
    }
    ~CScratch()
    {
        std::error_code ignored;
        fs::current_path(fs::temp_directory_path(), ignored);
        fs::remove_all(m_root, ignored);
    }

    void Enter(const char* directory) const { fs::current_path(m_root / directory); }
    const std::string& Expected() const { return m_expected; }

private:
    static std::string Bytes()
    {
        std::string bytes(kFileSize, '\0');
        for (std::size_t i = 0; i < bytes.size(); ++i)
            bytes[i] = static_cast<char>(i * 7);
        return bytes;
    }

    static void Write(const fs::path& path, const std::string& bytes)
    {
        fs::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << bytes;
    }

    void Pack(const char* from, const char* directory, const fs::path& to) const
    {
        fs::create_directories(to);
        const fs::path archive = to / (std::string(directory) + ".arc");
        fs::current_path(m_root / from);
        CExtendedFileSystem::Instance()->CreateArchive(archive.c_str(), directory);
    }

    void MakeFlat(int entries) const
    {
        const std::string name = "flat" + std::to_string(entries);
        for (int i = 0; i < entries; ++i)
            Write(m_root / name / "Flat" / ("file" + std::to_string(i) + ".bin"), "x");
        Pack(name.c_str(), "Flat", m_root / name);
        fs::remove_all(m_root / name / "Flat");
    }

    static std::uint32_t Crc32(const std::string& bytes)
    {
        std::uint32_t crc = 0xFFFFFFFFu;
        for (unsigned char c : bytes)
        {
            crc ^= c;
            for (int bit = 0; bit < 8; ++bit)
                crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
        }
        return ~crc;
    }

    // A zip with one stored (uncompressed) entry.
    static void WriteStoredZip(const fs::path& path, const std::string& name, const std::string& bytes)
    {
        std::string zip;
        auto u16 = [&zip](unsigned v) { zip += char(v & 0xFF); zip += char((v >> 8) & 0xFF); };
        auto u32 = [&](std::uint32_t v) { u16(v & 0xFFFF); u16(v >> 16); };
        const std::uint32_t crc = Crc32(bytes);
        const auto size = static_cast<std::uint32_t>(bytes.size());
        u32(0x04034B50); u16(10); u16(0); u16(0); u16(0); u16(0x21);
        u32(crc); u32(size); u32(size); u16(name.size()); u16(0);
        zip += name + bytes;
        const auto central = static_cast<std::uint32_t>(zip.size());
        u32(0x02014B50); u16(10); u16(10); u16(0); u16(0); u16(0); u16(0x21);
        u32(crc); u32(size); u32(size); u16(name.size()); u16(0); u16(0); u16(0); u16(0);
        u32(0); u32(0);
        zip += name;
        const auto centralSize = static_cast<std::uint32_t>(zip.size()) - central;
        u32(0x06054B50); u16(0); u16(0); u16(1); u16(1); u32(centralSize); u32(central); u16(0);
        Write(path, zip);
    }

    fs::path m_root;
    std::string m_expected = Bytes();
};

CScratch& Scratch()
{
    static CScratch scratch;
    return scratch;
}

// Counts OS calls (test builds) and heap allocations per iteration.
class CCounters
{
public:
    CCounters() : m_allocations(AllocationCount())
    {
#if defined(ZR_PLATFORM_SEAM)
        m_osCalls = ZRPlatform::Seam::TotalCalls();
#endif
    }
    void Report(benchmark::State& state) const
    {
        const double runs = static_cast<double>(state.iterations());
        state.counters["allocs"] = static_cast<double>(AllocationCount() - m_allocations) / runs;
#if defined(ZR_PLATFORM_SEAM)
        state.counters["oscalls"] =
            static_cast<double>(ZRPlatform::Seam::TotalCalls() - m_osCalls) / runs;
#endif
    }

private:
    std::uint64_t m_allocations;
    std::uint64_t m_osCalls = 0;
};

void ReadWithFileIO(benchmark::State& state, const char* name)
{
    std::vector<char> buffer(kFileSize);
    CFileIO file;
    CCounters counters;
    for (auto _ : state)
    {
        file.Open(name, FILEMODE_READ);
        file.Read(buffer.data(), file.GetSize());
        file.Close();
        benchmark::DoNotOptimize(buffer.data());
    }
    counters.Report(state);
}

void BM_Fopen(benchmark::State& state)
{
    Scratch().Enter("loose");
    std::vector<char> buffer(kFileSize);
    CCounters counters;
    for (auto _ : state)
    {
        std::FILE* file = std::fopen("Data/Textures/wall.tga", "rb");
        benchmark::DoNotOptimize(std::fread(buffer.data(), 1, buffer.size(), file));
        std::fclose(file);
    }
    counters.Report(state);
}
BENCHMARK(BM_Fopen);

void BM_OpenThroughRoot(benchmark::State& state)
{
    Scratch().Enter("loose");
    CExtendedFileSystem::Instance()->AddRoot("Data");
    ReadWithFileIO(state, "Textures\\wall.tga");
    CExtendedFileSystem::Instance()->RemoveRoot("Data");
}
BENCHMARK(BM_OpenThroughRoot);

void BM_OpenFromNestedArchive(benchmark::State& state)
{
    Scratch().Enter("packed");
    ReadWithFileIO(state, "Data\\Textures\\wall.tga");
}
BENCHMARK(BM_OpenFromNestedArchive);

void BM_OpenFromArchiveOf(benchmark::State& state)
{
    const std::string directory = "flat" + std::to_string(state.range(0));
    Scratch().Enter(directory.c_str());
    const std::string name = "Flat\\file" + std::to_string(state.range(0) / 2) + ".bin";
    CFileIO file;
    char byte = 0;
    CCounters counters;
    for (auto _ : state)
    {
        file.Open(name.c_str(), FILEMODE_READ);
        file.Read(byte);
        file.Close();
    }
    counters.Report(state);
}
BENCHMARK(BM_OpenFromArchiveOf)->Arg(10)->Arg(kLargeArchiveEntries);

#if defined(ZR_BENCH_PHYSFS)
void BM_PhysfsStoredZip(benchmark::State& state)
{
    Scratch().Enter("packed");
    PHYSFS_init(nullptr);
    PHYSFS_mount("data.zip", nullptr, 1);
    std::vector<char> buffer(kFileSize);
    CCounters counters;
    for (auto _ : state)
    {
        PHYSFS_File* file = PHYSFS_openRead("Textures/wall.tga");
        benchmark::DoNotOptimize(PHYSFS_readBytes(file, buffer.data(), buffer.size()));
        PHYSFS_close(file);
    }
    counters.Report(state);
    if (std::string(buffer.data(), buffer.size()) != Scratch().Expected())
        state.SkipWithError("PhysFS read other bytes");
    PHYSFS_deinit();
}
BENCHMARK(BM_PhysfsStoredZip);
#endif
} // namespace

BENCHMARK_MAIN();
