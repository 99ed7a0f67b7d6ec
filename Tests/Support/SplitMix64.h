// SplitMix64: a pseudo-random sequence that is the same on every platform and
// standard library, for generated test and benchmark data that must not change.
#pragma once

#include <cstddef>
#include <cstdint>

class CSplitMix64
{
public:
    explicit CSplitMix64(std::uint64_t seed) : m_state(seed) {}
    std::uint64_t Next()
    {
        std::uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // 0 to n - 1, in the type of n.
    template <class T> T Below(T n) { return static_cast<T>(Next() % static_cast<std::uint64_t>(n)); }
    bool Chance(int percent) { return Below(100) < percent; }
    template <std::size_t N> const char* Pick(const char* const (&words)[N]) { return words[Below(N)]; }

private:
    std::uint64_t m_state;
};
