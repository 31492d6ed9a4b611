#pragma once
// The reference product's dictionary format as the installer's DictionaryFormat port
// (product/DictionaryFormat.h), for quillon-cli plan and quillon-dist verify. Slotted files: the
// head (prefix, both slots) as the product reads it, and the body's checksum, derived from the
// CRC of the whole file and of the head. Whole-file (legacy) files: magic, version, header block
// length, and the file's own CRC-32 trailer (a file that ends in the little-endian CRC of what
// precedes it has the fixed CRC residue 0x2144DF1C). Then the GUID and direction of the header
// block. Entries are not parsed.
#include "product/DictionaryFormat.h"

namespace kaldo {

class ReferenceDictionaryFormat : public quillon::DictionaryFormat {
public:
    std::size_t HeadSize() const override;
    quillon::DictionaryIdentity Identify(const unsigned char* head, std::size_t headSize,
                                         std::uint64_t size, std::uint32_t crc) const override;
};

} // namespace kaldo
