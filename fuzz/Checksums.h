#pragma once
// Checksum repair for fuzz inputs: random changes almost never keep a CRC right, so a target
// also reads a copy whose length fields and checksums are made to agree with its bytes. That way
// the parsers behind the checks are reached.
#include <cstdint>
#include <vector>

namespace quillon::fuzz {

// A profile file (XCP2 container): N and the CRC-32 of the header set from the bytes that follow.
// Nothing changes in an image shorter than the header.
void RepairProfileImage(std::vector<std::uint8_t>& image);

// A dictionary file: the whole-file layout's trailing CRC-32; in the slotted layout each slot's
// body length and CRC-32 (from the bytes after the body offset) and the slot's own CRC-32, where
// the slot's fields lie inside the file.
void RepairDictionary(std::vector<std::uint8_t>& file);

} // namespace quillon::fuzz
