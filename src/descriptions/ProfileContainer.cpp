#include "descriptions/ProfileContainer.h"

#include "support/Crc32.h"

#include <cstring>

namespace quillon {
namespace {

constexpr char kMagic[4] = {'X', 'C', 'P', '2'};

std::uint32_t ReadU32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
           std::uint32_t(p[3]) << 24;
}

void AppendU32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

} // namespace

const char* ProfileLoadErrorText(ProfileLoadError error) {
    switch (error) {
    case ProfileLoadError::None:
        return "no error";
    case ProfileLoadError::Missing:
        return "no such file";
    case ProfileLoadError::Unreadable:
        return "cannot be read as a file";
    case ProfileLoadError::AlreadyLoaded:
        return "the store is already loaded";
    case ProfileLoadError::TooShort:
        return "shorter than the profile header";
    case ProfileLoadError::BadMagic:
        return "not a profile file (bad magic)";
    case ProfileLoadError::BadLength:
        return "record stream length disagrees with the file size";
    case ProfileLoadError::BadCrc:
        return "CRC-32 mismatch";
    case ProfileLoadError::Truncated:
        return "record stream ends early";
    case ProfileLoadError::BadTag:
        return "unexpected item tag in the record stream";
    case ProfileLoadError::BadType:
        return "unknown entry type code";
    case ProfileLoadError::BadFlag:
        return "flag item other than 0 or 1";
    case ProfileLoadError::BadCount:
        return "negative section or entry count";
    case ProfileLoadError::TrailingData:
        return "data after the last section";
    case ProfileLoadError::TooLarge:
        return "larger than any description file (8 MiB, 100 000 sections, 1 000 000 entries)";
    }
    return "unknown error";
}

ProfileLoadError CheckProfileHeader(const std::uint8_t* header, std::size_t headerSize,
                                    std::uint64_t fileSize) {
    if (headerSize < kProfileHeaderSize || fileSize < kProfileHeaderSize)
        return ProfileLoadError::TooShort;
    if (std::memcmp(header, kMagic, sizeof kMagic) != 0)
        return ProfileLoadError::BadMagic;
    if (std::uint64_t(ReadU32(header + 4)) != fileSize - kProfileHeaderSize)
        return ProfileLoadError::BadLength;
    return ProfileLoadError::None;
}

ProfileLoadError UnwrapProfileStream(const std::uint8_t* file, std::size_t size,
                                     std::vector<std::uint8_t>& stream) {
    stream.clear();
    if (const auto e = CheckProfileHeader(file, size, size); e != ProfileLoadError::None)
        return e;
    const std::uint8_t* stored = file + kProfileHeaderSize;
    const std::size_t n = size - kProfileHeaderSize;
    if (Crc32::Of(stored, n) != ReadU32(file + 8))
        return ProfileLoadError::BadCrc;
    stream.resize(n);
    for (std::size_t i = 0; i < n; ++i)
        stream[i] = static_cast<std::uint8_t>(stored[i] ^ kProfileKey);
    return ProfileLoadError::None;
}

bool WrapProfileStream(const std::vector<std::uint8_t>& stream, std::vector<std::uint8_t>& file) {
    file.clear();
    if (stream.size() > 0xFFFFFFFFu)
        return false;
    file.reserve(kProfileHeaderSize + stream.size());
    file.insert(file.end(), kMagic, kMagic + sizeof kMagic);
    AppendU32(file, static_cast<std::uint32_t>(stream.size()));
    AppendU32(file, 0); // CRC, filled below
    for (const std::uint8_t b : stream)
        file.push_back(static_cast<std::uint8_t>(b ^ kProfileKey));
    const std::uint32_t crc = Crc32::Of(file.data() + kProfileHeaderSize, stream.size());
    for (int i = 0; i < 4; ++i)
        file[8 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(crc >> (8 * i));
    return true;
}

} // namespace quillon
