#pragma once
// The dictionary file's byte layout, shared by the in-memory parser (DictionaryFormat.cpp), the
// file I/O (DictionaryFileIo.cpp) and the streaming writer (DictionaryWriter.cpp); see
// docs/dictionary-files.md. Not part of the library's interface.
#include "DictionaryFile.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>
#include <string>

namespace kaldo::layout {

inline constexpr char kLegacyMagic[4] = {'K', 'L', 'D', 'X'};
inline constexpr char kSlottedMagic[4] = {'K', 'L', 'D', 'H'};
inline constexpr std::size_t kLegacyFixedSize = 8 + kHeaderBlockSize;   // magic, version, header length, block
inline constexpr std::size_t kPrefixSize = 32;     // slotted: magic, version, header length, slot size, body offset
inline constexpr std::size_t kSlotHeaderSize = 16; // generation, content length, CRC
inline constexpr std::size_t kSlotAlignment = 4096;
inline constexpr std::size_t kChunk = 1u << 20;
inline constexpr std::size_t kLinkNumberAt = 0, kLinkCodeAt = 4, kLevelAt = 22, kDirectionAt = 26, kGuidAt = 30;
inline constexpr std::size_t kGuidSize = 38;

inline std::uint16_t ReadU16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }
inline std::uint32_t ReadU32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}
inline std::uint64_t ReadU64(const std::uint8_t* p) { return ReadU32(p) | std::uint64_t(ReadU32(p + 4)) << 32; }
inline void PutU32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
inline void AppendU16(std::string& out, std::uint16_t v) {
    out.push_back(static_cast<char>(v & 0xFF));
    out.push_back(static_cast<char>(v >> 8));
}
inline void AppendU32(std::string& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<char>(v >> (8 * i)));
}
inline void AppendU64(std::string& out, std::uint64_t v) {
    AppendU32(out, static_cast<std::uint32_t>(v));
    AppendU32(out, static_cast<std::uint32_t>(v >> 32));
}

// A cursor over bytes in memory; every read is checked against the end.
class Reader {
public:
    Reader(const std::uint8_t* data, std::size_t size) : p_(data), end_(data + size) {}
    std::size_t Left() const { return static_cast<std::size_t>(end_ - p_); }
    bool U8(std::uint8_t& v) {
        if (Left() < 1) return false;
        v = *p_++;
        return true;
    }
    bool U16(std::uint16_t& v) {
        if (Left() < 2) return false;
        v = ReadU16(p_);
        p_ += 2;
        return true;
    }
    bool U32(std::uint32_t& v) {
        if (Left() < 4) return false;
        v = ReadU32(p_);
        p_ += 4;
        return true;
    }
    bool U64(std::uint64_t& v) {
        if (Left() < 8) return false;
        v = ReadU64(p_);
        p_ += 8;
        return true;
    }
    bool Bytes(std::size_t n, std::string& out) {
        if (Left() < n) return false;
        out.assign(reinterpret_cast<const char*>(p_), n);
        p_ += n;
        return true;
    }

private:
    const std::uint8_t* p_;
    const std::uint8_t* end_;
};

// ---- the head ---------------------------------------------------------------------------------

void AppendProperties(std::string& out, const DictionaryHead& head);

// The properties that follow the header block (version 4 on), from any reader.
template <class In>
bool ReadProperties(In& in, DictionaryHead& head, std::string& error) {
    std::uint32_t count = 0;
    if (!in.U32(count) || count > in.Left() / 6) {   // a property takes at least 6 bytes
        error = "bad property count";
        return false;
    }
    for (std::uint32_t i = 0; i < count; ++i) {
        std::uint8_t nameSize = 0;
        std::uint32_t valueSize = 0;
        std::string name, value;
        if (!in.U8(nameSize) || nameSize == 0 || !in.Bytes(nameSize, name) || !in.U32(valueSize) ||
            !in.Bytes(valueSize, value)) {
            error = "property " + std::to_string(i) + " runs past the end of the file";
            return false;
        }
        if (head.FindProperty(name)) {
            error = "property \"" + name + "\" appears twice";
            return false;
        }
        head.SetProperty(name, std::vector<std::uint8_t>(value.begin(), value.end()));
    }
    return true;
}

// A slot's content: header block, properties (version 4 on), body length, body CRC, entries.
std::string HeadContent(const DictionaryHead& head, std::uint64_t bodyLength, std::uint32_t bodyCrc,
                        std::uint64_t entries);

std::string SlotBytes(std::uint64_t generation, const std::string& content);

std::string Prefix(std::uint16_t version, std::uint32_t slotSize);

// The smallest slot size (a multiple of 4096, at least the default) with room for `content`
// twice over; 0 when even the largest slot cannot take it.
std::uint32_t SlotSizeFor(std::size_t content);

struct Prefixed {
    std::uint16_t version = 0;
    std::uint32_t slotSize = 0;
    std::uint64_t bodyOffset = 0;
};

bool ParsePrefix(const std::uint8_t* p, std::uint64_t fileSize, Prefixed& out, std::string& error);

// The slot's content when it is intact (its checksum matches and it was ever written).
std::optional<std::string> SlotContent(const std::uint8_t* slot, std::uint32_t slotSize, std::uint64_t& generation);

bool ParseHeadContent(const std::string& content, std::uint16_t version, DictionaryHeadInfo& info, std::string& error);

// Chooses the newer intact slot of the two read into `slots` (2 × slot size bytes).
bool ChooseSlot(const std::uint8_t* slots, const Prefixed& prefix, DictionaryHeadInfo& info, std::string& error);

// ---- entries -----------------------------------------------------------------------------------

void AppendEntry(std::string& out, const DictionaryEntry& entry);

// Reads `count` entries; `keep` null: checks them only (streaming verification).
template <class In>
bool ReadEntries(In& in, std::uint64_t count, std::vector<DictionaryEntry>* keep, std::string& error) {
    if (count > in.Left() / 4) {
        error = "bad entry count";
        return false;
    }
    if (keep)
        keep->reserve(static_cast<std::size_t>(count));
    for (std::uint64_t i = 0; i < count; ++i) {
        DictionaryEntry entry;
        std::uint16_t wordSize = 0, lines = 0;
        if (!in.U16(wordSize) || !in.Bytes(wordSize, entry.word) || !in.U16(lines) || lines > in.Left() / 4) {
            error = "entry " + std::to_string(i) + " runs past the end of the file";
            return false;
        }
        for (std::uint16_t l = 0; l < lines; ++l) {
            std::uint32_t size = 0;
            std::string line;
            if (!in.U32(size) || !in.Bytes(size, line)) {
                error = "entry " + std::to_string(i) + " runs past the end of the file";
                return false;
            }
            if (keep)
                entry.lines.push_back(std::move(line));
        }
        if (keep)
            keep->push_back(std::move(entry));
    }
    if (in.Left() != 0) {
        error = "unexpected bytes after the last entry";
        return false;
    }
    return true;
}

// ---- legacy layout -----------------------------------------------------------------------------

// The head of a legacy file from a reader at its start; the reader stops at the body (the entry
// count).
template <class In>
bool ReadLegacyHead(In& in, DictionaryHeadInfo& info, std::string& error) {
    std::string fixed;
    if (!in.Bytes(kLegacyFixedSize, fixed)) {
        error = "file is truncated";
        return false;
    }
    const auto* p = reinterpret_cast<const std::uint8_t*>(fixed.data());
    const std::uint16_t version = ReadU16(p + 4);
    if (version < kMinDictVersion || version > kMaxDictVersion) {
        error = "unsupported format version " + std::to_string(version);
        return false;
    }
    if (ReadU16(p + 6) != kHeaderBlockSize) {
        error = "unexpected header block length";
        return false;
    }
    info.head = DictionaryHead();
    info.head.SetVersion(version);
    std::array<std::uint8_t, kHeaderBlockSize> block{};
    std::memcpy(block.data(), p + 8, kHeaderBlockSize);
    info.head.SetHeader(block);
    return version < kPropertiesVersion || ReadProperties(in, info.head, error);
}

} // namespace kaldo::layout
