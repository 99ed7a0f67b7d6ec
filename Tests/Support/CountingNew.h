// Replaces the global allocation functions with ones that count the calls and
// keep the largest size asked for, so that a test or benchmark can tell how many
// allocations an operation makes and how large they get (the library's included:
// it allocates through the same functions).
// Include in exactly one source file of a program.
#pragma once

#include <atomic>
#include <cstdlib>
#include <new>

#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif

inline std::atomic<unsigned long> g_allocationCount{0};
inline std::atomic<std::size_t> g_largestAllocation{0};

// Allocations made by the whole process so far.
inline unsigned long AllocationCount() { return g_allocationCount.load(); }

// The largest size asked for since the last reset.
inline std::size_t LargestAllocation() { return g_largestAllocation.load(); }
inline void ResetLargestAllocation() { g_largestAllocation = 0; }

// Every plain form is replaced, so that each allocation meets its own release
// (sanitizers check that pairs match).
inline void* CountedAllocation(std::size_t size) noexcept
{
    ++g_allocationCount;
    std::size_t largest = g_largestAllocation.load();
    while (size > largest && !g_largestAllocation.compare_exchange_weak(largest, size))
    {
    }
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
