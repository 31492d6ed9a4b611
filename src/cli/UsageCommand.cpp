#include "cli/Commands.h"

#include <cstdio>

namespace quillon::cli {

int Usage() {
    std::fputs("usage:\n"
               "  quillon-cli directions [--json]\n"
               "  quillon-cli list DIST [--json]\n"
               "  quillon-cli install DIST --collection ID [--profile KEY]... [--replace replace|skip|ask] [--yes] [--json]\n"
               "  quillon-cli remove --direction CODE (--collection NAME... | --all-of-direction) [--json]\n"
               "  quillon-cli remove --all [--json]\n"
               "exit codes: 0 done, 1 could not start, 2 bad usage, 3 cancelled, 4 partly failed, 5 nothing done\n",
               stderr);
    return kExitUsage;
}

} // namespace quillon::cli
