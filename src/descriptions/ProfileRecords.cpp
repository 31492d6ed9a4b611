#include "descriptions/ProfileRecords.h"

#include "support/Text.h"

namespace quillon {

ProfileLoadError RecordReader::Tag(RecordTag expected) {
    if (Left() < 1)
        return ProfileLoadError::Truncated;
    if (data_[pos_] != expected)
        return ProfileLoadError::BadTag;
    return ProfileLoadError::None;
}

// Reads the u32 that follows the tag at pos_ (does not move pos_).
ProfileLoadError RecordReader::U32(std::uint32_t& value) {
    if (Left() < 5)
        return ProfileLoadError::Truncated;
    const std::uint8_t* p = data_ + pos_ + 1;
    value = std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
            std::uint32_t(p[3]) << 24;
    return ProfileLoadError::None;
}

ProfileLoadError RecordReader::ReadText(std::string& text) {
    std::uint32_t units = 0;
    if (auto e = Tag(kTagText); e != ProfileLoadError::None)
        return e;
    if (auto e = U32(units); e != ProfileLoadError::None)
        return e;
    // Compared in 64 bits: 2 * L cannot wrap, and L beyond the bytes left is refused before
    // anything is allocated for it.
    if (2 * std::uint64_t(units) > Left() - 5)
        return ProfileLoadError::Truncated;
    const std::uint8_t* p = data_ + pos_ + 5;
    std::u16string wide;
    wide.reserve(units);
    for (std::uint32_t i = 0; i < units; ++i) {
        const auto unit = static_cast<char16_t>(p[2 * i] | p[2 * i + 1] << 8);
        if (unit == 0)
            break;
        wide.push_back(unit);
    }
    text = Utf16ToUtf8(wide);
    pos_ += 5 + 2 * std::size_t(units);
    return ProfileLoadError::None;
}

ProfileLoadError RecordReader::ReadInteger(std::int32_t& value) {
    std::uint32_t raw = 0;
    if (auto e = Tag(kTagInteger); e != ProfileLoadError::None)
        return e;
    if (auto e = U32(raw); e != ProfileLoadError::None)
        return e;
    value = static_cast<std::int32_t>(raw);
    pos_ += 5;
    return ProfileLoadError::None;
}

ProfileLoadError RecordReader::ReadFlag(std::int32_t& value) {
    std::uint32_t raw = 0;
    if (auto e = Tag(kTagFlag); e != ProfileLoadError::None)
        return e;
    if (auto e = U32(raw); e != ProfileLoadError::None)
        return e;
    if (raw > 1)
        return ProfileLoadError::BadFlag;
    value = static_cast<std::int32_t>(raw);
    pos_ += 5;
    return ProfileLoadError::None;
}

ProfileLoadError RecordReader::ReadBlock(std::vector<std::uint8_t>& bytes) {
    std::uint32_t n = 0;
    if (auto e = Tag(kTagBlock); e != ProfileLoadError::None)
        return e;
    if (auto e = U32(n); e != ProfileLoadError::None)
        return e;
    if (n > Left() - 5)
        return ProfileLoadError::Truncated;
    const std::uint8_t* p = data_ + pos_ + 5;
    bytes.assign(p, p + n);
    pos_ += 5 + std::size_t(n);
    return ProfileLoadError::None;
}

void RecordWriter::U32(std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        out_.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

bool RecordWriter::WriteText(std::string_view utf8) {
    const std::u16string wide = Utf8ToUtf16(utf8);
    if (wide.size() > 0xFFFFFFFFu)
        return false;
    out_.push_back(kTagText);
    U32(static_cast<std::uint32_t>(wide.size()));
    for (const char16_t unit : wide) {
        out_.push_back(static_cast<std::uint8_t>(unit & 0xFF));
        out_.push_back(static_cast<std::uint8_t>(unit >> 8));
    }
    return true;
}

void RecordWriter::WriteInteger(std::int32_t value) {
    out_.push_back(kTagInteger);
    U32(static_cast<std::uint32_t>(value));
}

void RecordWriter::WriteFlag(bool value) {
    out_.push_back(kTagFlag);
    U32(value ? 1u : 0u);
}

bool RecordWriter::WriteBlock(const std::vector<std::uint8_t>& bytes) {
    if (bytes.size() > 0xFFFFFFFFu)
        return false;
    out_.push_back(kTagBlock);
    U32(static_cast<std::uint32_t>(bytes.size()));
    out_.insert(out_.end(), bytes.begin(), bytes.end());
    return true;
}

} // namespace quillon
