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

// Every plain form is replaced, so that each allocation meets its own release
// (sanitizers check that pairs match).
inline void* CountedAllocation(std::size_t size) noexcept
{
    ++g_allocationCount;
    return std::malloc(size == 0 ? 1 : size);
}

void* operator new(std::size_t size)
{
    if (void* p = CountedAllocation(size))
        return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return CountedAllocation(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return CountedAllocation(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
