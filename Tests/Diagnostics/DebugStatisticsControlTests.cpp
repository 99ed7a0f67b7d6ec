#include <string>

#include "Common/Diagnostics/STLList.h"
#include "Diagnostics/DebugStatisticsTestSupport.h"

using namespace StatsTest;

TEST(DebugStatisticsControl, BaseDefaultsLabelsAndCopies)
{
    CZRDebugStatisticsControl parent;
    EXPECT_STREQ("", parent.GetLabel());
    EXPECT_TRUE(parent.HasLabel(nullptr));
    EXPECT_TRUE(parent.HasLabel(""));
    EXPECT_EQ(Expected("", 10), PrintInto(parent, 10));
    EXPECT_FALSE(parent.CanEdit());
    EXPECT_EQ(nullptr, parent.GetCurrentControl());
    parent.SetValueFromString("ignored");

    CZRDebugStatisticsControl a("Speed", &parent), b("b", &parent);
    EXPECT_TRUE(a.HasLabel("Speed"));
    EXPECT_FALSE(a.HasLabel("speed"));
    EXPECT_FALSE(a.HasLabel(nullptr));
    EXPECT_EQ(&parent, a.GetParent());
    EXPECT_TRUE(parent.GetChildren().IsEmpty());   // the parent is not told
    parent.AddChild(&a);
    parent.AddChild(&b);
    parent.FocusNextChild();

    CZRDebugStatisticsControl copy(parent);   // the same children, focus and label
    EXPECT_EQ(&b, copy.GetCurrentControl());
    EXPECT_EQ(2, copy.GetChildren().GetCount());
    copy = a;
    EXPECT_STREQ("Speed", copy.GetLabel());
    EXPECT_EQ(&parent, copy.GetParent());
    EXPECT_EQ(nullptr, copy.GetCurrentControl());
}

TEST(DebugStatisticsControl, PrintTextCutsToTheSizeAndTakesNothingFromNoRoom)
{
    struct CText : CZRDebugStatisticsControl
    {
        const char* pszText;
        int Print(char*& pszBuffer, int& nSize) override { return PrintText(pszBuffer, nSize, pszText); }
    };
    const struct
    {
        int nSize;
        const char *pszText, *pszExpected;
    } cases[] = {{10, "abc", "abc"}, {2, "abc", "ab"}, {0, "abc", ""}, {-5, "abc", ""},
                 {10, nullptr, ""}, {10, "", ""}};
    for (const auto& c : cases)
    {
        CText text;
        text.pszText = c.pszText;
        EXPECT_EQ(Expected(c.pszExpected, c.nSize), PrintInto(text, c.nSize)) << c.nSize;
    }
    char* pszNull = nullptr;
    int nSize = 10;
    EXPECT_EQ(0, CZRDebugStatisticsControl::PrintText(pszNull, nSize, "abc"));
    EXPECT_EQ(10, nSize);
}

TEST(STLList, KeepsOrderAndShiftsDownOnRemoval)
{
    CSTLList<int> list;
    for (int value : {10, 20, 30, 20})
        list.Add(value);
    EXPECT_EQ(1, list.Find(20));
    EXPECT_EQ(-1, list.Find(99));
    list.RemoveAt(1);
    list.RemoveAt(7);
    list.RemoveAt(-1);
    CSTLList<int> copy(list);
    list.SetCount(5);
    ASSERT_EQ(5, list.GetCount());
    const int expected[] = {10, 30, 20, 0, 0};
    for (long i = 0; i < 5; ++i)
        EXPECT_EQ(expected[i], list[i]) << i;
    EXPECT_EQ(3, copy.GetCount());
    EXPECT_FALSE(list.IsValidIndex(5));
    list.SetCount(-3);
    copy.RemoveAll();
    EXPECT_TRUE(list.IsEmpty() && copy.IsEmpty());
}
