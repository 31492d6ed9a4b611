#include "CfbFixture.h"

#include <stdexcept>

namespace quillon::test {

std::vector<std::uint8_t> Bytes(std::size_t size, std::uint8_t seed) {
    std::vector<std::uint8_t> v(size);
    std::uint32_t x = 0x9E3779B9u ^ seed;
    for (auto& b : v) {
        x = x * 1664525u + 1013904223u;
        b = static_cast<std::uint8_t>(x >> 24);
    }
    return v;
}

CfbFixture
CfbFixture::Make(const std::vector<std::pair<std::string, std::vector<std::uint8_t>>>& streams,
                 int version) {
    CompoundFileWriter w(version);
    for (const auto& [name, content] : streams)
        if (!w.AddStream(name, content))
            throw std::runtime_error(w.Error());
    return {w.Build()};
}

std::uint32_t CfbFixture::U32(std::size_t o) const {
    return std::uint32_t(bytes.at(o)) | std::uint32_t(bytes.at(o + 1)) << 8 |
           std::uint32_t(bytes.at(o + 2)) << 16 | std::uint32_t(bytes.at(o + 3)) << 24;
}
void CfbFixture::SetU32(std::size_t o, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        bytes.at(o + i) = static_cast<std::uint8_t>(v >> (8 * i));
}
void CfbFixture::SetU16(std::size_t o, std::uint16_t v) {
    bytes.at(o) = static_cast<std::uint8_t>(v);
    bytes.at(o + 1) = static_cast<std::uint8_t>(v >> 8);
}
std::uint64_t CfbFixture::U64(std::size_t o) const {
    return U32(o) | std::uint64_t(U32(o + 4)) << 32;
}
void CfbFixture::SetU64(std::size_t o, std::uint64_t v) {
    SetU32(o, static_cast<std::uint32_t>(v));
    SetU32(o + 4, static_cast<std::uint32_t>(v >> 32));
}

std::uint32_t CfbFixture::SectorSize() const {
    return 1u << (bytes.at(0x1E) | bytes.at(0x1F) << 8);
}

std::size_t CfbFixture::FatEntry(std::uint32_t sid) const {
    const std::uint32_t per = SectorSize() / 4;
    if (sid / per >= 109)
        throw std::runtime_error("FAT entry beyond the header's DIFAT");
    return SectorOffset(U32(0x4C + 4 * (sid / per))) + 4 * (sid % per);
}

std::uint32_t CfbFixture::ChainAt(std::uint32_t start, std::size_t k) const {
    std::uint32_t sid = start;
    while (k--)
        sid = U32(FatEntry(sid));
    return sid;
}

std::size_t CfbFixture::MiniFatEntry(std::uint32_t mid) const {
    const std::uint32_t per = SectorSize() / 4;
    return SectorOffset(ChainAt(U32(0x3C), mid / per)) + 4 * (mid % per);
}

std::size_t CfbFixture::Entry(std::uint32_t index) const {
    const std::uint32_t per = SectorSize() / 128;
    return SectorOffset(ChainAt(U32(0x30), index / per)) + 128 * (index % per);
}

int CfbFixture::EntryIndex(const std::string& name) const {
    for (std::uint32_t i = 0; i < 4096; ++i) {
        const std::size_t e = Entry(i);
        if (bytes.at(e + 0x42) == 0 && bytes.at(e + 0x40) == 0)
            return -1; // the first unused entry: our writer puts all used ones before it
        std::string n;
        for (std::size_t k = 0; k + 1 < (bytes.at(e + 0x40) | bytes.at(e + 0x41) << 8) / 2u; ++k)
            n += static_cast<char>(bytes.at(e + 2 * k));
        if (n == name)
            return static_cast<int>(i);
    }
    return -1;
}

} // namespace quillon::test
