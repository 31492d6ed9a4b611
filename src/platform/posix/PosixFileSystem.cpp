#include "platform/posix/PosixFileSystem.h"

#include <cerrno>
#include <cstdlib>
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
    struct stat st {};
    if (::lstat(p.c_str(), &st) != 0)
        return false;
    return S_ISDIR(st.st_mode) && st.st_uid == ::geteuid();
}

} // namespace quillon::posix
