// The statistics console: what it renders into buffers of every size (with
// guard bytes behind the size given), the command line's keys, commands for the
// interpreter or the focused control, the pages' registration, focus, slots and
// the children they own (and so the list they keep them in).
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "Common/Diagnostics/ZRDebugStatistics.h"
#include "Common/Diagnostics/ZRDebugStatisticsInterpreter.h"
#include "Common/Diagnostics/ZRDebugStatisticsPage.h"
#include "Common/Diagnostics/ZRDebugStatisticsSeparator.h"

using Stats = CZRDebugStatistics;

namespace
{
constexpr char kFill = '#';
constexpr int kGuard = 8;

// The count written, and the whole buffer: the size given plus the guard bytes.
using Rendered = std::pair<int, std::string>;

// A read-out "Label: value\n" whose value the command line sets.
struct CTestValue : CZRDebugStatisticsControl
{
    CTestValue(const char* pszLabel, CZRDebugStatisticsControl* pParent, int nValue = 0)
        : CZRDebugStatisticsControl(pszLabel, pParent), m_nValue(nValue) {}
    ~CTestValue() override { ++s_nDestroyed; }
    int Print(char*& pszBuffer, int& nSize) override
    {
        CZRString line;
        line.Format("%s: %d\n", GetLabel(), m_nValue);
        return PrintText(pszBuffer, nSize, line);
    }
    void SetValueFromString(const CZRString& str) override { m_nValue = str.ToInt(); }
    int m_nValue;
    static inline int s_nDestroyed = 0;
};

// Moves the pointer by nMove without writing and claims a far larger size and
// count: the console must keep its own position inside the buffer.
struct CMisplacing : CZRDebugStatisticsControl
{
    CMisplacing(CZRDebugStatisticsControl* pParent, int nMove)
        : CZRDebugStatisticsControl("", pParent), m_nMove(nMove) {}
    int Print(char*& pszBuffer, int& nSize) override
    {
        pszBuffer += m_nMove;
        nSize += 100000;
        return 999;
    }
    int m_nMove;
};

struct CTestInterpreter : IZRDebugStatisticsInterpreter
{
    explicit CTestInterpreter(bool bHandles) : m_bHandles(bHandles) {}
    bool Interpret(const CZRString& strCommand) override
    {
        m_commands.push_back(strCommand.IsEmpty() ? "" : strCommand.GetString());
        return m_bHandles;
    }
    bool m_bHandles;
    std::vector<std::string> m_commands;
};

std::string Blank(int nSize) { return std::string(std::max(nSize, 0) + kGuard, kFill); }

// What a buffer of nSize holds after text was written: text, then untouched bytes.
Rendered Expected(const std::string& text, int nSize)
{
    return {static_cast<int>(text.size()), text + Blank(nSize).substr(text.size())};
}

// Also checks that pointer and size moved by the count returned.
Rendered PrintInto(CZRDebugStatisticsControl& control, int nSize)
{
    std::string buffer = Blank(nSize);
    char* pszCursor = &buffer[0];
    int nLeft = nSize;
    const int nWritten = control.Print(pszCursor, nLeft);
    EXPECT_TRUE(pszCursor == &buffer[0] + nWritten && nLeft == nSize - nWritten);
    return {nWritten, buffer};
}

Rendered Render(int nSize)
{
    std::string buffer = Blank(nSize);
    return {Stats::Print(&buffer[0], nSize), buffer};
}

void Type(const std::string& text)
{
    for (char ch : text)
        Stats::ProcessInput(static_cast<unsigned char>(ch));
}

// The text between "> " and "_\n\n".
std::string CommandLine()
{
    const std::string shown = Render(200).second;
    return shown.substr(2, shown.find("_\n\n") - 2);
}

struct DebugStatisticsTest : ::testing::Test
{
    void SetUp() override
    {
        Stats::m_bStatisticsVisible = true;
        Stats::Initialize();
        // No page is shown after this unless an earlier test left one registered.
        Stats::ProcessInput(Stats::KEY_PREVIOUS_PAGE);
        ASSERT_EQ(Expected("> _\n\n", 64), Render(64));
    }
};
} // namespace

TEST_F(DebugStatisticsTest, RendersCommandLinePageLabelAndOneLinePerChild)
{
    CZRDebugStatisticsPage page("Stats");
    page.AddChild(new CTestValue("Speed", &page, 3));
    ZRDebugSeparator(page, 0, "Engine");
    ZRDebugSeparator(page, 1);
    page.AddChild(nullptr);
    page.AddChild(new CTestValue("Fuel", &page, -7));
    EXPECT_EQ(Expected("> _\n\nStats:\n\n> Speed: 3\n  -- Engine --\n  --------\n  Fuel: -7\n", 100), Render(100));
    Type("set 5");
    Stats::ProcessInput(Stats::KEY_FOCUS_PREVIOUS);   // before the first: the last
    EXPECT_EQ(Expected("> set 5_\n\nStats:\n\n  Speed: 3\n  -- Engine --\n  --------\n> Fuel: -7\n", 100),
              Render(100));

    CZRDebugStatisticsPage unnamed;
    Stats::ProcessInput(Stats::KEY_NEXT_PAGE);
    EXPECT_EQ(Expected("> set 5_\n\n:\n\n", 20), Render(20));
    Stats::m_bStatisticsVisible = false;
    EXPECT_EQ(Expected("", 20), Render(20));
}

TEST_F(DebugStatisticsTest, ABufferTooSmallReceivesExactlyItsSize)
{
    CZRDebugStatisticsPage page(std::string(300, 'P').c_str());
    page.AddChild(new CTestValue(std::string(1000, 'L').c_str(), &page, 1));
    page.AddChild(new CMisplacing(&page, 6));
    page.AddChild(new CTestValue("After", &page, 2));
    page.AddChild(new CMisplacing(&page, -3));
    Type(std::string(64, 'c'));
    // The 6 bytes skipped count as written; a move back counts as nothing.
    const std::string full = "> " + std::string(64, 'c') + "_\n\n" + std::string(300, 'P') + ":\n\n> " +
                             std::string(1000, 'L') + ": 1\n  " + std::string(6, kFill) + "  After: 2\n  ";
    for (int nSize = 0; nSize <= static_cast<int>(full.size()) + 2; ++nSize)
        ASSERT_EQ(Expected(full.substr(0, std::min<std::size_t>(nSize, full.size())), nSize), Render(nSize)) << nSize;
    EXPECT_EQ(Expected("", -4), Render(-4));
    EXPECT_EQ(0, Stats::Print(nullptr, 100));
    CZRDebugStatisticsSeparator labelled;
    labelled.SetLabel("A long label");
    EXPECT_EQ(Expected("-- A long l", 11), PrintInto(labelled, 11));
}

TEST_F(DebugStatisticsTest, TypingIsCutAt64AndBackspaceDeletesTheLastCharacter)
{
    for (int nKey : {int(Stats::KEY_BACKSPACE), 0, 6, 7, 9, 10, 27, 31, -65})
        Stats::ProcessInput(nKey);
    EXPECT_EQ("", CommandLine());
    // A code above 255 types its low byte.
    for (int nKey : {0x100 + 'A', int(' '), 0xFF, int(Stats::KEY_BACKSPACE), int('!'), 0x1E9})
        Stats::ProcessInput(nKey);
    EXPECT_EQ("A !\xE9", CommandLine());
    Stats::Initialize();
    Type(std::string(60, 'x') + "0123456789");
    EXPECT_EQ(std::string(60, 'x') + "0123", CommandLine());
}

// The first interpreter constructed is asked until it is destroyed; copies and
// later ones never are. Without one, or when it declines, the focused control
// of the shown page takes the command as its value.
TEST_F(DebugStatisticsTest, ExecuteAsksTheFirstInterpreterThenTheFocusedControl)
{
    CZRDebugStatisticsPage page("P");
    CTestValue* pFirst = new CTestValue("First", &page);
    CTestValue* pSecond = new CTestValue("Second", &page);
    page.AddChild(pFirst);
    page.AddChild(pSecond);
    Stats::ProcessInput(Stats::KEY_FOCUS_NEXT);
    CTestInterpreter* pGone = new CTestInterpreter(true);
    CTestInterpreter later(true);
    delete pGone;
    const CTestInterpreter laterCopy(later);
    Type("42");
    Stats::ProcessInput(Stats::KEY_EXECUTE);
    EXPECT_EQ(std::make_pair(0, 42), std::make_pair(pFirst->m_nValue, pSecond->m_nValue));
    EXPECT_TRUE(later.m_commands.empty() && laterCopy.m_commands.empty());
    EXPECT_EQ("", CommandLine());

    CTestInterpreter declining(false);
    {
        CTestInterpreter handling(true);
        Type("7");
        Stats::ProcessInput(Stats::KEY_EXECUTE);
    }   // destroying one that is not registered unregisters nothing
    declining.m_bHandles = true;
    Type("99");
    Stats::ProcessInput(Stats::KEY_EXECUTE);
    EXPECT_EQ((std::vector<std::string>{"7", "99"}), declining.m_commands);
    EXPECT_EQ(7, pSecond->m_nValue);
}

TEST_F(DebugStatisticsTest, PagesRegisterInOrderWrapAtBothEndsAndStepBackWhenRemoved)
{
    CZRDebugStatisticsPage* pA = new CZRDebugStatisticsPage("Alpha");
    CZRDebugStatisticsPage b("Beta"), c("Gamma");
    const std::pair<int, const char*> keyThenShown[] = {
        {0, "Alpha"}, {Stats::KEY_NEXT_PAGE, "Beta"}, {Stats::KEY_NEXT_PAGE, "Gamma"},
        {Stats::KEY_NEXT_PAGE, "Alpha"}, {Stats::KEY_PREVIOUS_PAGE, "Gamma"},
        {Stats::KEY_PREVIOUS_PAGE, "Beta"}, {7, "Beta"}, {-3, "Beta"}, {Stats::KEY_PREVIOUS_PAGE, "Alpha"}};
    for (const auto& [key, shown] : keyThenShown)
    {
        Stats::ProcessInput(key);
        ASSERT_NE(nullptr, Stats::GetCurrentControl());
        EXPECT_STREQ(shown, Stats::GetCurrentControl()->GetLabel()) << key;
    }
    EXPECT_EQ(pA, Stats::FindControl("Alpha"));
    EXPECT_EQ(nullptr, Stats::FindControl("alpha"));   // letter case counts
    Stats::ProcessInput(Stats::KEY_NEXT_PAGE);
    Stats::RemoveControl(&b);                          // the shown page: the one before
    EXPECT_EQ(pA, Stats::GetCurrentControl());
    Stats::RemoveControl(&b);                          // not registered: nothing
    Stats::ProcessInput(Stats::KEY_NEXT_PAGE);
    EXPECT_EQ(&c, Stats::GetCurrentControl());
    delete pA;                                         // an earlier page: the index stays
    EXPECT_EQ(nullptr, Stats::GetCurrentControl());
    Stats::ProcessInput(Stats::KEY_PREVIOUS_PAGE);
    EXPECT_EQ(&c, Stats::GetCurrentControl());
    Stats::RemoveControl(&c);                          // the first: no page
    EXPECT_EQ(nullptr, Stats::GetCurrentControl());
    Stats::AddControl(nullptr);                        // shown, and skipped by FindControl
    EXPECT_EQ(Expected("> _\n\n", 30), Render(30));
    Stats::AddControl(&b);
    EXPECT_EQ(&b, Stats::FindControl("Beta"));
    Stats::RemoveControl(nullptr);                     // the shown one: none shown
    Stats::AddControl(&c);                             // so the new one is
    EXPECT_EQ(&c, Stats::GetCurrentControl());
}

TEST_F(DebugStatisticsTest, FocusWrapsAndStepsBackWhenTheFocusedChildIsRemoved)
{
    CZRDebugStatisticsPage page("P");
    page.FocusPreviousChild();   // no children: nothing to focus
    CTestValue* a = new CTestValue("a", &page, 1);
    CTestValue* b = new CTestValue("b", &page, 2);
    page.AddChild(a);
    page.AddChild(b);
    page.AddChild(new CTestValue("c", &page, 3));
    page.FocusPreviousChild();
    EXPECT_EQ(Expected("P:\n\n  a: 1\n  b: 2\n> c: 3\n", 40), PrintInto(page, 40));
    page.FocusNextChild();
    page.FocusNextChild();
    page.RemoveChild(b);
    delete b;
    EXPECT_EQ(Expected("P:\n\n> a: 1\n  c: 3\n", 40), PrintInto(page, 40));
    page.RemoveChild(a);   // the first: no focus, and no control takes a value
    delete a;
    CZRDebugStatisticsControl stranger;
    page.RemoveChild(&stranger);
    page.SetValueFromString("9");
    EXPECT_EQ(Expected("P:\n\n  c: 3\n", 40), PrintInto(page, 40));
    page.FocusNextChild();
    page.SetValueFromString("9");
    EXPECT_EQ(Expected("P:\n\n> c: 9\n", 40), PrintInto(page, 40));
    EXPECT_EQ(Expected("", 0), PrintInto(page, 0));
    const CZRDebugStatisticsControl copy(page);   // the same children, focus and label
    EXPECT_TRUE(copy.GetCurrentControl() == page.GetCurrentControl() && copy.GetChildren().GetCount() == 1);
}

// ZRDebugSeparator fills a free slot only; slots do not order the children.
TEST_F(DebugStatisticsTest, PageSlotsAndSeparators)
{
    CZRDebugStatisticsPage page("P");
    const std::pair<long, const char*> calls[] = {{2, "Net"}, {2, "Other"}, {0, nullptr},
                                                  {0, "Late"}, {-1, nullptr}, {-1, "Each"}};
    for (const auto& [slot, label] : calls)
        ZRDebugSeparator(page, slot, label);
    EXPECT_EQ(Expected("P:\n\n> -- Net --\n  --------\n  --------\n  -- Each --\n", 60), PrintInto(page, 60));
    EXPECT_TRUE(page.GetChildren()[0] == page.GetSlot(2) && page.GetChildren()[1] == page.GetSlot(0));
    EXPECT_EQ(&page, page.GetSlot(0)->GetParent());
    for (long slot : {-1L, 1L, 3L, 1000L})
        EXPECT_TRUE(page.IsSlotFree(slot) && page.GetSlot(slot) == nullptr) << slot;
    CZRDebugStatisticsControl outside;
    page.OccupySlot(5, &outside);
    page.OccupySlot(-2, &outside);
    EXPECT_TRUE(page.GetSlot(5) == &outside && page.IsSlotFree(4) && page.IsSlotFree(-2));
    page.OccupySlot(5, nullptr);
    EXPECT_TRUE(page.IsSlotFree(5));
}

TEST_F(DebugStatisticsTest, APageDeletesEachChildOnceAndUnregisters)
{
    CTestValue::s_nDestroyed = 0;
    CZRDebugStatisticsPage* pPage = new CZRDebugStatisticsPage("Owner");
    CTestValue* pTwice = new CTestValue("twice", pPage);
    for (CZRDebugStatisticsControl* pChild : {pTwice, static_cast<CTestValue*>(nullptr), pTwice})
        pPage->AddChild(pChild);
    pPage->AddChild(new CTestValue("a", pPage));
    EXPECT_EQ(pPage, Stats::FindControl("Owner"));
    delete pPage;
    EXPECT_EQ(2, CTestValue::s_nDestroyed);
    EXPECT_EQ(nullptr, Stats::FindControl("Owner"));
}
