#include "DictionaryFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace kaldo {
namespace {

constexpr char kLegacyMagic[4] = {'K', 'L', 'D', 'X'};
constexpr char kSlottedMagic[4] = {'K', 'L', 'D', 'H'};
constexpr std::size_t kLegacyFixedSize = 8 + kHeaderBlockSize;   // magic, version, header length, block
constexpr std::size_t kPrefixSize = 32;     // slotted: magic, version, header length, slot size, body offset
constexpr std::size_t kSlotHeaderSize = 16; // generation, content length, CRC
constexpr std::size_t kSlotAlignment = 4096;
constexpr std::size_t kChunk = 1u << 20;
constexpr std::size_t kLinkNumberAt = 0, kLinkCodeAt = 4, kLevelAt = 22, kDirectionAt = 26, kGuidAt = 30;
constexpr std::size_t kGuidSize = 38;

std::uint16_t ReadU16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }
std::uint32_t ReadU32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}
std::uint64_t ReadU64(const std::uint8_t* p) { return ReadU32(p) | std::uint64_t(ReadU32(p + 4)) << 32; }
void PutU32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
void AppendU16(std::string& out, std::uint16_t v) {
    out.push_back(static_cast<char>(v & 0xFF));
    out.push_back(static_cast<char>(v >> 8));
}
void AppendU32(std::string& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<char>(v >> (8 * i)));
}
void AppendU64(std::string& out, std::uint64_t v) {
    AppendU32(out, static_cast<std::uint32_t>(v));
    AppendU32(out, static_cast<std::uint32_t>(v >> 32));
}

std::string Errno(const std::string& path) { return path + ": " + std::strerror(errno); }

// A descriptor closed on every path.
class Fd {
public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    ~Fd() { Reset(); }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    void Reset(int fd = -1) {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = fd;
    }
    int Release() { return std::exchange(fd_, -1); }

private:
    int fd_;
};

bool PreadAll(int fd, void* data, std::size_t size, std::uint64_t offset) {
    auto* p = static_cast<char*>(data);
    while (size) {
        const ssize_t n = ::pread(fd, p, size, static_cast<off_t>(offset));
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

bool PwriteAll(int fd, const void* data, std::size_t size, std::uint64_t offset) {
    const auto* p = static_cast<const char*>(data);
    while (size) {
        const ssize_t n = ::pwrite(fd, p, size, static_cast<off_t>(offset));
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

// A regular file opened for reading (a FIFO cannot hang the open); its size.
bool OpenRegular(const std::string& path, Fd& fd, std::uint64_t& size, std::string& error) {
    fd.Reset(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    struct stat st {};
    if (fd.get() < 0 || ::fstat(fd.get(), &st) != 0) {
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

// A cursor over bytes in memory; every read is checked against the end.
class Reader {
public:
    Reader(const std::uint8_t* data, std::size_t size) : p_(data), end_(data + size) {}
    std::size_t Left() const { return static_cast<std::size_t>(end_ - p_); }
    bool U8(std::uint8_t& v) {
        if (Left() < 1) return false;
        v = *p_++;
        return true;
    }
    bool U16(std::uint16_t& v) {
        if (Left() < 2) return false;
        v = ReadU16(p_);
        p_ += 2;
        return true;
    }
    bool U32(std::uint32_t& v) {
        if (Left() < 4) return false;
        v = ReadU32(p_);
        p_ += 4;
        return true;
    }
    bool U64(std::uint64_t& v) {
        if (Left() < 8) return false;
        v = ReadU64(p_);
        p_ += 8;
        return true;
    }
    bool Bytes(std::size_t n, std::string& out) {
        if (Left() < n) return false;
        out.assign(reinterpret_cast<const char*>(p_), n);
        p_ += n;
        return true;
    }

private:
    const std::uint8_t* p_;
    const std::uint8_t* end_;
};

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

// ---- the head ---------------------------------------------------------------------------------

void AppendProperties(std::string& out, const DictionaryHead& head) {
    AppendU32(out, static_cast<std::uint32_t>(head.Properties().size()));
    for (const auto& [name, bytes] : head.Properties()) {
        out.push_back(static_cast<char>(name.size()));
        out += name;
        AppendU32(out, static_cast<std::uint32_t>(bytes.size()));
        out.append(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    }
}

// The properties that follow the header block (version 4 on), from any reader.
template <class In>
bool ReadProperties(In& in, DictionaryHead& head, std::string& error) {
    std::uint32_t count = 0;
    if (!in.U32(count) || count > in.Left() / 6) {   // a property takes at least 6 bytes
        error = "bad property count";
        return false;
    }
    for (std::uint32_t i = 0; i < count; ++i) {
        std::uint8_t nameSize = 0;
        std::uint32_t valueSize = 0;
        std::string name, value;
        if (!in.U8(nameSize) || nameSize == 0 || !in.Bytes(nameSize, name) || !in.U32(valueSize) ||
            !in.Bytes(valueSize, value)) {
            error = "property " + std::to_string(i) + " runs past the end of the file";
            return false;
        }
        if (head.FindProperty(name)) {
            error = "property \"" + name + "\" appears twice";
            return false;
        }
        head.SetProperty(name, std::vector<std::uint8_t>(value.begin(), value.end()));
    }
    return true;
}

// A slot's content: header block, properties (version 4 on), body length, body CRC, entries.
std::string HeadContent(const DictionaryHead& head, std::uint64_t bodyLength, std::uint32_t bodyCrc,
                        std::uint64_t entries) {
    std::string out(reinterpret_cast<const char*>(head.Header().data()), kHeaderBlockSize);
    if (head.Version() >= kPropertiesVersion)
        AppendProperties(out, head);
    AppendU64(out, bodyLength);
    AppendU32(out, bodyCrc);
    AppendU64(out, entries);
    return out;
}

std::string SlotBytes(std::uint64_t generation, const std::string& content) {
    std::string out;
    AppendU64(out, generation);
    AppendU32(out, static_cast<std::uint32_t>(content.size()));
    quillon::Crc32 crc;
    crc.Update(out.data(), out.size());
    crc.Update(content.data(), content.size());
    AppendU32(out, crc.Value());
    return out + content;
}

std::string Prefix(std::uint16_t version, std::uint32_t slotSize) {
    std::string out(kSlottedMagic, 4);
    AppendU16(out, version);
    AppendU16(out, static_cast<std::uint16_t>(kHeaderBlockSize));
    AppendU32(out, slotSize);
    AppendU32(out, 0);
    AppendU64(out, kPrefixSize + 2 * std::uint64_t(slotSize));
    AppendU64(out, 0);
    return out;
}

// The smallest slot size (a multiple of 4096, at least the default) with room for `content`
// twice over; 0 when even the largest slot cannot take it.
std::uint32_t SlotSizeFor(std::size_t content) {
    const std::size_t wanted = std::max<std::size_t>(kDefaultSlotSize, 2 * (kSlotHeaderSize + content));
    const std::size_t rounded = (wanted + kSlotAlignment - 1) / kSlotAlignment * kSlotAlignment;
    return rounded > kMaxSlotSize ? 0 : static_cast<std::uint32_t>(rounded);
}

struct Prefixed {
    std::uint16_t version = 0;
    std::uint32_t slotSize = 0;
    std::uint64_t bodyOffset = 0;
};

bool ParsePrefix(const std::uint8_t* p, std::uint64_t fileSize, Prefixed& out, std::string& error) {
    out.version = ReadU16(p + 4);
    out.slotSize = ReadU32(p + 8);
    out.bodyOffset = ReadU64(p + 16);
    if (out.version < kMinDictVersion || out.version > kMaxDictVersion) {
        error = "unsupported format version " + std::to_string(out.version);
        return false;
    }
    if (ReadU16(p + 6) != kHeaderBlockSize) {
        error = "unexpected header block length";
        return false;
    }
    if (out.slotSize < kSlotAlignment || out.slotSize > kMaxSlotSize || out.slotSize % kSlotAlignment ||
        out.bodyOffset != kPrefixSize + 2 * std::uint64_t(out.slotSize)) {
        error = "bad head slot layout";
        return false;
    }
    if (fileSize < out.bodyOffset) {
        error = "file is truncated";
        return false;
    }
    return true;
}

// The slot's content when it is intact (its checksum matches and it was ever written).
std::optional<std::string> SlotContent(const std::uint8_t* slot, std::uint32_t slotSize, std::uint64_t& generation) {
    generation = ReadU64(slot);
    const std::uint32_t length = ReadU32(slot + 8);
    if (generation == 0 || length > slotSize - kSlotHeaderSize)
        return std::nullopt;
    quillon::Crc32 crc;
    crc.Update(slot, 12);
    crc.Update(slot + kSlotHeaderSize, length);
    if (crc.Value() != ReadU32(slot + 12))
        return std::nullopt;
    return std::string(reinterpret_cast<const char*>(slot + kSlotHeaderSize), length);
}

bool ParseHeadContent(const std::string& content, std::uint16_t version, DictionaryHeadInfo& info, std::string& error) {
    Reader in(reinterpret_cast<const std::uint8_t*>(content.data()), content.size());
    std::string block;
    if (!in.Bytes(kHeaderBlockSize, block)) {
        error = "head is truncated";
        return false;
    }
    info.head = DictionaryHead();
    info.head.SetVersion(version);
    std::array<std::uint8_t, kHeaderBlockSize> header{};
    std::memcpy(header.data(), block.data(), kHeaderBlockSize);
    info.head.SetHeader(header);
    if (version >= kPropertiesVersion && !ReadProperties(in, info.head, error))
        return false;
    if (!in.U64(info.bodyLength) || !in.U32(info.bodyCrc) || !in.U64(info.entryCount) || in.Left() != 0) {
        error = "head is damaged";
        return false;
    }
    return true;
}

// Chooses the newer intact slot of the two read into `slots` (2 × slot size bytes).
bool ChooseSlot(const std::uint8_t* slots, const Prefixed& prefix, DictionaryHeadInfo& info, std::string& error) {
    std::optional<std::string> best;
    for (int s = 0; s < 2; ++s) {
        std::uint64_t generation = 0;
        auto content = SlotContent(slots + std::size_t(s) * prefix.slotSize, prefix.slotSize, generation);
        if (content && (!best || generation > info.generation)) {
            best = std::move(content);
            info.generation = generation;
            info.slot = s;
        }
    }
    if (!best) {
        error = "no intact head (both head slots are damaged)";
        return false;
    }
    info.layout = DictionaryLayout::Slotted;
    info.slotSize = prefix.slotSize;
    info.bodyOffset = prefix.bodyOffset;
    if (!ParseHeadContent(*best, prefix.version, info, error))
        return false;
    if (info.fileSize != info.bodyOffset + info.bodyLength) {
        error = info.fileSize < info.bodyOffset + info.bodyLength ? "file is truncated" : "unexpected bytes after the body";
        return false;
    }
    if (info.entryCount > info.bodyLength / 4) {   // an entry takes at least 4 bytes
        error = "bad entry count";
        return false;
    }
    return true;
}

// ---- entries -----------------------------------------------------------------------------------

void AppendEntry(std::string& out, const DictionaryEntry& entry) {
    const std::size_t wordSize = std::min<std::size_t>(entry.word.size(), 0xFFFF);
    AppendU16(out, static_cast<std::uint16_t>(wordSize));
    out.append(entry.word, 0, wordSize);
    const std::size_t lineCount = std::min<std::size_t>(entry.lines.size(), 0xFFFF);
    AppendU16(out, static_cast<std::uint16_t>(lineCount));
    for (std::size_t i = 0; i < lineCount; ++i) {
        AppendU32(out, static_cast<std::uint32_t>(entry.lines[i].size()));
        out += entry.lines[i];
    }
}

// Reads `count` entries; `keep` null: checks them only (streaming verification).
template <class In>
bool ReadEntries(In& in, std::uint64_t count, std::vector<DictionaryEntry>* keep, std::string& error) {
    if (count > in.Left() / 4) {
        error = "bad entry count";
        return false;
    }
    if (keep)
        keep->reserve(static_cast<std::size_t>(count));
    for (std::uint64_t i = 0; i < count; ++i) {
        DictionaryEntry entry;
        std::uint16_t wordSize = 0, lines = 0;
        if (!in.U16(wordSize) || !in.Bytes(wordSize, entry.word) || !in.U16(lines) || lines > in.Left() / 4) {
            error = "entry " + std::to_string(i) + " runs past the end of the file";
            return false;
        }
        for (std::uint16_t l = 0; l < lines; ++l) {
            std::uint32_t size = 0;
            std::string line;
            if (!in.U32(size) || !in.Bytes(size, line)) {
                error = "entry " + std::to_string(i) + " runs past the end of the file";
                return false;
            }
            if (keep)
                entry.lines.push_back(std::move(line));
        }
        if (keep)
            keep->push_back(std::move(entry));
    }
    if (in.Left() != 0) {
        error = "unexpected bytes after the last entry";
        return false;
    }
    return true;
}

// ---- legacy layout -----------------------------------------------------------------------------

// The head of a legacy file from a reader at its start; the reader stops at the body (the entry
// count).
template <class In>
bool ReadLegacyHead(In& in, DictionaryHeadInfo& info, std::string& error) {
    std::string fixed;
    if (!in.Bytes(kLegacyFixedSize, fixed)) {
        error = "file is truncated";
        return false;
    }
    const auto* p = reinterpret_cast<const std::uint8_t*>(fixed.data());
    const std::uint16_t version = ReadU16(p + 4);
    if (version < kMinDictVersion || version > kMaxDictVersion) {
        error = "unsupported format version " + std::to_string(version);
        return false;
    }
    if (ReadU16(p + 6) != kHeaderBlockSize) {
        error = "unexpected header block length";
        return false;
    }
    info.head = DictionaryHead();
    info.head.SetVersion(version);
    std::array<std::uint8_t, kHeaderBlockSize> block{};
    std::memcpy(block.data(), p + 8, kHeaderBlockSize);
    info.head.SetHeader(block);
    return version < kPropertiesVersion || ReadProperties(in, info.head, error);
}

// ---- whole files in memory ---------------------------------------------------------------------

std::optional<DictionaryFile> ParseSlotted(std::string_view bytes, std::string& error) {
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
    if (bytes.size() < kPrefixSize) {
        error = "file is truncated";
        return std::nullopt;
    }
    Prefixed prefix;
    if (!ParsePrefix(data, bytes.size(), prefix, error))
        return std::nullopt;
    DictionaryHeadInfo info;
    info.fileSize = bytes.size();
    if (!ChooseSlot(data + kPrefixSize, prefix, info, error))
        return std::nullopt;
    const std::uint8_t* body = data + info.bodyOffset;
    if (quillon::Crc32::Of(body, static_cast<std::size_t>(info.bodyLength)) != info.bodyCrc) {
        error = "checksum mismatch (the body is damaged)";
        return std::nullopt;
    }
    DictionaryFile file;
    static_cast<DictionaryHead&>(file) = info.head;
    Reader in(body, static_cast<std::size_t>(info.bodyLength));
    if (!ReadEntries(in, info.entryCount, &file.Entries(), error))
        return std::nullopt;
    return file;
}

std::optional<DictionaryFile> ParseLegacy(std::string_view bytes, std::string& error) {
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
    if (bytes.size() < kLegacyFixedSize + 8) {
        error = "file is truncated";
        return std::nullopt;
    }
    const std::size_t bodyEnd = bytes.size() - 4;
    if (quillon::Crc32::Of(data, bodyEnd) != ReadU32(data + bodyEnd)) {
        error = "checksum mismatch (file is damaged)";
        return std::nullopt;
    }
    Reader in(data, bodyEnd);
    DictionaryHeadInfo info;
    if (!ReadLegacyHead(in, info, error))
        return std::nullopt;
    DictionaryFile file;
    static_cast<DictionaryHead&>(file) = info.head;
    std::uint32_t entries = 0;
    if (!in.U32(entries)) {
        error = "bad entry count";
        return std::nullopt;
    }
    if (!ReadEntries(in, entries, &file.Entries(), error))
        return std::nullopt;
    return file;
}

// ---- writing ----------------------------------------------------------------------------------

std::string FolderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? "." : path.substr(0, slash == 0 ? 1 : slash);
}

void SyncFolderOf(const std::string& path) {
    const int fd = ::open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

// A new temporary file beside `path`; empty with `error` set on failure.
int CreateTemporary(const std::string& path, std::string& temp, std::string& error) {
    temp = FolderOf(path) + "/.kaldo-tmp-XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0)
        error = path + ": cannot create a temporary file: " + std::strerror(errno);
    return fd;
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
    if (out.get() < 0)
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
    ok = ok && in.Skip(skip) && ::ftruncate(out.get(), static_cast<off_t>(bodyOffset)) == 0;
    ok = ok && in.Drain([&](const std::uint8_t* data, std::size_t size) {
        body.Update(data, size);
        const bool done = PwriteAll(out.get(), data, size, bodyOffset + written);
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
        ok = PwriteAll(out.get(), prefix.data(), prefix.size(), 0) &&
             PwriteAll(out.get(), slot.data(), slot.size(), kPrefixSize) &&
             ::fchmod(out.get(), st.st_mode & 07777) == 0 && ::fsync(out.get()) == 0;
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

// ---- DictionaryHead ----------------------------------------------------------------------------

DictionaryHead::DictionaryHead() { SetFormatLevel(0); }

std::int32_t DictionaryHead::LinkNumber() const { return static_cast<std::int32_t>(ReadU32(&header_[kLinkNumberAt])); }
void DictionaryHead::SetLinkNumber(std::int32_t value) { PutU32(&header_[kLinkNumberAt], static_cast<std::uint32_t>(value)); }
std::uint8_t DictionaryHead::LinkCode() const { return header_[kLinkCodeAt]; }
void DictionaryHead::SetLinkCode(std::uint8_t value) { header_[kLinkCodeAt] = value; }
std::int32_t DictionaryHead::FormatLevel() const { return static_cast<std::int32_t>(ReadU32(&header_[kLevelAt])); }
void DictionaryHead::SetFormatLevel(std::int32_t value) { PutU32(&header_[kLevelAt], static_cast<std::uint32_t>(value)); }
std::uint32_t DictionaryHead::DirectionId() const { return ReadU32(&header_[kDirectionAt]); }
void DictionaryHead::SetDirectionId(std::uint32_t value) { PutU32(&header_[kDirectionAt], value); }

std::string DictionaryHead::Guid() const {
    std::string out;
    for (std::size_t i = 0; i < kGuidSize && header_[kGuidAt + i] != 0; ++i)
        out.push_back(static_cast<char>(header_[kGuidAt + i]));
    return out;
}

void DictionaryHead::SetGuid(std::string_view guid) {
    for (std::size_t i = 0; i < kGuidSize; ++i)
        header_[kGuidAt + i] = i < guid.size() ? static_cast<std::uint8_t>(guid[i]) : 0;
}

std::string DictionaryHead::TitleBytes() const {
    std::string out;
    for (std::size_t i = 0; i < kTitleSize && header_[kTitleOffset + i] != 0; ++i)
        out.push_back(static_cast<char>(header_[kTitleOffset + i]));
    return out;
}

void DictionaryHead::SetTitleBytes(std::string_view cp1251) {
    for (std::size_t i = 0; i < kTitleSize; ++i)
        header_[kTitleOffset + i] = i < cp1251.size() && i + 1 < kTitleSize ? static_cast<std::uint8_t>(cp1251[i]) : 0;
}

const std::vector<std::uint8_t>* DictionaryHead::FindProperty(std::string_view name) const {
    for (const auto& [n, bytes] : properties_)
        if (n == name)
            return &bytes;
    return nullptr;
}

bool DictionaryHead::SetProperty(std::string_view name, std::vector<std::uint8_t> bytes) {
    if (name.empty() || name.size() > kMaxNameLength)
        return false;
    for (auto& [n, value] : properties_)
        if (n == name) {
            value = std::move(bytes);
            return true;
        }
    properties_.emplace_back(std::string(name), std::move(bytes));
    return true;
}

// ---- whole files -------------------------------------------------------------------------------

std::string SerializeDictionary(const DictionaryFile& file, std::uint32_t slotSize) {
    std::string body;
    for (const auto& entry : file.Entries())
        AppendEntry(body, entry);
    const std::string content =
        HeadContent(file, body.size(), quillon::Crc32::Of(body.data(), body.size()), file.Entries().size());
    slotSize = std::max(slotSize, SlotSizeFor(content.size()));
    std::string out = Prefix(file.Version(), slotSize);
    out += SlotBytes(1, content);
    out.resize(kPrefixSize + 2 * std::size_t(slotSize), '\0');
    return out + body;
}

std::string SerializeLegacyDictionary(const DictionaryFile& file) {
    std::string out(kLegacyMagic, 4);
    AppendU16(out, file.Version());
    AppendU16(out, static_cast<std::uint16_t>(kHeaderBlockSize));
    out.append(reinterpret_cast<const char*>(file.Header().data()), kHeaderBlockSize);
    if (file.Version() >= kPropertiesVersion)
        AppendProperties(out, file);
    AppendU32(out, static_cast<std::uint32_t>(file.Entries().size()));
    for (const auto& entry : file.Entries())
        AppendEntry(out, entry);
    AppendU32(out, quillon::Crc32::Of(out.data(), out.size()));
    return out;
}

std::optional<DictionaryFile> ParseDictionary(std::string_view bytes, std::string& error) {
    if (bytes.size() > kMaxFileSize) {
        error = "file is too large";
        return std::nullopt;
    }
    if (bytes.size() >= 4 && std::memcmp(bytes.data(), kSlottedMagic, 4) == 0)
        return ParseSlotted(bytes, error);
    if (bytes.size() >= 4 && std::memcmp(bytes.data(), kLegacyMagic, 4) == 0)
        return ParseLegacy(bytes, error);
    error = "not a dictionary file";
    return std::nullopt;
}

std::optional<DictionaryHeadInfo> ParseSlottedHead(const std::uint8_t* data, std::size_t available,
                                                   std::uint64_t fileSize, std::string& error) {
    if (available < kPrefixSize || std::memcmp(data, kSlottedMagic, 4) != 0) {
        error = available < kPrefixSize ? "file is truncated" : "not a dictionary file";
        return std::nullopt;
    }
    Prefixed prefix;
    if (!ParsePrefix(data, fileSize, prefix, error))
        return std::nullopt;
    if (available < prefix.bodyOffset) {
        error = "the head is larger than the bytes given";
        return std::nullopt;
    }
    DictionaryHeadInfo info;
    info.fileSize = fileSize;
    if (!ChooseSlot(data + kPrefixSize, prefix, info, error))
        return std::nullopt;
    return info;
}

std::optional<DictionaryHeadInfo> ReadDictionaryHead(const std::string& path, std::string& error) {
    Fd fd;
    DictionaryHeadInfo info;
    if (!OpenRegular(path, fd, info.fileSize, error))
        return std::nullopt;
    std::uint8_t prefix[kPrefixSize] = {};
    if (info.fileSize < 4 || !PreadAll(fd.get(), prefix, std::min<std::uint64_t>(kPrefixSize, info.fileSize), 0)) {
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
            if (!PreadAll(fd.get(), at, kSlotHeaderSize, kPrefixSize + std::uint64_t(slot) * p.slotSize)) {
                error = Errno(path);
                return std::nullopt;
            }
            const std::size_t length = std::min<std::size_t>(ReadU32(at + 8), p.slotSize - kSlotHeaderSize);
            if (!PreadAll(fd.get(), at + kSlotHeaderSize, length, kPrefixSize + std::uint64_t(slot) * p.slotSize + kSlotHeaderSize)) {
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
    StreamReader in(fd.get(), 0, info.fileSize - 4);
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
    if (!in.Skip(in.Left()) || !PreadAll(fd.get(), trailer, 4, info.fileSize - 4)) {
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
    if (fd.get() < 0) {
        error = Errno(path);
        return false;
    }
    const std::string content = HeadContent(head, info->bodyLength, info->bodyCrc, info->entryCount);
    if (info->layout == DictionaryLayout::Legacy || kSlotHeaderSize + content.size() > info->slotSize ||
        head.Version() != info->head.Version())
        return Rewrite(path, fd.get(), *info, head, durable, error);
    // In place, into the slot not in force: a torn write leaves the head in force intact.
    const int slot = 1 - info->slot;
    const std::string bytes = SlotBytes(info->generation + 1, content);
    if (!PwriteAll(fd.get(), bytes.data(), bytes.size(), kPrefixSize + std::uint64_t(slot) * info->slotSize) ||
        (durable && ::fdatasync(fd.get()) != 0)) {
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
    StreamReader in(fd.get(), info->bodyOffset + (legacy ? 4 : 0), info->bodyLength - (legacy ? 4 : 0));
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
    if (!PreadAll(fd.get(), bytes.data(), bytes.size(), 0)) {
        error = path + ": short read";
        return false;
    }
    return true;
}

bool WriteFileAtomically(const std::string& path, std::string_view bytes, std::string& error) {
    std::string temp;
    Fd fd(CreateTemporary(path, temp, error));
    if (fd.get() < 0)
        return false;
    bool ok = PwriteAll(fd.get(), bytes.data(), bytes.size(), 0) && ::fchmod(fd.get(), 0644) == 0 &&
              ::fsync(fd.get()) == 0;
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

// ---- DictionaryWriter --------------------------------------------------------------------------

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
