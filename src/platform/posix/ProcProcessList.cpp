#include "platform/posix/ProcProcessList.h"

#include "support/Text.h"

#include <dirent.h>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <unistd.h>

namespace quillon::posix {
namespace {

std::string BaseName(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string ReadArgv0(const std::string& file) {
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return {};
    char buf[4096];
    const ssize_t n = ::read(fd, buf, sizeof buf);
    ::close(fd);
    if (n <= 0)
        return {};
    return std::string(buf, ::strnlen(buf, static_cast<std::size_t>(n)));
}

} // namespace

bool ProcProcessList::IsProcessRunning(std::string_view name) {
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(procRoot_.c_str()), ::closedir);
    if (!dir)
        return false;
    const std::string wanted = FoldCase(name);
    while (const dirent* entry = ::readdir(dir.get())) {
        const std::string pid = entry->d_name;
        if (pid.empty() || pid.find_first_not_of("0123456789") != std::string::npos)
            continue;
        const std::string base = procRoot_ + "/" + pid;
        char exe[4096];
        const ssize_t n = ::readlink((base + "/exe").c_str(), exe, sizeof exe - 1);
        if (n > 0) {
            std::string target(exe, static_cast<std::size_t>(n));
            if (target.ends_with(" (deleted)"))
                target.resize(target.size() - 10);
            if (FoldCase(BaseName(target)) == wanted)
                return true;
        }
        const std::string argv0 = ReadArgv0(base + "/cmdline");
        if (!argv0.empty() && FoldCase(BaseName(argv0)) == wanted)
            return true;
    }
    return false;
}

} // namespace quillon::posix
