// zrarc: what the verbs share. Each verb takes its operands, already counted
// by the command line, and returns the process's exit status.
#pragma once

#include <string>
#include <vector>

#include "ToolCli.h"  // the exit statuses and error reports: Fail, FailWithCause, Report
#include "ToolFiles.h" // IsDirectory, CreateDirectories

struct sOptions
{
    bool quiet = false;
};

using Operands = std::vector<std::string>;

int RunCreate(const Operands& operands, const sOptions& options);
int RunExtract(const Operands& operands, const sOptions& options);
int RunList(const Operands& operands, const sOptions& options);
int RunCat(const Operands& operands, const sOptions& options);
int RunVerify(const Operands& operands, const sOptions& options);

// Through the library's FILE_ layer; false for a missing path.
bool IsFile(const std::string& path);
