#include "ReferenceDictionaryFormat.h"

#include "DictionaryFile.h"

#include "support/Crc32.h"

#include <array>
#include <cstring>
#include <zlib.h>

namespace kaldo {
namespace {

constexpr std::size_t kFixedSize = 8 + kHeaderBlockSize; // magic, version, header length, block
constexpr std::size_t kMinFileSize = kFixedSize + 8;     // … and at least a count and the CRC
constexpr std::uint32_t kCrcResidue = 0x2144DF1C;
// Enough for a slotted file's prefix and two slots of up to 64 KiB (a head larger than that is
// reported as not checked).
constexpr std::size_t kSlottedHeadLimit = 32 + 2 * 65536;

} // namespace

std::size_t ReferenceDictionaryFormat::HeadSize() const {
    return kSlottedHeadLimit;
}

namespace {

// A slotted file: its head from the first bytes, its body's checksum from the whole file's (the
// CRC of the body alone follows from the CRC of all bytes and the CRC of the head's).
quillon::DictionaryIdentity IdentifySlotted(const unsigned char* head, std::size_t headSize, std::uint64_t size,
                                            std::uint32_t crc) {
    quillon::DictionaryIdentity id;
    std::string error;
    const auto info = ParseSlottedHead(head, headSize, size, error);
    if (!info) {
        id.problem = error == "the head is larger than the bytes given"
                         ? "the dictionary's head is larger than the " + std::to_string(kSlottedHeadLimit) +
                               " bytes checked"
                         : "the dictionary file is damaged: " + error;
        return id;
    }
    const std::uint32_t headCrc = quillon::Crc32::Of(head, static_cast<std::size_t>(info->bodyOffset));
    const std::uint32_t bodyCrc =
        crc ^ static_cast<std::uint32_t>(crc32_combine64(headCrc, 0, static_cast<z_off64_t>(info->bodyLength)));
    if (bodyCrc != info->bodyCrc) {
        // The head reads; the kernel's import, which checks the body as it copies it, refuses it.
        id.bodyIntact = false;
        id.problem = "the dictionary's body does not match its own checksum (it is damaged)";
    }
    id.valid = true;
    id.version = info->head.Version();
    id.guid = info->head.Guid();
    id.direction = info->head.DirectionId();
    return id;
}

} // namespace

quillon::DictionaryIdentity ReferenceDictionaryFormat::Identify(const unsigned char* head,
                                                                std::size_t headSize,
                                                                std::uint64_t size,
                                                                std::uint32_t crc) const {
    if (headSize >= 4 && std::memcmp(head, "KLDH", 4) == 0)
        return IdentifySlotted(head, headSize, size, crc);
    quillon::DictionaryIdentity id;
    if (headSize < 4 || std::memcmp(head, "KLDX", 4) != 0) {
        id.problem = "not a dictionary file";
        return id;
    }
    if (size < kMinFileSize || headSize < kFixedSize) {
        id.problem = "the dictionary file is truncated";
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
