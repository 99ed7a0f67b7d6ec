// IZRDebugStatisticsInterpreter: the host's handler of the statistics console's
// command line. The first interpreter constructed becomes the console's one and
// stays so until it is destroyed; the others (and copies) are never asked.
#pragma once

#include "Common/Core/ZRExport.h"
#include "Common/Core/ZRString.h"

class ZR_COMMON_API IZRDebugStatisticsInterpreter
{
public:
    // Registers this interpreter, if none is registered yet.
    IZRDebugStatisticsInterpreter();
    // Does not register the copy.
    IZRDebugStatisticsInterpreter(const IZRDebugStatisticsInterpreter& other);
    // Changes no registration.
    IZRDebugStatisticsInterpreter& operator=(const IZRDebugStatisticsInterpreter& other);
    // Unregisters this interpreter, if it is the registered one.
    virtual ~IZRDebugStatisticsInterpreter();

    // True when the command has been handled; false hands it to the focused
    // control of the shown page as a value.
    virtual bool Interpret(const CZRString& strCommand) = 0;
};
