// The streaming writer: entries go to a temporary file's body as they come, the head last, and
// the file takes its name only when complete.
#include "DictionaryFileIo_p.h"
#include "DictionaryFormat_p.h"

#include <fcntl.h>
#include <sys/stat.h>

namespace kaldo {

using namespace layout;
using namespace fileio;

DictionaryWriter::~DictionaryWriter() {
    if (fd_ >= 0) {
        ::close(fd_);
        ::unlink(temp_.c_str());
    }
}

bool DictionaryWriter::Open(const std::string& path, std::string& error, std::uint32_t slotSize) {
    if (slotSize == 0 || slotSize % kSlotAlignment || slotSize > kMaxSlotSize) {
        error = path + ": the head is too large";
        return false;
    }
    path_ = path;
    slotSize_ = slotSize;
    fd_ = CreateTemporary(path, temp_, error);
    if (fd_ < 0)
        return false;
    if (::ftruncate(fd_, static_cast<off_t>(kPrefixSize + 2 * std::uint64_t(slotSize_))) != 0) {
        error = Errno(temp_);
        return false;
    }
    return true;
}

bool DictionaryWriter::Flush(std::string& error) {
    const std::uint64_t at = kPrefixSize + 2 * std::uint64_t(slotSize_) + bodyLength_;
    if (!PwriteAll(fd_, buffer_.data(), buffer_.size(), at)) {
        error = Errno(temp_);
        return false;
    }
    crc_.Update(buffer_.data(), buffer_.size());
    bodyLength_ += buffer_.size();
    buffer_.clear();
    return true;
}

bool DictionaryWriter::Add(const DictionaryEntry& entry, std::string& error) {
    if (fd_ < 0) {
        error = "the dictionary writer is not open";
        return false;
    }
    AppendEntry(buffer_, entry);
    ++entries_;
    return buffer_.size() < kChunk || Flush(error);
}

bool DictionaryWriter::Finish(const DictionaryHead& head, std::string& error) {
    if (fd_ < 0 || !Flush(error))
        return false;
    const std::string content = HeadContent(head, bodyLength_, crc_.Value(), entries_);
    if (kSlotHeaderSize + content.size() > slotSize_) {
        error = path_ + ": the head does not fit its slot";
        return false;
    }
    const std::string prefix = Prefix(head.Version(), slotSize_);
    const std::string slot = SlotBytes(1, content);
    if (!PwriteAll(fd_, prefix.data(), prefix.size(), 0) || !PwriteAll(fd_, slot.data(), slot.size(), kPrefixSize) ||
        ::fchmod(fd_, 0644) != 0 || ::fsync(fd_) != 0) {
        error = Errno(temp_);
        return false;
    }
    const int fd = std::exchange(fd_, -1);
    if (::close(fd) != 0 || ::rename(temp_.c_str(), path_.c_str()) != 0) {
        error = Errno(path_);
        ::unlink(temp_.c_str());
        return false;
    }
    return true;
}

} // namespace kaldo
