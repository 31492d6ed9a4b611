#pragma once
// The packer of the authoring tool: the packed format UnpackFile reads (docs/packed-format.md).
//
// The data is encoded in 64 KiB blocks, each from its own bytes and the 4096 before it (the
// ring's reach), so blocks are encoded on every core at once and the output does not depend on
// how many there are. Two levels:
//   fast  greedy matches from the newest positions sharing 3, 4, 5 or 7 bytes, with one
//         position of look-ahead: many times faster, a few percent larger;
//   best  hash chains and an optimal parse of each block (a match costs 17 bits whatever its
//         length, a literal 9): the smallest output the format allows, byte for byte what the
//         packer has always written.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace quillon {

struct PackOptions {
    // The optimal parse (slow, smallest); false: the fast greedy level.
    bool best = false;
    // For `best`: how many earlier positions with the same 3-byte hash are tried.
    unsigned chainDepth = 128;
    // Threads encoding blocks; 0: one per processor.
    unsigned threads = 0;
};

// The packed form of `data`: header (magic, version 1, six zero bytes, CRC-32) and body.
std::vector<unsigned char> PackData(const void* data, std::size_t size, const PackOptions& options = {});

// Results of PackFile.
enum PackResult : int {
    kPackOk = 0,
    kPackSourceError = -1,  // the source cannot be read
    kPackCreateError = -2,  // the destination cannot be created (or is the source)
    kPackWriteError = -4,   // writing the destination failed; it is deleted
};

// Told the bytes of the source packed so far, after each step; answering false stops the packing
// (kPackWriteError, the destination deleted).
using PackProgress = std::function<bool(std::uint64_t done)>;

// Packs the file `source` into `destination` (never written through a symbolic link), reading
// and writing in bounded steps: memory does not grow with the file.
int PackFile(const std::string& source, const std::string& destination, const PackOptions& options = {},
             const PackProgress& progress = {});

} // namespace quillon
