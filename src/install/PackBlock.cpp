#include "install/PackBlock.h"

#include "install/PackedFormat.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <iterator>
#include <memory>

namespace quillon::packblock {
namespace {

using packed::kMaxMatch;
using packed::kMinMatch;
constexpr std::size_t kMaxDistance = packed::kRingSize - 1;

// The item of a match whose bytes begin at text index `source`.
Item MatchItem(const BlockText& b, std::size_t source, unsigned length) {
    // The ring position of data offset t is (4078 + t) mod 4096; the history's first byte is at
    // data offset offset - history (below zero for the ring's initial zeros: the same modulo 4096).
    const auto ring = static_cast<unsigned>((packed::kRingStart + b.offset - b.history + source) & (packed::kRingSize - 1));
    return kMatch | (ring & 0xFF) | ((((ring >> 4) & 0xF0) | (length - kMinMatch)) << 8);
}

std::uint32_t Read24(const unsigned char* p) {
    return std::uint32_t(p[0]) << 16 | std::uint32_t(p[1]) << 8 | p[2];
}

std::uint64_t Load64(const unsigned char* p) {
    std::uint64_t v;
    std::memcpy(&v, p, 8);
    return v;
}

// ---- fast ---------------------------------------------------------------------------------------

// The fast level keeps, for keys of 3, 4, 5 and 7 bytes, the newest position whose key hashes to
// each slot, and looks at one candidate per key length, longest key first, until a match is as
// long as the next key: the match at the newest position sharing the most bytes. No chains to
// walk, so the work per position is small and even; a match costs the same at any distance, so
// the newest is as good as any.
constexpr unsigned kKeys[] = {3, 4, 5, 7};
constexpr unsigned kKeyCount = std::size(kKeys);
constexpr unsigned kSlotBits = 16;
constexpr unsigned kLazyBelow = 8;  // a shorter match is checked against the next position's
// Where fewer bytes than a longest match follow a position, it is handled with bounded reads.
constexpr std::size_t kWideRead = kMaxMatch;

// A slot holds the low 16 bits of a position. The tables are cleared for every block, so what a
// block is encoded from never depends on the blocks a thread encoded before. A slot's position is
// only a suggestion: the distance it gives is checked to lie in reach and the bytes compared.
struct FastTables {
    std::uint16_t slot[kKeyCount][std::size_t(1) << kSlotBits];
};

template <unsigned Key>
std::uint32_t KeyHash(std::uint64_t bytes) { // the first Key bytes of a little-endian load
    if constexpr (Key < 8)
        bytes &= (std::uint64_t(1) << (8 * Key)) - 1;
    return static_cast<std::uint32_t>(((bytes + Key) * 0x9E3779B97F4A7C15ull) >> (64 - kSlotBits));
}

// The eight bytes at `p` as a little-endian number; only `avail` of them are read (the rest 0).
std::uint64_t LoadKey(const unsigned char* p, std::size_t avail) {
    if (avail >= 8) {
        const std::uint64_t v = Load64(p);
        return std::endian::native == std::endian::little ? v : __builtin_bswap64(v);
    }
    std::uint64_t v = 0;
    for (std::size_t k = 0; k < avail; ++k)
        v |= std::uint64_t(p[k]) << (8 * k);
    return v;
}

// How many bytes at `a` and `b` agree, up to 18; 18 bytes readable at both.
inline unsigned Agree18(const unsigned char* a, const unsigned char* b) {
    std::uint64_t d = Load64(a) ^ Load64(b);
    if (d == 0) {
        d = Load64(a + 8) ^ Load64(b + 8);
        if (d == 0)
            return 16 + (a[16] == b[16] ? 1 + (a[17] == b[17]) : 0);
        return 8 + static_cast<unsigned>(std::endian::native == std::endian::little ? __builtin_ctzll(d) : __builtin_clzll(d)) / 8;
    }
    return static_cast<unsigned>(std::endian::native == std::endian::little ? __builtin_ctzll(d) : __builtin_clzll(d)) / 8;
}

// How many of the first `limit` bytes at `a` and `b` agree.
unsigned AgreeUpTo(const unsigned char* a, const unsigned char* b, unsigned limit) {
    unsigned n = 0;
    while (n < limit && a[n] == b[n])
        ++n;
    return n;
}

struct Found {
    unsigned length = 0;
    std::size_t source = 0;
};

class FastEncoder {
public:
    FastEncoder(FastTables& tables, const BlockText& b) : t_(tables), text_(b.text), end_(b.history + b.size) {
        std::memset(&t_, 0, sizeof t_);
    }

    // The slots of the keys at `p`: found, then inserted.
    struct Slots {
        std::uint32_t at[kKeyCount];
    };
    Slots SlotsAt(std::size_t p) const {
        const std::uint64_t key = LoadKey(text_ + p, end_ - p);
        return {{KeyHash<kKeys[0]>(key), KeyHash<kKeys[1]>(key), KeyHash<kKeys[2]>(key), KeyHash<kKeys[3]>(key)}};
    }

    void Insert(std::size_t p, const Slots& s) {
        const auto low = static_cast<std::uint16_t>(p);
        for (unsigned k = 0; k < kKeyCount; ++k)
            t_.slot[k][s.at[k]] = low;
    }
    void Insert(std::size_t p) { Insert(p, SlotsAt(p)); }

    // The longest match at `pos` among the candidates, when longer than `floor` (else none).
    // `Wide`: at least kWideRead bytes follow `pos`.
    template <bool Wide>
    Found Find(std::size_t pos, const Slots& s, unsigned floor) const {
        const unsigned limit = static_cast<unsigned>(std::min<std::size_t>(kMaxMatch, end_ - pos));
        Found best{floor, 0};
        const unsigned char* cur = text_ + pos;
        for (unsigned k = kKeyCount; k-- > 0 && best.length < kKeys[k];) {
            const unsigned d = Back(pos, t_.slot[k][s.at[k]]);
            if (d == 0)
                continue;
            const unsigned n = Wide ? Agree18(cur - d, cur) : AgreeUpTo(cur - d, cur, limit);
            if (n > best.length)
                best = {n, pos - d};
        }
        if (best.length < kMinMatch || best.length == floor)
            return {};
        return best;
    }

private:
    // The distance back from `p` to the position whose low bits are `low`, when it is within the
    // ring's reach and the text; else 0.
    static unsigned Back(std::size_t p, std::uint16_t low) {
        const unsigned d = static_cast<unsigned>(p - low) & 0xFFFF;
        return d <= kMaxDistance && d <= p ? d : 0;
    }

    FastTables& t_;
    const unsigned char* text_;
    std::size_t end_;
};

// ---- best ---------------------------------------------------------------------------------------

constexpr unsigned kChainBits = 16;

struct Chains {
    std::vector<std::int32_t> head = std::vector<std::int32_t>(std::size_t(1) << kChainBits);
    std::vector<std::int32_t> prev = std::vector<std::int32_t>(packed::kRingSize);
    std::vector<Found> longest = std::vector<Found>(kBlock);
    std::vector<std::uint32_t> cost = std::vector<std::uint32_t>(kBlock + 1);
    std::vector<unsigned char> choice = std::vector<unsigned char>(kBlock);
};

std::uint32_t ChainHash(const unsigned char* p) {
    return (Read24(p) * 2654435761u) >> (32 - kChainBits);
}

} // namespace

void EncodeFast(const BlockText& b, std::vector<Item>& items) {
    static thread_local std::unique_ptr<FastTables> tables;  // 512 KiB: not on a thread's stack
    if (!tables)
        tables = std::make_unique<FastTables>();
    FastEncoder encoder(*tables, b);
    const unsigned char* text = b.text;
    const std::size_t end = b.history + b.size;
    const std::size_t wideEnd = end >= kWideRead ? end - kWideRead : 0;
    // Room for every byte as a literal, written through a pointer; the size set at the end.
    items.resize(b.size);
    Item* out = items.data();
    for (std::size_t p = 0; p < b.history; ++p)
        encoder.Insert(p);
    std::size_t pos = b.history;
    const auto find = [&](std::size_t p, const FastEncoder::Slots& slots, unsigned floor) {
        return p < wideEnd ? encoder.Find<true>(p, slots, floor) : encoder.Find<false>(p, slots, floor);
    };
    while (pos < end) {
        FastEncoder::Slots slots = encoder.SlotsAt(pos);
        Found m = find(pos, slots, 0);
        encoder.Insert(pos, slots);
        // One position of look-ahead for a short match: a longer one at the next byte is worth a
        // literal first.
        while (m.length && m.length < kLazyBelow && pos + 1 < end) {
            slots = encoder.SlotsAt(pos + 1);
            const Found later = find(pos + 1, slots, m.length);
            if (!later.length)
                break;
            *out++ = text[pos++];
            encoder.Insert(pos, slots);
            m = later;
        }
        if (!m.length) {
            *out++ = text[pos++];
            continue;
        }
        *out++ = MatchItem(b, m.source, m.length);
        const std::size_t stop = pos + m.length;
        for (++pos; pos < stop; ++pos)
            encoder.Insert(pos);
    }
    items.resize(static_cast<std::size_t>(out - items.data()));
}

void EncodeBest(const BlockText& b, unsigned chainDepth, std::vector<Item>& items) {
    thread_local Chains s;
    const unsigned char* text = b.text;
    const std::size_t end = b.history + b.size;
    std::fill(s.head.begin(), s.head.end(), -1);
    const auto insert = [&](std::size_t p) {
        if (p + kMinMatch > end)
            return;
        const std::uint32_t h = ChainHash(text + p);
        s.prev[p & (packed::kRingSize - 1)] = s.head[h];
        s.head[h] = static_cast<std::int32_t>(p);
    };
    for (std::size_t p = 0; p < b.history; ++p)
        insert(p);
    // The longest match at each position (matches stay in the block); any length from 3 up to
    // it costs the same two bytes, so that is all the parse needs.
    for (std::size_t i = 0; i < b.size; ++i) {
        const std::size_t pos = b.history + i;
        Found best;
        const std::size_t avail = end - pos;
        if (avail >= kMinMatch) {
            const unsigned maxLen = static_cast<unsigned>(std::min<std::size_t>(kMaxMatch, avail));
            const unsigned char* cur = text + pos;
            std::int32_t cand = s.head[ChainHash(cur)];
            for (unsigned depth = chainDepth; cand >= 0 && depth; --depth) {
                const std::size_t c = static_cast<std::size_t>(cand);
                if (pos - c > kMaxDistance)
                    break;
                const unsigned char* p = text + c;
                if (p[best.length] == cur[best.length] || best.length == 0) {
                    unsigned len = 0;
                    while (len < maxLen && p[len] == cur[len])
                        ++len;
                    if (len > best.length) {
                        best = {len, c};
                        if (len == maxLen)
                            break;
                    }
                }
                cand = s.prev[c & (packed::kRingSize - 1)];
            }
        }
        s.longest[i] = best.length >= kMinMatch ? best : Found{};
        insert(pos);
    }
    s.cost[b.size] = 0;
    for (std::size_t i = b.size; i-- > 0;) {
        std::uint32_t best = 9 + s.cost[i + 1];
        unsigned char pick = 0;
        for (unsigned len = kMinMatch; len <= s.longest[i].length; ++len) {
            const std::uint32_t c = 17 + s.cost[i + len];
            if (c <= best) {
                best = c;
                pick = static_cast<unsigned char>(len);
            }
        }
        s.cost[i] = best;
        s.choice[i] = pick;
    }
    items.clear();
    for (std::size_t i = 0; i < b.size;) {
        if (s.choice[i] == 0) {
            items.push_back(text[b.history + i]);
            ++i;
        } else {
            items.push_back(MatchItem(b, s.longest[i].source, s.choice[i]));
            i += s.choice[i];
        }
    }
}

void MakeBody(const std::vector<Item>& items, unsigned open, BlockBody& body) {
    // Written through a pointer into room for the most bytes the items can take, scrambled as
    // they go; the size set once at the end.
    body.bytes.resize(items.size() * 2 + items.size() / 8 + 1);
    unsigned char* const start = body.bytes.data();
    unsigned char* out = start;
    constexpr unsigned char key = packed::kKey;
    body.carry = 0;
    body.openFlag = BlockBody::kNone;
    std::size_t i = 0;
    // Without a branch on the kind of item (it is hard to foresee): both bytes are written, and a
    // literal's second is written over by what follows (there is room for one more byte).
    const auto put = [&out](Item item, unsigned char& flags, unsigned bit) {
        const unsigned literal = (item & kMatch) ? 0 : 1;
        out[0] = static_cast<unsigned char>((item & 0xFF) ^ key);
        out[1] = static_cast<unsigned char>(((item >> 8) & 0xFF) ^ key);
        out += 2 - literal;
        flags = static_cast<unsigned char>(flags | (bit & (0u - literal)));
    };
    if (open) // close the group left open before the block
        for (unsigned k = open; k < 8 && i < items.size(); ++k, ++i)
            put(items[i], body.carry, 1u << k);
    while (i < items.size()) {
        unsigned char* flag = out++;
        unsigned char flags = 0;
        unsigned k = 0;
        for (; k < 8 && i < items.size(); ++k, ++i)
            put(items[i], flags, 1u << k);
        *flag = flags ^ key;
        body.openFlag = k < 8 ? std::size_t(flag - start) : BlockBody::kNone;
    }
    body.bytes.resize(std::size_t(out - start));
}

void BodyJoiner::Join(const BlockBody& body, std::size_t itemCount) {
    // The carried flag bits go into the open group's flag byte: bits that were 0, so setting
    // them in the scrambled byte is an exclusive or.
    if (body.carry)
        pending_[openFlag_] ^= body.carry;
    const std::size_t at = pending_.size();
    pending_.insert(pending_.end(), body.bytes.begin(), body.bytes.end());
    const std::size_t closing = open_ ? std::min<std::size_t>(8 - open_, itemCount) : 0;
    if (body.openFlag != BlockBody::kNone)
        openFlag_ = at + body.openFlag;
    else if (open_ && closing == 8 - open_)
        openFlag_ = BlockBody::kNone; // the open group is full now, and the block opened none
    open_ = static_cast<unsigned>((open_ + itemCount) % 8);
}

void BodyJoiner::Take(std::vector<unsigned char>& out, bool all) {
    const std::size_t ready = all || openFlag_ == BlockBody::kNone ? pending_.size() : openFlag_;
    out.insert(out.end(), pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(ready));
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(ready));
    if (openFlag_ != BlockBody::kNone)
        openFlag_ = all ? BlockBody::kNone : openFlag_ - ready;
}

} // namespace quillon::packblock
