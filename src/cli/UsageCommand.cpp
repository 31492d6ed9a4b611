#include "cli/Commands.h"
#include "cli/Output.h"
#include "support/Text.h"
#include "support/Version.h"

#include <cstdio>

namespace quillon::cli {
namespace {

constexpr const char* kUsage =
    "usage: quillon-cli directions [--json]\n"
    "       quillon-cli list DIST [--json]\n"
    "       quillon-cli plan DIST --collection ID [--profile KEY]... [--replace replace|skip|ask] [--json]\n"
    "       quillon-cli install DIST --collection ID [--profile KEY]... [--replace replace|skip|ask] [-y]\n"
    "                   [--json | --events]\n"
    "       quillon-cli installed [--direction CODE] [--json]\n"
    "       quillon-cli remove --direction CODE (--collection NAME... | --all-of-direction) [-y] [--json]\n"
    "       quillon-cli remove --all [-y] [--json]\n"
    "       quillon-cli remove DIST --collection ID [--json]\n"
    "       quillon-cli --help | --version\n"
    "options of every command:\n"
    "  -y, --yes          answer yes to the questions (the cancel question, removing everything)\n"
    "  -q, --quiet        no progress and no report: errors and the exit status only\n"
    "  -v, --verbose      every item and kernel call as it happens, on standard error\n"
    "      --no-progress  no progress bar or progress lines\n"
    "      --log FILE     append the run's steps to FILE as JSON lines\n"
    "      --             end of the options: what follows is an operand\n"
    "An option's value may follow it (--collection 1) or be joined with '=' (--collection=1).\n"
    "exit codes: 0 done, 1 could not start, 2 bad usage, 3 cancelled, 4 partly failed, 5 nothing done\n";

} // namespace

int UsageError(const std::string& what) {
    std::fprintf(stderr, "quillon-cli: %s\nTry 'quillon-cli --help' for more information.\n", TerminalSafe(what).c_str());
    SetJsonError(what);
    return kExitUsage;
}

int Help() {
    std::fputs(kUsage, stdout);
    return kExitDone;
}

int Version() {
    std::printf("quillon-cli %s\n", QuillonVersion());
    return kExitDone;
}

} // namespace quillon::cli
