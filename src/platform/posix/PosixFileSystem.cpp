#include "platform/posix/PosixFileSystem.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillon::posix {

std::string PosixFileSystem::HomeFolder() {
    std::string home;
    if (const char* env = std::getenv("HOME"); env && *env)
        home = env;
    else if (const passwd* pw = ::getpwuid(::geteuid()); pw && pw->pw_dir)
        home = pw->pw_dir;
    while (home.size() > 1 && home.back() == '/')
        home.pop_back();
    return home;
}

std::string PosixFileSystem::TempFolder() {
    std::string tmp = "/tmp";
    if (const char* env = std::getenv("TMPDIR"); env && *env == '/')
        tmp = env;
    struct stat st {};
    if (::stat(tmp.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return {};
    if (tmp.back() != '/')
        tmp += '/';
    return tmp;
}

bool PosixFileSystem::EnsurePrivateFolder(const std::string& path) {
    std::string p = path;
    while (p.size() > 1 && p.back() == '/')
        p.pop_back();
    if (p.empty())
        return false;
    if (::mkdir(p.c_str(), 0700) != 0 && errno != EEXIST)
        return false;
    // Opened without following a link, so the checks and the tightening apply to one folder.
    const int fd = ::open(p.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st {};
    bool ok = ::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid();
    // Others may not write into it: a folder of ours that lets them is tightened.
    if (ok && (st.st_mode & (S_IWGRP | S_IWOTH)) != 0)
        ok = ::fchmod(fd, st.st_mode & 0700) == 0;
    ::close(fd);
    return ok;
}

} // namespace quillon::posix
