#pragma once
// Layout constants of the Compound File Binary format shared by the reader and the writer, and
// little-endian field access.
#include <cstddef>
#include <cstdint>

namespace quillon::cfb {

inline constexpr std::uint32_t kMaxRegSect = 0xFFFFFFFA; // larger ids are reserved markers
inline constexpr std::uint32_t kDifSect = 0xFFFFFFFC;
inline constexpr std::uint32_t kFatSect = 0xFFFFFFFD;
inline constexpr std::uint32_t kEndOfChain = 0xFFFFFFFE;
inline constexpr std::uint32_t kFreeSect = 0xFFFFFFFF;
inline constexpr std::uint32_t kNoStream = 0xFFFFFFFF;

inline constexpr std::uint8_t kSignatureBytes[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
inline constexpr std::size_t kHeaderSize = 512;
inline constexpr std::uint32_t kHeaderDifatEntries = 109;
inline constexpr std::uint32_t kMiniSectorSize = 64;
inline constexpr std::uint32_t kMiniStreamCutoff = 4096;
inline constexpr std::size_t kEntrySize = 128;
inline constexpr std::size_t kNameBytes = 64; // 32 UTF-16 units, terminator included

// Header fields.
inline constexpr std::size_t kOffMinorVersion = 0x18;
inline constexpr std::size_t kOffMajorVersion = 0x1A;
inline constexpr std::size_t kOffByteOrder = 0x1C;
inline constexpr std::size_t kOffSectorShift = 0x1E;
inline constexpr std::size_t kOffMiniSectorShift = 0x20;
inline constexpr std::size_t kOffDirSectorCount = 0x28;
inline constexpr std::size_t kOffFatCount = 0x2C;
inline constexpr std::size_t kOffFirstDir = 0x30;
inline constexpr std::size_t kOffMiniCutoff = 0x38;
inline constexpr std::size_t kOffFirstMiniFat = 0x3C;
inline constexpr std::size_t kOffMiniFatCount = 0x40;
inline constexpr std::size_t kOffFirstDifat = 0x44;
inline constexpr std::size_t kOffDifatCount = 0x48;
inline constexpr std::size_t kOffHeaderDifat = 0x4C;

// Directory entry fields.
inline constexpr std::size_t kOffEntryNameLength = 0x40;
inline constexpr std::size_t kOffEntryType = 0x42;
inline constexpr std::size_t kOffEntryColor = 0x43;
inline constexpr std::size_t kOffEntryLeft = 0x44;
inline constexpr std::size_t kOffEntryRight = 0x48;
inline constexpr std::size_t kOffEntryChild = 0x4C;
inline constexpr std::size_t kOffEntryStart = 0x74;
inline constexpr std::size_t kOffEntrySize = 0x78;

inline constexpr std::uint8_t kTypeStorage = 1;
inline constexpr std::uint8_t kTypeStream = 2;
inline constexpr std::uint8_t kTypeRoot = 5;
inline constexpr std::uint8_t kRed = 0;
inline constexpr std::uint8_t kBlack = 1;

inline std::uint16_t ReadU16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}
inline std::uint32_t ReadU32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
           std::uint32_t(p[3]) << 24;
}
inline std::uint64_t ReadU64(const std::uint8_t* p) {
    return ReadU32(p) | std::uint64_t(ReadU32(p + 4)) << 32;
}
inline void WriteU16(std::uint8_t* p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}
inline void WriteU32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
inline void WriteU64(std::uint8_t* p, std::uint64_t v) {
    WriteU32(p, static_cast<std::uint32_t>(v));
    WriteU32(p + 4, static_cast<std::uint32_t>(v >> 32));
}

} // namespace quillon::cfb
