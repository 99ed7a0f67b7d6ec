// CZRLoadGuard: turns a nested loading process into one progress figure from 0
// to 1 for a loading screen. Loading code brackets the whole load with
// BeginLoading/EndLoading and each part of it with BeginLoadComponent(weight,
// name)/EndLoadComponent, where the weight is the share of the enclosing part
// this component takes; inside a component it reports the fractions finished
// since the last report with LoadComponentCompleted. Components nest to any
// depth, each narrowing the range of the bar its own reports move in.
//
// Guarantees:
// - Reports clamp the progress to the end of the current component's range;
//   ending a component sets the progress to that end and restores the
//   enclosing range. Weights and fractions are not checked otherwise.
// - The guard is itself a watch: its own notifications go to every registered
//   watch in the order registered (a watch registered twice hears twice),
//   progress notifications with the guard's current component name. Watches may
//   register or unregister watches from inside a notification; a watch
//   unregistered by then is not called. Watches are not owned.
// - A null name keeps the previous component name. The resource-number forms
//   take the text of the string resource numbered by the id's low 16 bits
//   (when it cannot be loaded the previous name is kept).
// - An EndLoadComponent without a matching BeginLoadComponent completes the
//   current range and leaves it current.
//
// CZRLoadGuard::Instance() is the library-wide guard, alive from library load to
// unload; further guards can be made. A copy holds the same watch pointers and
// ranges. Not safe for concurrent use.
#pragma once

#include <vector>

#include "Common/Core/ZRExport.h"
#include "Common/Core/ZRString.h"
#include "Common/Diagnostics/ZRLoadGuardWatch.h"

class ZR_COMMON_API CZRLoadGuard : public IZRLoadGuardWatch
{
public:
    // The library-wide guard.
    static CZRLoadGuard* Instance();

    // Progress 0, top-level range 0 to 1, no name and no watches.
    CZRLoadGuard();
    CZRLoadGuard(const CZRLoadGuard& other);
    CZRLoadGuard& operator=(const CZRLoadGuard& other);

    // Fan out to the registered watches.
    void OnBeginLoading() override;
    // Passes on fProgress with the guard's own component name.
    void OnLoadProgress(float fProgress, const char* pszComponent) override;
    void OnEndLoading() override;

    virtual ~CZRLoadGuard();

    // Appends pWatch, even when it is registered already.
    virtual void RegisterWatch(IZRLoadGuardWatch* pWatch);
    // Removes the first registration of pWatch, if any.
    virtual void UnregisterWatch(IZRLoadGuardWatch* pWatch);

    // Progress 0 at top level, then OnBeginLoading.
    virtual void BeginLoading();
    // A component taking fWeight of the current one's range, starting at the
    // current progress. Sends nothing.
    virtual void BeginLoadComponent(float fWeight, long lNameId);
    virtual void BeginLoadComponent(float fWeight, const char* pszName);
    // Moves the progress by fFraction of the current component, up to its end,
    // then OnLoadProgress.
    virtual void LoadComponentCompleted(float fFraction, long lNameId);
    virtual void LoadComponentCompleted(float fFraction, const char* pszName);
    // Progress to the component's end, OnLoadProgress, then the enclosing range.
    virtual void EndLoadComponent();
    // OnEndLoading; the progress is kept.
    virtual void EndLoading();

    virtual float GetProgress() const;
    virtual bool HasWatches() const;

private:
    struct sRange
    {
        float fScale;
        float fRangeEnd;
    };

    void Reset();
    void Push(float fScale, float fRangeEnd);
    // Leaves both arguments unchanged when the stack is empty.
    void Pop(float& fScale, float& fRangeEnd);
    void SetComponentName(const char* pszName);
    // Calls (pWatch->*pfnNotify)(args...) on each watch registered at the start
    // and still registered at its turn.
    template <class... TArgs, class... TValues>
    void Notify(void (IZRLoadGuardWatch::*pfnNotify)(TArgs...), TValues... values);

    static CZRLoadGuard m_instance;

    CZRString m_strComponentName;
    float m_fProgress;
    float m_fScale;      // the share of the whole one unit of the component stands for
    float m_fRangeEnd;   // the progress at which the current component is complete
    int m_nDepth;        // components begun and not yet ended
    std::vector<sRange> m_rangeStack;   // enclosing ranges, most recent last
    std::vector<IZRLoadGuardWatch*> m_watches;
};
