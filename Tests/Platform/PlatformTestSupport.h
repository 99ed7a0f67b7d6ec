// Helpers shared by the backend tests.
#pragma once

#include "Common/Platform/Platform.h"

namespace PlatformTest
{
// The error a call leaves (None when it succeeds), read on the calling thread.
template <class F> ZRPlatform::Error ErrorOf(F call)
{
    ZRPlatform::SetLastError(ZRPlatform::Error::None);
    return call() ? ZRPlatform::Error::None : ZRPlatform::GetLastError();
}
} // namespace PlatformTest
