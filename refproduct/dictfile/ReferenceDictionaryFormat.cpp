#include "ReferenceDictionaryFormat.h"

#include "DictionaryFile.h"

#include <array>
#include <cstring>

namespace kaldo {
namespace {

constexpr std::size_t kFixedSize = 8 + kHeaderBlockSize; // magic, version, header length, block
constexpr std::size_t kMinFileSize = kFixedSize + 8;     // … and at least a count and the CRC
constexpr std::uint32_t kCrcResidue = 0x2144DF1C;

} // namespace

std::size_t ReferenceDictionaryFormat::HeadSize() const {
    return kFixedSize;
}

quillon::DictionaryIdentity ReferenceDictionaryFormat::Identify(const unsigned char* head,
                                                                std::size_t headSize,
                                                                std::uint64_t size,
                                                                std::uint32_t crc) const {
    quillon::DictionaryIdentity id;
    if (headSize < 4 || std::memcmp(head, "KLDX", 4) != 0) {
        id.problem = "not a dictionary file";
        return id;
    }
    if (size < kMinFileSize || headSize < kFixedSize) {
        id.problem = "the dictionary file is truncated";
        return id;
    }
    if (size > kMaxFileSize) {
        id.problem = "the dictionary file is larger than the product reads";
        return id;
    }
    if (crc != kCrcResidue) {
        id.problem = "the dictionary file's own checksum does not match (it is damaged)";
        return id;
    }
    const std::uint16_t version = static_cast<std::uint16_t>(head[4] | head[5] << 8);
    if (version < kMinDictVersion || version > kMaxDictVersion) {
        id.problem = "unsupported dictionary format version " + std::to_string(version);
        return id;
    }
    if ((head[6] | head[7] << 8) != kHeaderBlockSize) {
        id.problem = "unexpected header block length";
        return id;
    }
    DictionaryFile file;
    std::array<std::uint8_t, kHeaderBlockSize> block{};
    std::memcpy(block.data(), head + 8, kHeaderBlockSize);
    file.SetHeader(block);
    id.valid = true;
    id.version = version;
    id.guid = file.Guid();
    id.direction = file.DirectionId();
    return id;
}

} // namespace kaldo
