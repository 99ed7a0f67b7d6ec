#include "Common/Diagnostics/ZRDebugStatisticsInterpreter.h"

#include "Common/Diagnostics/ZRDebugStatistics.h"

IZRDebugStatisticsInterpreter::IZRDebugStatisticsInterpreter()
{
    CZRDebugStatistics::RegisterInterpreter(this);
}

IZRDebugStatisticsInterpreter::IZRDebugStatisticsInterpreter(const IZRDebugStatisticsInterpreter&) {}

IZRDebugStatisticsInterpreter&
IZRDebugStatisticsInterpreter::operator=(const IZRDebugStatisticsInterpreter&)
{
    return *this;
}

IZRDebugStatisticsInterpreter::~IZRDebugStatisticsInterpreter()
{
    CZRDebugStatistics::UnregisterInterpreter(this);
}
