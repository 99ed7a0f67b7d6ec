# Cross-build for 64-bit Windows with Debian's mingw-w64 compilers; tests run
# under wine64.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(ZR_MINGW_TRIPLE x86_64-w64-mingw32)
set(ZR_WINE_LOADER wine64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
