// Export macro of the zrcommon shared library. The library is built with hidden
// default visibility; only what is marked ZR_COMMON_API is part of its interface.
#pragma once

#if defined(_WIN32)
#  if defined(ZR_COMMON_BUILD)
#    define ZR_COMMON_API __declspec(dllexport)
#  else
#    define ZR_COMMON_API __declspec(dllimport)
#  endif
#else
#  define ZR_COMMON_API __attribute__((visibility("default")))
#endif
