#include "BenchmarkCorpus.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>
#include <vector>

#include "Support/SplitMix64.h"

namespace fs = std::filesystem;

namespace
{
constexpr std::size_t kRecordSize = 64;
constexpr std::size_t kNameSize = 24;
constexpr float kGridStep = 32.0f;
constexpr int kGridCells = 128;

using CRandom = CSplitMix64;

void PutLE(std::string& out, std::uint64_t value, int width)
{
    for (int i = 0; i < width; ++i)
        out += static_cast<char>(value >> (8 * i));
}

void PutFloat(std::string& out, float value)
{
    std::uint32_t bits = 0;
    std::memcpy(&bits, &value, sizeof(bits));
    PutLE(out, bits, 4);
}

void Append(std::string& out, const fs::path& path, std::size_t limit)
{
    std::ifstream in(path, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    out.append(bytes, 0, std::min(bytes.size(), limit - out.size()));
}
} // namespace

namespace BenchCorpus
{
std::string SourceFiles(const std::string& directory, std::size_t limit)
{
    std::vector<fs::path> files;
    std::error_code error;
    for (fs::recursive_directory_iterator it(directory, error), end; !error && it != end; it.increment(error))
    {
        const fs::path& path = it->path();
        if (it->is_regular_file(error) && (path.extension() == ".cpp" || path.extension() == ".h"))
            files.push_back(path);
    }
    std::sort(files.begin(), files.end());
    std::string text;
    for (const fs::path& path : files)
        if (text.size() < limit)
            Append(text, path, limit);
    return text;
}

std::string FilePrefix(const std::string& path, std::size_t limit)
{
    std::string bytes;
    Append(bytes, path, limit);
    return bytes;
}

std::string GameRecords(std::size_t size)
{
    static const char* const kClasses[] = {"GRNT", "OFCR", "TRRT", "MDKT", "CRTE", "DOOR", "LGHT"};
    static const char* const kNames[] = {"grunt", "officer", "turret", "medkit", "crate", "door", "light"};
    CRandom random(7);
    std::string out;
    out.reserve(size + kRecordSize);
    for (std::uint32_t id = 1; out.size() < size; ++id)
    {
        const unsigned kind = random.Below(static_cast<unsigned>(std::size(kClasses)));
        PutLE(out, id, 4);
        out += kClasses[kind];
        for (int axis = 0; axis < 3; ++axis)
            PutFloat(out, static_cast<float>(random.Below(kGridCells)) * kGridStep);
        const bool upright = random.Below(4) != 0;
        const float yaw = static_cast<float>(random.Below(8)) * 0.125f;
        for (float component : {0.0f, upright ? 0.0f : yaw, 0.0f, 1.0f})
            PutFloat(out, component);
        PutLE(out, random.Below(5) == 0 ? random.Below(100) : 100, 2);
        PutLE(out, random.Below(3), 1);
        PutLE(out, random.Below(4) == 0 ? 0x11 : 0x01, 1);
        std::string name = std::string(kNames[kind]) + "_" + std::to_string(random.Below(40));
        name.resize(kNameSize, '\0');
        out += name;
    }
    out.resize(size);
    return out;
}

std::string RandomBytes(std::size_t size)
{
    CRandom random(11);
    std::string out;
    out.reserve(size + 8);
    while (out.size() < size)
        PutLE(out, random.Next(), 8);
    out.resize(size);
    return out;
}
} // namespace BenchCorpus
