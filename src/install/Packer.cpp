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

// Matches are searched in a copy of the data preceded by 4096 zeros: the decoder's ring starts
// zero-filled, and a position d bytes back is always still in the ring for d < 4096, so the
// leading zeros are as good a match source as the data itself.
class Encoder {
public:
    Encoder(const unsigned char* data, std::size_t size, const PackOptions& options)
        : options_(options), text_(kPrefix + size, 0), head_(std::size_t(1) << kHashBits, -1),
          prev_(packed::kRingSize, -1) {
        if (size)
            std::memcpy(text_.data() + kPrefix, data, size);
        body_.reserve(size / 2 + 64);
    }

    std::vector<unsigned char> Run();

private:
    std::uint32_t Hash(std::size_t pos) const {
        const unsigned char* p = text_.data() + pos;
        const std::uint32_t v = std::uint32_t(p[0]) << 16 | std::uint32_t(p[1]) << 8 | p[2];
        return (v * 2654435761u) >> (32 - kHashBits);
    }
    void Insert(std::size_t pos) {
        if (pos + kMinMatch > text_.size())
            return;
        const std::uint32_t h = Hash(pos);
        prev_[pos & (packed::kRingSize - 1)] = head_[h];
        head_[h] = static_cast<std::int64_t>(pos);
    }
    Match Find(std::size_t pos) const;
    void Literal(unsigned char byte);
    void EmitMatch(std::size_t pos, const Match& m);
    void EndItem();

    PackOptions options_;
    std::vector<unsigned char> text_;
    std::vector<std::int64_t> head_;
    std::vector<std::int64_t> prev_;
    std::vector<unsigned char> body_;  // unscrambled
    std::size_t flagAt_ = 0;
    unsigned items_ = 7;  // the first item opens a group
};

Match Encoder::Find(std::size_t pos) const {
    Match best;
    const std::size_t avail = text_.size() - pos;
    if (avail < kMinMatch)
        return best;
    const unsigned maxLen = static_cast<unsigned>(std::min<std::size_t>(kMaxMatch, avail));
    const unsigned char* cur = text_.data() + pos;
    std::int64_t cand = head_[Hash(pos)];
    for (unsigned depth = options_.chainDepth; cand >= 0 && depth; --depth) {
        const std::size_t c = std::size_t(cand);
        const std::size_t distance = pos - c;
        if (distance > kMaxDistance)
            break;
        const unsigned char* p = text_.data() + c;
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

std::vector<unsigned char> Encoder::Run() {
    // The prefix positions count as earlier text (only the last 4095 are ever in reach).
    for (std::size_t pos = 0; pos < kPrefix; ++pos)
        Insert(pos);
    const std::size_t end = text_.size();
    if (!options_.optimal) {
        for (std::size_t pos = kPrefix; pos < end;) {
            const Match m = Find(pos);
            if (m.length == 0) {
                Insert(pos);
                Literal(text_[pos++]);
                continue;
            }
            EmitMatch(pos, m);
            for (std::size_t k = 0; k < m.length; ++k)
                Insert(pos + k);
            pos += m.length;
        }
        return std::move(body_);
    }
    // Optimal parse of each block: since any length from 3 up to the longest match at a position
    // is available at the same cost, the longest match per position is all the parse needs.
    constexpr std::size_t kBlock = 65536;
    std::vector<Match> longest(kBlock);
    std::vector<std::uint32_t> cost(kBlock + 1);
    std::vector<unsigned char> choice(kBlock);  // 0: literal, else match length
    for (std::size_t start = kPrefix; start < end;) {
        const std::size_t count = std::min(kBlock, end - start);
        for (std::size_t i = 0; i < count; ++i) {
            Match m = Find(start + i);
            m.length = std::min<unsigned>(m.length, static_cast<unsigned>(count - i));  // stay in the block
            longest[i] = m.length >= kMinMatch ? m : Match{};
            Insert(start + i);
        }
        cost[count] = 0;
        for (std::size_t i = count; i-- > 0;) {
            std::uint32_t best = 9 + cost[i + 1];
            unsigned char pick = 0;
            for (unsigned len = kMinMatch; len <= longest[i].length; ++len) {
                const std::uint32_t c = 17 + cost[i + len];
                if (c <= best) {
                    best = c;
                    pick = static_cast<unsigned char>(len);
                }
            }
            cost[i] = best;
            choice[i] = pick;
        }
        for (std::size_t i = 0; i < count;) {
            if (choice[i] == 0) {
                Literal(text_[start + i]);
                ++i;
            } else {
                EmitMatch(start + i, {choice[i], longest[i].distance});
                i += choice[i];
            }
        }
        start += count;
    }
    return std::move(body_);
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
    std::vector<unsigned char> body = Encoder(bytes, size, options).Run();
    std::vector<unsigned char> result(packed::kHeaderSize + body.size());
    PutU32(result.data(), packed::kMagic);
    result[4] = packed::kVersion & 0xFF;
    result[5] = packed::kVersion >> 8;
    PutU32(result.data() + 12, Crc32::Of(bytes, size));
    unsigned char* out = result.data() + packed::kHeaderSize;
    for (std::size_t i = 0; i < body.size(); ++i)
        out[i] = static_cast<unsigned char>(body[i] ^ packed::kKey);
    return result;
}

int PackFile(const std::string& source, const std::string& destination, const PackOptions& options) {
    const int in = ::open(source.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);  // a FIFO cannot hang it
    if (in < 0)
        return kPackSourceError;
    struct stat st {};
    std::vector<unsigned char> data;
    bool ok = ::fstat(in, &st) == 0 && S_ISREG(st.st_mode);
    if (ok) {
        data.resize(std::size_t(st.st_size));
        std::size_t done = 0;
        while (ok && done < data.size()) {
            const ssize_t n = ::read(in, data.data() + done, data.size() - done);
            if (n < 0 && errno == EINTR)
                continue;
            ok = n > 0;
            if (ok)
                done += std::size_t(n);
        }
        // A file that grew meanwhile: take the rest too.
        unsigned char extra[65536];
        for (ssize_t n; ok && (n = ::read(in, extra, sizeof extra)) != 0;) {
            if (n < 0 && errno == EINTR)
                continue;
            ok = n > 0;
            if (ok)
                data.insert(data.end(), extra, extra + n);
        }
    }
    ::close(in);
    if (!ok)
        return kPackSourceError;

    struct stat destStat {};
    if (::stat(destination.c_str(), &destStat) == 0 && destStat.st_dev == st.st_dev && destStat.st_ino == st.st_ino)
        return kPackCreateError;
    const std::vector<unsigned char> packedData = PackData(data.data(), data.size(), options);
    const int out =
        ::open(destination.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK, 0666);
    struct stat created {};
    if (out >= 0 && ::fstat(out, &created) != 0) {
        ::close(out);
        return kPackCreateError;
    }
    if (out < 0)
        return kPackCreateError;
    const bool written = WriteAll(out, packedData.data(), packedData.size());
    if (::close(out) != 0 || !written) {
        if (S_ISREG(created.st_mode))
            ::unlink(destination.c_str());
        return kPackWriteError;
    }
    return kPackOk;
}

} // namespace quillon
