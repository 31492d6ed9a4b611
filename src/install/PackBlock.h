#pragma once
// One 64 KiB block of the packer (Packer.h): its items chosen from the block's bytes and the
// 4096 bytes before it, and the items written as the format's groups. Private to the packer and
// its tests.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace quillon::packblock {

inline constexpr std::size_t kBlock = 65536;
inline constexpr std::size_t kHistory = 4096;  // the ring's reach: the bytes a block may refer to

// An item: a literal byte, or a match as its two encoded bytes (ring position and length) with
// kMatch set.
using Item = std::uint32_t;
inline constexpr Item kMatch = 1u << 16;

// The bytes a block is encoded from: `text` holds `history` bytes before the block (the data
// before it, or the ring's initial zeros at the start) and then the block's `size` bytes, which
// begin at offset `offset` of the data (the ring position of a match depends on it).
struct BlockText {
    const unsigned char* text;
    std::size_t history;
    std::size_t size;
    std::uint64_t offset;
};

// The fast level: greedy matches from the newest positions sharing 3, 4, 5 or 7 bytes, one
// position of look-ahead.
void EncodeFast(const BlockText& block, std::vector<Item>& items);

// The best level: hash chains of `chainDepth` candidates and an optimal parse of the block.
void EncodeBest(const BlockText& block, unsigned chainDepth, std::vector<Item>& items);

// The body is the items in groups of eight behind a flag byte (bit k set: item k is a literal),
// every byte scrambled with the key; the groups run on across blocks. A block's part of it is
// made on any thread once the number of items in the group left open before it is known.
struct BlockBody {
    // Scrambled: the block's first items, which close the group left open before it, then the
    // block's own groups.
    std::vector<unsigned char> bytes;
    // The flag bits of those first items, in place for the open group's flag byte (unscrambled).
    unsigned char carry = 0;
    // The index in `bytes` of the flag byte of the block's last group when that group is not
    // full; kNone when the block opens no group or fills its last one.
    static constexpr std::size_t kNone = ~std::size_t(0);
    std::size_t openFlag = kNone;
};

// The part of the body of `items`, after a group holding `open` items (0..7; 0: none open).
void MakeBody(const std::vector<Item>& items, unsigned open, BlockBody& body);

// The body of consecutive blocks, joined in order: a group left open stays until its items are
// all there, so what is taken is final.
class BodyJoiner {
public:
    // Items in the group left open by the blocks joined so far (the next block's `open`).
    unsigned Open() const { return open_; }
    void Join(const BlockBody& body, std::size_t itemCount);
    // Moves the final bytes (everything before an open group; with `all`, everything) to the
    // end of `out`.
    void Take(std::vector<unsigned char>& out, bool all);

private:
    std::vector<unsigned char> pending_;
    std::size_t openFlag_ = BlockBody::kNone;  // in pending_
    unsigned open_ = 0;
};

} // namespace quillon::packblock
