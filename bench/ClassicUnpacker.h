#pragma once
// The classic way to read the packed format, one byte at a time (ring buffer, bytewise table
// CRC, progress check on every byte read): the baseline UnpackFile is measured against.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace bench {

// stdio: getc for every byte read; `putcPerByte` writes each output byte with putc, otherwise
// the ring is written with fwrite each time it fills. Answers 0 or a negative result as
// UnpackFile does.
int ClassicUnpackFile(const std::string& source, const std::string& destination, bool putcPerByte);

// The same decoder from memory into memory (no files).
int ClassicUnpackMemory(const unsigned char* packed, std::size_t size, std::vector<unsigned char>& output);

} // namespace bench
