// zrdemo, step 1: the working folder. A fresh folder under the temp directory
// by default, or the one given (created when missing, reused when present);
// it becomes the current directory, so the log file lands in it.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <system_error>

#include "Common/File/FileFunctions.h"
#include "Zrdemo.h"

namespace
{
constexpr int kFreshNameTries = 16;
constexpr char kFallbackDir[] = "zrdemo-work";

bool Exists(const std::string& path)
{
    return FILE_GetFileAttributes(path.c_str()) != FILE_ATTR_INVALID;
}

// Logging needs the folder first, so this step's failures are only reported.
[[noreturn]] void Refuse(const std::string& dir, const std::string& cause)
{
    throw sStepFailure{kStepWorkspace.name, dir, cause};
}

// The system's temp directory, or the current one when it has none.
std::string TempDirectory()
{
    std::error_code error;
    const std::filesystem::path temp = std::filesystem::temp_directory_path(error);
    return error ? std::string(".") : temp.string();
}

// A name no one uses yet, created at once so that no other run takes it.
std::string CreateFreshFolder()
{
    const std::string base = TempDirectory();
    std::random_device seed;
    std::mt19937 pick(seed());
    for (int i = 0; i < kFreshNameTries; ++i)
    {
        char suffix[16];
        std::snprintf(suffix, sizeof suffix, "%06x", static_cast<unsigned>(pick() & 0xFFFFFF));
        const std::string dir = base + "/zrdemo-" + suffix;
        if (!Exists(dir) && DIR_Create(dir.c_str()) == 1)
            return dir;
    }
    FILE_SetLastError(FILE_ERROR_NONE);
    if (CreateDirectories(kFallbackDir))
        return kFallbackDir;
    Refuse(kFallbackDir, "cannot create the folder" + CauseSuffix());
}

std::string CurrentDirectory()
{
    char buffer[4096];
    if (DIR_GetWorkingDirectory(buffer, sizeof buffer) != 1)
        Refuse(".", "cannot read the current directory" + CauseSuffix());
    return std::string(buffer, strnlen(buffer, sizeof buffer));
}
} // namespace

std::string EnterWorkspace(const sDemoOptions& options)
{
    FILE_SetLastError(FILE_ERROR_NONE);
    std::string dir = options.dir;
    if (dir.empty())
        dir = CreateFreshFolder();
    else if (!CreateDirectories(dir))
        Refuse(dir, "cannot create the folder" + CauseSuffix());
    if (DIR_Change(dir.c_str()) != 1)
        Refuse(dir, "cannot enter the folder" + CauseSuffix());
    const std::string folder = CurrentDirectory();
    // A reused folder keeps the log of this run only.
    const std::string log = std::string(kLogName) + ".log";
    if (Exists(log) && FILE_Delete(log.c_str()) != 1)
        Refuse(folder + "/" + log, "cannot remove the old log" + CauseSuffix());
    StepDone(kStepWorkspace, folder, options);
    return folder;
}
