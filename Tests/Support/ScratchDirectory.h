// A new, empty directory under the system's temporary directory, named with
// prefix and a random tail; the caller removes it. WindowsName spells a path
// of the scratch tree as the library's callers do.
#pragma once

#include <algorithm>
#include <filesystem>
#include <random>
#include <stdexcept>
#include <string>

inline std::filesystem::path MakeScratchDirectory(const std::string& prefix)
{
    std::random_device seed;
    std::mt19937_64 random(seed());
    const std::filesystem::path base = std::filesystem::temp_directory_path();
    for (int attempt = 0; attempt < 100; ++attempt)
    {
        const std::filesystem::path candidate = base / (prefix + std::to_string(random() % 1000000000u));
        if (std::filesystem::create_directory(candidate))
            return candidate;
    }
    throw std::runtime_error("no scratch directory under " + base.string());
}

// path with a drive ("C:" where the system has none) and backslashes.
inline std::string WindowsName(const std::filesystem::path& path)
{
    std::string name = path.has_root_name() ? path.string() : "C:" + path.string();
    std::replace(name.begin(), name.end(), '/', '\\');
    return name;
}
