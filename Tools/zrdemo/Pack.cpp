// zrdemo, step 3: packs the asset tree into an archive with the library's
// writer, following it with a progress bar fed by the file system's callback
// events (drawn on stderr only when that is a terminal, as zrarc does).
#include <cstdio>

#include "Common/Core/ZRException.h"
#include "Common/File/ExtendedFileSystem.h"
#include "Common/File/FileFunctions.h"
#include "Common/File/FileIO.h"
#include "Zrdemo.h"

namespace
{
constexpr int kBarWidth = 24;
const char kClearLine[] = "\r\033[K";

// Registered for its lifetime; counts what the writer announces and stores.
class CPackProgress
{
public:
    explicit CPackProgress(bool draw) : m_draw(draw)
    {
        CExtendedFileSystem::Instance()->AddCallback(&OnEvent, reinterpret_cast<XfsParam>(this));
    }
    ~CPackProgress()
    {
        CExtendedFileSystem::Instance()->RemoveCallback(&OnEvent);
        if (m_drawn)
            std::fputs(kClearLine, stderr);
    }
    CPackProgress(const CPackProgress&) = delete;
    CPackProgress& operator=(const CPackProgress&) = delete;

    unsigned long GetFolders() const { return m_folders; }
    unsigned long GetFiles() const { return m_files; }

private:
    static void OnEvent(int event, XfsParam param1, XfsParam, XfsParam user)
    {
        CPackProgress& progress = *reinterpret_cast<CPackProgress*>(user);
        const auto& entry = *reinterpret_cast<const sArchiveFileNotify*>(param1);
        if (event == XFS_EVENT_COUNT_ENTRY)
            progress.Count(entry);
        else if (event == XFS_EVENT_ARCHIVE_FILE)
            progress.Advance(entry.name);
    }

    // Each directory's entries are announced before its files are stored, so
    // the total grows as folders are reached.
    void Count(const sArchiveFileNotify& entry)
    {
        const std::string path = std::string(entry.directory) + "/" + entry.name;
        ++(IsDirectory(path) ? m_folders : m_total);
    }

    void Advance(const char* name)
    {
        ++m_files;
        if (!m_draw)
            return;
        const unsigned long total = m_total < m_files ? m_files : m_total;
        const int filled = static_cast<int>(m_files * kBarWidth / total);
        const std::string bar = std::string(filled, '#') + std::string(kBarWidth - filled, '.');
        std::fprintf(stderr, "%spacking [%s] %lu/%lu %s", kClearLine, bar.c_str(), m_files, total,
                     Printable(name).c_str());
        std::fflush(stderr);
        m_drawn = true;
    }

    bool m_draw;
    bool m_drawn = false;
    unsigned long m_total = 0;
    unsigned long m_folders = 0;
    unsigned long m_files = 0;
};

std::string Count(unsigned long count, const char* noun)
{
    return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

unsigned long ArchiveSize()
{
    CFileIO archive;
    archive.Open(kArchive, FILEMODE_READ);
    return archive.GetSize();
}
} // namespace

void PackAssets(const sDemoOptions& options)
{
    FILE_SetLastError(FILE_ERROR_NONE);
    unsigned long files = 0, folders = 0, size = 0;
    try
    {
        CPackProgress progress(!options.quiet && FILE_IsTerminal(FILE_STDERR));
        CExtendedFileSystem::Instance()->CreateArchive(kArchive, kSourceDir);
        files = progress.GetFiles();
        folders = progress.GetFolders();
        size = ArchiveSize();
    }
    catch (const CZRException& error)
    {
        ThrowStep(kStepPack, kArchive, Describe(error));
    }
    StepDone(kStepPack,
             std::string(kArchive) + ": " + Count(files, "file") + " in " +
                 Count(folders, "folder") + ", " + std::to_string(size) + " bytes",
             options);
}
