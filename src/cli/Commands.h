#pragma once
// quillon-cli's commands; each answers the process exit code. A command reads its operands
// (after the command word) and options from the command line main() has read and checked.
#include "support/CommandLine.h"

#include <string>
#include <vector>

namespace quillon::cli {

enum ExitCode : int {
    kExitDone = 0,
    kExitCannotStart = 1,
    kExitUsage = 2,
    kExitCancelled = 3,
    kExitPartlyFailed = 4,
    kExitNothingDone = 5,
};

// A mistake in the command line: "quillon-cli: WHAT" and where to read the usage, on standard
// error; the JSON object's error with --json. Answers kExitUsage.
int UsageError(const std::string& what);
// The usage on standard output (--help).
int Help();
// "quillon-cli VERSION" on standard output.
int Version();
int Directions(const CommandLine& line);
int List(const CommandLine& line);
int Install(const CommandLine& line);
int Remove(const CommandLine& line);
// The collections the product holds, per direction, with their state.
int Installed(const CommandLine& line);
// What install with the same arguments would do, changing nothing.
int Plan(const CommandLine& line);

} // namespace quillon::cli
