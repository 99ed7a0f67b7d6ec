// The value a host hands to a callback, a thread or a scan and gets back
// unchanged: often an address. It is unsigned long wherever that is as wide
// as a pointer, and the pointer-sized unsigned integer on 64-bit Windows,
// where long has 4 bytes (Windows' own ULONG_PTR).
#pragma once

#if defined(_WIN64)
typedef unsigned long long ZRUserValue;
#else
typedef unsigned long ZRUserValue;
#endif

static_assert(sizeof(ZRUserValue) >= sizeof(void*), "a user value carries an address");
