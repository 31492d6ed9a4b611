// quillon-cli: the installer's engine from the command line (docs/quillon-cli.md).
//
//   quillon-cli directions [--json]
//   quillon-cli list DIST [--json]
//   quillon-cli install DIST --collection ID [--profile KEY]... [--replace replace|skip|ask] [--yes] [--json]
//   quillon-cli remove ...; quillon-cli --help | -h | --version
//
// Exit codes: 0 done; 1 could not start (no kernel, no distribution, unreadable descriptions);
// 2 bad usage; 3 cancelled; 4 partly failed; 5 nothing done. With --json, standard output is one
// JSON object whatever the exit code (cli/Output.h).
#include "cli/Commands.h"
#include "cli/Output.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

int Run(const std::vector<std::string>& args) {
    if (args.empty())
        return quillon::cli::Usage();
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    if (args[0] == "directions")
        return quillon::cli::Directions(rest);
    if (args[0] == "list")
        return quillon::cli::List(rest);
    if (args[0] == "install")
        return quillon::cli::Install(rest);
    if (args[0] == "remove")
        return quillon::cli::Remove(rest);
    return quillon::cli::Usage();
}

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    const auto given = [&](const char* flag) { return std::find(args.begin(), args.end(), flag) != args.end(); };
    if (given("--help") || given("-h"))
        return quillon::cli::Help();
    if (given("--version"))
        return quillon::cli::Version();
    quillon::cli::SetJsonOutput(given("--json"));
    const int code = Run(args);
    quillon::cli::FinishJson(code);
    return code;
}
