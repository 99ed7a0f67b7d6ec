// The rules for Windows names that hold on every machine, whatever the backend:
// ASCII case folding, separators, Windows wildcards and the listing order.
// Shared by the backends; internal to the platform layer.
#pragma once

#include <string>
#include <string_view>

namespace ZRPlatform
{
namespace Names
{

inline char AsciiLower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string AsciiLowerCopy(std::string_view text);

// <0, 0, >0 as a compares with b, ASCII letters folded, bytes unsigned.
int CompareNoCase(std::string_view a, std::string_view b);

inline bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// "." or "..": the entries a listing gives for a directory itself and its parent.
bool IsDotName(std::string_view name);

// The fixed listing order: "." then "..", then names without regard to case,
// ties by byte order.
bool ListingBefore(std::string_view a, std::string_view b);

// Windows wildcard matching without regard to case: '*' any run, '?' one
// character; a trailing ".*" also matches a name without an extension, so
// "*.*" matches everything and "readme.*" finds "readme".
bool MaskMatches(std::string_view mask, std::string_view name);

// Splits a pattern at its last separator: directory keeps the separator (empty
// for the current directory), mask is the rest.
void SplitPattern(std::string_view pattern, std::string& directory, std::string& mask);

// The length of a leading drive ("C:"): 2, or 0 when there is none.
std::size_t DriveLength(std::string_view path);

} // namespace Names
} // namespace ZRPlatform
