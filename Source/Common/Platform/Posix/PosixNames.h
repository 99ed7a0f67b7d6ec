// Windows names on the POSIX disk: conversion to POSIX paths and matching of
// names without regard to case, from a cache of directory listings that one
// stat of the directory keeps honest. Paths are built in fixed buffers, so a
// name that exists as spelled, or whose directories are cached, costs no heap.
// Only code for POSIX goes here.
#pragma once

#include <limits.h>

#include <cerrno>
#include <cstring>

#include "Common/Platform/Platform.h"
#include "Common/Platform/Posix/PosixObjects.h"

namespace ZRPlatform
{
namespace Posix
{

// A POSIX path in a fixed buffer; longer paths are refused (InvalidArgument).
struct sOsPath
{
    char text[PATH_MAX];
    std::size_t length = 0;

    sOsPath() { text[0] = '\0'; }
    // Copies only the bytes in use.
    sOsPath(const sOsPath& other) : length(other.length) { std::memcpy(text, other.text, length + 1); }
    sOsPath& operator=(const sOsPath& other)
    {
        length = other.length;
        std::memmove(text, other.text, length + 1);
        return *this;
    }

    const char* c_str() const { return text; }
    bool operator==(const sOsPath& other) const
    {
        return length == other.length && std::memcmp(text, other.text, length) == 0;
    }
};

// Separators become '/', a drive prefix ("C:") is dropped since POSIX has one
// tree, and "C:" alone is the current directory; "\\server\share" stays
// "//server/share". False (InvalidArgument) for a null or too long path.
bool ConvertPath(const char* path, sOsPath& converted);

// Matches a converted path component by component without regard to case, an
// exact spelling first. True when every component exists in some case, with
// resolved the spelling on disk. Otherwise false: resolved holds the existing
// prefix case-matched and the rest as given (where a new file would be
// created), and missing says what is missing: NotFound for the last component,
// PathNotFound for a directory on the way.
bool ResolveNoCase(const sOsPath& path, sOsPath& resolved, Error& missing);

// Within a lookup scope: true when the directories the scope has examined
// already show that path does not exist, with missing set as above.
bool KnownMissing(const sOsPath& path, Error& missing);

// Whether the cached listing of the directory a path starts from, however old,
// lacks the path's first component: then one validated look is likely to
// settle what a failed open would only begin to.
bool ListingSaysMissing(const sOsPath& path);

// The identity of a directory (a POSIX path), from the scope when it has
// examined it.
bool IdentifyDirectory(const char* path, DirectoryId& id);

inline bool IsMissingName(int errnoValue) { return errnoValue == ENOENT || errnoValue == ENOTDIR; }

// Runs attempt(const char* osPath) on the path as spelled; when the name is
// missing, once more on its spelling on disk. attempt returns false with errno
// set. On failure the last error is set: the missing component's error, or the
// OS's. mustExist: the attempt cannot succeed on a missing name (no creation),
// so within a lookup scope a name known to be missing is not tried at all, and
// a name that the cached listings suggest is missing is looked up in them
// (revalidated) before the OS is asked to open it.
template <class Attempt>
bool OnDisk(const char* path, Attempt attempt, bool mustExist = false)
{
    sOsPath spelled;
    if (!ConvertPath(path, spelled))
        return false;
    Error known = Error::NotFound;
    if (mustExist && KnownMissing(spelled, known))
    {
        SetLastError(known);
        return false;
    }
    if (mustExist && ListingSaysMissing(spelled))
    {
        sOsPath resolved;
        if (!ResolveNoCase(spelled, resolved, known))
        {
            SetLastError(known);
            return false;
        }
        if (attempt(resolved.c_str()))
            return true;
        SetLastErrorFromErrno(errno);
        return false;
    }
    if (attempt(spelled.c_str()))
        return true;
    if (!IsMissingName(errno))
    {
        SetLastErrorFromErrno(errno);
        return false;
    }
    sOsPath resolved;
    Error missing = Error::NotFound;
    const bool exists = ResolveNoCase(spelled, resolved, missing);
    if (!(resolved == spelled))
    {
        if (attempt(resolved.c_str()))
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
