#pragma once
// The packed form of dictionary files: a 16-byte header, then an LZSS body whose every byte is
// XOR-ed with kPackKey. Shared by the unpacker, the packer and quillon-dist.
#include <cstddef>
#include <cstdint>

namespace quillon::packed {

inline constexpr std::uint32_t kMagic = 0x071A5044;  // bytes 44 50 1A 07
inline constexpr std::uint16_t kVersion = 1;
inline constexpr std::size_t kHeaderSize = 16;       // magic, version, 6 free bytes, CRC-32
inline constexpr std::uint8_t kKey = 0xA7;            // scrambling key of the body

inline constexpr unsigned kRingSize = 4096;
inline constexpr unsigned kMaxMatch = 18;             // lengths 3 .. 18
inline constexpr unsigned kMinMatch = 3;
inline constexpr unsigned kRingStart = kRingSize - kMaxMatch;  // 4078: first write position
// A group: one flag byte and up to eight items of at most two bytes each.
inline constexpr std::size_t kMaxGroupBytes = 17;

inline std::uint32_t ReadU32(const unsigned char* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
           std::uint32_t(p[3]) << 24;
}
inline std::uint16_t ReadU16(const unsigned char* p) {
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

// A header is valid when it carries the magic and version 1; the stored CRC is returned.
inline bool ValidHeader(const unsigned char* header, std::uint32_t& storedCrc) {
    if (ReadU32(header) != kMagic || ReadU16(header + 4) != kVersion)
        return false;
    storedCrc = ReadU32(header + 12);
    return true;
}

} // namespace quillon::packed
