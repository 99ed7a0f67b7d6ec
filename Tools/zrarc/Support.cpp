// zrarc: the small file and name helpers the verbs share.
#include "Common/File/FileFunctions.h"
#include "Zrarc.h"

bool IsFile(const std::string& path)
{
    const unsigned long attributes = FILE_GetFileAttributes(path.c_str());
    return attributes != FILE_ATTR_INVALID && (attributes & FILE_ATTR_DIRECTORY) == 0;
}
