// zrdemo, step 6: the statistics console. One page lists the profiler's
// samples of the last frame and the load progress; the console renders it into
// a character buffer, which is printed row by row as a game would draw it.
#include <cstdio>
#include <cstring>

#include "Common/Diagnostics/ZRDebugStatistics.h"
#include "Common/Diagnostics/ZRDebugStatisticsControl.h"
#include "Common/Diagnostics/ZRDebugStatisticsPage.h"
#include "Common/Diagnostics/ZRDebugStatisticsSeparator.h"
#include "Zrdemo.h"

namespace
{
constexpr char kPageName[] = "Frame statistics";
constexpr int kScreenSize = 4096;

// A control that shows one line of text.
class CLineControl : public CZRDebugStatisticsControl
{
public:
    CLineControl(const std::string& line, CZRDebugStatisticsControl* parent)
        : CZRDebugStatisticsControl(nullptr, parent), m_line(line + "\n")
    {
    }
    int Print(char*& pszBuffer, int& nSize) override
    {
        return PrintText(pszBuffer, nSize, m_line.c_str());
    }

private:
    std::string m_line;
};

std::string SampleLine(const sSampleRow& row)
{
    char line[160];
    std::snprintf(line, sizeof line, "%-*s%-*s %6.1f %6.1f %6.1f %7.2f %5d", row.parents * 2, "",
                  16 - row.parents * 2, row.name.c_str(), row.average, row.minimum, row.maximum,
                  row.seconds * 1000.0f, row.instances);
    return line;
}

void FillPage(CZRDebugStatisticsPage& page, const sFrameReport& report)
{
    ZRDebugSeparator(page, 0, "Profiler");
    page.AddChild(new CLineControl("sample             avg%   min%   max%      ms calls", &page));
    for (const sSampleRow& row : report.samples)
        page.AddChild(new CLineControl(SampleLine(row), &page));
    ZRDebugSeparator(page, 1, "Loading");
    char line[160];
    std::snprintf(line, sizeof line, "Level %.0f%% (%s), %d progress reports",
                  report.progress * 100.0f, report.component.c_str(), report.progressMoves);
    page.AddChild(new CLineControl(line, &page));
}

// Rows of the rendered console; the buffer is not terminated.
int PrintRows(const char* screen, int length, bool print)
{
    int rows = 0;
    for (const char* row = screen; row < screen + length; ++rows)
    {
        const void* found = std::memchr(row, '\n', static_cast<std::size_t>(screen + length - row));
        const char* end = found != nullptr ? static_cast<const char*>(found) : screen + length;
        if (print)
            std::printf("    | %s\n", Printable(std::string(row, end)).c_str());
        row = end + 1;
    }
    return rows;
}
} // namespace

void ShowConsole(const sFrameReport& report, const sDemoOptions& options)
{
    CZRDebugStatistics::Initialize();
    CZRDebugStatisticsPage page(kPageName);
    FillPage(page, report);
    if (CZRDebugStatistics::GetCurrentControl() != &page)
        ThrowStep(kStepConsole, kPageName, "the console shows another page");
    char screen[kScreenSize];
    const int length = CZRDebugStatistics::Print(screen, kScreenSize);
    if (length <= 0)
        ThrowStep(kStepConsole, kPageName, "the console rendered nothing");
    const int rows = PrintRows(screen, length, false);
    StepDone(kStepConsole,
             std::string("page \"") + kPageName + "\": " + std::to_string(rows) + " rows, " +
                 std::to_string(length) + " characters",
             options);
    PrintRows(screen, length, !options.quiet);
}
