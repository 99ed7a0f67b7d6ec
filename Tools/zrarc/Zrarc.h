// zrarc: what the verbs share. Each verb takes its operands, already counted
// by main, and returns the process's exit status.
#pragma once

#include <string>
#include <vector>

class CZRException;

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

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

// Errors go to stderr as "zrarc: <file>: <problem>", and when a file
// operation failed, with its cause: "zrarc: <file>: <problem>: <cause>". Each
// returns kExitFailure.
int Fail(const std::string& file, const std::string& problem);
// Appends the calling thread's file cause (FILE_GetLastError), if any.
int FailWithCause(const std::string& file, const std::string& problem);
// The exception's message and code, then the cause the library kept for it,
// e.g. "Could not create file for writing. (4005): permission denied".
int Fail(const std::string& file, const CZRException& error);

// Control characters as \xNN, so names from an archive cannot disturb a terminal.
std::string Printable(const std::string& text);
// Through the library's FILE_ layer; false for a missing path.
bool IsDirectory(const std::string& path);
bool IsFile(const std::string& path);
