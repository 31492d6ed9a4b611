#pragma once
// The packer of the authoring tool: LZSS with hash chains over the 4096-byte window and an
// optimal parse (every match costs 17 bits, every literal 9), producing the packed format that
// UnpackFile reads.
#include <cstddef>
#include <string>
#include <vector>

namespace quillon {

struct PackOptions {
    // How many earlier positions with the same 3-byte hash are tried for each position.
    unsigned chainDepth = 128;
    // Choose literals and match lengths for the smallest output (per 64 KiB block); false: take
    // the longest match at each position (greedy).
    bool optimal = true;
};

// The packed form of `data`: header (magic, version 1, six zero bytes, CRC-32) and body.
std::vector<unsigned char> PackData(const void* data, std::size_t size, const PackOptions& options = {});

// Results of PackFile.
enum PackResult : int {
    kPackOk = 0,
    kPackSourceError = -1,  // the source cannot be read
    kPackCreateError = -2,  // the destination cannot be created (or is the source)
    kPackWriteError = -4,   // writing failed; the destination is deleted
};

// Packs the file `source` into `destination` (never written through a symbolic link).
int PackFile(const std::string& source, const std::string& destination, const PackOptions& options = {});

} // namespace quillon
