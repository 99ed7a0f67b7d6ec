#include <string>

#include "Common/Diagnostics/STLList.h"
#include "Diagnostics/DebugStatisticsTestSupport.h"

using namespace StatsTest;

TEST(DebugStatisticsControl, BaseDefaultsLabelsAndCopies)
{
    CZRDebugStatisticsControl parent;
    EXPECT_STREQ("", parent.GetLabel());
    EXPECT_TRUE(parent.HasLabel(nullptr));
    EXPECT_EQ(Expected("", 10), PrintInto(parent, 10));
    EXPECT_FALSE(parent.CanEdit());
    EXPECT_EQ(nullptr, parent.GetCurrentControl());

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

// Cutting to the size is covered by the console's buffer test; these are the
// arguments that carry nothing to print.
TEST(DebugStatisticsControl, PrintTextTakesNothingFromNullTextOrNoBuffer)
{
    struct CText : CZRDebugStatisticsControl
    {
        int Print(char*& pszBuffer, int& nSize) override { return PrintText(pszBuffer, nSize, nullptr); }
    } text;
    EXPECT_EQ(Expected("", 10), PrintInto(text, 10));
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
