// Whether the test program runs under Wine rather than on Windows or POSIX, for
// the few checks of Windows behaviour that Wine does not reproduce.
#pragma once

#if defined(_WIN32)
#include <windows.h>
#endif

inline bool RunsUnderWine()
{
#if defined(_WIN32)
    const HMODULE ntdll = ::GetModuleHandleA("ntdll.dll");
    return ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
#else
    return false;
#endif
}
