#pragma once
// Items of a profile record stream. Every item starts with a one-byte tag; numbers are
// little-endian:
//   1 text        u32 L (UTF-16 code units), then 2*L bytes, no terminator
//   2 integer     4 bytes, signed
//   3 flag        4 bytes, 0 or 1
//   4 byte block  u32 N, then N bytes
#include "descriptions/ProfileContainer.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace quillon {

enum RecordTag : std::uint8_t { kTagText = 1, kTagInteger = 2, kTagFlag = 3, kTagBlock = 4 };

// Reads items from a decoded stream; never reads past its end. Each Read answers None, or the
// reason (Truncated, BadTag, BadFlag) and leaves the position where it was.
class RecordReader {
public:
    RecordReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    // Text as UTF-8, cut at the first NUL unit.
    ProfileLoadError ReadText(std::string& text);
    ProfileLoadError ReadInteger(std::int32_t& value);
    ProfileLoadError ReadFlag(std::int32_t& value);
    ProfileLoadError ReadBlock(std::vector<std::uint8_t>& bytes);

    std::size_t Left() const { return size_ - pos_; }

private:
    ProfileLoadError Tag(RecordTag expected);
    ProfileLoadError U32(std::uint32_t& value);

    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

// Appends items to a stream. Text comes as UTF-8; Write* answer false when a length does not
// fit a u32.
class RecordWriter {
public:
    bool WriteText(std::string_view utf8);
    void WriteInteger(std::int32_t value);
    void WriteFlag(bool value);
    bool WriteBlock(const std::vector<std::uint8_t>& bytes);

    const std::vector<std::uint8_t>& Bytes() const { return out_; }

private:
    void U32(std::uint32_t value);
    std::vector<std::uint8_t> out_;
};

} // namespace quillon
