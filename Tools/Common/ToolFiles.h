// Directory helpers the tools share, through the library's FILE_ layer so that
// they reach the OS as the library does.
#pragma once

#include <string>

// True when path names an existing directory.
bool IsDirectory(const std::string& path);
// Creates path and any missing directories above it; stops at the first that
// cannot be created, whose cause is then the calling thread's.
bool CreateDirectories(const std::string& path);
