// The library's entry point on Windows. The library keeps no per-thread state
// that needs notice of thread starts and ends, so it asks not to be told of
// them; everything else happens in its static objects' constructors and
// destructors, which the runtime runs around this function.
#include "Common/Platform/Win32/Win32Sys.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID /*reserved*/)
{
    if (reason == DLL_PROCESS_ATTACH)
        ::DisableThreadLibraryCalls(instance);
    return TRUE;
}
