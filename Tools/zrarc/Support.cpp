// zrarc: the small file and name helpers the verbs share.
#include <cstdio>

#include "Common/File/FileFunctions.h"
#include "Zrarc.h"

std::string Printable(const std::string& text)
{
    std::string shown;
    for (unsigned char c : text)
    {
        char escape[5];
        std::snprintf(escape, sizeof escape, "\\x%02X", c);
        shown += (c < 0x20 || c == 0x7F) ? std::string(escape) : std::string(1, char(c));
    }
    return shown;
}

bool IsDirectory(const std::string& path)
{
    const unsigned long attributes = FILE_GetFileAttributes(path.c_str());
    return attributes != FILE_ATTR_INVALID && (attributes & FILE_ATTR_DIRECTORY) != 0;
}

bool IsFile(const std::string& path)
{
    const unsigned long attributes = FILE_GetFileAttributes(path.c_str());
    return attributes != FILE_ATTR_INVALID && (attributes & FILE_ATTR_DIRECTORY) == 0;
}
