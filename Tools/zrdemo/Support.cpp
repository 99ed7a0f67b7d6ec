// zrdemo: failures, causes and the log entry every step writes.
#include <cstdio>

#include "Common/Core/ZRException.h"
#include "Common/Diagnostics/ZRLog.h"
#include "Common/File/FileFunctions.h"
#include "Common/File/ZRArchiveFormat.h"
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

bool IsDirectory(const std::string& path)
{
    const unsigned long attributes = FILE_GetFileAttributes(path.c_str());
    return attributes != FILE_ATTR_INVALID && (attributes & FILE_ATTR_DIRECTORY) != 0;
}

bool CreateDirectories(const std::string& path)
{
    if (path.empty())
    {
        FILE_SetLastError(FILE_ERROR_INVALID_ARGUMENT);
        return false;
    }
    const char* text = path.c_str();
    for (const char* separator = ZRArchiveFormat::FindSeparator(text + 1);;
         separator = ZRArchiveFormat::FindSeparator(separator + 1))
    {
        const std::string prefix = separator != nullptr
                                       ? path.substr(0, static_cast<std::size_t>(separator - text))
                                       : path;
        if (!IsDirectory(prefix) && DIR_Create(prefix.c_str()) != 1)
            return false;
        if (separator == nullptr)
            return true;
    }
}
