#include "testsupport/RunProgram.h"

#include <cstdio>
#include <sys/wait.h>

namespace quillon::test {

ProgramResult RunProgram(const std::string& command, bool mergeErrors) {
    ProgramResult result;
    FILE* pipe = ::popen((command + (mergeErrors ? " 2>&1" : "")).c_str(), "r");
    if (!pipe)
        return result;
    char buffer[4096];
    while (std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe))
        result.output.append(buffer, n);
    const int status = ::pclose(pipe);
    result.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

std::string ShellQuote(const std::string& text) {
    std::string out = "'";
    for (char c : text) {
        if (c == '\'')
            out += "'\\''";
        else
            out += c;
    }
    return out + "'";
}

} // namespace quillon::test
