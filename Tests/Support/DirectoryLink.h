// A symbolic link to a directory, for tests of link loops. On Windows it is
// false where the system cannot make one: Wine accepts the call and makes
// nothing, and Windows without developer mode refuses users who are not
// administrators. POSIX always can: a failure there throws.
#pragma once

#include <filesystem>

#if defined(_WIN32)
#include <windows.h>
#endif

// target is taken relative to the link's directory, as the OS takes it.
inline bool MakeDirectoryLink(const std::filesystem::path& target, const std::filesystem::path& link)
{
#if defined(_WIN32)
    const std::wstring name = std::filesystem::path(link).make_preferred().wstring();
    const DWORD flags = SYMBOLIC_LINK_FLAG_DIRECTORY | SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE;
    CreateSymbolicLinkW(name.c_str(), std::filesystem::path(target).make_preferred().c_str(), flags);
    const DWORD attributes = GetFileAttributesW(name.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
#else
    std::filesystem::create_directory_symlink(target, link);
    return true;
#endif
}
