#include "support/Storage.h"

#include "support/AtomicFile.h"

#include <sys/stat.h>
#include <vector>

namespace quillon {

CStorage::CStorage(std::string path) : path_(std::move(path)) {}

int CStorage::Open(bool readOnly) {
    open_ = false;
    error_.clear();
    switch (CompoundFile::Test(path_)) {
    case CompoundFile::Failure::None:
        break;
    case CompoundFile::Failure::Missing:
        error_ = path_ + ": no such file";
        return kMissing;
    default:
        error_ = path_ + ": not a compound file";
        return kNotCompound;
    }
    if (!file_.Open(path_, readOnly ? CompoundFile::Access::Read
                                    : CompoundFile::Access::ReadWriteExclusive)) {
        error_ = path_ + ": " + file_.Error();
        switch (file_.LastFailure()) {
        case CompoundFile::Failure::Missing:
            return kMissing;
        case CompoundFile::Failure::NotCompound:
            return kNotCompound;
        default:
            return kCannotOpen;
        }
    }
    open_ = true;
    return kOpened;
}

bool CStorage::ExtractStream(const std::string& streamName, const std::string& destination,
                             bool replace, unsigned mode) {
    error_.clear();
    writeFailed_ = false;
    if (streamName.empty() || streamName.find_first_of("\\|/:?\"<>*") != std::string::npos) {
        error_ = "\"" + streamName + "\" is not a valid stream name";
        return false;
    }
    struct stat st {};
    if (!open_ || ::stat(path_.c_str(), &st) != 0) {
        error_ = path_ + ": the compound file is not open or no longer exists";
        return false;
    }
    const int index = file_.Find(streamName);
    if (index < 0 || !file_.Elements()[static_cast<std::size_t>(index)].isStream) {
        error_ = path_ + ": no stream \"" + streamName + "\"";
        return false;
    }
    if (!replace && ::lstat(destination.c_str(), &st) == 0) {
        error_ = destination + ": exists already";
        return false;
    }
    const std::uint64_t size = file_.Elements()[static_cast<std::size_t>(index)].size;
    AtomicFile out;
    if (!out.Begin(destination, mode)) {
        error_ = out.Error();
        writeFailed_ = true;
        return false;
    }
    std::vector<std::uint8_t> block(4096);
    std::uint64_t written = 0;
    for (;;) {
        const std::int64_t got = file_.Read(index, written, block.data(), block.size());
        if (got < 0) {
            error_ = file_.Error();
            return false; // `out` removes the temporary file
        }
        if (got == 0)
            break;
        if (!out.Write(block.data(), static_cast<std::size_t>(got))) {
            error_ = out.Error();
            writeFailed_ = true;
            return false;
        }
        written += static_cast<std::uint64_t>(got);
    }
    if (written != size) {
        error_ = "stream \"" + streamName + "\" ended after " + std::to_string(written) + " of " +
                 std::to_string(size) + " bytes";
        return false;
    }
    if (!out.Commit(replace)) {
        error_ = out.Error();
        writeFailed_ = true;
        return false;
    }
    return true;
}

} // namespace quillon
