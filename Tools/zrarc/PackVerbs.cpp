// zrarc create and extract: the library's archive writer and unpacker with a
// progress bar, and a check of the archive before anything is unpacked.
#include <cstdio>
#include <functional>
#include <optional>

#include "Common/Core/ZRException.h"
#include "Common/File/ExtendedFileSystem.h"
#include "Common/File/FileFunctions.h"
#include "Common/File/ZRArchiveReader.h"
#include "Progress.h"
#include "Zrarc.h"

namespace
{
// Creates path and any missing directories above it.
bool CreateDirectories(const std::string& path)
{
    for (std::size_t end = path.find_first_of("\\/", 1); end != std::string::npos;
         end = path.find_first_of("\\/", end + 1))
        if (!IsDirectory(path.substr(0, end)))
            DIR_Create(path.substr(0, end).c_str());
    return IsDirectory(path) || DIR_Create(path.c_str()) == 1;
}

// The bar clears its line before anything is reported.
int RunWithProgress(const char* action, const sOptions& options, unsigned long total,
                    const std::string& archive, const std::function<bool()>& work)
{
    std::optional<CZRException> error;
    bool done = false;
    {
        CProgressBar bar(action, CProgressBar::IsWanted(options.quiet), total);
        try
        {
            done = work();
        }
        catch (const CZRException& thrown)
        {
            error = thrown;
        }
    }
    if (error)
        return Fail(archive, *error);
    return done ? kExitOk : Fail(archive, "cannot open the archive");
}

// Errors refuse the archive: its names might lead out of the target, or its
// ranges elsewhere. Warnings are only shown.
bool CheckBeforeExtracting(const CZRArchiveReader& reader, const sOptions& options)
{
    const std::vector<sArchiveProblem> problems = reader.Verify();
    const bool refused = CZRArchiveReader::HasErrors(problems);
    for (const sArchiveProblem& problem : problems)
        if (refused || !options.quiet)
            std::fprintf(stderr, "zrarc: %s\n", problem.text.GetString());
    return !refused;
}

unsigned long CountFiles(const std::vector<sArchiveNode>& tree)
{
    unsigned long files = 0;
    for (const sArchiveNode& node : tree)
        files += node.isFolder ? 0 : 1;
    return files;
}
} // namespace

int RunCreate(const Operands& operands, const sOptions& options)
{
    const std::string& directory = operands[1];
    if (!IsDirectory(directory))
        return Fail(directory, "not a directory");
    return RunWithProgress("packing", options, 0, ArchiveFileName(operands[0]), [&] {
        return CExtendedFileSystem::Instance()->CreateArchive(operands[0].c_str(),
                                                              directory.c_str());
    });
}

// A trailing separator keeps the target's last component whole: the library
// drops the extension of a last component.
int RunExtract(const Operands& operands, const sOptions& options)
{
    const std::string archive = ArchiveFileName(operands[0]);
    CZRArchiveReader reader;
    if (!reader.Open(archive.c_str()))
        return Fail(archive, "cannot open the file");
    if (!CheckBeforeExtracting(reader, options))
        return Fail(archive, "damaged archive, nothing extracted");
    const std::string& directory = operands[1];
    if (!CreateDirectories(directory))
        return Fail(directory, "cannot create the directory");
    const char last = directory.back();
    const std::string target = last == '/' || last == '\\' ? directory : directory + "/";
    return RunWithProgress("unpacking", options, CountFiles(reader.GetTree()), archive, [&] {
        return CExtendedFileSystem::Instance()->ExtractArchive(archive.c_str(), target.c_str());
    });
}
