// Export macro of the zrcommon shared library. The library is built with hidden
// default visibility; only what is marked ZR_COMMON_API is part of its interface.
// Code linked with the library's static archive (its white-box tests) defines
// ZR_COMMON_STATIC and imports nothing.
#pragma once

#if defined(_WIN32)
#  if defined(ZR_COMMON_STATIC) && !defined(ZR_COMMON_BUILD)
#    define ZR_COMMON_API
#  elif defined(ZR_COMMON_BUILD)
#    define ZR_COMMON_API __declspec(dllexport)
#  else
#    define ZR_COMMON_API __declspec(dllimport)
#  endif
#else
#  define ZR_COMMON_API __attribute__((visibility("default")))
#endif
