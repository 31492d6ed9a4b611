#pragma once
// The reference product's dictionary format as the installer's DictionaryFormat port
// (product/DictionaryFormat.h), for quillon-cli plan and quillon-dist verify: magic, version,
// header block length and size bounds as ParseDictionary checks them, the file's own CRC-32
// trailer (from the CRC of the whole file: a file that ends in the little-endian CRC of what
// precedes it has the fixed CRC residue 0x2144DF1C), and the GUID and direction of the header
// block. Named properties and entries are not parsed.
#include "product/DictionaryFormat.h"

namespace kaldo {

class ReferenceDictionaryFormat : public quillon::DictionaryFormat {
public:
    std::size_t HeadSize() const override;
    quillon::DictionaryIdentity Identify(const unsigned char* head, std::size_t headSize,
                                         std::uint64_t size, std::uint32_t crc) const override;
};

} // namespace kaldo
