#include "Checksums.h"

#include "support/Crc32.h"

#include <cstring>

namespace quillon::fuzz {
namespace {

std::uint64_t Get(const std::vector<std::uint8_t>& b, std::size_t at, int bytes) {
    std::uint64_t v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = v << 8 | b[at + std::size_t(i)];
    return v;
}

void Put(std::vector<std::uint8_t>& b, std::size_t at, std::uint64_t v, int bytes) {
    for (int i = 0; i < bytes; ++i, v >>= 8)
        b[at + std::size_t(i)] = std::uint8_t(v);
}

} // namespace

void RepairProfileImage(std::vector<std::uint8_t>& image) {
    if (image.size() < 12)
        return;
    Put(image, 4, image.size() - 12, 4);
    Put(image, 8, Crc32::Of(image.data() + 12, image.size() - 12), 4);
}

void RepairDictionary(std::vector<std::uint8_t>& file) {
    if (file.size() >= 8 && std::memcmp(file.data(), "KLDX", 4) == 0) {
        Put(file, file.size() - 4, Crc32::Of(file.data(), file.size() - 4), 4);
        return;
    }
    if (file.size() < 32 || std::memcmp(file.data(), "KLDH", 4) != 0)
        return;
    const std::uint64_t slotSize = Get(file, 8, 4), bodyOffset = Get(file, 16, 8);
    if (slotSize < 16 || bodyOffset > file.size())
        return;
    const std::uint64_t bodyLength = file.size() - bodyOffset;
    const std::uint32_t bodyCrc = Crc32::Of(file.data() + bodyOffset, bodyLength);
    for (std::uint64_t slot = 32; slot + 16 <= file.size() && slot < 32 + 2 * slotSize; slot += slotSize) {
        const std::uint64_t length = Get(file, slot + 8, 4);
        if (length > slotSize - 16 || slot + 16 + length > file.size())
            continue;
        if (length >= 20) { // the content ends in the body's length, CRC and entry count
            Put(file, slot + 16 + length - 20, bodyLength, 8);
            Put(file, slot + 16 + length - 12, bodyCrc, 4);
        }
        Crc32 crc;
        crc.Update(file.data() + slot, 12);
        crc.Update(file.data() + slot + 16, length);
        Put(file, slot + 12, crc.Value(), 4);
    }
}

} // namespace quillon::fuzz
