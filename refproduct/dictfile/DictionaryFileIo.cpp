// The dictionary file on disk: reading a head without the body, writing a head in place (or
// rewriting a legacy file), streaming verification, and whole-file reads and writes.
#include "DictionaryFileIo_p.h"
#include "DictionaryFormat_p.h"

#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>

namespace kaldo {
namespace fileio {

std::string Errno(const std::string& path) { return path + ": " + std::strerror(errno); }

namespace {

// pread or pwrite until all `size` bytes are done; false on an error or at the end of the file.
template <class Byte, class Io>
bool WholeAt(Io io, int fd, Byte* p, std::size_t size, std::uint64_t offset) {
    while (size) {
        const ssize_t n = io(fd, p, size, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        p += n;
        size -= static_cast<std::size_t>(n);
        offset += static_cast<std::uint64_t>(n);
    }
    return true;
}

} // namespace

bool PreadAll(int fd, void* data, std::size_t size, std::uint64_t offset) {
    return WholeAt(::pread, fd, static_cast<char*>(data), size, offset);
}

bool PwriteAll(int fd, const void* data, std::size_t size, std::uint64_t offset) {
    return WholeAt(::pwrite, fd, static_cast<const char*>(data), size, offset);
}

std::string FolderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? "." : path.substr(0, slash == 0 ? 1 : slash);
}

int CreateTemporary(const std::string& path, std::string& temp, std::string& error) {
    temp = FolderOf(path) + "/.kaldo-tmp-XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0)
        error = path + ": cannot create a temporary file: " + std::strerror(errno);
    return fd;
}

} // namespace fileio

using namespace layout;
using namespace fileio;

namespace {

// A regular file opened for reading (a FIFO cannot hang the open); its size.
bool OpenRegular(const std::string& path, Fd& fd, std::uint64_t& size, std::string& error) {
    fd.Reset(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    struct stat st {};
    if (fd.Get() < 0 || ::fstat(fd.Get(), &st) != 0) {
        error = Errno(path);
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        error = path + ": not a regular file";
        return false;
    }
    size = static_cast<std::uint64_t>(st.st_size);
    return true;
}

// A sequential reader of a file region through a bounded buffer, keeping the CRC of what it
// consumed. Every read is checked against the region's end.
class StreamReader {
public:
    StreamReader(int fd, std::uint64_t offset, std::uint64_t length)
        : fd_(fd), next_(offset), left_(length),
          buffer_(new std::uint8_t[std::max<std::size_t>(1, static_cast<std::size_t>(std::min<std::uint64_t>(length, kChunk)))]) {}
    std::uint64_t Left() const { return left_ + (end_ - pos_); }
    bool Failed() const { return failed_; }
    bool Read(void* out, std::size_t n) {
        auto* dst = static_cast<std::uint8_t*>(out);
        while (n) {
            if (pos_ == end_ && !Fill())
                return false;
            const std::size_t take = std::min(n, end_ - pos_);
            if (dst) {
                std::memcpy(dst, buffer_.get() + pos_, take);
                dst += take;
            }
            crc_.Update(buffer_.get() + pos_, take);
            pos_ += take;
            n -= take;
        }
        return true;
    }
    bool Skip(std::uint64_t n) {
        while (n) {
            const std::size_t step = static_cast<std::size_t>(std::min<std::uint64_t>(n, kChunk));
            if (!Read(nullptr, step))
                return false;
            n -= step;
        }
        return true;
    }
    bool U8(std::uint8_t& v) { return Read(&v, 1); }
    bool U16(std::uint16_t& v) {
        std::uint8_t b[2];
        if (!Read(b, 2)) return false;
        v = ReadU16(b);
        return true;
    }
    bool U32(std::uint32_t& v) {
        std::uint8_t b[4];
        if (!Read(b, 4)) return false;
        v = ReadU32(b);
        return true;
    }
    bool Bytes(std::size_t n, std::string& out) {
        if (n > Left()) return false;
        out.resize(n);
        return Read(out.data(), n);
    }
    // Hands the next bytes (at most `max`) to `sink` without copying: for streaming copies.
    template <class Sink>
    bool Drain(Sink&& sink) {
        while (Left()) {
            if (pos_ == end_ && !Fill())
                return false;
            const std::size_t take = end_ - pos_;
            crc_.Update(buffer_.get() + pos_, take);
            if (!sink(buffer_.get() + pos_, take))
                return false;
            pos_ += take;
        }
        return true;
    }
    std::uint32_t Crc() const { return crc_.Value(); }

private:
    bool Fill() {
        if (left_ == 0)
            return false;
        const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(left_, kChunk));
        if (!PreadAll(fd_, buffer_.get(), want, next_)) {
            failed_ = true;
            return false;
        }
        next_ += want;
        left_ -= want;
        pos_ = 0;
        end_ = want;
        return true;
    }

    int fd_;
    std::uint64_t next_, left_;
    std::unique_ptr<std::uint8_t[]> buffer_;
    std::size_t pos_ = 0, end_ = 0;
    bool failed_ = false;
    quillon::Crc32 crc_;
};

void SyncFolderOf(const std::string& path) {
    const int fd = ::open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

// Rewrites the file of `info` in the slotted layout with `head`, streaming its body (whose
// checksum is checked as it passes), and renames the result over `path`.
bool Rewrite(const std::string& path, int source, const DictionaryHeadInfo& info, const DictionaryHead& head,
             bool durable, std::string& error) {
    // The body as stored by the slotted layout: the entries (a legacy body starts with its count).
    const bool legacy = info.layout == DictionaryLayout::Legacy;
    struct stat st {};
    if (::fstat(source, &st) != 0) {
        error = Errno(path);
        return false;
    }
    std::string temp;
    Fd out(CreateTemporary(path, temp, error));
    if (out.Get() < 0)
        return false;
    bool ok = true;
    std::uint64_t written = 0;
    quillon::Crc32 body;
    // A legacy file's one checksum covers everything before its trailer: read it all through.
    StreamReader in(source, legacy ? 0 : info.bodyOffset, legacy ? info.fileSize - 4 : info.bodyLength);
    const std::uint64_t skip = legacy ? info.bodyOffset + 4 : 0;
    // The slot size is fixed once the body's place is: leave room for this head and growth.
    const std::uint32_t slotSize = SlotSizeFor(HeadContent(head, 0, 0, 0).size());
    if (slotSize == 0) {
        error = path + ": the head is too large";
        ok = false;
    }
    const std::uint64_t bodyOffset = kPrefixSize + 2 * std::uint64_t(slotSize);
    ok = ok && in.Skip(skip) && ::ftruncate(out.Get(), static_cast<off_t>(bodyOffset)) == 0;
    ok = ok && in.Drain([&](const std::uint8_t* data, std::size_t size) {
        body.Update(data, size);
        const bool done = PwriteAll(out.Get(), data, size, bodyOffset + written);
        written += size;
        return done;
    });
    if (ok) {
        std::uint32_t expected = info.bodyCrc, actual = body.Value();
        if (legacy) {   // the trailer, over everything before it
            std::uint8_t trailer[4];
            ok = PreadAll(source, trailer, 4, info.fileSize - 4);
            expected = ReadU32(trailer);
            actual = in.Crc();
        }
        if (ok && expected != actual) {
            error = path + ": checksum mismatch (the file is damaged)";
            ok = false;
        }
    } else if (error.empty()) {
        error = in.Failed() ? Errno(path) : Errno(temp);
    }
    if (ok) {
        const std::string prefix = Prefix(head.Version(), slotSize);
        const std::string slot = SlotBytes(info.generation + 1, HeadContent(head, written, body.Value(), info.entryCount));
        ok = PwriteAll(out.Get(), prefix.data(), prefix.size(), 0) &&
             PwriteAll(out.Get(), slot.data(), slot.size(), kPrefixSize) &&
             ::fchmod(out.Get(), st.st_mode & 07777) == 0 && ::fsync(out.Get()) == 0;
        if (!ok)
            error = Errno(temp);
    }
    if (::close(out.Release()) != 0 && ok) {
        error = Errno(temp);
        ok = false;
    }
    if (!ok || ::rename(temp.c_str(), path.c_str()) != 0) {
        if (ok)
            error = Errno(path);
        ::unlink(temp.c_str());
        return false;
    }
    if (durable)
        SyncFolderOf(path);
    return true;
}

} // namespace

std::optional<DictionaryHeadInfo> ReadDictionaryHead(const std::string& path, std::string& error) {
    Fd fd;
    DictionaryHeadInfo info;
    if (!OpenRegular(path, fd, info.fileSize, error))
        return std::nullopt;
    std::uint8_t prefix[kPrefixSize] = {};
    if (info.fileSize < 4 || !PreadAll(fd.Get(), prefix, std::min<std::uint64_t>(kPrefixSize, info.fileSize), 0)) {
        error = path + ": not a dictionary file";
        return std::nullopt;
    }
    if (std::memcmp(prefix, kSlottedMagic, 4) == 0) {
        Prefixed p;
        if (info.fileSize < kPrefixSize || !ParsePrefix(prefix, info.fileSize, p, error)) {
            error = path + ": " + (error.empty() ? "file is truncated" : error);
            return std::nullopt;
        }
        // Each slot's header, then only as much of its content as it says it holds.
        const std::unique_ptr<std::uint8_t[]> slots(new std::uint8_t[2 * std::size_t(p.slotSize)]);
        for (int slot = 0; slot < 2; ++slot) {
            std::uint8_t* at = slots.get() + std::size_t(slot) * p.slotSize;
            if (!PreadAll(fd.Get(), at, kSlotHeaderSize, kPrefixSize + std::uint64_t(slot) * p.slotSize)) {
                error = Errno(path);
                return std::nullopt;
            }
            const std::size_t length = std::min<std::size_t>(ReadU32(at + 8), p.slotSize - kSlotHeaderSize);
            if (!PreadAll(fd.Get(), at + kSlotHeaderSize, length, kPrefixSize + std::uint64_t(slot) * p.slotSize + kSlotHeaderSize)) {
                error = Errno(path);
                return std::nullopt;
            }
        }
        if (!ChooseSlot(slots.get(), p, info, error)) {
            error = path + ": " + error;
            return std::nullopt;
        }
        return info;
    }
    if (std::memcmp(prefix, kLegacyMagic, 4) != 0) {
        error = path + ": not a dictionary file";
        return std::nullopt;
    }
    if (info.fileSize < kLegacyFixedSize + 8) {
        error = path + ": file is truncated";
        return std::nullopt;
    }
    // The legacy file's one checksum: read through everything before the trailer.
    info.layout = DictionaryLayout::Legacy;
    StreamReader in(fd.Get(), 0, info.fileSize - 4);
    if (!ReadLegacyHead(in, info, error)) {
        error = path + ": " + error;
        return std::nullopt;
    }
    info.bodyOffset = info.fileSize - 4 - in.Left();   // the body starts with its entry count
    std::uint32_t entries = 0;
    if (!in.U32(entries)) {
        error = path + ": bad entry count";
        return std::nullopt;
    }
    info.entryCount = entries;
    info.bodyLength = info.fileSize - 4 - info.bodyOffset;
    std::uint8_t trailer[4];
    if (!in.Skip(in.Left()) || !PreadAll(fd.Get(), trailer, 4, info.fileSize - 4)) {
        error = Errno(path);
        return std::nullopt;
    }
    info.bodyCrc = ReadU32(trailer);
    if (in.Crc() != info.bodyCrc) {
        error = path + ": checksum mismatch (file is damaged)";
        return std::nullopt;
    }
    return info;
}

bool WriteDictionaryHead(const std::string& path, const DictionaryHead& head, bool durable, std::string& error) {
    error.clear();
    auto info = ReadDictionaryHead(path, error);
    if (!info)
        return false;
    Fd fd(::open(path.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
    if (fd.Get() < 0) {
        error = Errno(path);
        return false;
    }
    const std::string content = HeadContent(head, info->bodyLength, info->bodyCrc, info->entryCount);
    if (info->layout == DictionaryLayout::Legacy || kSlotHeaderSize + content.size() > info->slotSize ||
        head.Version() != info->head.Version())
        return Rewrite(path, fd.Get(), *info, head, durable, error);
    // In place, into the slot not in force: a torn write leaves the head in force intact.
    const int slot = 1 - info->slot;
    const std::string bytes = SlotBytes(info->generation + 1, content);
    if (!PwriteAll(fd.Get(), bytes.data(), bytes.size(), kPrefixSize + std::uint64_t(slot) * info->slotSize) ||
        (durable && ::fdatasync(fd.Get()) != 0)) {
        error = Errno(path);
        return false;
    }
    return true;
}

bool VerifyDictionary(const std::string& path, std::string& error, DictionaryHeadInfo* infoOut) {
    auto info = ReadDictionaryHead(path, error);
    if (!info)
        return false;
    Fd fd;
    std::uint64_t size = 0;
    if (!OpenRegular(path, fd, size, error))
        return false;
    if (size != info->fileSize) {
        error = path + ": the file changed while it was checked";
        return false;
    }
    const bool legacy = info->layout == DictionaryLayout::Legacy;
    StreamReader in(fd.Get(), info->bodyOffset + (legacy ? 4 : 0), info->bodyLength - (legacy ? 4 : 0));
    if (!ReadEntries(in, info->entryCount, nullptr, error)) {
        error = path + ": " + (in.Failed() ? std::strerror(EIO) : error);
        return false;
    }
    if (!legacy && in.Crc() != info->bodyCrc) {
        error = path + ": checksum mismatch (the body is damaged)";
        return false;
    }
    if (infoOut)
        *infoOut = std::move(*info);
    return true;
}

bool ReadWholeFile(const std::string& path, std::string& bytes, std::string& error, std::size_t limit) {
    Fd fd;
    std::uint64_t size = 0;
    if (!OpenRegular(path, fd, size, error))
        return false;
    if (size > limit) {
        error = path + ": the file is too large to be read whole";
        return false;
    }
    bytes.assign(static_cast<std::size_t>(size), '\0');
    if (!PreadAll(fd.Get(), bytes.data(), bytes.size(), 0)) {
        error = path + ": short read";
        return false;
    }
    return true;
}

bool WriteFileAtomically(const std::string& path, std::string_view bytes, std::string& error) {
    std::string temp;
    Fd fd(CreateTemporary(path, temp, error));
    if (fd.Get() < 0)
        return false;
    bool ok = PwriteAll(fd.Get(), bytes.data(), bytes.size(), 0) && ::fchmod(fd.Get(), 0644) == 0 &&
              ::fsync(fd.Get()) == 0;
    ok = ::close(fd.Release()) == 0 && ok;
    if (!ok || ::rename(temp.c_str(), path.c_str()) != 0) {
        error = Errno(path);
        ::unlink(temp.c_str());
        return false;
    }
    return true;
}

std::optional<DictionaryFile> ReadDictionaryFile(const std::string& path, std::string& error) {
    std::string bytes;
    if (!ReadWholeFile(path, bytes, error))
        return std::nullopt;
    auto file = ParseDictionary(bytes, error);
    if (!file)
        error = path + ": " + error;
    return file;
}

bool WriteDictionaryFile(const std::string& path, const DictionaryFile& file, std::string& error) {
    DictionaryWriter writer;
    if (!writer.Open(path, error, SlotSizeFor(HeadContent(file, 0, 0, 0).size())))
        return false;
    for (const auto& entry : file.Entries())
        if (!writer.Add(entry, error))
            return false;
    return writer.Finish(file, error);
}

} // namespace kaldo
