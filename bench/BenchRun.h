#pragma once
// Running the programs a benchmark measures: a child process, its time and peak memory.
#include <string>
#include <vector>

namespace bench {

inline constexpr int kNotRun = -2;

struct Run {
    int status = kNotRun;   // the exit status; -1 when killed by a signal
    double seconds = 0;
    long peakKiB = 0;       // the child's own peak resident memory (wait4)
};

// Runs `argv` (a full path first) with `environment` added, standard input from /dev/null and
// its output discarded.
Run Execute(const std::vector<std::string>& argv, const std::vector<std::string>& environment = {});

} // namespace bench
