// zrarc: error reports and the small file and name helpers the verbs share.
#include <cstdio>

#include "Common/Core/ZRException.h"
#include "Common/File/FileFunctions.h"
#include "Zrarc.h"

namespace
{
// ": <cause>" for the thread's file cause; empty when there is none.
std::string CauseSuffix()
{
    const eFileError cause = FILE_GetLastError();
    return cause == FILE_ERROR_NONE ? std::string() : std::string(": ") + FILE_GetErrorText(cause);
}
} // namespace

int Fail(const std::string& file, const std::string& problem)
{
    std::fprintf(stderr, "zrarc: %s: %s\n", file.c_str(), problem.c_str());
    return kExitFailure;
}

int FailWithCause(const std::string& file, const std::string& problem)
{
    return Fail(file, problem + CauseSuffix());
}

int Fail(const std::string& file, const CZRException& error)
{
    return FailWithCause(file, std::string(error.GetErrorString()) + " (" +
                                   std::to_string(error.GetErrorCode()) + ")");
}

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
