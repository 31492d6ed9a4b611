// A test library preloaded into a program (LD_PRELOAD) to make its writes fail as a failing or
// full disk would. Configured by the environment:
//
//   QUILLON_WRITE_FAULT="ERRNO N MODE TEXT"
//     ERRNO  EIO or ENOSPC (KILL for tear)
//     N      the write (1-based) that fails first, counted over writes to matching files only
//     MODE   once: only the Nth write fails; always: the Nth and every later one; sync: writes
//            pass, and every fsync or fdatasync of a matching file fails (N unused); tear: the
//            Nth write puts down only its first half, then the program is killed (SIGKILL), as
//            a power cut in the middle of a write would leave it
//     TEXT   a file matches when its path contains TEXT
//
// write, pwrite and pwrite64 are counted; fsync and fdatasync of a matching file fail while a
// persistent fault is on. Writes to anything else (terminals, pipes, other files) pass through.
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <csignal>
#include <dlfcn.h>
#include <string>
#include <sys/types.h>
#include <unistd.h>

namespace {

struct Plan {
    bool active = false;
    int error = 0;
    long first = 0;
    bool always = false;
    bool syncOnly = false;
    bool tear = false;
    std::string text;
};

const Plan& ThePlan() {
    static const Plan plan = [] {
        Plan p;
        const char* env = std::getenv("QUILLON_WRITE_FAULT");
        if (!env)
            return p;
        char name[16] = {};
        char mode[16] = {};
        char text[4096] = {};
        if (std::sscanf(env, "%15s %ld %15s %4095[^\n]", name, &p.first, mode, text) != 4 || p.first < 1)
            return p;
        p.error = std::strcmp(name, "ENOSPC") == 0 ? ENOSPC : std::strcmp(name, "EIO") == 0 ? EIO : 0;
        p.always = std::strcmp(mode, "always") == 0;
        p.syncOnly = std::strcmp(mode, "sync") == 0;
        p.tear = std::strcmp(name, "KILL") == 0 && std::strcmp(mode, "tear") == 0;
        p.text = text;
        p.active = p.tear || (p.error != 0 && (p.always || p.syncOnly || std::strcmp(mode, "once") == 0));
        return p;
    }();
    return plan;
}

std::atomic<long> g_writes{0};

bool Matches(int fd) {
    const Plan& plan = ThePlan();
    if (!plan.active)
        return false;
    char link[64];
    char path[4096];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t n = ::readlink(link, path, sizeof path - 1);
    if (n <= 0)
        return false;
    path[n] = '\0';
    return std::strstr(path, plan.text.c_str()) != nullptr;
}

// True when this write to `fd` is to fail (errno set). The write to tear is put down half
// through `tear`, and the program never returns from it.
template <typename Tear>
bool FailWrite(int fd, std::size_t size, Tear&& tear) {
    const Plan& plan = ThePlan();
    if (plan.syncOnly || !Matches(fd))
        return false;
    const long n = ++g_writes;
    if (plan.tear) {
        if (n == plan.first) {
            if (size > 1)
                tear(size / 2);
            ::raise(SIGKILL);
        }
        return false;
    }
    if (n == plan.first || (plan.always && n > plan.first)) {
        errno = plan.error;
        return true;
    }
    return false;
}

bool FailSync(int fd) {
    const Plan& plan = ThePlan();
    const bool on = plan.syncOnly || (plan.always && g_writes.load() >= plan.first);
    if (!on || !Matches(fd))
        return false;
    errno = plan.error;
    return true;
}

template <typename F>
F Next(const char* name) {
    return reinterpret_cast<F>(::dlsym(RTLD_NEXT, name));
}

} // namespace

extern "C" {

ssize_t write(int fd, const void* data, size_t size) {
    static const auto real = Next<ssize_t (*)(int, const void*, size_t)>("write");
    return FailWrite(fd, size, [&](size_t half) { real(fd, data, half); }) ? -1 : real(fd, data, size);
}

ssize_t pwrite(int fd, const void* data, size_t size, off_t offset) {
    static const auto real = Next<ssize_t (*)(int, const void*, size_t, off_t)>("pwrite");
    return FailWrite(fd, size, [&](size_t half) { real(fd, data, half, offset); }) ? -1 : real(fd, data, size, offset);
}

ssize_t pwrite64(int fd, const void* data, size_t size, off64_t offset) {
    static const auto real = Next<ssize_t (*)(int, const void*, size_t, off64_t)>("pwrite64");
    return FailWrite(fd, size, [&](size_t half) { real(fd, data, half, offset); }) ? -1 : real(fd, data, size, offset);
}

int fsync(int fd) {
    static const auto real = Next<int (*)(int)>("fsync");
    return FailSync(fd) ? -1 : real(fd);
}

int fdatasync(int fd) {
    static const auto real = Next<int (*)(int)>("fdatasync");
    return FailSync(fd) ? -1 : real(fd);
}

} // extern "C"
