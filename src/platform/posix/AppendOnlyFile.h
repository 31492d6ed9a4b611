#pragma once
// A log file lines are appended to (the LineSink of the step log): opened with O_APPEND, never
// through a symbolic link, created with mode 0600; every line goes out with one write(2), so it
// is in the file as soon as the call returns — readable after a crash — and lines of several
// processes never interleave.
#include "platform/StepJsonLines.h"

#include <memory>
#include <string>

namespace quillon::posix {

class AppendOnlyFile : public LineSink {
public:
    // Nothing, with `error` set, when the file cannot be opened for appending or is not a
    // regular file (a FIFO or a device is refused without blocking).
    static std::unique_ptr<AppendOnlyFile> Open(const std::string& path, std::string& error);
    ~AppendOnlyFile() override;
    AppendOnlyFile(const AppendOnlyFile&) = delete;
    AppendOnlyFile& operator=(const AppendOnlyFile&) = delete;

    bool WriteLine(std::string_view line) override;

private:
    explicit AppendOnlyFile(int fd) : fd_(fd) {}
    int fd_;
};

} // namespace quillon::posix
