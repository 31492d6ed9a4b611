// How quillon-dist's commands say a mistake or a failure (tools/Commands.h).
#include "support/Json.h"
#include "support/Text.h"
#include "tools/Commands.h"

#include <cstdio>

namespace quillon::dist {

int UsageError(const std::string& what, bool json) {
    std::fprintf(stderr, "quillon-dist: %s\nTry 'quillon-dist --help' for more information.\n", TerminalSafe(what).c_str());
    if (json)
        std::printf("{\"error\":%s,\"exitCode\":2}\n", JsonString(what).c_str());
    return 2;
}

int JsonFailure(const std::string& what, int code) {
    std::fprintf(stderr, "quillon-dist: %s\n", TerminalSafe(what).c_str());
    std::printf("{\"error\":%s,\"exitCode\":%d}\n", JsonString(what).c_str(), code);
    return code;
}

} // namespace quillon::dist
