#include "cli/Commands.h"
#include "cli/Output.h"
#include "support/Version.h"

#include <cstdio>

namespace quillon::cli {
namespace {

constexpr const char* kUsage =
    "usage: quillon-cli directions [--json]\n"
    "       quillon-cli list DIST [--json]\n"
    "       quillon-cli plan DIST --collection ID [--profile KEY]... [--replace replace|skip|ask] [--yes] [--json]\n"
    "       quillon-cli install DIST --collection ID [--profile KEY]... [--replace replace|skip|ask] [--yes] [--json | --events]\n"
    "       quillon-cli installed [--direction CODE] [--json]\n"
    "       quillon-cli remove --direction CODE (--collection NAME... | --all-of-direction) [--yes] [--json]\n"
    "       quillon-cli remove --all [--yes] [--json]\n"
    "       quillon-cli --help | --version\n"
    "every command: --log FILE appends its steps to FILE as JSON lines\n"
    "exit codes: 0 done, 1 could not start, 2 bad usage, 3 cancelled, 4 partly failed, 5 nothing done\n";

} // namespace

int Usage() {
    std::fputs(kUsage, stderr);
    SetJsonError("bad usage");
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
