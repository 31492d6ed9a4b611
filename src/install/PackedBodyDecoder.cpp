#include "install/PackedBodyDecoder.h"

#include "install/PackedFormat.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <cassert>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define QUILLON_GROUPS_AVX2 1
#endif

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


#ifdef QUILLON_GROUPS_AVX2
// Whole groups at once with AVX2. The flag byte alone fixes where each item's bytes lie, so a
// table gives a shuffle that gathers every item's bytes into a 16-bit lane; lengths, their
// prefix sums (output offsets) and distances are then computed for the eight items together,
// with no branch on the item kind. The group's literal bytes are staged in the output 192 bytes
// ahead (past anything the group writes, overwritten later), so that every item is one copy
// from `out + rel` to `out + offset`: a literal copies its staged byte, a match its source.
constexpr std::ptrdiff_t kStage = 192;  // > 8 items of 18 bytes plus a 32-byte copy

struct alignas(64) GroupShape {
    alignas(16) std::array<unsigned char, 16> gather;   // lane k: item k's first byte, then its second
    alignas(16) std::array<unsigned char, 16> literal;  // lane k all ones for a literal
    alignas(16) std::array<std::int16_t, 8> staged;     // lane k: where a literal is staged
    alignas(16) std::array<std::int16_t, 8> minLength;  // lane k: 1 for a literal, 3 for a match
};
static_assert(sizeof(GroupShape) == 64, "one cache line per flag byte");

constexpr std::array<GroupShape, 256> MakeGroupShapes() {
    std::array<GroupShape, 256> shapes{};
    for (unsigned f = 0; f < 256; ++f) {
        GroupShape& s = shapes[f];
        unsigned offset = 0;
        for (unsigned k = 0; k < 8; ++k) {
            const bool literal = (f >> k) & 1;
            s.gather[2 * k] = static_cast<unsigned char>(offset);
            s.gather[2 * k + 1] = literal ? 0x80 : static_cast<unsigned char>(offset + 1);  // 0x80: zero
            s.literal[2 * k] = s.literal[2 * k + 1] = literal ? 0xFF : 0;
            s.staged[k] = literal ? static_cast<std::int16_t>(kStage + offset) : 0;
            s.minLength[k] = literal ? 1 : packed::kMinMatch;
            offset += literal ? 1 : 2;
        }
    }
    return shapes;
}
constexpr std::array<GroupShape, 256> kGroupShapes = MakeGroupShapes();

__attribute__((target("avx2,popcnt"))) void DecodeGroupsAvx2(const unsigned char*& inRef, const unsigned char* end,
                                                      unsigned char*& outRef, unsigned char* groupLimit,
                                                      std::uintptr_t bias) {
    const unsigned char* in = inRef;
    unsigned char* out = outRef;
    const __m128i key = _mm_set1_epi8(static_cast<char>(packed::kKey));
    const __m128i one = _mm_set1_epi16(1), fifteen = _mm_set1_epi16(15), sixteen = _mm_set1_epi16(16);
    const __m128i ringMask = _mm_set1_epi16(4095);
    const __m128i positionBits = _mm_set1_epi16(static_cast<short>(0xF0FF)), positionScale = _mm_set1_epi16(0x1001);
    constexpr std::size_t kGroupOutput = 8 * packed::kMaxMatch;
    // Groups in batches that surely fit in and out, so that each needs no checks of its own.
    for (std::size_t batch = 0;; --batch) {
        if (batch == 0) {
            if (end - in < std::ptrdiff_t(packed::kMaxGroupBytes) || out > groupLimit)
                break;
            batch = std::min(std::size_t(end - in) / packed::kMaxGroupBytes,
                             std::size_t(groupLimit - out) / kGroupOutput + 1);
        }
        const unsigned f = *in ^ packed::kKey;
        const unsigned char* items = in + 1;
        const GroupShape& shape = kGroupShapes[f];
        const __m128i bytes = _mm_xor_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(items)), key);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + kStage), _mm256_zextsi128_si256(bytes));
        const __m128i gather = _mm_load_si128(reinterpret_cast<const __m128i*>(shape.gather.data()));
        const __m128i literal = _mm_load_si128(reinterpret_cast<const __m128i*>(shape.literal.data()));
        const __m128i words = _mm_shuffle_epi8(bytes, gather);  // b1 | b2 << 8 per match
        // A literal's lane has no second byte: its length comes out as 1.
        const __m128i length = _mm_add_epi16(_mm_and_si128(_mm_srli_epi16(words, 8), fifteen),
                                             _mm_load_si128(reinterpret_cast<const __m128i*>(shape.minLength.data())));
        __m128i end16 = _mm_add_epi16(length, _mm_slli_si128(length, 2));
        end16 = _mm_add_epi16(end16, _mm_slli_si128(end16, 4));
        end16 = _mm_add_epi16(end16, _mm_slli_si128(end16, 8));  // where each item's output ends
        const __m128i start = _mm_sub_epi16(end16, length);
        // b1 + (b2 & 0xF0) * 16, in one multiply-add of byte pairs
        const __m128i position = _mm_maddubs_epi16(_mm_and_si128(words, positionBits), positionScale);
        const std::uintptr_t ring = (reinterpret_cast<std::uintptr_t>(out) + bias - 1) & 4095;
        const __m128i here = _mm_set1_epi16(static_cast<short>(ring));
        // distance - 1, from each item's own output position
        const __m128i back = _mm_and_si128(_mm_sub_epi16(_mm_add_epi16(here, start), position), ringMask);
        // Matches that overlap their own output (distance < length), and matches longer than 16.
        const __m128i distance = _mm_add_epi16(back, one);
        const unsigned special = unsigned(_mm_movemask_epi8(
            _mm_andnot_si128(literal, _mm_cmpgt_epi16(length, _mm_min_epu16(distance, sixteen)))));
        if (special && _mm_movemask_epi8(_mm_andnot_si128(literal, _mm_cmpgt_epi16(length, distance)))) {
            // A match overlaps its own output: item by item, its pattern repeated.
            const unsigned char* item = items;
            for (unsigned k = 0; k < 8; ++k) {
                if ((f >> k) & 1) {
                    *out++ = static_cast<unsigned char>(*item++ ^ packed::kKey);
                    continue;
                }
                const unsigned b2 = item[1] ^ packed::kKey;
                const std::size_t at = (item[0] ^ packed::kKey) | ((b2 & 0xF0u) << 4);
                const std::size_t d = ((reinterpret_cast<std::uintptr_t>(out) + bias - at - 1) & 4095) + 1;
                CopyOverlapping(out, out - d, d);
                out += (b2 & 0x0Fu) + packed::kMinMatch;
                item += 2;
            }
            in = item;
            continue;  // (the batch counts this group)
        }
        const __m128i stagedAt = _mm_load_si128(reinterpret_cast<const __m128i*>(shape.staged.data()));
        const __m128i from = _mm_blendv_epi8(_mm_sub_epi16(start, distance), stagedAt, literal);
        const std::uint64_t to03 = std::uint64_t(_mm_cvtsi128_si64(start));
        const std::uint64_t to47 = std::uint64_t(_mm_extract_epi64(start, 1));
        const std::uint64_t from03 = std::uint64_t(_mm_cvtsi128_si64(from));
        const std::uint64_t from47 = std::uint64_t(_mm_extract_epi64(from, 1));
        auto lane = [](std::uint64_t low, std::uint64_t high, unsigned k) -> std::ptrdiff_t {
            return static_cast<std::int16_t>((k < 4 ? low : high) >> (16 * (k & 3)));
        };
        if (special) {  // a match longer than 16 bytes: 32-byte copies
#pragma GCC unroll 8
            for (unsigned k = 0; k < 8; ++k)
                _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + lane(to03, to47, k)),
                                    _mm256_loadu_si256(reinterpret_cast<const __m256i*>(out + lane(from03, from47, k))));
        } else {
#pragma GCC unroll 8
            for (unsigned k = 0; k < 8; ++k)
                _mm_storeu_si128(reinterpret_cast<__m128i*>(out + lane(to03, to47, k)),
                                 _mm_loadu_si128(reinterpret_cast<const __m128i*>(out + lane(from03, from47, k))));
        }
        out += _mm_extract_epi16(end16, 7);
        // A literal takes one byte, a match two. (The next flag byte's address is what the loop
        // waits for: a popcount is quicker than a table look-up here.)
        in = items + 16 - std::popcount(f);
    }
    inRef = in;
    outRef = out;
}

bool CpuHasAvx2() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("popcnt");
}
#endif

std::atomic<bool> g_groupsSimd{
#ifdef QUILLON_GROUPS_AVX2
    CpuHasAvx2()
#else
    false
#endif
};

} // namespace

bool PackedBodyDecoder::UseSimdGroups(bool use) {
#ifdef QUILLON_GROUPS_AVX2
    use = use && CpuHasAvx2();
#else
    use = false;
#endif
    return g_groupsSimd.exchange(use);
}

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

    [[maybe_unused]] const bool simd = g_groupsSimd.load(std::memory_order_relaxed);
    Stop stop;
    for (;;) {
        if (flags == 1) {
#ifdef QUILLON_GROUPS_AVX2
            if (simd)
                DecodeGroupsAvx2(in, end, out, groupLimit, bias);
#endif
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
