#include "install/Packer.h"

#include "install/PackedFormat.h"
#include "support/Crc32.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillon {
namespace {

using packed::kMaxMatch;
using packed::kMinMatch;

constexpr std::size_t kPrefix = packed::kRingSize;   // the ring's initial zeros, before the data
constexpr std::size_t kMaxDistance = packed::kRingSize - 1;
constexpr unsigned kHashBits = 16;

struct Match {
    unsigned length = 0;
    std::size_t distance = 0;
};

// Matches are searched in a window of the data preceded by 4096 zeros: the decoder's ring starts
// zero-filled, and a position d bytes back is always still in the ring for d < 4096, so the
// leading zeros are as good a match source as the data itself. The data comes in blocks of up
// to 64 KiB; the window keeps the 4096 bytes before the block, so memory stays bounded whatever
// the data's size. Positions are absolute (the zeros first).
class Encoder {
public:
    static constexpr std::size_t kBlock = 65536;

    explicit Encoder(const PackOptions& options)
        : options_(options), text_(kPrefix, 0), head_(std::size_t(1) << kHashBits, -1), prev_(packed::kRingSize, -1),
          longest_(kBlock), cost_(kBlock + 1), choice_(kBlock) {
        // The prefix positions count as earlier text (only the last 4095 are ever in reach).
        for (std::size_t pos = 0; pos + kMinMatch <= kPrefix; ++pos)
            Insert(pos);
    }

    // Encodes the next block (at most kBlock bytes).
    void Block(const unsigned char* data, std::size_t size);
    // Takes the finished part of the body (whole groups; everything after Finish).
    template <class Sink>
    bool Drain(Sink&& sink, bool all) {
        const std::size_t ready = all ? body_.size() : flagAt_;
        if (ready == 0)
            return true;
        for (std::size_t i = 0; i < ready; ++i)
            body_[i] ^= packed::kKey;
        const bool ok = sink(body_.data(), ready);
        body_.erase(body_.begin(), body_.begin() + static_cast<std::ptrdiff_t>(ready));
        flagAt_ -= all ? flagAt_ : ready;
        return ok;
    }

private:
    const unsigned char* At(std::size_t pos) const { return text_.data() + (pos - base_); }
    std::size_t End() const { return base_ + text_.size(); }
    std::uint32_t Hash(std::size_t pos) const {
        const unsigned char* p = At(pos);
        const std::uint32_t v = std::uint32_t(p[0]) << 16 | std::uint32_t(p[1]) << 8 | p[2];
        return (v * 2654435761u) >> (32 - kHashBits);
    }
    void Insert(std::size_t pos) {
        if (pos + kMinMatch > End())
            return;
        const std::uint32_t h = Hash(pos);
        prev_[pos & (packed::kRingSize - 1)] = head_[h];
        head_[h] = static_cast<std::int64_t>(pos);
    }
    Match Find(std::size_t pos, std::size_t end) const;
    void Literal(unsigned char byte);
    void EmitMatch(std::size_t pos, const Match& m);
    void EndItem();

    PackOptions options_;
    std::vector<unsigned char> text_;  // the window: up to 4096 bytes of history, then the block
    std::size_t base_ = 0;             // the absolute position of text_[0]
    std::vector<std::int64_t> head_;
    std::vector<std::int64_t> prev_;
    std::vector<Match> longest_;
    std::vector<std::uint32_t> cost_;
    std::vector<unsigned char> choice_;  // 0: literal, else match length
    std::vector<unsigned char> body_;    // unscrambled until drained
    std::size_t flagAt_ = 0;
    unsigned items_ = 7;  // the first item opens a group
};

// The longest match at `pos` that ends by `end`.
Match Encoder::Find(std::size_t pos, std::size_t end) const {
    Match best;
    const std::size_t avail = end - pos;
    if (avail < kMinMatch)
        return best;
    const unsigned maxLen = static_cast<unsigned>(std::min<std::size_t>(kMaxMatch, avail));
    const unsigned char* cur = At(pos);
    std::int64_t cand = head_[Hash(pos)];
    for (unsigned depth = options_.chainDepth; cand >= 0 && depth; --depth) {
        const std::size_t c = std::size_t(cand);
        const std::size_t distance = pos - c;
        if (distance > kMaxDistance)
            break;
        const unsigned char* p = At(c);
        if (p[best.length] == cur[best.length] || best.length == 0) {
            unsigned len = 0;
            while (len < maxLen && p[len] == cur[len])
                ++len;
            if (len > best.length) {
                best = {len, distance};
                if (len == maxLen)
                    break;
            }
        }
        cand = prev_[c & (packed::kRingSize - 1)];
    }
    if (best.length < kMinMatch)
        best = {};
    return best;
}

void Encoder::EndItem() {
    if (++items_ == 8) {
        items_ = 0;
        flagAt_ = body_.size();
        body_.push_back(0);
    }
}

void Encoder::Literal(unsigned char byte) {
    EndItem();
    body_[flagAt_] = static_cast<unsigned char>(body_[flagAt_] | (1u << items_));
    body_.push_back(byte);
}

void Encoder::EmitMatch(std::size_t pos, const Match& m) {
    EndItem();
    // The ring position of text offset t is (4078 + t - 4096) mod 4096.
    const std::size_t source = pos - m.distance;
    const unsigned ringPos = static_cast<unsigned>((packed::kRingStart + source) & (packed::kRingSize - 1));
    body_.push_back(static_cast<unsigned char>(ringPos & 0xFF));
    body_.push_back(static_cast<unsigned char>(((ringPos >> 4) & 0xF0) | (m.length - kMinMatch)));
}

void Encoder::Block(const unsigned char* data, std::size_t size) {
    // Keep the 4096 bytes before the block: every match source within reach.
    if (text_.size() > kPrefix) {
        const std::size_t drop = text_.size() - kPrefix;
        text_.erase(text_.begin(), text_.begin() + static_cast<std::ptrdiff_t>(drop));
        base_ += drop;
    }
    const std::size_t start = End();
    text_.insert(text_.end(), data, data + size);
    const std::size_t end = End();
    // Positions whose three bytes straddled the previous block's end are hashed now.
    for (std::size_t pos = start >= kMinMatch - 1 ? start - (kMinMatch - 1) : 0; pos < start; ++pos)
        Insert(pos);
    if (!options_.optimal) {
        for (std::size_t pos = start; pos < end;) {
            const Match m = Find(pos, end);
            if (m.length == 0) {
                Insert(pos);
                Literal(*At(pos++));
                continue;
            }
            EmitMatch(pos, m);
            for (std::size_t k = 0; k < m.length; ++k)
                Insert(pos + k);
            pos += m.length;
        }
        return;
    }
    // Optimal parse of the block: since any length from 3 up to the longest match at a position
    // is available at the same cost, the longest match per position is all the parse needs.
    for (std::size_t i = 0; i < size; ++i) {
        const Match m = Find(start + i, end);   // matches stay in the block
        longest_[i] = m.length >= kMinMatch ? m : Match{};
        Insert(start + i);
    }
    cost_[size] = 0;
    for (std::size_t i = size; i-- > 0;) {
        std::uint32_t best = 9 + cost_[i + 1];
        unsigned char pick = 0;
        for (unsigned len = kMinMatch; len <= longest_[i].length; ++len) {
            const std::uint32_t c = 17 + cost_[i + len];
            if (c <= best) {
                best = c;
                pick = static_cast<unsigned char>(len);
            }
        }
        cost_[i] = best;
        choice_[i] = pick;
    }
    for (std::size_t i = 0; i < size;) {
        if (choice_[i] == 0) {
            Literal(*At(start + i));
            ++i;
        } else {
            EmitMatch(start + i, {choice_[i], longest_[i].distance});
            i += choice_[i];
        }
    }
}

void PutU32(unsigned char* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<unsigned char>(v >> (8 * i));
}

bool WriteAll(int fd, const unsigned char* data, std::size_t size) {
    while (size) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= std::size_t(n);
    }
    return true;
}

} // namespace

std::vector<unsigned char> PackData(const void* data, std::size_t size, const PackOptions& options) {
    const auto* bytes = static_cast<const unsigned char*>(data);
    std::vector<unsigned char> result(packed::kHeaderSize);
    PutU32(result.data(), packed::kMagic);
    result[4] = packed::kVersion & 0xFF;
    result[5] = packed::kVersion >> 8;
    PutU32(result.data() + 12, Crc32::Of(bytes, size));
    result.reserve(packed::kHeaderSize + size / 2 + 64);
    Encoder encoder(options);
    const auto append = [&](const unsigned char* body, std::size_t n) {
        result.insert(result.end(), body, body + n);
        return true;
    };
    for (std::size_t done = 0; done < size;) {
        const std::size_t n = std::min(Encoder::kBlock, size - done);
        encoder.Block(bytes + done, n);
        encoder.Drain(append, false);
        done += n;
    }
    encoder.Drain(append, true);
    return result;
}

int PackFile(const std::string& source, const std::string& destination, const PackOptions& options) {
    const int in = ::open(source.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);  // a FIFO cannot hang it
    if (in < 0)
        return kPackSourceError;
    struct stat st {};
    if (::fstat(in, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(in);
        return kPackSourceError;
    }
    struct stat destStat {};
    if (::stat(destination.c_str(), &destStat) == 0 && destStat.st_dev == st.st_dev && destStat.st_ino == st.st_ino) {
        ::close(in);
        return kPackCreateError;
    }
    const int out =
        ::open(destination.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK, 0666);
    struct stat created {};
    if (out < 0 || ::fstat(out, &created) != 0) {
        if (out >= 0)
            ::close(out);
        ::close(in);
        return kPackCreateError;
    }
    // The header's CRC is known at the end: a placeholder first, the data streamed through the
    // encoder block by block.
    unsigned char header[packed::kHeaderSize] = {};
    PutU32(header, packed::kMagic);
    header[4] = packed::kVersion & 0xFF;
    header[5] = packed::kVersion >> 8;
    bool readOk = true;
    bool written = WriteAll(out, header, sizeof header);
    Crc32 crc;
    Encoder encoder(options);
    const auto write = [&](const unsigned char* body, std::size_t n) { return WriteAll(out, body, n); };
    std::vector<unsigned char> block(Encoder::kBlock);
    while (written && readOk) {
        std::size_t n = 0;
        while (n < block.size()) {   // whole blocks, as PackData takes them
            const ssize_t r = ::read(in, block.data() + n, block.size() - n);
            if (r < 0 && errno == EINTR)
                continue;
            if (r < 0)
                readOk = false;
            if (r <= 0)
                break;
            n += std::size_t(r);
        }
        if (!readOk || n == 0)
            break;
        crc.Update(block.data(), n);
        encoder.Block(block.data(), n);
        written = encoder.Drain(write, false);
    }
    ::close(in);
    if (written && readOk) {
        written = encoder.Drain(write, true);
        PutU32(header + 12, crc.Value());
        written = written && ::pwrite(out, header, sizeof header, 0) == static_cast<ssize_t>(sizeof header);
    }
    if (::close(out) != 0 || !written || !readOk) {
        if (S_ISREG(created.st_mode))
            ::unlink(destination.c_str());
        return readOk ? kPackWriteError : kPackSourceError;
    }
    return kPackOk;
}

} // namespace quillon
