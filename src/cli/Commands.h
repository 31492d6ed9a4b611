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

int Usage();
int Directions(const std::vector<std::string>& args);
int List(const std::vector<std::string>& args);
int Install(const std::vector<std::string>& args);
int Remove(const std::vector<std::string>& args);

} // namespace quillon::cli
