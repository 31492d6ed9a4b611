#pragma once
// The reference product's dictionary file: reader and writer (layout in docs/dictionary-files.md).
//
// A file is read whole into memory and checked before any field is used: magic, version 1..5,
// header length, every count and length bounded by the bytes that remain, and the CRC-32 of the
// trailer. A damaged file does not load; the error says what broke. Writing is atomic: a
// temporary file beside the destination, fsync, rename.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kaldo {

inline constexpr std::uint16_t kMinDictVersion = 1;
inline constexpr std::uint16_t kMaxDictVersion = 5;
inline constexpr std::size_t kHeaderBlockSize = 96;
inline constexpr std::size_t kTitleOffset = 6;    // in the header block
inline constexpr std::size_t kTitleSize = 16;
// Named properties exist from this version on.
inline constexpr std::uint16_t kPropertiesVersion = 4;
// Bounds that keep a damaged or hostile file from costing more than its size.
inline constexpr std::size_t kMaxFileSize = 512u * 1024 * 1024;
inline constexpr std::size_t kMaxNameLength = 255;

struct DictionaryEntry {
    std::string word;                 // UTF-8
    std::vector<std::string> lines;   // translations, UTF-8
    bool operator==(const DictionaryEntry&) const = default;
};

class DictionaryFile {
public:
    DictionaryFile();

    std::uint16_t Version() const { return version_; }
    void SetVersion(std::uint16_t version) { version_ = version; }

    // The header block as stored; link attributes, title, level, direction and GUID live in it.
    const std::array<std::uint8_t, kHeaderBlockSize>& Header() const { return header_; }
    void SetHeader(const std::array<std::uint8_t, kHeaderBlockSize>& block) { header_ = block; }

    std::int32_t LinkNumber() const;
    void SetLinkNumber(std::int32_t value);
    std::uint8_t LinkCode() const;
    void SetLinkCode(std::uint8_t value);
    std::int32_t FormatLevel() const;
    void SetFormatLevel(std::int32_t value);
    std::uint32_t DirectionId() const;
    void SetDirectionId(std::uint32_t value);
    // Registry form "{...}", or empty when the field is blank.
    std::string Guid() const;
    void SetGuid(std::string_view guid);   // at most 38 characters are kept
    // The title field: CP1251 bytes up to the first zero (at most 15).
    std::string TitleBytes() const;
    void SetTitleBytes(std::string_view cp1251);   // truncated to 15 bytes + zero

    // Named properties (version 4 and later only; ignored when writing older versions).
    const std::vector<std::pair<std::string, std::vector<std::uint8_t>>>& Properties() const { return properties_; }
    const std::vector<std::uint8_t>* FindProperty(std::string_view name) const;
    // False when the name is empty or longer than kMaxNameLength.
    bool SetProperty(std::string_view name, std::vector<std::uint8_t> bytes);

    std::vector<DictionaryEntry>& Entries() { return entries_; }
    const std::vector<DictionaryEntry>& Entries() const { return entries_; }

    bool operator==(const DictionaryFile&) const = default;

private:
    std::uint16_t version_ = kPropertiesVersion;
    std::array<std::uint8_t, kHeaderBlockSize> header_{};
    std::vector<std::pair<std::string, std::vector<std::uint8_t>>> properties_;
    std::vector<DictionaryEntry> entries_;
};

// The file's bytes; the CRC trailer is computed here.
std::string SerializeDictionary(const DictionaryFile& file);
// Parses a whole file; on failure `error` says what is wrong and nothing is answered.
std::optional<DictionaryFile> ParseDictionary(std::string_view bytes, std::string& error);

// Reads `path` (at most kMaxFileSize bytes); nothing on failure, with `error` set.
std::optional<DictionaryFile> ReadDictionaryFile(const std::string& path, std::string& error);
// Writes `path` atomically (temporary file in the same folder, fsync, rename).
bool WriteDictionaryFile(const std::string& path, const DictionaryFile& file, std::string& error);

// Whole-file helpers shared by the product: read a file of at most `limit` bytes, and write
// bytes atomically.
bool ReadWholeFile(const std::string& path, std::string& bytes, std::string& error, std::size_t limit = kMaxFileSize);
bool WriteFileAtomically(const std::string& path, std::string_view bytes, std::string& error);

} // namespace kaldo
