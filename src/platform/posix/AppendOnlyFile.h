#pragma once
// A log file lines are appended to (the LineSink of the step log): opened with O_APPEND, never
// through a symbolic link, created with mode 0600; every line goes out with one write(2), so it
// is in the file as soon as the call returns — readable after a crash — and lines of several
// processes never interleave.
//
// Only a file of this user's own is appended to: a regular file it owns with a single link (a
// hard link planted at the name, or a file another user made in a shared sticky folder, is
// refused), and never the registry hive itself. A line that cannot be written is reported once
// on standard error, naming the file.
#include "platform/StepJsonLines.h"

#include <memory>
#include <string>

namespace quillon::posix {

class AppendOnlyFile : public LineSink {
public:
    // Nothing, with `error` set, when the file cannot be opened for appending or is refused (see
    // above; a FIFO or a device is refused without blocking). `program` prefixes the report of a
    // failed write ("quillon-cli").
    static std::unique_ptr<AppendOnlyFile> Open(const std::string& path, std::string& error,
                                                const std::string& program = "quillon");
    ~AppendOnlyFile() override;
    AppendOnlyFile(const AppendOnlyFile&) = delete;
    AppendOnlyFile& operator=(const AppendOnlyFile&) = delete;

    bool WriteLine(std::string_view line) override;

private:
    AppendOnlyFile(int fd, std::string path, std::string program)
        : fd_(fd), path_(std::move(path)), program_(std::move(program)) {}
    int fd_;
    std::string path_, program_;
    bool reported_ = false;
};

} // namespace quillon::posix
