#pragma once
// What the parts of the reference product (Product*.cpp) share: the lock that serialises every
// change between processes, the temporary file a change copies into before it is renamed into
// place, and small helpers. Private to refproduct/lib.
#include "Catalogue.h"
#include "DictionaryFile.h"
#include "product/HResult.h"

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#include <optional>
#include <string>
#include <vector>

namespace quillon {
class ProgressReceiver;
}

namespace kaldo::core {

// Temporary files of changes under way: in the product's ".tmp" folder (so that reopening the
// product looks in one small folder for what a killed process left, whatever the product holds),
// named with this prefix.
inline constexpr const char* kTempPrefix = ".kaldo-tmp-";
inline constexpr const char* kTempFolder = ".tmp";
inline constexpr std::int32_t kLinkedFormatLevel = 72;

// The exclusive lock that serialises every change of the product between processes. flock
// locks belong to an open file description, so a call chain must never take it twice.
class RootLock {
public:
    explicit RootLock(const std::string& root) {
        fd_ = ::open((root + "/.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
        while (fd_ >= 0 && ::flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
        }
    }
    ~RootLock() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    RootLock(const RootLock&) = delete;
    RootLock& operator=(const RootLock&) = delete;

private:
    int fd_ = -1;
};

std::string BaseName(const std::string& path);
bool MakeFolder(const std::string& path);
void SyncFolder(const std::string& folder);
std::string PropertyText(const DictionaryHead& file, const char* name);
std::string TitleOf(const DictionaryHead& file);

// Copies `source` to a new temporary file in `folder` in bounded chunks, reporting progress
// (position of 100, each report first waiting `pause`) whenever the percentage moves. `crc` is the
// CRC-32 of the bytes from `crcFrom` on (a dictionary's body, or the whole file), `size` the
// bytes copied. On failure nothing is left behind.
enum class CopyResult { Done, CannotOpen, Aborted, Failed };
CopyResult CopyToTemporary(const std::string& source, const std::string& folder, quillon::ProgressReceiver* progress,
                           std::chrono::milliseconds pause, std::uint64_t crcFrom, std::string& temp,
                           std::uint32_t& crc, std::int64_t& size, std::string& error);

std::uint32_t RandomBits();
// The first column of every row.
std::vector<std::string> Column(const std::optional<std::vector<SqlRow>>& rows);

} // namespace kaldo::core

namespace kaldo {

// The status codes the parts answer with.
using quillon::E_ABORT;
using quillon::E_FAIL;
using quillon::E_INVALIDARG;
using quillon::KLDO_E_CANNOT_OPEN;
using quillon::KLDO_E_CONVERTER;
using quillon::KLDO_E_DICT_EXISTS;
using quillon::KLDO_E_IN_USE;
using quillon::KLDO_E_LOCKED;
using quillon::S_FALSE;
using quillon::S_OK;

} // namespace kaldo
