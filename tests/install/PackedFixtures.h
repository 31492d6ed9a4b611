#pragma once
// Builders of packed files for the tests: bodies item by item, headers with any field.
#include <cstdint>
#include <string>
#include <vector>

namespace quillon::test {

using Bytes = std::vector<unsigned char>;

// A body built item by item (unscrambled); Scrambled() gives the stored bytes.
class BodyBuilder {
public:
    BodyBuilder& Literal(unsigned char byte) {
        Open();
        body_[flagAt_] = static_cast<unsigned char>(body_[flagAt_] | (1u << items_));
        body_.push_back(byte);
        return *this;
    }
    BodyBuilder& Match(unsigned position, unsigned length) {
        Open();
        body_.push_back(static_cast<unsigned char>(position & 0xFF));
        body_.push_back(static_cast<unsigned char>(((position >> 4) & 0xF0) | (length - 3)));
        return *this;
    }
    Bytes Scrambled() const {
        Bytes out(body_);
        for (auto& b : out)
            b ^= 0xA7;
        return out;
    }

private:
    void Open() {
        if (++items_ >= 8) {
            items_ = 0;
            flagAt_ = body_.size();
            body_.push_back(0);
        }
    }
    Bytes body_;
    std::size_t flagAt_ = 0;
    unsigned items_ = 7;
};

inline Bytes Header(std::uint32_t crc, std::uint16_t version = 1, std::uint32_t magic = 0x071A5044) {
    Bytes h(16, 0);
    for (int i = 0; i < 4; ++i) {
        h[i] = static_cast<unsigned char>(magic >> (8 * i));
        h[12 + i] = static_cast<unsigned char>(crc >> (8 * i));
    }
    h[4] = static_cast<unsigned char>(version);
    h[5] = static_cast<unsigned char>(version >> 8);
    return h;
}

inline Bytes Concat(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// Deterministic pseudo-random bytes.
inline Bytes RandomBytes(std::size_t size, std::uint32_t seed) {
    Bytes out(size);
    std::uint64_t x = seed * 0x9E3779B97F4A7C15ull + 1;
    for (auto& b : out) {
        x ^= x << 13;
        x ^= x >> 7;
        x ^= x << 17;
        b = static_cast<unsigned char>(x >> 24);
    }
    return out;
}

} // namespace quillon::test
