#pragma once
// The container of a profile file (description files RAVIRI.INF, SETUP.INI):
//   bytes 0-3   the magic "XCP2"
//   bytes 4-7   N, the length of the record stream (u32 little-endian)
//   bytes 8-11  the CRC-32 of the N stored bytes (u32 little-endian)
//   bytes 12-   the N bytes of the record stream, each XOR-ed with the key 0xA7
// Nothing may follow the N bytes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace quillon {

inline constexpr std::uint8_t kProfileKey = 0xA7;
inline constexpr std::size_t kProfileHeaderSize = 12;

// Bounds no real description file comes near (the largest known holds a few hundred sections):
// a larger file, or one of more sections or entries, is refused before it costs memory.
inline constexpr std::uint64_t kMaxProfileFile = std::uint64_t(8) << 20;
inline constexpr std::int32_t kMaxProfileSections = 100'000;
inline constexpr std::int64_t kMaxProfileEntries = 1'000'000;

// Why a profile file did not load. Every failure leaves the store empty.
enum class ProfileLoadError {
    None,
    Missing,       // no file or folder of that name
    Unreadable,    // a folder, or the file cannot be opened or read
    AlreadyLoaded, // a store is loaded once
    TooShort,      // fewer bytes than the header
    BadMagic,      // the first four bytes are not "XCP2"
    BadLength,     // N disagrees with the bytes that follow the header
    BadCrc,        // the CRC-32 of the stored bytes differs from the header's
    Truncated,     // the record stream ends inside an item, or a count/length exceeds what is left
    BadTag,        // an item's tag is not the one the layout expects at that place
    BadType,       // an entry's type code is not B, H, I or S
    BadFlag,       // a flag item holds something other than 0 or 1
    BadCount,      // a negative section or entry count
    TrailingData,  // bytes left after the last section
    TooLarge,      // more than kMaxProfileFile bytes, sections or entries than the bounds
};

// A short English description ("bad CRC-32", ...), for tools.
const char* ProfileLoadErrorText(ProfileLoadError error);

// The record stream of a whole file image: checks the header, the length and the CRC and undoes
// the XOR. Answers None and fills `stream`, or the reason and leaves `stream` empty.
ProfileLoadError UnwrapProfileStream(const std::uint8_t* file, std::size_t size,
                                     std::vector<std::uint8_t>& stream);

// Checks only the 12-byte header against the size of the whole file (before reading the rest).
ProfileLoadError CheckProfileHeader(const std::uint8_t* header, std::size_t headerSize,
                                    std::uint64_t fileSize);

// The file image of a record stream. Answers false when the stream is longer than a u32 allows.
bool WrapProfileStream(const std::vector<std::uint8_t>& stream, std::vector<std::uint8_t>& file);

} // namespace quillon
