#pragma once
// Runs a program of the project as a user would, through the shell, and collects its output.
#include <string>

namespace quillon::test {

struct ProgramResult {
    int code = -1;       // exit status; -1 when it did not exit normally
    std::string output;  // standard output (and standard error with `mergeErrors`)
};

// `command` is passed to /bin/sh as it stands: quote arguments with ShellQuote.
ProgramResult RunProgram(const std::string& command, bool mergeErrors = true);

std::string ShellQuote(const std::string& text);

} // namespace quillon::test
