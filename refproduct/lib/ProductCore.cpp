#include "ProductCore_p.h"

#include "product/KernelService.h"
#include "support/Crc32.h"
#include "support/Text.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <random>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace kaldo::core {
namespace {

// Reports progress, first waiting `pause` (a slow medium, configured for tests and screenshots
// of a running import). True when the receiver asks to stop.
bool Report(quillon::ProgressReceiver* progress, std::uint32_t percent, std::chrono::milliseconds pause) {
    if (!progress)
        return false;
    if (pause.count() > 0)
        std::this_thread::sleep_for(pause);
    return progress->OnProgressMessage(percent, 100) == 1;
}

} // namespace

std::string BaseName(const std::string& path) {
    const auto slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool MakeFolder(const std::string& path) {
    return ::mkdir(path.c_str(), 0755) == 0 || errno == EEXIST;
}

void SyncFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

std::string PropertyText(const DictionaryHead& file, const char* name) {
    const auto* bytes = file.FindProperty(name);
    return bytes ? quillon::Utf16LeBytesToUtf8(bytes->data(), bytes->size()) : std::string();
}

std::string TitleOf(const DictionaryHead& file) {
    std::string title = PropertyText(file, "title_w");
    return title.empty() ? quillon::Cp1251ToUtf8(file.TitleBytes()) : title;
}

CopyResult CopyToTemporary(const std::string& source, const std::string& folder, quillon::ProgressReceiver* progress,
                           std::chrono::milliseconds pause, std::uint64_t crcFrom, std::string& temp,
                           std::uint32_t& crc, std::int64_t& size, std::string& error) {
    const int in = ::open(source.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    struct stat st {};
    if (in < 0 || ::fstat(in, &st) != 0 || !S_ISREG(st.st_mode)) {
        error = source + ": " + std::strerror(errno ? errno : EINVAL);
        if (in >= 0)
            ::close(in);
        return CopyResult::CannotOpen;
    }
    temp = folder + "/" + kTempPrefix + "XXXXXX";
    const int out = ::mkstemp(temp.data());
    if (out < 0) {
        error = folder + ": " + std::strerror(errno);
        ::close(in);
        return CopyResult::Failed;
    }
    const auto total = static_cast<std::uint64_t>(st.st_size);
    std::uint64_t done = 0;
    quillon::Crc32 sum;
    // Steps of at most 1 MiB; a small file takes one small step (the buffer is not zeroed).
    const std::size_t step = static_cast<std::size_t>(std::clamp<std::uint64_t>(total, 4096, 1u << 20));
    const std::unique_ptr<char[]> buffer(new char[step]);
    CopyResult result = CopyResult::Done;
    std::uint32_t reported = 0;
    if (Report(progress, 0, pause))
        result = CopyResult::Aborted;
    while (result == CopyResult::Done) {
        const ssize_t n = ::read(in, buffer.get(), step);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            error = source + ": " + std::strerror(errno);
            result = CopyResult::Failed;
            break;
        }
        if (n == 0)
            break;
        for (ssize_t off = 0; off < n;) {
            const ssize_t w = ::write(out, buffer.get() + off, static_cast<std::size_t>(n - off));
            if (w < 0 && errno == EINTR)
                continue;
            if (w <= 0) {
                error = temp + ": " + std::strerror(errno);
                result = CopyResult::Failed;
                break;
            }
            off += w;
        }
        const std::uint64_t chunkEnd = done + static_cast<std::uint64_t>(n);
        if (chunkEnd > crcFrom) {
            const std::uint64_t skip = crcFrom > done ? crcFrom - done : 0;
            sum.Update(buffer.get() + skip, static_cast<std::size_t>(chunkEnd - done - skip));
        }
        done = chunkEnd;
        const auto percent = static_cast<std::uint32_t>(total ? std::min<std::uint64_t>(done * 100 / total, 100) : 100);
        if (result == CopyResult::Done && percent != reported) {
            reported = percent;
            if (Report(progress, percent, pause))
                result = CopyResult::Aborted;
        }
    }
    if (result == CopyResult::Done && (::fchmod(out, 0644) != 0 || ::fsync(out) != 0)) {
        error = temp + ": " + std::strerror(errno);
        result = CopyResult::Failed;
    }
    ::close(in);
    if (::close(out) != 0 && result == CopyResult::Done)
        result = CopyResult::Failed;
    if (result != CopyResult::Done)
        ::unlink(temp.c_str());
    crc = sum.Value();
    size = static_cast<std::int64_t>(done);
    return result;
}

std::uint32_t RandomBits() {
    std::random_device rd;
    return rd();
}

std::vector<std::string> Column(const std::optional<std::vector<SqlRow>>& rows) {
    std::vector<std::string> out;
    if (rows)
        for (const auto& r : *rows)
            out.push_back(AsText(r.at(0)));
    return out;
}

} // namespace kaldo::core
