#include <string>
#include <vector>

#include "Common/Diagnostics/ZRDebugStatisticsInterpreter.h"
#include "Diagnostics/DebugStatisticsTestSupport.h"

using namespace StatsTest;
using Stats = CZRDebugStatistics;

namespace
{
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

class CTestInterpreter : public IZRDebugStatisticsInterpreter
{
public:
    explicit CTestInterpreter(bool bHandles) : m_bHandles(bHandles) {}
    bool Interpret(const CZRString& strCommand) override
    {
        m_commands.push_back(strCommand.IsEmpty() ? "" : strCommand.GetString());
        return m_bHandles;
    }
    bool m_bHandles;
    std::vector<std::string> m_commands;
};

// Moves the pointer by nMove without writing and claims a far larger size and
// count: the console must keep its own position inside the buffer.
class CMisplacing : public CZRDebugStatisticsControl
{
public:
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
} // namespace

TEST_F(DebugStatisticsTest, RendersCommandLinePageLabelAndOneLinePerChild)
{
    CZRDebugStatisticsPage page("Stats");
    page.AddChild(new CTestValue("Speed", &page, 3));
    ZRDebugSeparator(page, 0, "Engine");
    ZRDebugSeparator(page, 1);
    page.AddChild(nullptr);
    page.AddChild(new CTestValue("Fuel", &page, -7));
    EXPECT_EQ(Expected("> _\n\nStats:\n\n> Speed: 3\n  -- Engine --\n  --------\n  Fuel: -7\n", 100),
              Render(100));
    Type("set 5");
    Stats::ProcessInput(Stats::KEY_FOCUS_PREVIOUS);   // before the first: the last
    EXPECT_EQ(Expected("> set 5_\n\nStats:\n\n  Speed: 3\n  -- Engine --\n  --------\n> Fuel: -7\n", 100),
              Render(100));
    Stats::ProcessInput(Stats::KEY_FOCUS_PREVIOUS);   // the null child: no line marked
    EXPECT_EQ(Expected("> set 5_\n\nStats:\n\n  Speed: 3\n  -- Engine --\n  --------\n  Fuel: -7\n", 100),
              Render(100));

    CZRDebugStatisticsPage unnamed;
    Stats::ProcessInput(Stats::KEY_NEXT_PAGE);
    EXPECT_EQ(Expected("> set 5_\n\n:\n\n", 20), Render(20));
    Stats::m_bStatisticsVisible = false;
    EXPECT_FALSE(Stats::IsVisible());
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
        ASSERT_EQ(Expected(full.substr(0, std::min<std::size_t>(nSize, full.size())), nSize), Render(nSize))
            << nSize;
    EXPECT_EQ(Expected("", -4), Render(-4));
    EXPECT_EQ(0, Stats::Print(nullptr, 100));
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

TEST_F(DebugStatisticsTest, ExecuteAsksTheFirstInterpreterThenTheFocusedControl)
{
    CZRDebugStatisticsPage page("P");
    CTestValue* pFirst = new CTestValue("First", &page);
    CTestValue* pSecond = new CTestValue("Second", &page);
    page.AddChild(pFirst);
    page.AddChild(pSecond);
    CTestInterpreter* pGone = new CTestInterpreter(true);
    CTestInterpreter later(true);                // not registered: pGone is
    delete pGone;                                // none is now
    const CTestInterpreter laterCopy(later);     // and a copy does not register
    Stats::ProcessInput(Stats::KEY_FOCUS_NEXT);
    Type("42");
    Stats::ProcessInput(Stats::KEY_EXECUTE);     // no interpreter: the focused child takes it
    EXPECT_EQ(0, pFirst->m_nValue);
    EXPECT_EQ(42, pSecond->m_nValue);
    EXPECT_TRUE(later.m_commands.empty() && laterCopy.m_commands.empty());
    EXPECT_EQ("", CommandLine());

    CTestInterpreter declining(false);           // the first since pGone
    {
        CTestInterpreter handling(true);
        Type("7");
        Stats::ProcessInput(Stats::KEY_EXECUTE);
        EXPECT_EQ(7, pSecond->m_nValue);
        EXPECT_TRUE(handling.m_commands.empty());
    }                                            // destroying it unregisters nothing
    declining.m_bHandles = true;
    Type("99");
    Stats::ProcessInput(Stats::KEY_EXECUTE);
    EXPECT_EQ((std::vector<std::string>{"7", "99"}), declining.m_commands);
    EXPECT_EQ(7, pSecond->m_nValue);
    EXPECT_EQ("", CommandLine());
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
    EXPECT_EQ(nullptr, Stats::FindControl(nullptr));
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
