#pragma once
// quillon-dist: the distribution authoring tool. Each command group lives in its own file and
// registers here; main() dispatches on the first word(s) of the command line.
#include <string>
#include <vector>

namespace quillon::dist {

using Args = std::vector<std::string>;

// Every command answers the process exit code: 0 success, 1 failure of the work, 2 bad usage.
struct Command {
    const char* name;    // "profile compile", "pack", ...
    const char* usage;   // arguments, for the help text
    int (*run)(const Args& args);
};

// The command groups; each file defines its own list.
const std::vector<Command>& ProfileCommands();
const std::vector<Command>& PackCommands();
const std::vector<Command>& StorageCommands();
const std::vector<Command>& BuildCommands();
const std::vector<Command>& DictCommands();
const std::vector<Command>& DescribeCommands();

// verify DIST [--json]: a whole distribution (VerifyCommand.cpp); `verify` with a folder.
int VerifyFolder(const Args& args);

} // namespace quillon::dist
