// The byte format: heads, slots and entries, and whole files in memory.
#include "DictionaryFormat_p.h"

namespace kaldo {
namespace layout {

void AppendProperties(std::string& out, const DictionaryHead& head) {
    AppendU32(out, static_cast<std::uint32_t>(head.Properties().size()));
    for (const auto& [name, bytes] : head.Properties()) {
        out.push_back(static_cast<char>(name.size()));
        out += name;
        AppendU32(out, static_cast<std::uint32_t>(bytes.size()));
        out.append(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    }
}

std::string HeadContent(const DictionaryHead& head, std::uint64_t bodyLength, std::uint32_t bodyCrc,
                        std::uint64_t entries) {
    std::string out(reinterpret_cast<const char*>(head.Header().data()), kHeaderBlockSize);
    if (head.Version() >= kPropertiesVersion)
        AppendProperties(out, head);
    AppendU64(out, bodyLength);
    AppendU32(out, bodyCrc);
    AppendU64(out, entries);
    return out;
}

std::string SlotBytes(std::uint64_t generation, const std::string& content) {
    std::string out;
    AppendU64(out, generation);
    AppendU32(out, static_cast<std::uint32_t>(content.size()));
    quillon::Crc32 crc;
    crc.Update(out.data(), out.size());
    crc.Update(content.data(), content.size());
    AppendU32(out, crc.Value());
    return out + content;
}

std::string Prefix(std::uint16_t version, std::uint32_t slotSize) {
    std::string out(kSlottedMagic, 4);
    AppendU16(out, version);
    AppendU16(out, static_cast<std::uint16_t>(kHeaderBlockSize));
    AppendU32(out, slotSize);
    AppendU32(out, 0);
    AppendU64(out, kPrefixSize + 2 * std::uint64_t(slotSize));
    AppendU64(out, 0);
    return out;
}

std::uint32_t SlotSizeFor(std::size_t content) {
    const std::size_t wanted = std::max<std::size_t>(kDefaultSlotSize, 2 * (kSlotHeaderSize + content));
    const std::size_t rounded = (wanted + kSlotAlignment - 1) / kSlotAlignment * kSlotAlignment;
    return rounded > kMaxSlotSize ? 0 : static_cast<std::uint32_t>(rounded);
}

bool ParsePrefix(const std::uint8_t* p, std::uint64_t fileSize, Prefixed& out, std::string& error) {
    out.version = ReadU16(p + 4);
    out.slotSize = ReadU32(p + 8);
    out.bodyOffset = ReadU64(p + 16);
    if (out.version < kMinDictVersion || out.version > kMaxDictVersion) {
        error = "unsupported format version " + std::to_string(out.version);
        return false;
    }
    if (ReadU16(p + 6) != kHeaderBlockSize) {
        error = "unexpected header block length";
        return false;
    }
    if (out.slotSize < kSlotAlignment || out.slotSize > kMaxSlotSize || out.slotSize % kSlotAlignment ||
        out.bodyOffset != kPrefixSize + 2 * std::uint64_t(out.slotSize)) {
        error = "bad head slot layout";
        return false;
    }
    if (fileSize < out.bodyOffset) {
        error = "file is truncated";
        return false;
    }
    return true;
}

std::optional<std::string> SlotContent(const std::uint8_t* slot, std::uint32_t slotSize, std::uint64_t& generation) {
    generation = ReadU64(slot);
    const std::uint32_t length = ReadU32(slot + 8);
    if (generation == 0 || length > slotSize - kSlotHeaderSize)
        return std::nullopt;
    quillon::Crc32 crc;
    crc.Update(slot, 12);
    crc.Update(slot + kSlotHeaderSize, length);
    if (crc.Value() != ReadU32(slot + 12))
        return std::nullopt;
    return std::string(reinterpret_cast<const char*>(slot + kSlotHeaderSize), length);
}

bool ParseHeadContent(const std::string& content, std::uint16_t version, DictionaryHeadInfo& info, std::string& error) {
    Reader in(reinterpret_cast<const std::uint8_t*>(content.data()), content.size());
    std::string block;
    if (!in.Bytes(kHeaderBlockSize, block)) {
        error = "head is truncated";
        return false;
    }
    info.head = DictionaryHead();
    info.head.SetVersion(version);
    std::array<std::uint8_t, kHeaderBlockSize> header{};
    std::memcpy(header.data(), block.data(), kHeaderBlockSize);
    info.head.SetHeader(header);
    if (version >= kPropertiesVersion && !ReadProperties(in, info.head, error))
        return false;
    if (!in.U64(info.bodyLength) || !in.U32(info.bodyCrc) || !in.U64(info.entryCount) || in.Left() != 0) {
        error = "head is damaged";
        return false;
    }
    return true;
}

bool ChooseSlot(const std::uint8_t* slots, const Prefixed& prefix, DictionaryHeadInfo& info, std::string& error) {
    std::optional<std::string> best;
    for (int s = 0; s < 2; ++s) {
        std::uint64_t generation = 0;
        auto content = SlotContent(slots + std::size_t(s) * prefix.slotSize, prefix.slotSize, generation);
        if (content && (!best || generation > info.generation)) {
            best = std::move(content);
            info.generation = generation;
            info.slot = s;
        }
    }
    if (!best) {
        error = "no intact head (both head slots are damaged)";
        return false;
    }
    info.layout = DictionaryLayout::Slotted;
    info.slotSize = prefix.slotSize;
    info.bodyOffset = prefix.bodyOffset;
    if (!ParseHeadContent(*best, prefix.version, info, error))
        return false;
    if (info.fileSize != info.bodyOffset + info.bodyLength) {
        error = info.fileSize < info.bodyOffset + info.bodyLength ? "file is truncated" : "unexpected bytes after the body";
        return false;
    }
    if (info.entryCount > info.bodyLength / 4) {   // an entry takes at least 4 bytes
        error = "bad entry count";
        return false;
    }
    return true;
}

void AppendEntry(std::string& out, const DictionaryEntry& entry) {
    const std::size_t wordSize = std::min<std::size_t>(entry.word.size(), 0xFFFF);
    AppendU16(out, static_cast<std::uint16_t>(wordSize));
    out.append(entry.word, 0, wordSize);
    const std::size_t lineCount = std::min<std::size_t>(entry.lines.size(), 0xFFFF);
    AppendU16(out, static_cast<std::uint16_t>(lineCount));
    for (std::size_t i = 0; i < lineCount; ++i) {
        AppendU32(out, static_cast<std::uint32_t>(entry.lines[i].size()));
        out += entry.lines[i];
    }
}

} // namespace layout

using namespace layout;

namespace {

std::optional<DictionaryFile> ParseSlotted(std::string_view bytes, std::string& error) {
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
    if (bytes.size() < kPrefixSize) {
        error = "file is truncated";
        return std::nullopt;
    }
    Prefixed prefix;
    if (!ParsePrefix(data, bytes.size(), prefix, error))
        return std::nullopt;
    DictionaryHeadInfo info;
    info.fileSize = bytes.size();
    if (!ChooseSlot(data + kPrefixSize, prefix, info, error))
        return std::nullopt;
    const std::uint8_t* body = data + info.bodyOffset;
    if (quillon::Crc32::Of(body, static_cast<std::size_t>(info.bodyLength)) != info.bodyCrc) {
        error = "checksum mismatch (the body is damaged)";
        return std::nullopt;
    }
    DictionaryFile file;
    static_cast<DictionaryHead&>(file) = info.head;
    Reader in(body, static_cast<std::size_t>(info.bodyLength));
    if (!ReadEntries(in, info.entryCount, &file.Entries(), error))
        return std::nullopt;
    return file;
}

std::optional<DictionaryFile> ParseLegacy(std::string_view bytes, std::string& error) {
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
    if (bytes.size() < kLegacyFixedSize + 8) {
        error = "file is truncated";
        return std::nullopt;
    }
    const std::size_t bodyEnd = bytes.size() - 4;
    if (quillon::Crc32::Of(data, bodyEnd) != ReadU32(data + bodyEnd)) {
        error = "checksum mismatch (file is damaged)";
        return std::nullopt;
    }
    Reader in(data, bodyEnd);
    DictionaryHeadInfo info;
    if (!ReadLegacyHead(in, info, error))
        return std::nullopt;
    DictionaryFile file;
    static_cast<DictionaryHead&>(file) = info.head;
    std::uint32_t entries = 0;
    if (!in.U32(entries)) {
        error = "bad entry count";
        return std::nullopt;
    }
    if (!ReadEntries(in, entries, &file.Entries(), error))
        return std::nullopt;
    return file;
}

} // namespace

// ---- DictionaryHead ----------------------------------------------------------------------------

DictionaryHead::DictionaryHead() { SetFormatLevel(0); }

std::int32_t DictionaryHead::LinkNumber() const { return static_cast<std::int32_t>(ReadU32(&header_[kLinkNumberAt])); }
void DictionaryHead::SetLinkNumber(std::int32_t value) { PutU32(&header_[kLinkNumberAt], static_cast<std::uint32_t>(value)); }
std::uint8_t DictionaryHead::LinkCode() const { return header_[kLinkCodeAt]; }
void DictionaryHead::SetLinkCode(std::uint8_t value) { header_[kLinkCodeAt] = value; }
std::int32_t DictionaryHead::FormatLevel() const { return static_cast<std::int32_t>(ReadU32(&header_[kLevelAt])); }
void DictionaryHead::SetFormatLevel(std::int32_t value) { PutU32(&header_[kLevelAt], static_cast<std::uint32_t>(value)); }
std::uint32_t DictionaryHead::DirectionId() const { return ReadU32(&header_[kDirectionAt]); }
void DictionaryHead::SetDirectionId(std::uint32_t value) { PutU32(&header_[kDirectionAt], value); }

std::string DictionaryHead::Guid() const {
    std::string out;
    for (std::size_t i = 0; i < kGuidSize && header_[kGuidAt + i] != 0; ++i)
        out.push_back(static_cast<char>(header_[kGuidAt + i]));
    return out;
}

void DictionaryHead::SetGuid(std::string_view guid) {
    for (std::size_t i = 0; i < kGuidSize; ++i)
        header_[kGuidAt + i] = i < guid.size() ? static_cast<std::uint8_t>(guid[i]) : 0;
}

std::string DictionaryHead::TitleBytes() const {
    std::string out;
    for (std::size_t i = 0; i < kTitleSize && header_[kTitleOffset + i] != 0; ++i)
        out.push_back(static_cast<char>(header_[kTitleOffset + i]));
    return out;
}

void DictionaryHead::SetTitleBytes(std::string_view cp1251) {
    for (std::size_t i = 0; i < kTitleSize; ++i)
        header_[kTitleOffset + i] = i < cp1251.size() && i + 1 < kTitleSize ? static_cast<std::uint8_t>(cp1251[i]) : 0;
}

const std::vector<std::uint8_t>* DictionaryHead::FindProperty(std::string_view name) const {
    for (const auto& [n, bytes] : properties_)
        if (n == name)
            return &bytes;
    return nullptr;
}

bool DictionaryHead::SetProperty(std::string_view name, std::vector<std::uint8_t> bytes) {
    if (name.empty() || name.size() > kMaxNameLength)
        return false;
    for (auto& [n, value] : properties_)
        if (n == name) {
            value = std::move(bytes);
            return true;
        }
    properties_.emplace_back(std::string(name), std::move(bytes));
    return true;
}

// ---- whole files -------------------------------------------------------------------------------

std::string SerializeDictionary(const DictionaryFile& file, std::uint32_t slotSize) {
    std::string body;
    for (const auto& entry : file.Entries())
        AppendEntry(body, entry);
    const std::string content =
        HeadContent(file, body.size(), quillon::Crc32::Of(body.data(), body.size()), file.Entries().size());
    slotSize = std::max(slotSize, SlotSizeFor(content.size()));
    std::string out = Prefix(file.Version(), slotSize);
    out += SlotBytes(1, content);
    out.resize(kPrefixSize + 2 * std::size_t(slotSize), '\0');
    return out + body;
}

std::string SerializeLegacyDictionary(const DictionaryFile& file) {
    std::string out(kLegacyMagic, 4);
    AppendU16(out, file.Version());
    AppendU16(out, static_cast<std::uint16_t>(kHeaderBlockSize));
    out.append(reinterpret_cast<const char*>(file.Header().data()), kHeaderBlockSize);
    if (file.Version() >= kPropertiesVersion)
        AppendProperties(out, file);
    AppendU32(out, static_cast<std::uint32_t>(file.Entries().size()));
    for (const auto& entry : file.Entries())
        AppendEntry(out, entry);
    AppendU32(out, quillon::Crc32::Of(out.data(), out.size()));
    return out;
}

std::optional<DictionaryFile> ParseDictionary(std::string_view bytes, std::string& error) {
    if (bytes.size() > kMaxFileSize) {
        error = "file is too large";
        return std::nullopt;
    }
    if (bytes.size() >= 4 && std::memcmp(bytes.data(), kSlottedMagic, 4) == 0)
        return ParseSlotted(bytes, error);
    if (bytes.size() >= 4 && std::memcmp(bytes.data(), kLegacyMagic, 4) == 0)
        return ParseLegacy(bytes, error);
    error = "not a dictionary file";
    return std::nullopt;
}

std::optional<DictionaryHeadInfo> ParseSlottedHead(const std::uint8_t* data, std::size_t available,
                                                   std::uint64_t fileSize, std::string& error) {
    if (available < kPrefixSize || std::memcmp(data, kSlottedMagic, 4) != 0) {
        error = available < kPrefixSize ? "file is truncated" : "not a dictionary file";
        return std::nullopt;
    }
    Prefixed prefix;
    if (!ParsePrefix(data, fileSize, prefix, error))
        return std::nullopt;
    if (available < prefix.bodyOffset) {
        error = "the head is larger than the bytes given";
        return std::nullopt;
    }
    DictionaryHeadInfo info;
    info.fileSize = fileSize;
    if (!ChooseSlot(data + kPrefixSize, prefix, info, error))
        return std::nullopt;
    return info;
}

} // namespace kaldo
