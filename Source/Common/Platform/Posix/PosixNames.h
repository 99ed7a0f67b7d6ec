// Windows names on the POSIX disk: conversion to POSIX paths and matching of
// names without regard to case, from a cache of directory listings that one
// stat of the directory keeps honest. Only code for POSIX goes here.
#pragma once

#include <cerrno>
#include <string>

#include "Common/Platform/Platform.h"
#include "Common/Platform/Posix/PosixObjects.h"

namespace ZRPlatform
{
namespace Posix
{

// Separators become '/', a drive prefix ("C:") is dropped since POSIX has one
// tree, and "C:" alone is the current directory; "\\server\share" stays
// "//server/share".
std::string ConvertPath(const char* path);

// Matches a converted path component by component without regard to case, an
// exact spelling first. True when every component exists in some case, with
// resolved the spelling on disk. Otherwise false: resolved holds the existing
// prefix case-matched and the rest as given (where a new file would be
// created), and missing says what is missing: NotFound for the last component,
// PathNotFound for a directory on the way.
bool ResolveNoCase(const std::string& path, std::string& resolved, Error& missing);

// Forgets every cached listing (tests; after a directory was changed behind the
// cache's back within the same time tick, which the cache cannot see).
void ForgetListings();

inline bool IsMissingName(int errnoValue) { return errnoValue == ENOENT || errnoValue == ENOTDIR; }

// Runs attempt on the path as spelled; when the name is missing, once more on its
// spelling on disk. attempt(osPath) returns false with errno set. On failure the
// last error is set: the missing component's error, or the OS's.
template <class Attempt>
bool OnDisk(const char* path, Attempt attempt)
{
    if (path == nullptr)
    {
        SetLastError(Error::InvalidArgument);
        return false;
    }
    const std::string spelled = ConvertPath(path);
    if (attempt(spelled))
        return true;
    if (!IsMissingName(errno))
    {
        SetLastErrorFromErrno(errno);
        return false;
    }
    std::string resolved;
    Error missing = Error::NotFound;
    const bool exists = ResolveNoCase(spelled, resolved, missing);
    if (resolved != spelled)
    {
        if (attempt(resolved))
            return true;
        if (!IsMissingName(errno))
        {
            SetLastErrorFromErrno(errno);
            return false;
        }
    }
    SetLastError(exists ? TranslateErrno(errno) : missing);
    return false;
}

} // namespace Posix
} // namespace ZRPlatform
