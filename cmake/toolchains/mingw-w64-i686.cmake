# Cross-build for 32-bit Windows with Debian's mingw-w64 compilers; tests run
# under wine (32-bit Wine).
set(CMAKE_SYSTEM_PROCESSOR i686)
set(ZR_MINGW_TRIPLE i686-w64-mingw32)
set(ZR_WINE_LOADER wine)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
