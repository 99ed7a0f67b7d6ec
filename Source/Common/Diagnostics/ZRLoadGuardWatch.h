// IZRLoadGuardWatch: an observer of a loading process. A load guard tells each
// registered watch when loading begins, whenever the overall progress (0 to 1)
// moves, with the name of the component being loaded, and when loading ends.
//
// The interface holds no data. Its destructor is not virtual: watches are
// never deleted through it, and the destructor is protected so that such a
// delete does not compile.
#pragma once

#include "Common/Core/ZRExport.h"

class ZR_COMMON_API IZRLoadGuardWatch
{
public:
    IZRLoadGuardWatch() = default;
    IZRLoadGuardWatch(const IZRLoadGuardWatch&) = default;
    IZRLoadGuardWatch& operator=(const IZRLoadGuardWatch&) = default;

    virtual void OnBeginLoading() = 0;
    // pszComponent is never null: "" while no component has a name.
    virtual void OnLoadProgress(float fProgress, const char* pszComponent) = 0;
    virtual void OnEndLoading() = 0;

protected:
    ~IZRLoadGuardWatch() = default;
};
