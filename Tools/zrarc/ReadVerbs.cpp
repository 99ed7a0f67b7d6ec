// zrarc list, cat and verify: they only read, and what they print on stdout is
// meant for pipes as much as for people.
#include <cstdio>
#include <string>
#include <vector>

#include "Common/Core/ZRException.h"
#include "Common/File/ExtendedFileSystem.h"
#include "Common/File/FileFunctions.h"
#include "Common/File/ZRArchiveFormat.h"
#include "Common/File/ZRArchiveReader.h"
#include "Zrarc.h"

namespace
{
constexpr unsigned long kCopyChunk = 64 * 1024;

// The name as given, else with ".arc" appended as the library would; when
// neither opens, the cause is the first attempt's.
bool OpenArchive(const std::string& name, CZRArchiveReader& reader)
{
    if (reader.Open(name.c_str()))
        return true;
    const eFileError cause = FILE_GetLastError();
    const std::string archive = ZRArchiveFormat::ArchiveFileName(name);
    if (archive != name && reader.Open(archive.c_str()))
        return true;
    FILE_SetLastError(cause);
    return false;
}

std::string Counted(std::size_t count, const char* noun)
{
    return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

// Closes the handle on every way out.
class COpenFile
{
public:
    explicit COpenFile(const char* name)
        : m_xfs(*CExtendedFileSystem::Instance()), m_handle(m_xfs.OpenFile(name))
    {
    }
    ~COpenFile() { m_xfs.CloseFile(m_handle); }
    COpenFile(const COpenFile&) = delete;
    COpenFile& operator=(const COpenFile&) = delete;

    unsigned long Read(void* buffer, unsigned long count)
    {
        return m_xfs.ReadFile(m_handle, buffer, count);
    }

private:
    CExtendedFileSystem& m_xfs;
    unsigned long m_handle;
};

// The library finds a top-level archive in the current directory only. A path
// that leads through directories to one, as in build/Data/wall.tga with
// build/Data.arc, is served by entering those directories first; the rest of
// the path is returned.
std::string EnterArchiveDirectory(const std::string& path)
{
    const char* text = path.c_str();
    for (const char* end = ZRArchiveFormat::FindSeparator(text); end != nullptr;
         end = ZRArchiveFormat::FindSeparator(end + 1))
    {
        const std::size_t length = static_cast<std::size_t>(end - text);
        if (length == 0 || !IsFile(path.substr(0, length) + ARCHIVE_EXTENSION))
            continue;
        // The directories before the archive's name: up to its last separator.
        const char* start = nullptr;
        for (const char* s = ZRArchiveFormat::FindSeparator(text); s != end;
             s = ZRArchiveFormat::FindSeparator(s + 1))
            start = s;
        if (start == nullptr)
            return path;
        const std::string directory = path.substr(0, static_cast<std::size_t>(start - text) + 1);
        return DIR_Change(directory.c_str()) == 1 ? path.substr(directory.size()) : path;
    }
    return path;
}

int FinishOutput()
{
    return std::fflush(stdout) == 0 && !std::ferror(stdout) ? kExitOk
                                                             : Fail("stdout", "write error");
}

void PrintTree(const std::vector<sArchiveNode>& tree)
{
    unsigned long long total = 0;
    std::size_t folders = 0;
    for (const sArchiveNode& node : tree)
    {
        total += node.isFolder ? 0 : node.size;
        folders += node.isFolder ? 1 : 0;
    }
    const int width = static_cast<int>(std::to_string(total).size());
    for (const sArchiveNode& node : tree)
    {
        const std::string size = node.isFolder ? "" : std::to_string(node.size);
        std::printf("%*s  %*s%s%s\n", width, size.c_str(), 2 * node.depth, "",
                    Printable(node.name.GetString()).c_str(), node.isFolder ? "/" : "");
    }
    std::printf("%*llu  total, %s in %s\n", width, total,
                Counted(tree.size() - folders, "file").c_str(),
                Counted(folders, "folder").c_str());
}
} // namespace

int RunList(const Operands& operands, const sOptions&)
{
    CZRArchiveReader reader;
    if (!OpenArchive(operands[0], reader))
        return FailWithCause(operands[0], "cannot open the file");
    PrintTree(reader.GetTree());
    const int status = FinishOutput();
    const std::vector<sArchiveProblem> problems = reader.Verify();
    if (!CZRArchiveReader::HasErrors(problems))
        return status;
    for (const sArchiveProblem& problem : problems)
        Report(problem.text.GetString());
    return kExitFailure;
}

int RunCat(const Operands& operands, const sOptions&)
{
    try
    {
        COpenFile file(EnterArchiveDirectory(operands[0]).c_str());
        if (!FILE_SetBinaryMode(FILE_STDOUT))   // the file's bytes, line ends untranslated
            return Fail("stdout", "cannot switch to binary mode");
        std::vector<char> buffer(kCopyChunk);
        for (unsigned long count; (count = file.Read(buffer.data(), kCopyChunk)) > 0;)
            if (std::fwrite(buffer.data(), 1, count, stdout) != count)
                return Fail("stdout", "write error");
    }
    catch (const CZRException& error)
    {
        return Fail(operands[0], error);
    }
    return FinishOutput();
}

int RunVerify(const Operands& operands, const sOptions& options)
{
    CZRArchiveReader reader;
    if (!OpenArchive(operands[0], reader))
        return FailWithCause(operands[0], "cannot open the file");
    const std::vector<sArchiveProblem> problems = reader.Verify();
    std::size_t errors = 0;
    for (const sArchiveProblem& problem : problems)
    {
        std::printf("%s\n", problem.text.GetString());
        errors += problem.isError ? 1 : 0;
    }
    const std::size_t warnings = problems.size() - errors;
    const char* name = reader.GetName().GetString();
    const std::string note = warnings ? " (" + Counted(warnings, "warning") + ")" : "";
    if (errors == 0 && !options.quiet)
        std::printf("%s: OK%s\n", name, note.c_str());
    const int status = FinishOutput();
    if (errors == 0)
        return status;
    return Fail(name, "damaged archive: " + Counted(errors, "error") + ", " +
                          Counted(warnings, "warning"));
}
