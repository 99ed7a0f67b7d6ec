// zrarc create and extract: the library's archive writer and unpacker with a
// progress bar, and a check of the archive before anything is unpacked.
#include <functional>
#include <optional>

#include "Common/Core/ZRException.h"
#include "Common/File/ExtendedFileSystem.h"
#include "Common/File/FileFunctions.h"
#include "Common/File/ZRArchiveFormat.h"
#include "Common/File/ZRArchiveReader.h"
#include "Progress.h"
#include "Zrarc.h"

namespace
{
// The operand a failure is about: extraction fails on the target's side when
// a file or directory there cannot be created, written or entered.
const std::string& FailedOperand(const CZRException& error, const std::string& archive,
                                 const std::string& target)
{
    switch (error.GetErrorCode())
    {
    case XFS_ERROR_CREATE_FAILED:
    case XFS_ERROR_WRITE_FAILED:
    case XFS_ERROR_CHANGE_DIRECTORY:
        return target;
    default:
        return archive;
    }
}

// The bar clears its line before anything is reported. A failure names the
// archive, or, for extraction, target where the failure lies on its side.
int RunWithProgress(const char* action, const sOptions& options, unsigned long total,
                    const std::string& archive, const std::string* target,
                    const std::function<bool()>& work)
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
        return Fail(target != nullptr ? FailedOperand(*error, archive, *target) : archive, *error);
    return done ? kExitOk : FailWithCause(archive, "cannot open the archive");
}

// Errors refuse the archive: its names might lead out of the target, or its
// ranges elsewhere. Warnings are only shown.
bool CheckBeforeExtracting(const CZRArchiveReader& reader, const sOptions& options)
{
    const std::vector<sArchiveProblem> problems = reader.Verify();
    const bool refused = CZRArchiveReader::HasErrors(problems);
    for (const sArchiveProblem& problem : problems)
        if (refused || !options.quiet)
            Report(problem.text.GetString());
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
    FILE_SetLastError(FILE_ERROR_NONE);
    if (!IsDirectory(directory))
        return FailWithCause(directory, "not a directory");
    const std::string archive = ZRArchiveFormat::ArchiveFileName(operands[0]);
    return RunWithProgress("packing", options, 0, archive, nullptr, [&] {
        return CExtendedFileSystem::Instance()->CreateArchive(operands[0].c_str(),
                                                              directory.c_str());
    });
}

// A trailing separator keeps the target's last component whole: the library
// drops the extension of a last component.
int RunExtract(const Operands& operands, const sOptions& options)
{
    const std::string archive = ZRArchiveFormat::ArchiveFileName(operands[0]);
    CZRArchiveReader reader;
    if (!reader.Open(archive.c_str()))
        return FailWithCause(archive, "cannot open the file");
    if (!CheckBeforeExtracting(reader, options))
        return Fail(archive, "damaged archive, nothing extracted");
    const std::string& directory = operands[1];
    if (!CreateDirectories(directory))
        return FailWithCause(directory, "cannot create the directory");
    const bool separated = ZRArchiveFormat::IsSeparator(directory.back());
    const std::string target = separated ? directory : directory + "/";
    return RunWithProgress("unpacking", options, CountFiles(reader.GetTree()), archive, &directory,
                           [&] {
                               return CExtendedFileSystem::Instance()->ExtractArchive(
                                   archive.c_str(), target.c_str());
                           });
}
