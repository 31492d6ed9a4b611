#include "support/ReadUpTo.h"

#include <cerrno>
#include <unistd.h>

namespace quillon {

std::size_t ReadUpTo(int fd, void* data, std::size_t size, bool& failed) {
    auto* p = static_cast<unsigned char*>(data);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::read(fd, p + done, size - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            failed = failed || n < 0;
            break;
        }
    }
    return done;
}

} // namespace quillon
