#include "Progress.h"

#include <cstdio>

#include "Common/File/ExtendedFileSystem.h"
#include "Common/File/FileFunctions.h"
#include "Common/File/ZRArchive.h"
#include "Zrarc.h"

namespace
{
constexpr int kBarWidth = 24;
constexpr std::size_t kNameWidth = 30;  // keeps the line within 80 columns
const char kClearLine[] = "\r\033[K";

std::string Join(const char* directory, const char* name)
{
    return std::string(directory) + "/" + name;
}

// The end of a long path, which names the file.
std::string Tail(const std::string& path)
{
    return path.size() <= kNameWidth ? path : "..." + path.substr(path.size() - kNameWidth + 3);
}
} // namespace

bool CProgressBar::IsWanted(bool quiet) { return !quiet && FILE_IsTerminal(FILE_STDERR); }

CProgressBar::CProgressBar(const char* action, bool draw, unsigned long total)
    : m_action(action), m_draw(draw), m_drawn(false), m_total(total), m_done(0)
{
    CExtendedFileSystem::Instance()->AddCallback(&OnEvent, reinterpret_cast<XfsParam>(this));
}

CProgressBar::~CProgressBar()
{
    CExtendedFileSystem::Instance()->RemoveCallback(&OnEvent);
    if (m_drawn)
        std::fputs(kClearLine, stderr);
}

void CProgressBar::OnEvent(int event, XfsParam param1, XfsParam, XfsParam user)
{
    CProgressBar& bar = *reinterpret_cast<CProgressBar*>(user);
    switch (event)
    {
    case XFS_EVENT_COUNT_ENTRY:
        bar.Count(*reinterpret_cast<const sArchiveFileNotify*>(param1));
        break;
    case XFS_EVENT_ARCHIVE_FILE:
    {
        const auto& file = *reinterpret_cast<const sArchiveFileNotify*>(param1);
        bar.Advance(Join(file.directory, file.name));
        break;
    }
    case XFS_EVENT_EXTRACT_FILE:
    {
        const auto& file = *reinterpret_cast<const sExtractFileNotify*>(param1);
        bar.Advance(Join(file.directory, file.name));
        break;
    }
    case XFS_EVENT_EXTRACT_DIRECTORY:
        bar.m_current = reinterpret_cast<const char*>(param1);
        bar.Draw();
        break;
    default:
        break;
    }
}

// Subdirectories are counted too, but only files are ever stored one by one.
void CProgressBar::Count(const sArchiveFileNotify& entry)
{
    const std::string path = Join(entry.directory, entry.name);
    const unsigned long attributes = FILE_GetFileAttributes(path.c_str());
    if (attributes == FILE_ATTR_INVALID || (attributes & FILE_ATTR_DIRECTORY) == 0)
        ++m_total;
    Draw();
}

void CProgressBar::Advance(const std::string& path)
{
    m_current = path;
    ++m_done;
    Draw();
}

void CProgressBar::Draw()
{
    if (!m_draw)
        return;
    const unsigned long total = m_total < m_done ? m_done : m_total;
    const int filled = total == 0 ? 0 : static_cast<int>(m_done * kBarWidth / total);
    const std::string bar = std::string(filled, '#') + std::string(kBarWidth - filled, '.');
    std::fprintf(stderr, "%s%s [%s] %lu/%lu %s", kClearLine, m_action, bar.c_str(), m_done,
                 total, Printable(Tail(m_current)).c_str());
    std::fflush(stderr);
    m_drawn = true;
}
