// MEM_: the one place through which the library and its hosts do raw memory work.
// No function checks its pointers; sizes are in bytes.
#pragma once

#include <cstddef>

#include "Common/Core/ZRExport.h"

// malloc / realloc / free of the C runtime heap; MEM_Alloc returns null on failure.
ZR_COMMON_API void* MEM_Alloc(std::size_t size);
ZR_COMMON_API void* MEM_Realloc(void* block, std::size_t size);
ZR_COMMON_API void MEM_Free(void* block);

// Sets size bytes to 0.
ZR_COMMON_API void MEM_Zero(void* dst, std::size_t size);
// Fills size bytes with value.
ZR_COMMON_API void MEM_Set(void* dst, int value, std::size_t size);
// Copies forwards from the first byte; overlap only with dst before src.
ZR_COMMON_API void MEM_Copy(void* dst, const void* src, std::size_t size);
// memmove: any overlap.
ZR_COMMON_API void MEM_Move(void* dst, const void* src, std::size_t size);
// True when the first size / 4 32-bit words are equal; the last size % 4 bytes
// are not compared (any size below 4 gives true).
ZR_COMMON_API bool MEM_FastCmp(const void* a, const void* b, std::size_t size);
// -1 / 0 / +1 by the first differing byte, compared unsigned; 0 for size 0.
ZR_COMMON_API int MEM_Compare(const void* a, const void* b, std::size_t size);
