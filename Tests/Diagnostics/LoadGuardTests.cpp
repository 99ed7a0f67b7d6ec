// CZRLoadGuard: nested weighted ranges with exact figures (binary fractions
// where possible), the notifications each step sends and their order, names by
// text and by string resource, watches that change the list while notified.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "Common/Diagnostics/ZRLoadGuard.h"

namespace
{
// Appends "tag:begin", "tag:<progress> <name>" or "tag:end" to a shared log,
// entries parted by spaces; Take empties it.
struct Recorder : IZRLoadGuardWatch
{
    Recorder(std::string& log, const char* tag) : log(log), tag(tag) {}
    void Add(const std::string& entry) { log += (log.empty() ? "" : " ") + tag + ":" + entry; }
    void OnBeginLoading() override { Add("begin"); }
    void OnLoadProgress(float fProgress, const char* pszComponent) override
    {
        char line[300];
        std::snprintf(line, sizeof(line), "%g %s", fProgress, pszComponent);
        Add(line);
    }
    void OnEndLoading() override
    {
        Add("end");
        if (onEnd)
            onEnd();
    }
    std::string& log;
    std::string tag;
    std::function<void()> onEnd;
};

std::string Take(std::string& log) { return std::exchange(log, {}); }

struct Step
{
    char op;   // 'c' begin a component, 'r' report a fraction, 'e' end the component
    float value;
    const char* name;
    float progress;
    const char* heard;
};
} // namespace

TEST(LoadGuard, NestedComponentsNarrowTheRangeTheirReportsMoveIn)
{
    const std::vector<Step> cases[] = {
        {{'c', 0.5f, "Level", 0.0f, ""},
         {'c', 0.2f, "Textures", 0.0f, ""},   // range 0 to 0.1
         {'r', 0.5f, nullptr, 0.05f, "w:0.05 Textures"},
         {'e', 0, nullptr, 0.1f, "w:0.1 Textures"},   // back to scale 0.5, end 0.5
         {'r', 0.2f, "Level", 0.2f, "w:0.2 Level"},
         {'e', 0, nullptr, 0.5f, "w:0.5 Level"}},
        {{'c', 0.5f, "A", 0.0f, ""},
         {'c', 0.5f, "B", 0.0f, ""},
         {'c', 0.5f, "C", 0.0f, ""},   // range 0 to 0.125
         {'r', 0.5f, nullptr, 0.0625f, "w:0.0625 C"},
         {'e', 0, nullptr, 0.125f, "w:0.125 C"},
         {'r', 0.5f, "B", 0.25f, "w:0.25 B"},
         {'e', 0, nullptr, 0.25f, "w:0.25 B"},
         {'r', 2.0f, "A", 0.5f, "w:0.5 A"},   // clamped to the end of A
         {'e', 0, nullptr, 0.5f, "w:0.5 A"},
         {'c', 0.5f, "D", 0.5f, ""},
         {'e', 0, nullptr, 1.0f, "w:1 D"}},   // no reports: one notification
        {{'c', 2.0f, "Wide", 0.0f, ""},       // weights are not checked
         {'r', 0.75f, nullptr, 1.5f, "w:1.5 Wide"},
         {'e', 0, nullptr, 2.0f, "w:2 Wide"},
         {'e', 0, nullptr, 1.0f, "w:1 Wide"},   // unmatched: the top range stays
         {'r', 0.5f, nullptr, 1.0f, "w:1 Wide"}},
    };
    for (const std::vector<Step>& steps : cases)
    {
        std::string log;
        Recorder watch(log, "w");
        CZRLoadGuard guard;
        guard.RegisterWatch(&watch);
        guard.BeginLoading();
        EXPECT_EQ(Take(log), "w:begin");
        for (const Step& s : steps)
        {
            if (s.op == 'c')
                guard.BeginLoadComponent(s.value, s.name);
            else if (s.op == 'r')
                guard.LoadComponentCompleted(s.value, s.name);
            else
                guard.EndLoadComponent();
            EXPECT_FLOAT_EQ(guard.GetProgress(), s.progress) << s.op << " " << s.value;
            EXPECT_EQ(Take(log), s.heard) << s.op << " " << s.value;
        }
        guard.EndLoading();
        EXPECT_EQ(Take(log), "w:end");
        EXPECT_FLOAT_EQ(guard.GetProgress(), steps.back().progress) << "kept after the end";
    }
}

TEST(LoadGuard, WatchesHearInRegistrationOrderOncePerRegistration)
{
    std::string log;
    Recorder a(log, "a"), b(log, "b"), c(log, "c");
    CZRLoadGuard guard;
    EXPECT_FALSE(guard.HasWatches());
    guard.LoadComponentCompleted(0.25f, nullptr);
    EXPECT_EQ(Take(log), "");
    EXPECT_EQ(guard.GetProgress(), 0.25f) << "kept without watches";
    guard.RegisterWatch(&a);
    guard.RegisterWatch(&b);
    guard.RegisterWatch(&a);
    guard.BeginLoading();
    EXPECT_EQ(Take(log), "a:begin b:begin a:begin");
    guard.UnregisterWatch(&a);
    guard.LoadComponentCompleted(0.25f, nullptr);
    EXPECT_EQ(Take(log), "b:0.25  a:0.25 ") << "one registration gone; no name yet";

    // A copy shares the watches and the ranges.
    guard.BeginLoadComponent(0.5f, "Copied");
    CZRLoadGuard copy(guard);
    copy.EndLoadComponent();
    EXPECT_EQ(Take(log), "b:0.75 Copied a:0.75 Copied");
    EXPECT_EQ(guard.GetProgress(), 0.25f);

    // A watch may unregister itself and others while notified: one gone before
    // its turn hears nothing, the rest all hear.
    guard.RegisterWatch(&c);
    b.onEnd = [&] { guard.UnregisterWatch(&b), guard.UnregisterWatch(&a); };
    guard.EndLoading();
    EXPECT_EQ(Take(log), "b:end c:end");
    guard.UnregisterWatch(&c);
    EXPECT_FALSE(guard.HasWatches());
}

TEST(LoadGuard, NamesComeAsTextOrAsStringResourcesAndNullKeepsTheLast)
{
    // The resource forms go through the text forms, overridable like all of them.
    struct Derived : CZRLoadGuard
    {
        using CZRLoadGuard::BeginLoadComponent;
        void BeginLoadComponent(float fWeight, const char* pszName) override
        {
            seen += pszName != nullptr ? pszName : "(null)";
            CZRLoadGuard::BeginLoadComponent(fWeight, pszName);
        }
        std::string seen;
    };
    const auto savedHook = s_pfnLoadString;
    s_pfnLoadString = [](long id, CZRString& text) { return id == 7 && (text = "Seven", true); };
    std::string log;
    Recorder watch(log, "w");
    Derived guard;
    guard.RegisterWatch(&watch);
    guard.BeginLoadComponent(0.5f, 0x30007L);   // resource 7: the low 16 bits
    EXPECT_EQ(guard.seen, "Seven");
    guard.LoadComponentCompleted(0.5f, 8L);     // no resource 8: the name stays
    guard.BeginLoadComponent(0.5f, nullptr);
    guard.LoadComponentCompleted(0.5f, nullptr);
    EXPECT_EQ(Take(log), "w:0.25 Seven w:0.375 Seven");
    s_pfnLoadString = savedHook;

    CZRLoadGuard* instance = CZRLoadGuard::Instance();
    ASSERT_TRUE(instance != nullptr && CZRLoadGuard::Instance() == instance);
    instance->RegisterWatch(&watch);
    instance->BeginLoading();
    instance->UnregisterWatch(&watch);
    EXPECT_EQ(Take(log), "w:begin");
}
