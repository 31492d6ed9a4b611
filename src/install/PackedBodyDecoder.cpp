#include "install/PackedBodyDecoder.h"

#include "install/PackedFormat.h"

#include <bit>
#include <cassert>
#include <cstring>

namespace quillon {
namespace {

// Wide copies may write this far past the end of a match.
constexpr std::size_t kSlack = PackedBodyDecoder::kOutputSlack;

inline void Copy8(unsigned char* dst, const unsigned char* src) {
    std::uint64_t v;
    std::memcpy(&v, src, 8);
    std::memcpy(dst, &v, 8);
}
inline void Copy16(unsigned char* dst, const unsigned char* src) {
    unsigned char v[16];
    std::memcpy(v, src, 16);
    std::memcpy(dst, v, 16);
}

// Copies a match of up to 18 bytes from `distance` bytes back, where the match overlaps its own
// output or is longer than 16 bytes. Writes up to 40 bytes.
inline void CopyOverlapping(unsigned char* out, const unsigned char* src, std::size_t distance) {
    if (distance >= 16) {
        Copy16(out, src);
        Copy16(out + 16, src + 16);  // reads only bytes written by the first copy or earlier
    } else if (distance >= 8) {
        // a: 8 bytes of the pattern, b: its remaining distance - 8 bytes (and some not yet
        // written); stored in order, each store mends the bytes the one before got wrong.
        std::uint64_t a, b;
        std::memcpy(&a, src, 8);
        std::memcpy(&b, src + 8, 8);
        std::memcpy(out, &a, 8);
        std::memcpy(out + 8, &b, 8);
        std::memcpy(out + distance, &a, 8);
        std::memcpy(out + distance + 8, &b, 8);
        std::memcpy(out + 2 * distance, &a, 8);
    } else {
        // Spread the `distance` bytes before `out` over a register, then store it at multiples
        // of the distance: no load reads bytes just stored.
        static constexpr unsigned char kStride[8] = {8, 8, 8, 6, 8, 5, 6, 7};
        std::uint64_t v;
        std::memcpy(&v, src, 8);
        const unsigned bits = unsigned(distance) * 8;
        v &= (std::uint64_t(1) << bits) - 1;
        for (unsigned w = bits; w < 64; w *= 2)
            v |= v << w;
        const std::size_t stride = kStride[distance];
        std::memcpy(out, &v, 8);
        std::memcpy(out + stride, &v, 8);
        std::memcpy(out + 2 * stride, &v, 8);
        std::memcpy(out + 3 * stride, &v, 8);
    }
}

// Copies a match of `length` bytes starting `distance` bytes back (1 .. 4096); the source may
// overlap the bytes produced. May write up to 32 bytes past out.
inline unsigned char* CopyMatch(unsigned char* out, std::size_t distance, unsigned length) {
    const unsigned char* src = out - distance;
    if (distance >= 16) {
        Copy16(out, src);
        Copy16(out + 16, src + 16);  // reads only bytes written by the first copy or earlier
    } else if (distance >= 8) {
        Copy8(out, src);
        Copy8(out + 8, src + 8);
        Copy8(out + 16, src + 16);
    } else {
        for (unsigned n = 0; n < length; ++n)
            out[n] = src[n];
    }
    return out + length;
}

} // namespace

PackedBodyDecoder::PackedBodyDecoder(std::size_t outputCapacity)
    : buf_(packed::kRingSize + kHistory + outputCapacity + packed::kMaxMatch + kSlack, 0) {
    assert(outputCapacity >= 2 * kHistory);
    // The first output byte goes to ring position 4078, so the window starts at an address
    // congruent to 4078 - 4096 (the history before it).
    const std::uintptr_t address = reinterpret_cast<std::uintptr_t>(buf_.data());
    base_ = buf_.data() + ((packed::kRingStart - address) & (packed::kRingSize - 1));
    out_ = base_ + kHistory;
    outLimit_ = base_ + kHistory + outputCapacity - packed::kMaxMatch;
}

// The ring position of buffer index i is (4078 + i) & 4095: the buffer starts 4096 bytes (the
// zero-filled ring) before the first output byte, and Compact() shifts by multiples of 4096.
PackedBodyDecoder::Stop PackedBodyDecoder::Decode(const unsigned char*& in, const unsigned char* end) {
    return DecodeItems(in, end, out_, outLimit_, flags_, 0);
}

PackedBodyDecoder::Stop PackedBodyDecoder::DecodeInto(const unsigned char*& in, const unsigned char* end,
                                                      unsigned char* begin, std::size_t& produced,
                                                      std::size_t capacity) {
    assert(produced >= kHistory && capacity >= produced + packed::kMaxMatch + kOutputSlack + 8 * packed::kMaxMatch);
    unsigned char* out = begin + produced;
    const std::uintptr_t bias = packed::kRingStart - reinterpret_cast<std::uintptr_t>(begin);
    const Stop stop = DecodeItems(in, end, out, begin + capacity - packed::kMaxMatch - kOutputSlack, flags_, bias);
    produced = std::size_t(out - begin);
    return stop;
}

// Decodes items while the input holds them and the output pointer is at most outLimit (after
// which up to kMaxMatch + kOutputSlack bytes are writable). The ring position of the byte at
// address a is (a + bias) & 4095.
PackedBodyDecoder::Stop PackedBodyDecoder::DecodeItems(const unsigned char*& inRef, const unsigned char* end,
                                                       unsigned char*& outRef, unsigned char* const outLimit,
                                                       unsigned& flagsRef, std::uintptr_t bias) {
    constexpr std::uint64_t kKey8 = 0x0101010101010101ull * packed::kKey;
    const unsigned char* in = inRef;
    unsigned char* out = outRef;
    unsigned flags = flagsRef;
    unsigned char* const groupLimit = outLimit - 7 * packed::kMaxMatch;

    // The stored bytes are scrambled: every byte read is XOR-ed with the key on the way.
    auto distance = [&](unsigned b1, unsigned b2) -> std::size_t {
        const std::size_t position = b1 | ((b2 & 0xF0u) << 4);
        return ((reinterpret_cast<std::uintptr_t>(out) + bias - position - 1) & 4095) + 1;
    };

    Stop stop;
    for (;;) {
        if (flags == 1) {
            // Whole groups while a full group fits in and out.
            while (end - in >= std::ptrdiff_t(packed::kMaxGroupBytes) && out <= groupLimit) {
                // Each run of literals is one 8-byte copy (the input has padding, the window
                // slack); then one match.
                unsigned f = *in++ ^ packed::kKey;
                unsigned left = 8;
                for (;;) {
                    const unsigned run = static_cast<unsigned>(std::countr_zero(~f));
                    std::uint64_t literals;
                    std::memcpy(&literals, in, 8);
                    literals ^= kKey8;
                    std::memcpy(out, &literals, 8);
                    out += run;
                    in += run;
                    if (run == left)
                        break;
                    left -= run + 1;
                    f >>= run + 1;
                    const unsigned b2 = in[1] ^ packed::kKey;
                    const std::size_t d = distance(in[0] ^ packed::kKey, b2);
                    const unsigned length = (b2 & 0x0Fu) + packed::kMinMatch;
                    const unsigned char* src = out - d;
                    in += 2;
                    if (d < length || length > 16)
                        CopyOverlapping(out, src, d);
                    else
                        Copy16(out, src);
                    out += length;
                    if (left == 0)
                        break;
                }
            }
            if (in >= end) {
                stop = Stop::NeedInput;
                break;
            }
            flags = (*in++ ^ packed::kKey) | 0x100u;
        }
        if (out > outLimit) {
            stop = Stop::OutputFull;
            break;
        }
        if (flags & 1) {
            if (in >= end) {
                stop = Stop::NeedInput;
                break;
            }
            *out++ = static_cast<unsigned char>(*in++ ^ packed::kKey);
        } else {
            if (end - in < 2) {
                stop = Stop::NeedInput;
                break;
            }
            const unsigned b2 = in[1] ^ packed::kKey;
            out = CopyMatch(out, distance(in[0] ^ packed::kKey, b2), (b2 & 0x0Fu) + packed::kMinMatch);
            in += 2;
        }
        flags >>= 1;
    }
    inRef = in;
    outRef = out;
    flagsRef = flags;
    return stop;
}

void PackedBodyDecoder::Compact(std::uint64_t keepFrom) {
    unsigned char* const base = base_;
    assert(keepFrom >= shifted_ && keepFrom <= Produced());
    std::size_t keepIndex = kHistory + std::size_t(keepFrom - shifted_);
    const std::size_t outIndex = std::size_t(out_ - base);
    if (outIndex - kHistory < keepIndex)
        keepIndex = outIndex - kHistory;
    const std::size_t shift = keepIndex & ~std::size_t(4095);
    if (shift == 0)
        return;
    std::memmove(base, base + shift, outIndex - shift);
    out_ -= shift;
    shifted_ += shift;
}

} // namespace quillon
