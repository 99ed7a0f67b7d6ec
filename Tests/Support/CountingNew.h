// Replaces the global allocation functions with ones that count the calls, so
// that a test or benchmark can tell how many allocations an operation makes
// (the library's included: it allocates through the same functions).
// Include in exactly one source file of a program.
#pragma once

#include <atomic>
#include <cstdlib>
#include <new>

#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif

inline std::atomic<unsigned long> g_allocationCount{0};

// Allocations made by the whole process so far.
inline unsigned long AllocationCount() { return g_allocationCount.load(); }

void* operator new(std::size_t size)
{
    ++g_allocationCount;
    if (void* p = std::malloc(size == 0 ? 1 : size))
        return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
