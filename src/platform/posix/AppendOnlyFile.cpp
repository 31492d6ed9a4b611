#include "platform/posix/AppendOnlyFile.h"

#include "platform/posix/HiveRegistry.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillon::posix {

std::unique_ptr<AppendOnlyFile> AppendOnlyFile::Open(const std::string& path, std::string& error,
                                                     const std::string& program) {
    const int fd = ::open(
        path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK, 0600);
    if (fd < 0) {
        error = path + ": " + std::strerror(errno);
        return nullptr;
    }
    struct stat st {};
    struct stat hive {};
    const std::string hivePath = HiveRegistry::DefaultPath();
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
        error = path + ": not a regular file";
    else if (st.st_uid != ::geteuid())
        error = path + ": belongs to another user";
    else if (st.st_nlink > 1)
        error = path + ": has more than one name (a hard link)";
    else if (::stat(hivePath.c_str(), &hive) == 0 && hive.st_dev == st.st_dev && hive.st_ino == st.st_ino)
        error = path + ": is the registry hive";
    if (!error.empty()) {
        ::close(fd);
        return nullptr;
    }
    return std::unique_ptr<AppendOnlyFile>(new AppendOnlyFile(fd, path, program));
}

AppendOnlyFile::~AppendOnlyFile() {
    ::close(fd_);
}

bool AppendOnlyFile::WriteLine(std::string_view line) {
    std::string text(line);
    text += '\n';
    const char* data = text.data();
    std::size_t left = text.size();
    while (left > 0) {
        const ssize_t n = ::write(fd_, data, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (!reported_)
                std::fprintf(stderr, "%s: the log %s cannot be written: %s\n", program_.c_str(), path_.c_str(),
                             n < 0 ? std::strerror(errno) : "nothing written");
            reported_ = true;
            return false;
        }
        data += n;
        left -= static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace quillon::posix
