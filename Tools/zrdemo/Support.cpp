// zrdemo: failures, causes and the log entry every step writes.
#include <cstdio>

#include "Common/Core/ZRException.h"
#include "Common/Diagnostics/ZRLog.h"
#include "Common/File/FileFunctions.h"
#include "Zrdemo.h"

void ThrowStep(const sStep& step, const std::string& file, const std::string& cause)
{
    LogStep(step, LOG_CLASS_ERROR, file + ": " + cause);
    throw sStepFailure{step.name, file, cause};
}

std::string CauseSuffix()
{
    const eFileError error = FILE_GetLastError();
    return error == FILE_ERROR_NONE ? std::string() : std::string(": ") + FILE_GetErrorText(error);
}

std::string Describe(const CZRException& error)
{
    return std::string(error.GetErrorString()) + " (" + std::to_string(error.GetErrorCode()) + ")" +
           CauseSuffix();
}

void LogStep(const sStep& step, int logClass, const std::string& message)
{
    _ZR_Log_Fn(step.source, kLogName, step.name, step.number, 0, LOG_TO_FILE | LOG_TO_MAILSLOT,
               logClass, "%s", message.c_str());
}

void StepDone(const sStep& step, const std::string& summary, const sDemoOptions& options)
{
    LogStep(step, LOG_CLASS_INFO, summary);
    if (!options.quiet)
        std::printf("[%d/%d] %-10s %s\n", step.number, kStepCount, step.name,
                    Printable(summary).c_str());
}

