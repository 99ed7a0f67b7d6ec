#include "ToolFiles.h"

#include "Common/File/FileFunctions.h"
#include "Common/File/ZRArchiveFormat.h"

bool IsDirectory(const std::string& path)
{
    const unsigned long attributes = FILE_GetFileAttributes(path.c_str());
    return attributes != FILE_ATTR_INVALID && (attributes & FILE_ATTR_DIRECTORY) != 0;
}

bool CreateDirectories(const std::string& path)
{
    if (path.empty())
    {
        FILE_SetLastError(FILE_ERROR_INVALID_ARGUMENT);
        return false;
    }
    const char* text = path.c_str();
    for (const char* separator = ZRArchiveFormat::FindSeparator(text + 1);;
         separator = ZRArchiveFormat::FindSeparator(separator + 1))
    {
        const std::string prefix =
            separator != nullptr ? path.substr(0, static_cast<std::size_t>(separator - text)) : path;
        if (!IsDirectory(prefix) && DIR_Create(prefix.c_str()) != 1)
            return false;
        if (separator == nullptr)
            return true;
    }
}
