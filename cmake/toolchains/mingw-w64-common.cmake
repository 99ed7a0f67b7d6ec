# What both mingw-w64 cross-builds share; the architecture's file sets
# CMAKE_SYSTEM_PROCESSOR, ZR_MINGW_TRIPLE and ZR_WINE_LOADER, then includes it.
# Debian's compilers with the posix thread model (std::thread and friends on
# winpthreads); the runtime (libgcc, libstdc++, winpthread) is linked
# statically, so zrcommon.dll and the programs need no mingw DLLs beside them.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${ZR_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZR_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${ZR_MINGW_TRIPLE}-windres)

# Libraries and packages come from the mingw sysroot only, programs from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${ZR_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(ZR_MINGW_STATIC_RUNTIME "-static-libgcc -static-libstdc++ -static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "${ZR_MINGW_STATIC_RUNTIME}")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "${ZR_MINGW_STATIC_RUNTIME}")
set(CMAKE_EXE_LINKER_FLAGS_INIT "${ZR_MINGW_STATIC_RUNTIME}")

# Tests run under Wine: CTest puts this before every test command.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../wine-run ${ZR_WINE_LOADER})
