#include "install/PackBlock.h"

#include "install/PackedFormat.h"

#include <algorithm>
#include <bit>
#include <cstring>

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

// How many of the first `limit` bytes at `a` and `b` agree (limit at most kMaxMatch).
unsigned Agree(const unsigned char* a, const unsigned char* b, unsigned limit) {
    unsigned n = 0;
    if (limit == kMaxMatch) { // two words and the rest: no byte past either run is read
        for (; n + 8 <= kMaxMatch; n += 8) {
            std::uint64_t x, y;
            std::memcpy(&x, a + n, 8);
            std::memcpy(&y, b + n, 8);
            if (const std::uint64_t d = x ^ y)
                return n + static_cast<unsigned>(__builtin_ctzll(d) / 8);
        }
    }
    while (n < limit && a[n] == b[n])
        ++n;
    return n;
}

// ---- fast ---------------------------------------------------------------------------------------

constexpr unsigned kFastBits = 14;
constexpr unsigned kFastDepth = 16;   // candidates tried per position
constexpr unsigned kLazyBelow = 8;    // a shorter match is checked against the next position's

// Hash chains over the block's text. The head of each chain is stored above a base higher than
// any position of the block before, so the heads older blocks left read as empty without the
// table being cleared (it is, when the base would overflow): the items never depend on which
// blocks a thread encoded before. A chain link is the distance back to the previous position
// with the same hash (0: none within the ring's reach).
class FastChains {
public:
    static constexpr std::uint32_t kSpan = 1u << 17;  // more than a block and its history
    void BeginBlock() {
        if (base_ > UINT32_MAX - 2 * kSpan) {
            std::fill(head_.begin(), head_.end(), 0u);
            base_ = 0;
        }
        base_ += kSpan;
    }
    // The hash of the three bytes at `p`, four of which may be read when `wide`.
    static std::uint32_t Hash(const unsigned char* p, bool wide) {
        std::uint32_t v;
        if (wide) {
            std::memcpy(&v, p, 4);
            v = std::endian::native == std::endian::little ? v & 0xFFFFFF : v >> 8;
        } else {
            v = p[0] | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16;
        }
        return (v * 2654435761u) >> (32 - kFastBits);
    }
    void Insert(std::uint32_t hash, std::size_t pos) {
        std::uint32_t& head = head_[hash];
        const std::size_t distance = head >= base_ ? pos - (head - base_) : 0;
        link_[pos & (packed::kRingSize - 1)] = static_cast<std::uint16_t>(distance <= kMaxDistance ? distance : 0);
        head = base_ + static_cast<std::uint32_t>(pos);
    }
    // The newest position with the hash, or -1.
    std::ptrdiff_t Newest(std::uint32_t hash) const {
        const std::uint32_t head = head_[hash];
        return head >= base_ ? std::ptrdiff_t(head - base_) : -1;
    }
    unsigned Link(std::size_t pos) const { return link_[pos & (packed::kRingSize - 1)]; }

private:
    std::vector<std::uint32_t> head_ = std::vector<std::uint32_t>(std::size_t(1) << kFastBits);
    std::vector<std::uint16_t> link_ = std::vector<std::uint16_t>(packed::kRingSize);
    std::uint32_t base_ = 0;
};

struct Found {
    unsigned length = 0;
    std::size_t source = 0;
};

// The longest match at `pos` (whose hash is `hash`) among the first kFastDepth positions of its
// chain.
Found Longest(const FastChains& chains, std::uint32_t hash, const unsigned char* text, std::size_t pos,
              std::size_t end) {
    Found best;
    const unsigned limit = static_cast<unsigned>(std::min<std::size_t>(kMaxMatch, end - pos));
    const unsigned char* cur = text + pos;
    std::ptrdiff_t at = chains.Newest(hash);
    for (unsigned depth = kFastDepth; at >= 0 && depth; --depth) {
        const std::size_t c = std::size_t(at);
        if (pos - c > kMaxDistance)
            break;
        const unsigned char* p = text + c;
        if (p[best.length] == cur[best.length]) { // else it cannot be longer
            const unsigned n = Agree(p, cur, limit);
            if (n > best.length) {
                best = {n, c};
                if (n == limit)
                    break;
            }
        }
        const unsigned link = chains.Link(c);
        if (link == 0)
            break;
        at -= link;
    }
    if (best.length < kMinMatch)
        best = {};
    return best;
}

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
    thread_local FastChains chains;
    chains.BeginBlock();
    const unsigned char* text = b.text;
    const std::size_t end = b.history + b.size;
    items.clear();
    const auto hash = [&](std::size_t p) { return FastChains::Hash(text + p, p + 4 <= end); };
    const auto insert = [&](std::size_t p) {
        if (p + kMinMatch <= end)
            chains.Insert(hash(p), p);
    };
    // Every position of the history whose three bytes lie in the text is a candidate.
    for (std::size_t p = 0; p < b.history; ++p)
        insert(p);
    std::size_t pos = b.history;
    while (pos < end) {
        if (pos + kMinMatch > end) {
            items.push_back(text[pos++]);
            continue;
        }
        std::uint32_t h = hash(pos);
        Found m = Longest(chains, h, text, pos, end);
        chains.Insert(h, pos);
        // One position of look-ahead for a short match: a longer one at the next byte is worth a
        // literal first.
        while (m.length >= kMinMatch && m.length < kLazyBelow && pos + 1 + kMinMatch <= end) {
            h = hash(pos + 1);
            const Found later = Longest(chains, h, text, pos + 1, end);
            if (later.length <= m.length)
                break;
            items.push_back(text[pos++]);
            chains.Insert(h, pos);
            m = later;
        }
        if (m.length < kMinMatch) {
            items.push_back(text[pos++]);
            continue;
        }
        items.push_back(MatchItem(b, m.source, m.length));
        const std::size_t stop = pos + m.length;
        for (++pos; pos < stop; ++pos)
            insert(pos);
    }
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
    const auto put = [&out](Item item, unsigned char& flags, unsigned bit) {
        if (item & kMatch) {
            out[0] = static_cast<unsigned char>((item & 0xFF) ^ key);
            out[1] = static_cast<unsigned char>(((item >> 8) & 0xFF) ^ key);
            out += 2;
        } else {
            *out++ = static_cast<unsigned char>(item ^ key);
            flags = static_cast<unsigned char>(flags | bit);
        }
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
