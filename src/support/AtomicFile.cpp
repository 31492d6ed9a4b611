#include "support/AtomicFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace quillon {

AtomicFile::~AtomicFile() {
    Abandon();
}

bool AtomicFile::Fail(std::string reason) {
    error_ = std::move(reason);
    Abandon();
    return false;
}

void AtomicFile::Abandon() {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    if (!temp_.empty())
        ::unlink(temp_.c_str());
    temp_.clear();
}

bool AtomicFile::Begin(const std::string& path, unsigned mode) {
    Abandon();
    error_.clear();
    path_ = path;
    if (path.empty() || path.back() == '/')
        return Fail("no file name in \"" + path + "\"");
    const auto slash = path.find_last_of('/');
    const std::string folder =
        slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    static thread_local std::random_device device;
    for (int attempt = 0; attempt < 100; ++attempt) {
        char suffix[16];
        std::snprintf(suffix, sizeof suffix, ".%08X.tmp", static_cast<unsigned>(device()));
        std::string candidate = folder + "." + base + suffix;
        const int fd =
            ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
        if (fd >= 0) {
            fd_ = fd;
            temp_ = std::move(candidate);
            return true;
        }
        if (errno != EEXIST) // the destination is what the caller knows, not our hidden name
            return Fail(path + ": " + std::strerror(errno));
    }
    return Fail("no free temporary name beside " + path);
}

bool AtomicFile::Write(const void* data, std::size_t size) {
    if (fd_ < 0)
        return Fail("no file is open");
    const auto* p = static_cast<const unsigned char*>(data);
    while (size > 0) {
        const ssize_t n = ::write(fd_, p, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return Fail(path_ + ": " + (n < 0 ? std::strerror(errno) : "nothing written"));
        p += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool AtomicFile::Commit(bool replace) {
    if (fd_ < 0)
        return Fail("no file is open");
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0)
        return Fail(path_ + ": " + std::strerror(errno));
    if (replace) {
        if (::rename(temp_.c_str(), path_.c_str()) != 0)
            return Fail(path_ + ": " + std::strerror(errno));
        temp_.clear();
        return true;
    }
    // A hard link never replaces an existing name; file systems without links fall back to a check.
    if (::link(temp_.c_str(), path_.c_str()) != 0) {
        if (errno == EEXIST)
            return Fail(path_ + ": exists already");
        struct stat st {};
        if (::lstat(path_.c_str(), &st) == 0)
            return Fail(path_ + ": exists already");
        if (::rename(temp_.c_str(), path_.c_str()) != 0)
            return Fail(path_ + ": " + std::strerror(errno));
        temp_.clear();
        return true;
    }
    Abandon();
    return true;
}

} // namespace quillon
