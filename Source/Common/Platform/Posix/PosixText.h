// ASCII case helpers of the POSIX backend: file and mail slot names compare without
// regard to ASCII case, as Windows compares them. Only code for POSIX goes here.
#pragma once

#include <cstddef>
#include <string>

namespace ZRPlatform
{
namespace Posix
{

inline char AsciiLower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

inline std::string AsciiLowerCopy(std::string text)
{
    for (char& c : text)
        c = AsciiLower(c);
    return text;
}

// <0, 0, >0 as a compares with b ignoring ASCII case.
inline int CompareNoCase(const std::string& a, const std::string& b)
{
    const std::size_t common = a.size() < b.size() ? a.size() : b.size();
    for (std::size_t i = 0; i < common; ++i)
    {
        const unsigned char ca = static_cast<unsigned char>(AsciiLower(a[i]));
        const unsigned char cb = static_cast<unsigned char>(AsciiLower(b[i]));
        if (ca != cb)
            return ca < cb ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

inline bool IsSeparator(char c) { return c == '\\' || c == '/'; }

} // namespace Posix
} // namespace ZRPlatform
