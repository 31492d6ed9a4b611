#include "install/PackedBodyDecoder.h"

#include "install/PackedFormat.h"

#include <bit>
#include <cassert>
#include <cstring>

namespace quillon {
namespace {

// Wide copies may write this far past the end of a match.
constexpr std::size_t kSlack = 64;

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
PackedBodyDecoder::Stop PackedBodyDecoder::Decode(const unsigned char*& inRef, const unsigned char* end) {
    const unsigned char* in = inRef;
    unsigned char* out = out_;
    unsigned flags = flags_;
    unsigned char* const outLimit = outLimit_;
    unsigned char* const groupLimit = outLimit_ - 7 * packed::kMaxMatch;

    // The address of the write pointer modulo 4096 is the write position.
    auto distance = [&](unsigned b1, unsigned b2) -> std::size_t {
        const std::size_t position = b1 | ((b2 & 0xF0u) << 4);
        return ((reinterpret_cast<std::uintptr_t>(out) - position - 1) & 4095) + 1;
    };

    Stop stop;
    for (;;) {
        if (flags == 1) {
            // Whole groups while a full group fits in and out. No branch on the item kind: a
            // literal is a copy of length 1 from the input, a match one from the output; both
            // copy 32 bytes (the input has padding, the window slack). Only a match that
            // overlaps its own output takes the byte loop.
            while (end - in >= std::ptrdiff_t(packed::kMaxGroupBytes) && out <= groupLimit) {
                // Each run of literals is one 8-byte copy (the input has padding, the window
                // slack); then one match. Only a match overlapping its own output copies byte
                // by byte.
                unsigned f = *in++;
                unsigned left = 8;
                for (;;) {
                    const unsigned run = static_cast<unsigned>(std::countr_zero(~f));
                    Copy8(out, in);
                    out += run;
                    in += run;
                    if (run == left)
                        break;
                    left -= run + 1;
                    f >>= run + 1;
                    const unsigned b2 = in[1];
                    const std::size_t d = distance(in[0], b2);
                    const unsigned length = (b2 & 0x0Fu) + packed::kMinMatch;
                    const unsigned char* src = out - d;
                    in += 2;
                    if (d < length) {
                        for (unsigned n = 0; n < length; ++n)
                            out[n] = src[n];
                    } else {
                        Copy16(out, src);
                        if (length > 16)  // 17 or 18: rare
                            Copy16(out + 16, src + 16);
                    }
                    out += length;
                    if (left == 0)
                        break;
                }
            }
            if (in >= end) {
                stop = Stop::NeedInput;
                break;
            }
            flags = *in++ | 0x100u;
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
            *out++ = *in++;
        } else {
            if (end - in < 2) {
                stop = Stop::NeedInput;
                break;
            }
            out = CopyMatch(out, distance(in[0], in[1]), (in[1] & 0x0Fu) + packed::kMinMatch);
            in += 2;
        }
        flags >>= 1;
    }
    inRef = in;
    out_ = out;
    flags_ = flags;
    return stop;
}

void Descramble(unsigned char* data, std::size_t size) {
    constexpr std::uint64_t kKey8 = 0x0101010101010101ull * packed::kKey;
    std::size_t i = 0;
    for (; i + 8 <= size; i += 8) {
        std::uint64_t v;
        std::memcpy(&v, data + i, 8);
        v ^= kKey8;
        std::memcpy(data + i, &v, 8);
    }
    for (; i < size; ++i)
        data[i] = static_cast<unsigned char>(data[i] ^ packed::kKey);
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
