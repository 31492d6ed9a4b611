#pragma once
// A packed dictionary file decoded in memory, writing nothing: the decoder of UnpackFile
// (install/PackedBodyDecoder.h), the CRC-32 of all the unpacked data against the header's, and
// the first bytes of the unpacked data kept for a look at the dictionary's own header. Memory
// stays bounded (a window of the decoder's and the first bytes) whatever the file's size, so a
// dictionary of several GiB, or a hostile body that expands without end, costs only time.
// Used by quillon-cli plan and quillon-dist verify.
#include "install/UnpackFile.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace quillon {

struct PackedFileCheck {
    // kUnpackOk (header valid, checksum correct), kUnpackSourceError (not a readable regular
    // file), kUnpackBadHeader (shorter than 16 bytes, wrong magic or version) or
    // kUnpackChecksumError: what UnpackFile would answer had it a destination.
    int result = kUnpackSourceError;
    std::uint64_t packedSize = 0;    // the file's size, header included
    std::uint64_t unpackedSize = 0;  // bytes the body decodes to
    std::uint32_t crc = 0;           // CRC-32 of those bytes
    std::vector<unsigned char> head; // their first bytes, at most the limit asked for
};

// Checks the packed file at `path` (never through a FIFO or a device: only regular files are
// read, opened without blocking), keeping up to `headLimit` bytes of the unpacked data.
PackedFileCheck CheckPackedFile(const std::string& path, std::size_t headLimit);
// The same from `fd`, a file open for reading at its start (the caller keeps it).
PackedFileCheck CheckPackedFile(int fd, std::size_t headLimit);

} // namespace quillon
