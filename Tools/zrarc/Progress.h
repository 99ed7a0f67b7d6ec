// CProgressBar: one line on stderr that follows an archive being created or
// extracted, fed by the extended file system's callback events.
#pragma once

#include <string>

#include "Common/File/ExtendedFileSystem.h"

struct sArchiveFileNotify;

// Registered as a callback for its lifetime. Creation announces each entry in
// a counting event before it stores the directory's files, so there the total
// grows as directories are reached; extraction sends no counting events, so
// its total is given up front. Only files advance the bar.
class CProgressBar
{
public:
    // Drawing is meant for people: only when stderr is a terminal and not quiet.
    static bool IsWanted(bool quiet);

    CProgressBar(const char* action, bool draw, unsigned long total);
    // Unregisters and clears the line, so what follows starts at its beginning.
    ~CProgressBar();
    CProgressBar(const CProgressBar&) = delete;
    CProgressBar& operator=(const CProgressBar&) = delete;

private:
    static void OnEvent(int event, XfsParam param1, XfsParam param2, XfsParam user);
    void Count(const sArchiveFileNotify& entry);
    void Advance(const std::string& path);
    void Draw();

    const char* m_action;
    bool m_draw;
    bool m_drawn;
    unsigned long m_total;
    unsigned long m_done;
    std::string m_current;
};
