#pragma once
// quillon-cli's commands; each answers the process exit code.
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

// The usage on standard error (a mistake: kExitUsage), or on standard output (--help).
int Usage();
int Help();
// "quillon-cli VERSION" on standard output.
int Version();
int Directions(const std::vector<std::string>& args);
int List(const std::vector<std::string>& args);
int Install(const std::vector<std::string>& args);
int Remove(const std::vector<std::string>& args);
// The collections the product holds, per direction, with their state.
int Installed(const std::vector<std::string>& args);
// What install with the same arguments would do, changing nothing.
int Plan(const std::vector<std::string>& args);

} // namespace quillon::cli
