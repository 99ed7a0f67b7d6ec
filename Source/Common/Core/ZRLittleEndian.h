// Little-endian byte order for the library's binary formats: the first byte is
// the lowest. Independent of the machine's own byte order and of the width of
// its long, so a value always takes exactly the bytes its format gives it.
// Internal to the library.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ZRLittleEndian
{
constexpr int kBitsPerByte = 8;
constexpr std::uint64_t kByteMask = 0xFF;

// Stores the low width bytes of value (width at most 8).
inline void Encode(std::uint64_t value, unsigned char* bytes, std::size_t width)
{
    for (std::size_t i = 0; i < width; ++i)
        bytes[i] = static_cast<unsigned char>((value >> (i * kBitsPerByte)) & kByteMask);
}

// The value of width bytes (width at most 8), zero-extended.
inline std::uint64_t Decode(const unsigned char* bytes, std::size_t width)
{
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < width; ++i)
        value |= static_cast<std::uint64_t>(bytes[i]) << (i * kBitsPerByte);
    return value;
}
} // namespace ZRLittleEndian
