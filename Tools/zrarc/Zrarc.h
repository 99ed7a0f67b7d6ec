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

// "zrarc: <file>: <problem>" on stderr; returns kExitFailure.
int Fail(const std::string& file, const std::string& problem);
// The exception's message and code, e.g. "Incorrect archive version. (4014)".
int Fail(const std::string& file, const CZRException& error);

// The name the library gives an archive: ".arc" is appended unless the name
// already ends in it (in any case).
std::string ArchiveFileName(const std::string& name);
// Control characters as \xNN, so names from an archive cannot disturb a terminal.
std::string Printable(const std::string& text);
// Through the library's FILE_ layer; false for a missing path.
bool IsDirectory(const std::string& path);
bool IsFile(const std::string& path);
