#include "Common/Platform/PlatformNames.h"

namespace ZRPlatform
{
namespace Names
{
namespace
{
constexpr std::string_view kCurrentDirectory = ".";
constexpr std::string_view kParentDirectory = "..";
constexpr std::string_view kAnyExtension = ".*";

bool WildcardMatch(std::string_view pattern, std::string_view name)
{
    std::size_t p = 0;
    std::size_t n = 0;
    std::size_t starP = std::string_view::npos;
    std::size_t starN = 0;
    while (n < name.size())
    {
        if (p < pattern.size() && pattern[p] == '*')
        {
            starP = p++;
            starN = n;
        }
        else if (p < pattern.size() &&
                 (pattern[p] == '?' || AsciiLower(pattern[p]) == AsciiLower(name[n])))
        {
            ++p;
            ++n;
        }
        else if (starP != std::string_view::npos)
        {
            p = starP + 1;
            n = ++starN;
        }
        else
            return false;
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

int DotRank(std::string_view name)
{
    return name == kCurrentDirectory ? 0 : (name == kParentDirectory ? 1 : 2);
}
} // namespace

std::string AsciiLowerCopy(std::string_view text)
{
    std::string lower(text);
    for (char& c : lower)
        c = AsciiLower(c);
    return lower;
}

int CompareNoCase(std::string_view a, std::string_view b)
{
    const std::size_t common = a.size() < b.size() ? a.size() : b.size();
    for (std::size_t i = 0; i < common; ++i)
    {
        const auto ca = static_cast<unsigned char>(AsciiLower(a[i]));
        const auto cb = static_cast<unsigned char>(AsciiLower(b[i]));
        if (ca != cb)
            return ca < cb ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

bool IsDotName(std::string_view name) { return DotRank(name) < 2; }

bool ListingBefore(std::string_view a, std::string_view b)
{
    const int rankA = DotRank(a);
    const int rankB = DotRank(b);
    if (rankA != rankB)
        return rankA < rankB;
    const int order = CompareNoCase(a, b);
    return order != 0 ? order < 0 : a < b;
}

bool MaskMatches(std::string_view mask, std::string_view name)
{
    if (WildcardMatch(mask, name))
        return true;
    const std::size_t suffix = kAnyExtension.size();
    return mask.size() >= suffix && mask.substr(mask.size() - suffix) == kAnyExtension &&
           name.find('.') == std::string_view::npos &&
           WildcardMatch(mask.substr(0, mask.size() - suffix), name);
}

void SplitPattern(std::string_view pattern, std::string& directory, std::string& mask)
{
    std::size_t split = DriveLength(pattern);
    for (std::size_t i = split; i < pattern.size(); ++i)
        if (IsSeparator(pattern[i]))
            split = i + 1;
    directory.assign(pattern.substr(0, split));
    mask.assign(pattern.substr(split));
}

std::size_t DriveLength(std::string_view path)
{
    const bool letter = !path.empty() && ((path[0] >= 'A' && path[0] <= 'Z') ||
                                          (path[0] >= 'a' && path[0] <= 'z'));
    return letter && path.size() >= 2 && path[1] == ':' ? 2 : 0;
}

} // namespace Names
} // namespace ZRPlatform
