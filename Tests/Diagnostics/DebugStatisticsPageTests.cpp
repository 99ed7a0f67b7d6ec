#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "Diagnostics/DebugStatisticsTestSupport.h"

using namespace StatsTest;

TEST_F(DebugStatisticsTest, FocusWrapsAndStepsBackWhenTheFocusedChildIsRemoved)
{
    CZRDebugStatisticsPage page("P");
    CZRDebugStatisticsControl stranger;
    page.FocusPreviousChild();   // no children: nothing to focus
    CTestValue* children[] = {new CTestValue("a", &page, 1), new CTestValue("b", &page, 2),
                              new CTestValue("c", &page, 3)};
    for (CTestValue* pChild : children)
        page.AddChild(pChild);
    const auto focusPrevious = [&] { page.FocusPreviousChild(); };
    const auto focusNext = [&] { page.FocusNextChild(); };
    const auto remove = [&](CZRDebugStatisticsControl* pChild) {
        return [&page, pChild] { page.RemoveChild(pChild); delete static_cast<CTestValue*>(pChild); };
    };
    const std::vector<std::pair<std::function<void()>, const char*>> steps = {
        {[] {}, "P:\n\n> a: 1\n  b: 2\n  c: 3\n"},
        {focusPrevious, "P:\n\n  a: 1\n  b: 2\n> c: 3\n"},
        {focusNext, "P:\n\n> a: 1\n  b: 2\n  c: 3\n"},
        {focusNext, "P:\n\n  a: 1\n> b: 2\n  c: 3\n"},
        {remove(children[1]), "P:\n\n> a: 1\n  c: 3\n"},
        {remove(children[0]), "P:\n\n  c: 3\n"},   // the first: no focus
        {[&] { page.RemoveChild(&stranger); }, "P:\n\n  c: 3\n"},
        {[&] { page.SetValueFromString("9"); }, "P:\n\n  c: 3\n"},
        {focusNext, "P:\n\n> c: 3\n"},
        {[&] { page.SetValueFromString("9"); }, "P:\n\n> c: 9\n"}};
    for (const auto& step : steps)
    {
        step.first();
        EXPECT_EQ(Expected(step.second, 40), PrintInto(page, 40)) << step.second;
    }
    EXPECT_EQ(Expected("", 0), PrintInto(page, 0));
}

TEST_F(DebugStatisticsTest, PageSlotsAndSeparators)
{
    CZRDebugStatisticsPage page("P");
    const struct
    {
        long slot;
        const char* label;
    } calls[] = {{2, "Net"}, {2, "Other"}, {0, nullptr}, {0, "Late"}, {-1, nullptr}, {-1, "Each"}};
    for (const auto& call : calls)
        ZRDebugSeparator(page, call.slot, call.label);
    EXPECT_EQ(Expected("P:\n\n> -- Net --\n  --------\n  --------\n  -- Each --\n", 60), PrintInto(page, 60));

    EXPECT_EQ(page.GetChildren()[0], page.GetSlot(2));
    EXPECT_EQ(page.GetChildren()[1], page.GetSlot(0));
    EXPECT_EQ(&page, page.GetSlot(0)->GetParent());
    EXPECT_FALSE(page.GetSlot(0)->CanEdit());
    for (long slot : {-1L, 1L, 3L, 1000L})
    {
        EXPECT_TRUE(page.IsSlotFree(slot)) << slot;
        EXPECT_EQ(nullptr, page.GetSlot(slot)) << slot;
    }
    CZRDebugStatisticsControl outside;
    page.OccupySlot(5, &outside);
    page.OccupySlot(-2, &outside);
    EXPECT_EQ(&outside, page.GetSlot(5));
    EXPECT_TRUE(page.IsSlotFree(4));
    EXPECT_TRUE(page.IsSlotFree(-2));
    page.OccupySlot(5, nullptr);
    EXPECT_TRUE(page.IsSlotFree(5));

    CZRDebugStatisticsSeparator labelled;
    labelled.SetLabel("A long label");
    EXPECT_EQ(Expected("-- A long l", 11), PrintInto(labelled, 11));
}

TEST_F(DebugStatisticsTest, APageDeletesEachChildOnceAndUnregisters)
{
    CTestValue::s_nDestroyed = 0;
    CZRDebugStatisticsPage* pPage = new CZRDebugStatisticsPage("Owner");
    CTestValue* pTwice = new CTestValue("twice", pPage);
    pPage->AddChild(new CTestValue("a", pPage));
    pPage->AddChild(pTwice);
    pPage->AddChild(nullptr);
    pPage->AddChild(pTwice);
    EXPECT_EQ(pPage, CZRDebugStatistics::FindControl("Owner"));
    delete pPage;
    EXPECT_EQ(2, CTestValue::s_nDestroyed);
    EXPECT_EQ(nullptr, CZRDebugStatistics::FindControl("Owner"));
}
