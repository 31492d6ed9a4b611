#include "SmallDisk.h"

#include "testsupport/RunProgram.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>
#include <vector>

namespace quillon::test {
namespace {

// One private mount namespace per test process: mounts made in it are gone when the process ends.
bool PrivateMountNamespace() {
    static const bool ok = ::geteuid() == 0 && ::unshare(CLONE_NEWNS) == 0 &&
                           ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
    return ok;
}

} // namespace

SmallDisk::SmallDisk(std::string folder) : folder_(std::move(folder)) {
    ::mkdir(folder_.c_str(), 0755);
    mounted_ = !std::getenv("QUILLON_TEST_NO_MOUNT") && PrivateMountNamespace() && ::mount("tmpfs", folder_.c_str(), "tmpfs", MS_NOSUID | MS_NODEV,
                                                  "size=4m,mode=0755") == 0;
}

SmallDisk::~SmallDisk() {
    if (mounted_)
        ::umount2(folder_.c_str(), MNT_DETACH);
}

unsigned long long SmallDisk::FreeBytes() const {
    struct statvfs st {};
    if (::statvfs(folder_.c_str(), &st) != 0)
        return 0;
    return static_cast<unsigned long long>(st.f_bavail) * st.f_frsize;
}

bool SmallDisk::Fill(unsigned long long leave) {
    const int fd = ::open((folder_ + "/filler").c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    const std::vector<char> block(4096, 'f');
    while (FreeBytes() > leave) {
        const unsigned long long over = FreeBytes() - leave;
        if (::write(fd, block.data(), over < block.size() ? static_cast<std::size_t>(over) : block.size()) <= 0)
            break;
    }
    ::close(fd);
    return FreeBytes() <= leave;
}

void SmallDisk::Unfill() {
    ::unlink((folder_ + "/filler").c_str());
}

namespace {
std::string Preloaded(const std::string& plan) {
    return ShellQuote("LD_PRELOAD=" QUILLON_WRITE_FAULT_SHIM) + " " +
           // A program built with AddressSanitizer accepts a library loaded before its runtime.
           "\"ASAN_OPTIONS=verify_asan_link_order=0:${ASAN_OPTIONS:-}\" " + ShellQuote("QUILLON_WRITE_FAULT=" + plan);
}
} // namespace

std::string WriteFault(const std::string& error, int nth, bool always, const std::string& pathPart) {
    return Preloaded(error + " " + std::to_string(nth) + (always ? " always " : " once ") + pathPart);
}

std::string SyncFault(const std::string& error, const std::string& pathPart) {
    return Preloaded(error + " 1 sync " + pathPart);
}

} // namespace quillon::test
