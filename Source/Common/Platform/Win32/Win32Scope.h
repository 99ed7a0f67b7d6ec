// Lookup scopes of the Windows backend: within a scope, a name that a lookup
// found missing stays missing, and so does everything below it, without asking
// Windows again. Only lookups that need the name to exist consult the scope;
// a change the thread makes to the disk during the scope (creating, deleting,
// changing directory) makes it forget what it saw.
#pragma once

#include "Common/Platform/Platform.h"

namespace ZRPlatform
{
namespace Win32
{
namespace Scope
{

// True, with the last error set (NotFound or PathNotFound), when the calling
// thread's scope already knows that path does not exist.
bool KnownMissing(const char* path);
// Notes the failure of a lookup of path; only NotFound and PathNotFound are kept.
void NoteMissing(const char* path, Error error);
// The disk has changed under the thread's own hand.
void Forget();

} // namespace Scope
} // namespace Win32
} // namespace ZRPlatform
