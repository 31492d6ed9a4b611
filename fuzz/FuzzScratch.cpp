#include "FuzzScratch.h"

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <unistd.h>

namespace quillon::fuzz {
namespace {

struct Scratch {
    std::string path;
    Scratch() {
        // Memory first: on ext4 every close of a file that was truncated starts a write-back,
        // which made a target that writes its input spend most of its time in the kernel.
        const char* tmp = std::getenv("TMPDIR");
        std::string base = ::access("/dev/shm", W_OK | X_OK) == 0 ? "/dev/shm" : tmp && *tmp ? tmp : "/tmp";
        std::string pattern = base + "/quillon-fuzz-XXXXXX";
        if (!::mkdtemp(pattern.data())) {
            std::perror("mkdtemp");
            std::abort(); // a target without its folder would test nothing
        }
        path = pattern + "/";
    }
    ~Scratch() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
};

} // namespace

const std::string& ScratchFolder() {
    static Scratch scratch;
    return scratch.path;
}

bool WriteScratchFile(const std::string& path, const std::uint8_t* data, std::size_t size) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return false;
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd, data + done, size - done);
        if (n <= 0)
            break;
        done += std::size_t(n);
    }
    return ::close(fd) == 0 && done == size;
}

} // namespace quillon::fuzz
