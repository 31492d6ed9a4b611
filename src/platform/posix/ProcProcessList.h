#pragma once
// ProcessList on /proc: a process matches when the base name of its executable or of its
// argv[0] equals the watched name, ignoring case.
#include "platform/ProcessList.h"

#include <string>

namespace quillon::posix {

class ProcProcessList : public ProcessList {
public:
    explicit ProcProcessList(std::string procRoot = "/proc") : procRoot_(std::move(procRoot)) {}
    bool IsProcessRunning(std::string_view name) override;

private:
    std::string procRoot_;
};

} // namespace quillon::posix
