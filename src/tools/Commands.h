#pragma once
// quillon-dist: the distribution authoring tool. Each command group lives in its own file and
// registers here; main() dispatches on the first word(s) of the command line and reads the rest
// the GNU way (support/CommandLine.h) against the command's options.
#include "support/CommandLine.h"

#include <string>
#include <vector>

namespace quillon::dist {

// A command's operands (the vector itself) and its options.
struct Args : std::vector<std::string> {
    Args(std::vector<std::string> operands, const CommandLine& line)
        : std::vector<std::string>(std::move(operands)), line_(&line) {}
    bool Has(std::string_view name) const { return line_->Has(name); }
    std::string Value(std::string_view name) const { return line_->Value(name); }

private:
    const CommandLine* line_;
};

// Every command answers the process exit code: 0 success, 1 failure of the work, 2 bad usage.
struct Command {
    const char* name;    // "profile compile", "pack", ...
    const char* usage;   // arguments, for the help text
    int (*run)(const Args& args);
    std::vector<OptionSpec> options = {};
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

// A mistake in the command line: "quillon-dist: WHAT" and where to read the usage, on standard
// error; with --json also {"error":…,"exitCode":2} on standard output. Answers 2.
int UsageError(const std::string& what, bool json = false);
// A failure of a --json command before it had its object: {"error":…,"exitCode":code} on
// standard output, the text on standard error too. Answers `code`.
int JsonFailure(const std::string& what, int code);

} // namespace quillon::dist
