#pragma once
// Port: the running processes. Implemented by posix::ProcProcessList (/proc); tests use doubles.
#include <string_view>

namespace quillon {

class ProcessList {
public:
    virtual ~ProcessList() = default;
    // True when a process whose executable file name equals `name`, ignoring case, is running.
    // A failed scan answers false.
    virtual bool IsProcessRunning(std::string_view name) = 0;
};

} // namespace quillon
