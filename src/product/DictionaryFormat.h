#pragma once
// Port: the product's dictionary-file format, read from a file's bytes without the product —
// what the kernel's GetDictionaryInfo and the dictionary-file service would report about a
// dictionary, and whether they could read it at all. quillon-cli plan and quillon-dist verify
// use it on the unpacked data they decode in memory. Implemented for the reference product's
// format by kaldo::ReferenceDictionaryFormat (refproduct/dictfile); without one, only the packed
// form of a dictionary is checked.
#include <cstddef>
#include <cstdint>
#include <string>

namespace quillon {

struct DictionaryIdentity {
    bool valid = false;          // a dictionary file of the format whose head the product reads
    bool bodyIntact = true;      // its body matches its own checksum (else the kernel's import
                                 // refuses it, while its head still reads)
    std::string problem;         // why not (English), when not valid or not intact
    std::int32_t version = 0;    // the format version
    std::string guid;            // registry form with braces; empty when the file carries none
    std::uint32_t direction = 0; // the direction the file declares; 0 when it declares none
};

class DictionaryFormat {
public:
    virtual ~DictionaryFormat() = default;
    // How many of a file's first bytes Identify looks at.
    virtual std::size_t HeadSize() const = 0;
    // `head`: the file's first min(HeadSize(), size) bytes; `size`: the whole file's size;
    // `crc`: the CRC-32 of all its bytes.
    virtual DictionaryIdentity Identify(const unsigned char* head, std::size_t headSize,
                                        std::uint64_t size, std::uint32_t crc) const = 0;
};

} // namespace quillon
