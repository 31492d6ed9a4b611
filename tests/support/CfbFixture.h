#pragma once
// Compound files built with our writer, and the byte positions tests corrupt in them.
#include "support/CompoundFileWriter.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace quillon::test {

std::vector<std::uint8_t> Bytes(std::size_t size, std::uint8_t seed);

struct CfbFixture {
    std::vector<std::uint8_t> bytes;

    // Builds a file of `streams` (name, content) with our writer.
    static CfbFixture
    Make(const std::vector<std::pair<std::string, std::vector<std::uint8_t>>>& streams,
         int version = 3);

    std::uint32_t U32(std::size_t offset) const;
    void SetU32(std::size_t offset, std::uint32_t value);
    void SetU16(std::size_t offset, std::uint16_t value);
    std::uint64_t U64(std::size_t offset) const;
    void SetU64(std::size_t offset, std::uint64_t value);

    std::uint32_t SectorSize() const;
    std::size_t SectorOffset(std::uint32_t sid) const {
        return (std::size_t(sid) + 1) * SectorSize();
    }
    // Offset of the FAT entry of regular sector `sid` (follows the header's DIFAT).
    std::size_t FatEntry(std::uint32_t sid) const;
    // Offset of the mini FAT entry of mini sector `mid`.
    std::size_t MiniFatEntry(std::uint32_t mid) const;
    // Offset of directory entry `index`.
    std::size_t Entry(std::uint32_t index) const;
    // Index of the directory entry named `name` (ASCII), or -1.
    int EntryIndex(const std::string& name) const;
    // Fields of directory entry `index`.
    std::size_t Left(std::uint32_t i) const { return Entry(i) + 0x44; }
    std::size_t Right(std::uint32_t i) const { return Entry(i) + 0x48; }
    std::size_t Child(std::uint32_t i) const { return Entry(i) + 0x4C; }
    std::size_t Start(std::uint32_t i) const { return Entry(i) + 0x74; }
    std::size_t Size(std::uint32_t i) const { return Entry(i) + 0x78; }
    std::size_t NameLength(std::uint32_t i) const { return Entry(i) + 0x40; }
    std::size_t Type(std::uint32_t i) const { return Entry(i) + 0x42; }

private:
    // Walks a chain of the FAT to its `k`-th sector.
    std::uint32_t ChainAt(std::uint32_t start, std::size_t k) const;
};

} // namespace quillon::test
